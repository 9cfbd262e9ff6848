#include "SearchSink.h"

#include "Penlink.h"
#include "ui/EscapedException.h"

namespace {

constexpr wchar_t kClassName[] = L"FlashWizardSearchSink";

}  // namespace

CSearchSink::~CSearchSink() { Close(); }

HWND CSearchSink::Open(Handler handler, void* context) {
    Close();
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &CSearchSink::WindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    m_handler = handler;
    m_context = context;
    m_hWnd =
        CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, this);
    return m_hWnd;
}

void CSearchSink::Close() {
    const HWND window = m_hWnd;
    if (window == nullptr) return;
    m_hWnd = nullptr;
    DestroyWindow(window);
}

LRESULT CALLBACK CSearchSink::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    } else if (message == WM_DEVICE_SEARCH_RESULT) {
        const auto* sink = reinterpret_cast<CSearchSink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        // Only the window of the awaited search speaks for the page.
        if (sink != nullptr && sink->m_hWnd == window && sink->m_handler != nullptr) {
            // Copied first: the handler may close the sink.
            const Handler handler = sink->m_handler;
            void* const context = sink->m_context;
            try {
                handler(context, wParam, lParam);
            } catch (...) {
                LogEscapedException(L"CSearchSink::WindowProc", message);
                PostQuitMessage(1);
            }
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

#include "Application.h"

namespace {

CApplication* g_pCurrentApplication = nullptr;

}  // namespace

CApplication::CApplication() { g_pCurrentApplication = this; }

CApplication::~CApplication() {
    if (g_pCurrentApplication == this) g_pCurrentApplication = nullptr;
}

CApplication* CApplication::Current() { return g_pCurrentApplication; }

HINSTANCE CApplication::ResourceHandle() {
    if (g_pCurrentApplication != nullptr && g_pCurrentApplication->m_hInstance != nullptr) {
        return g_pCurrentApplication->m_hInstance;
    }
    return GetModuleHandleW(nullptr);
}

int CApplication::Start(HINSTANCE instance) {
    m_hInstance = instance;
    if (InitInstance()) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        m_nExitCode = static_cast<int>(msg.wParam);
    }
    return ExitInstance();
}

BOOL CApplication::InitInstance() { return FALSE; }

int CApplication::ExitInstance() { return m_nExitCode; }

CText LoadResourceString(UINT id) {
    // With a length of 0, LoadStringW hands out a pointer to the resource's
    // own characters (not NUL-terminated) and returns their count.
    const wchar_t* characters = nullptr;
    const int length = LoadStringW(CApplication::ResourceHandle(), static_cast<WORD>(id),
                                   reinterpret_cast<LPWSTR>(&characters), 0);
    if (length <= 0 || characters == nullptr) return CText();
    return CText(std::wstring(characters, static_cast<std::size_t>(length)));
}

// The program's entry point: the application object runs the program.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CApplication* application = CApplication::Current();
    return application != nullptr ? application->Start(instance) : 1;
}

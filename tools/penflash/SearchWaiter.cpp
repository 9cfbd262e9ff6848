#include "SearchWaiter.h"

#include <chrono>

namespace penflash {

#ifdef _WIN32

SearchWaiter::SearchWaiter() {
    // A message-only window: it is never shown and receives no broadcasts,
    // only what is posted to it.
    m_target = CreateWindowExW(0, L"STATIC", L"penflash", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
}

SearchWaiter::~SearchWaiter() {
    if (m_target != nullptr) DestroyWindow(m_target);
}

bool SearchWaiter::Wait(unsigned ms, std::uintptr_t& wParam, std::intptr_t& lParam) {
    if (m_target == nullptr) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == m_target && msg.message == WM_DEVICE_SEARCH_RESULT) {
                wParam = static_cast<std::uintptr_t>(msg.wParam);
                lParam = static_cast<std::intptr_t>(msg.lParam);
                return true;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()) + 1,
                                  QS_ALLINPUT);
    }
}

#else

SearchWaiter::SearchWaiter() { m_target = FWUCreateNotifyTarget(); }

SearchWaiter::~SearchWaiter() { FWUDestroyNotifyTarget(m_target); }

bool SearchWaiter::Wait(unsigned ms, std::uintptr_t& wParam, std::intptr_t& lParam) {
    if (m_target == nullptr) return false;
    FWUNOTIFICATION msg{};
    if (!FWUWaitNotification(m_target, ms, &msg)) return false;
    wParam = msg.wParam;
    lParam = msg.lParam;
    return true;
}

#endif

}  // namespace penflash

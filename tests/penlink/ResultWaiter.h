// Receives WM_DEVICE_SEARCH_RESULT in a test: through a message-only window
// on Windows, through a notification target elsewhere.
#ifndef PENLINK_TESTS_RESULTWAITER_H
#define PENLINK_TESTS_RESULTWAITER_H

#include <chrono>
#include <cstdint>

#include "Penlink.h"

struct SearchMessage {
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class ResultWaiter {
public:
    ResultWaiter() {
#ifdef _WIN32
        m_target = CreateWindowExW(0, L"STATIC", L"penlink test", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, nullptr, nullptr);
#else
        m_target = FWUCreateNotifyTarget();
#endif
    }
    ~ResultWaiter() {
#ifdef _WIN32
        DestroyWindow(m_target);
#else
        FWUDestroyNotifyTarget(m_target);
#endif
    }
    ResultWaiter(const ResultWaiter&) = delete;
    ResultWaiter& operator=(const ResultWaiter&) = delete;

    FWU_TARGET Target() const { return m_target; }

    // Waits up to ms for the next search result; true with msg filled.
    bool Wait(unsigned ms, SearchMessage& msg) {
#ifdef _WIN32
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            MSG m;
            if (PeekMessageW(&m, m_target, WM_DEVICE_SEARCH_RESULT, WM_DEVICE_SEARCH_RESULT,
                             PM_REMOVE)) {
                msg = {m.message, static_cast<uintptr_t>(m.wParam),
                       static_cast<intptr_t>(m.lParam)};
                return true;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) return false;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1,
                                      QS_POSTMESSAGE);
        }
#else
        FWUNOTIFICATION n;
        if (!FWUWaitNotification(m_target, ms, &n)) return false;
        msg = {n.message, n.wParam, n.lParam};
        return true;
#endif
    }

private:
    FWU_TARGET m_target;
};

#endif  // PENLINK_TESTS_RESULTWAITER_H

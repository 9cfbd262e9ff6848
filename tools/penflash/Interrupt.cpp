#include "Interrupt.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace penflash {

namespace {

// Lock-free, so that setting it is safe inside a signal handler.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag must be lock-free");

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        g_requested.store(true);
        return TRUE;
    }
    return FALSE;
}
#else
struct sigaction g_previousInt;
struct sigaction g_previousTerm;

void OnSignal(int) { g_requested.store(true); }
#endif

}  // namespace

Interrupt::Interrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Calls in progress are restarted; the library's own waits handle EINTR.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
#endif
}

Interrupt::~Interrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
#else
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
#endif
}

bool Interrupt::Requested() const { return g_requested.load(); }

}  // namespace penflash

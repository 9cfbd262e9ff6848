#include "Interrupt.h"

#include <atomic>
#include <cstddef>

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
// The signals that ask penflash to stop, and the handling each had before.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[sizeof kStopSignals / sizeof kStopSignals[0]];
struct sigaction g_previousPipe;

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
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
        sigaction(kStopSignals[i], &action, &g_previous[i]);
    }
    // A reader that went away (`penflash update | head`) must not end a
    // transfer: the write fails with EPIPE and the terminal stops printing.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &g_previousPipe);
#endif
}

Interrupt::~Interrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
#else
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i) {
        sigaction(kStopSignals[i], &g_previous[i], nullptr);
    }
    sigaction(SIGPIPE, &g_previousPipe, nullptr);
#endif
}

bool Interrupt::Requested() const { return g_requested.load(); }

}  // namespace penflash

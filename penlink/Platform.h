// System services that every backend of one operating system shares, whether
// it talks to real devices or to the emulated pen: ticks, sleep, debug output
// and the delivery of the search result. Implemented once per operating
// system (PlatformWin.cpp, PlatformPosix.cpp).
#ifndef PENLINK_PLATFORM_H
#define PENLINK_PLATFORM_H

#include <cstdint>
#include <string>

#include "HidBackend.h"

namespace penlink::platform {

// Millisecond tick count, wrapping at 2^32. Any thread.
uint32_t TickCount();

// Sleeps ms milliseconds. Any thread.
void Sleep(unsigned ms);

// Writes text to the system's debug channel (OutputDebugStringW on Windows,
// syslog at debug priority elsewhere). Any thread.
void DebugOutput(const std::u16string& text);

// Posts WM_DEVICE_SEARCH_RESULT to target (a window on Windows, a
// notification target elsewhere). Returns false with err filled when the
// target is gone or the post failed. Any thread.
bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err);

// True once the process is ending and the system has already stopped every
// other thread (on Windows: the library's DLL_PROCESS_DETACH at process
// exit); false elsewhere, and always on Linux, where the threads still run
// while the library unloads. Nothing may then wait for a thread or take a
// lock that one of them may have held. Any thread.
bool ProcessExiting();

}  // namespace penlink::platform

#endif  // PENLINK_PLATFORM_H

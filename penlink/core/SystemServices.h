// The second seam between the core and the operating system: the few system
// services the core uses besides HID access (ticks, sleep, debug output and
// the delivery of the search result). Implemented once per operating system
// (windows/WindowsServices, posix/PosixServices); the emulator puts itself in
// between to keep what the library logs and posts.
//
// Contract common to every operation: it never throws and it may be called
// from any thread.
#ifndef PENLINK_SYSTEMSERVICES_H
#define PENLINK_SYSTEMSERVICES_H

#include <cstdint>
#include <memory>
#include <string>

#include "SysError.h"

namespace penlink {

// The search result message, its wParam and its lParam (the public header's
// WM_DEVICE_SEARCH_RESULT, SEARCH_* and NOT_FOUND_* values; Exports.cpp
// checks that they agree).
constexpr unsigned kSearchResultMessage = 0x0501;
constexpr uintptr_t kSearchFound = 1;
constexpr uintptr_t kSearchNotFound = 2;
constexpr intptr_t kNotFoundAfterSwitch = 1;
constexpr intptr_t kNotFoundNoDevice = 2;

// A pen's lock (see LockPen), held until it is destroyed.
class PenLock {
public:
    virtual ~PenLock() = default;
};

// What LockPen found.
enum class PenLockStatus { Taken, HeldElsewhere, Unavailable };

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // A millisecond tick count that wraps at 2^32.
    virtual uint32_t TickCount() = 0;

    // Sleeps for ms milliseconds.
    virtual void Sleep(unsigned ms) = 0;

    // Writes one line of UTF-16 text to the platform's debug output
    // (OutputDebugStringW, syslog at debug priority); the text carries its
    // own line breaks.
    virtual void DebugOutput(const std::u16string& text) = 0;

    // Delivers WM_DEVICE_SEARCH_RESULT with wParam and lParam to target (a
    // window on Windows, a notification target elsewhere) without waiting
    // for it to be handled. Returns false with err filled when the target is
    // gone or the message could not be queued.
    virtual bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                                  SysError& err) = 0;

    // True once the process is ending and the system has already stopped
    // every other thread (Windows: the library's DLL_PROCESS_DETACH at
    // process exit); false elsewhere. Nothing may then wait for a thread or
    // take a lock that one of them may have held.
    virtual bool ProcessExiting() = 0;

    // Takes, without waiting, the lock that keeps other updaters (other
    // processes, of any user) off the pen at location; an empty location
    // takes the one lock of the whole computer, which excludes every pen's
    // lock and is excluded by each of them. The system releases it when its
    // process ends. Returns the lock with status Taken; null with
    // HeldElsewhere when another holder has it (for a pen's lock, also when
    // another holds the computer's); null with Unavailable and err filled
    // when the lock cannot be made at all.
    virtual std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                             SysError& err) = 0;
};

// The operating system's own services. Defined once per operating system.
SystemServices& OsServices();

// The services of this build of the library: OsServices(), or the emulated
// bus in the emulated build. Defined by the one file that also defines
// DefaultBackend() (see HidBackend.h).
SystemServices& DefaultServices();

// The services the core uses now: DefaultServices() unless a test has put
// others in place. Any thread.
SystemServices& Services();

// Puts services in place of the default ones (null: back to the default),
// for tests and for programs that run the emulated pen in their own process.
// Only while no library call runs; services must outlive their use.
void UseServices(SystemServices* services);

}  // namespace penlink

#endif  // PENLINK_SYSTEMSERVICES_H

// The system services on POSIX systems: the monotonic clock, sleeping,
// syslog at debug priority for the debug output, and the notification
// targets for the search result. Shared by the hidraw, null and emulated
// builds on Linux.
#ifndef PENLINK_POSIXSERVICES_H
#define PENLINK_POSIXSERVICES_H

#include "core/SystemServices.h"

namespace penlink {

class PosixServices final : public SystemServices {
public:
    uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
    // syslog(LOG_DEBUG) of the text in UTF-8.
    void DebugOutput(const std::u16string& text) override;
    // Queues the message on target, a notification target (NotifyTarget).
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override;
    // Always false: the threads still run while the library unloads.
    bool ProcessExiting() override { return false; }
    // FilePenLock in FilePenLock::SharedFolder().
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_POSIXSERVICES_H

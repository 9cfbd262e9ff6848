// The pens' locks on Windows: LockFileEx on small files in a folder that
// every user shares (%ProgramData%\Penlink). The computer's lock is
// penlink.lock; a pen's lock is its own file together with a shared lock on
// penlink.lock, so that the computer's lock and the pens' exclude each other
// while the pens' do not. The system releases a handle's locks when its
// process ends, however it ends: a lock file left behind blocks nobody.
#ifndef PENLINK_WINPENLOCK_H
#define PENLINK_WINPENLOCK_H

#include <windows.h>

#include <memory>
#include <string>

#include "core/SystemServices.h"

namespace penlink {

class WinPenLock final : public PenLock {
public:
    // Takes the lock of location (empty: the computer's) in folder, a UTF-16
    // path, as SystemServices::LockPen says. Any thread.
    static std::unique_ptr<PenLock> Take(const std::wstring& folder, const std::string& location,
                                         PenLockStatus& status, SysError& err);

    // %ProgramData%\Penlink, made when missing; empty with err filled when
    // it cannot be had.
    static std::wstring SharedFolder(SysError& err);

    ~WinPenLock() override;
    WinPenLock(const WinPenLock&) = delete;
    WinPenLock& operator=(const WinPenLock&) = delete;

private:
    WinPenLock() = default;
    HANDLE m_computer = INVALID_HANDLE_VALUE;
    HANDLE m_pen = INVALID_HANDLE_VALUE;
};

}  // namespace penlink

#endif  // PENLINK_WINPENLOCK_H

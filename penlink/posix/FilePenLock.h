// The pens' locks on POSIX systems: flock(2) on small files in a folder that
// every user may write to (/run/lock, else /tmp). The computer's lock is
// penlink.lock; a pen's lock is its own file (LockFileName) together with a
// shared lock on penlink.lock, so that the computer's lock and the pens'
// exclude each other while the pens' do not. flock belongs to the open
// file, so the system releases it when the process ends, however it ends:
// a lock file left behind blocks nobody.
#ifndef PENLINK_FILEPENLOCK_H
#define PENLINK_FILEPENLOCK_H

#include <memory>
#include <string>

#include "core/SystemServices.h"

namespace penlink {

class FilePenLock final : public PenLock {
public:
    // Takes the lock of location (empty: the computer's) in folder, as
    // SystemServices::LockPen says. Any thread.
    static std::unique_ptr<PenLock> Take(const std::string& folder, const std::string& location,
                                         PenLockStatus& status, SysError& err);

    // The folder that every user of this computer shares: /run/lock where it
    // is a folder this process may write to, else /tmp.
    static std::string SharedFolder();

    ~FilePenLock() override;
    FilePenLock(const FilePenLock&) = delete;
    FilePenLock& operator=(const FilePenLock&) = delete;

private:
    FilePenLock() = default;
    int m_computer = -1;
    int m_pen = -1;
};

}  // namespace penlink

#endif  // PENLINK_FILEPENLOCK_H

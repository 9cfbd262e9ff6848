#include "FilePenLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/LockName.h"

namespace penlink {

namespace {

// Opens the lock file at path for reading, making it (readable by everyone)
// when it is not there. Returns the descriptor, or -1 with err filled.
int OpenLockFile(const std::string& path, SysError& err) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
    // An existing file is opened without O_CREAT: in a sticky folder the
    // system may refuse O_CREAT on another user's file.
    int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::fchmod(fd, 0644);  // whatever the umask: other users open it too
        } else if (errno == EEXIST) {
            fd = ::open(path.c_str(), flags);
        }
    }
    if (fd < 0) err = {"open " + path, errno};
    return fd;
}

// Locks fd without waiting. Returns Taken, HeldElsewhere, or Unavailable
// with err filled.
PenLockStatus Flock(int fd, int operation, const std::string& path, SysError& err) {
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return PenLockStatus::HeldElsewhere;
        err = {"flock " + path, errno};
        return PenLockStatus::Unavailable;
    }
    return PenLockStatus::Taken;
}

}  // namespace

std::string FilePenLock::SharedFolder() {
    struct stat st;
    if (::stat("/run/lock", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/run/lock", W_OK) == 0) {
        return "/run/lock";
    }
    return "/tmp";
}

std::unique_ptr<PenLock> FilePenLock::Take(const std::string& folder, const std::string& location,
                                           PenLockStatus& status, SysError& err) {
    std::unique_ptr<FilePenLock> lock(new FilePenLock);
    const std::string computerPath = folder + "/penlink.lock";
    lock->m_computer = OpenLockFile(computerPath, err);
    if (lock->m_computer < 0) {
        status = PenLockStatus::Unavailable;
        return nullptr;
    }
    status = Flock(lock->m_computer, location.empty() ? LOCK_EX : LOCK_SH, computerPath, err);
    if (status != PenLockStatus::Taken || location.empty()) {
        return status == PenLockStatus::Taken ? std::move(lock) : nullptr;
    }
    const std::string penPath = folder + "/" + LockFileName(location);
    lock->m_pen = OpenLockFile(penPath, err);
    if (lock->m_pen < 0) {
        status = PenLockStatus::Unavailable;
        return nullptr;
    }
    status = Flock(lock->m_pen, LOCK_EX, penPath, err);
    return status == PenLockStatus::Taken ? std::move(lock) : nullptr;
}

FilePenLock::~FilePenLock() {
    if (m_pen >= 0) ::close(m_pen);
    if (m_computer >= 0) ::close(m_computer);
}

}  // namespace penlink

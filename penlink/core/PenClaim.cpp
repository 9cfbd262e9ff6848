#include "PenClaim.h"

#include "DebugLog.h"

namespace penlink {

namespace {

std::string Named(const std::string& location) {
    return location.empty() ? "the computer (no pen location is known)" : "the pen at " + location;
}

// Takes location's lock. A lock that is held is tried again for a while
// before it counts as held elsewhere: another process's look at it
// (HeldElsewhere, FWUEnumDevices) holds it for an instant, an updater for
// the whole update.
std::unique_ptr<PenLock> TakeLock(const std::string& location, PenLockStatus& status,
                                  SysError& err) {
    constexpr int kTries = 10;
    constexpr unsigned kPauseMs = 20;
    for (int tries = 1;; ++tries) {
        std::unique_ptr<PenLock> lock = Services().LockPen(location, status, err);
        if (status != PenLockStatus::HeldElsewhere || tries == kTries) return lock;
        Services().Sleep(kPauseMs);
    }
}

}  // namespace

CPenClaim& PenClaim() {
    static CPenClaim* claim = new CPenClaim;
    return *claim;
}

Result CPenClaim::Claim(const std::string& location) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lock && m_location == location) return Result::Ok;
    m_lock.reset();
    PenLockStatus status = PenLockStatus::Unavailable;
    SysError err;
    m_lock = TakeLock(location, status, err);
    switch (status) {
        case PenLockStatus::Taken: m_location = location; return Result::Ok;
        case PenLockStatus::HeldElsewhere:
            LogFailure("another updater holds " + Named(location) + ": nothing is written to it");
            return Result::ModeChangeFailed;
        case PenLockStatus::Unavailable: break;
    }
    LogFailure("locking " + Named(location) + " (the update goes on without the lock)", err);
    return Result::Ok;
}

void CPenClaim::Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lock.reset();
    m_location.clear();
}

void CPenClaim::Hand(std::unique_ptr<PenLock>& lock, std::string& location) {
    std::lock_guard<std::mutex> guard(m_mutex);
    lock = std::move(m_lock);
    location = std::move(m_location);
    m_location.clear();
}

void CPenClaim::Take(std::unique_ptr<PenLock> lock, std::string location) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_lock = std::move(lock);
    m_location = m_lock ? std::move(location) : std::string();
}

bool CPenClaim::HeldElsewhere(const std::string& location) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lock && (m_location == location || m_location.empty())) return false;
    PenLockStatus status = PenLockStatus::Unavailable;
    SysError err;
    const std::unique_ptr<PenLock> look = TakeLock(location, status, err);
    return status == PenLockStatus::HeldElsewhere;
}

void CPenClaim::SetKeepAfterClose(bool keep) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepAfterClose = keep;
}

bool CPenClaim::KeepAfterClose() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keepAfterClose;
}

}  // namespace penlink

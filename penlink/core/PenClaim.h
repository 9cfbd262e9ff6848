// The lock this process holds on a pen, so that two updaters never write to
// one pen. It is keyed on the pen's location (where no location is known, on
// the whole computer), so it holds across the pen's switch, when its device
// node changes; the system releases it when the process ends.
#ifndef PENLINK_PENCLAIM_H
#define PENLINK_PENCLAIM_H

#include <memory>
#include <mutex>
#include <string>

#include "Result.h"
#include "SystemServices.h"

namespace penlink {

class CPenClaim {
public:
    // Holds the lock of location (empty: the computer's), letting go of one
    // held for another location first. A lock that is held is tried again
    // for about 200 ms, so that another process's look at it is no refusal. Returns Ok when it is
    // held (already or now), and also when this system can make no lock at all (logged: the update
    // goes on unguarded); ModeChangeFailed (logged) when another updater holds it. Any thread, one
    // call at a time.
    Result Claim(const std::string& location);

    // Lets go of the lock held, if any. Any thread.
    void Release();

    // Hands the lock held (null: none) and its location out, holding none
    // after; Take puts such a lock back. For a reset that keeps the lock.
    void Hand(std::unique_ptr<PenLock>& lock, std::string& location);
    void Take(std::unique_ptr<PenLock> lock, std::string location);

    // True when another updater holds the lock of location: a look, taking
    // and letting go of it at once (tried again for about 200 ms, as Claim). False when this
    // process holds it, or when no lock can be made. Any thread.
    bool HeldElsewhere(const std::string& location);

    // Whether FWUCloseDevice keeps the lock (FWUHoldPen).
    void SetKeepAfterClose(bool keep);
    bool KeepAfterClose() const;

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<PenLock> m_lock;
    std::string m_location;
    bool m_keepAfterClose = false;
};

// The process's one claim. Never destroyed: a call still running at process
// exit may use it.
CPenClaim& PenClaim();

}  // namespace penlink

#endif  // PENLINK_PENCLAIM_H

// The notification targets that stand in for windows on systems without
// them: a queue per target on which the search result is delivered. A target
// lives until it is destroyed and its last waiter has left: the destroyer
// marks it and wakes the waiters, and whoever leaves it last, with the mark
// set, frees it. Delivery looks a target up among the live ones first, so a
// target destroyed while a search still holds its address is never touched.
#ifndef PENLINK_NOTIFYTARGET_H
#define PENLINK_NOTIFYTARGET_H

#include <cstdint>

#include "Penlink.h"
#include "core/SysError.h"

namespace penlink {

class NotifyTarget {
public:
    // Makes a target. Returns null when out of memory. Any thread.
    static FWUNotifyTarget* Create();

    // Waits up to timeoutMs for the next message on target and takes it off
    // the queue. Returns true with msg filled; false on time-out, when the
    // target is destroyed meanwhile (at once) or was destroyed before, msg
    // then untouched. Any thread; several may wait.
    static bool Wait(FWUNotifyTarget* target, unsigned timeoutMs, FWUNOTIFICATION& msg);

    // Marks target destroyed, wakes its waiters and frees it when none is
    // left. Returns at once; a target already destroyed is ignored. Any
    // thread.
    static void Destroy(FWUNotifyTarget* target);

    // Queues WM_DEVICE_SEARCH_RESULT with wParam and lParam on target.
    // Returns false with err filled when target is not a live target. Any
    // thread.
    static bool Post(void* target, uintptr_t wParam, intptr_t lParam, SysError& err);
};

}  // namespace penlink

#endif  // PENLINK_NOTIFYTARGET_H

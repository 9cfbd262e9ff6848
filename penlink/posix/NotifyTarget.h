// The notification targets that stand in for windows on systems without
// them: a queue per target on which the search result is delivered. A target
// lives until it is destroyed and its last waiter has left: the destroyer
// marks it and wakes the waiters, and whoever leaves it last, with the mark
// set, frees it. Delivery looks a target up among the live ones first, so a
// target destroyed while a search still holds its address is never touched.
#ifndef PENLINK_NOTIFYTARGET_H
#define PENLINK_NOTIFYTARGET_H

#include <cstdint>

#include "core/SysError.h"

namespace penlink {

// A target's queue (Exports.cpp hands it out as the public FWU_TARGET).
struct NotifyQueue;

// One delivered message: the same values as the window message would carry
// (Exports.cpp copies it into the public FWUNOTIFICATION).
struct Notification {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

class NotifyTarget {
public:
    // Makes a target. Returns null when out of memory. Any thread.
    static NotifyQueue* Create();

    // Waits up to timeoutMs for the next message on target and takes it off
    // the queue. Returns true with msg filled; false on time-out, when the
    // target is destroyed meanwhile (at once) or was destroyed before, msg
    // then untouched. Any thread; several may wait.
    static bool Wait(NotifyQueue* target, unsigned timeoutMs, Notification& msg);

    // Marks target destroyed, wakes its waiters and frees it when none is
    // left. Returns at once; a target already destroyed is ignored. Any
    // thread.
    static void Destroy(NotifyQueue* target);

    // Queues the search result message (kSearchResultMessage) with wParam and lParam on target.
    // Returns false with err filled when target is not a live target. Any
    // thread.
    static bool Post(void* target, uintptr_t wParam, intptr_t lParam, SysError& err);
};

}  // namespace penlink

#endif  // PENLINK_NOTIFYTARGET_H

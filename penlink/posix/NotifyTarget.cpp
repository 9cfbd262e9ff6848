#include "NotifyTarget.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <set>

#include "core/SystemServices.h"

namespace penlink {

struct NotifyQueue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Notification> queue;
    unsigned waiters = 0;
    bool destroyed = false;
};

namespace {

// Targets that exist; delivery looks a target up here first, so that a target
// destroyed while a search still holds its address is never touched.
std::mutex g_targetsMutex;
std::set<NotifyQueue*>& LiveTargets() {
    static std::set<NotifyQueue*> targets;
    return targets;
}

}  // namespace

NotifyQueue* NotifyTarget::Create() {
    auto* target = new (std::nothrow) NotifyQueue;
    if (target == nullptr) return nullptr;
    try {
        std::lock_guard<std::mutex> lock(g_targetsMutex);
        LiveTargets().insert(target);
    } catch (...) {
        delete target;
        return nullptr;
    }
    return target;
}

bool NotifyTarget::Wait(NotifyQueue* target, unsigned timeoutMs, Notification& msg) {
    std::unique_lock<std::mutex> lock(target->mutex, std::defer_lock);
    {
        // Registered as a waiter before the list lets go, so that a destroyer
        // that comes after it leaves the freeing to this waiter.
        std::lock_guard<std::mutex> listLock(g_targetsMutex);
        if (LiveTargets().count(target) == 0) return false;
        lock.lock();
        ++target->waiters;
    }
    target->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return target->destroyed || !target->queue.empty(); });
    bool taken = false;
    if (!target->destroyed && !target->queue.empty()) {
        msg = target->queue.front();
        target->queue.pop_front();
        taken = true;
    }
    const bool last = --target->waiters == 0 && target->destroyed;
    lock.unlock();
    if (last) delete target;
    return taken;
}

void NotifyTarget::Destroy(NotifyQueue* target) {
    bool freeNow = false;
    {
        std::lock_guard<std::mutex> listLock(g_targetsMutex);
        if (LiveTargets().erase(target) == 0) return;
        std::lock_guard<std::mutex> lock(target->mutex);
        target->destroyed = true;
        freeNow = target->waiters == 0;
        // Woken under the lock: a waiter cannot leave, and free the target,
        // before this call has let go of it.
        if (!freeNow) target->arrived.notify_all();
    }
    if (freeNow) delete target;
}

bool NotifyTarget::Post(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    std::lock_guard<std::mutex> lock(g_targetsMutex);
    auto* t = static_cast<NotifyQueue*>(target);
    if (t == nullptr || LiveTargets().count(t) == 0) {
        err = {"PostSearchResult: no such target", 0};
        return false;
    }
    {
        std::lock_guard<std::mutex> queueLock(t->mutex);
        t->queue.push_back({kSearchResultMessage, wParam, lParam});
    }
    t->arrived.notify_all();
    return true;
}

}  // namespace penlink

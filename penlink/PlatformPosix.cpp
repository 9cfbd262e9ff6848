// POSIX system services shared by the hidraw and the emulated backend, and the
// notification targets that stand in for windows on systems without them.
#include <syslog.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "Penlink.h"
#include "Platform.h"
#include "TextCodec.h"

// A target lives until it is destroyed and its last waiter has left: the
// destroyer marks it and wakes the waiters, and whoever leaves it last, with
// the mark set, frees it.
struct FWUNotifyTarget {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<FWUNOTIFICATION> queue;
    unsigned waiters = 0;
    bool destroyed = false;
};

namespace {

// Targets that exist; delivery looks a target up here first, so that a target
// destroyed while a search still holds its address is never touched.
std::mutex g_targetsMutex;
std::set<FWUNotifyTarget*>& LiveTargets() {
    static std::set<FWUNotifyTarget*> targets;
    return targets;
}

}  // namespace

namespace penlink::platform {

uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void Sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool ProcessExiting() { return false; }

void DebugOutput(const std::u16string& text) {
    syslog(LOG_DEBUG, "%s", Utf16ToUtf8(text).c_str());
}

bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    std::lock_guard<std::mutex> lock(g_targetsMutex);
    auto* t = static_cast<FWUNotifyTarget*>(target);
    if (t == nullptr || LiveTargets().count(t) == 0) {
        err = {"PostSearchResult: no such target", 0};
        return false;
    }
    {
        std::lock_guard<std::mutex> queueLock(t->mutex);
        t->queue.push_back({WM_DEVICE_SEARCH_RESULT, wParam, lParam});
    }
    t->arrived.notify_all();
    return true;
}

}  // namespace penlink::platform

FWU_TARGET FWUCreateNotifyTarget() {
    auto* target = new (std::nothrow) FWUNotifyTarget;
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

int FWUWaitNotification(FWU_TARGET target, unsigned int timeoutMs, FWUNOTIFICATION* msg) {
    if (target == nullptr || msg == nullptr) return 0;
    std::unique_lock<std::mutex> lock(target->mutex, std::defer_lock);
    {
        // Registered as a waiter before the list lets go, so that a destroyer
        // that comes after it leaves the freeing to this waiter.
        std::lock_guard<std::mutex> listLock(g_targetsMutex);
        if (LiveTargets().count(target) == 0) return 0;
        lock.lock();
        ++target->waiters;
    }
    target->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return target->destroyed || !target->queue.empty(); });
    int taken = 0;
    if (!target->destroyed && !target->queue.empty()) {
        *msg = target->queue.front();
        target->queue.pop_front();
        taken = 1;
    }
    const bool last = --target->waiters == 0 && target->destroyed;
    lock.unlock();
    if (last) delete target;
    return taken;
}

void FWUDestroyNotifyTarget(FWU_TARGET target) {
    if (target == nullptr) return;
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

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

struct FWUNotifyTarget {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<FWUNOTIFICATION> queue;
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
    std::unique_lock<std::mutex> lock(target->mutex);
    if (!target->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !target->queue.empty(); })) {
        return 0;
    }
    *msg = target->queue.front();
    target->queue.pop_front();
    return 1;
}

void FWUDestroyNotifyTarget(FWU_TARGET target) {
    if (target == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(g_targetsMutex);
        if (LiveTargets().erase(target) == 0) return;
    }
    delete target;
}

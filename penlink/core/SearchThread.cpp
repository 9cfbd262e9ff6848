#include "SearchThread.h"

#include <chrono>
#include <exception>
#include <thread>

#include "DebugLog.h"
#include "SystemServices.h"

namespace penlink {

CSearchThread& Search() {
    // Never destroyed: a call still running at process exit may use it.
    static CSearchThread* search = new CSearchThread;
    return *search;
}

bool CSearchThread::Start(void (*routine)(), void* target) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned = false;
        m_done = false;
        m_found = false;
        m_target = target;
        m_targetGone = false;
    }
    // Detached: whoever waits for the search waits for its end mark (Finish
    // or FinishSilently, the routine's last step), so a process that ends
    // during a call leaves no thread behind that someone should have joined.
    try {
        std::thread(routine).detach();
    } catch (const std::exception& e) {
        LogFailure(std::string("starting the search thread: ") + e.what());
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        return false;
    }
    return true;
}

void CSearchThread::Stop(bool abandon) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (abandon) {
        m_abandoned = true;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return m_done; });
}

void CSearchThread::StopAtUnload() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_abandoned = true;
    m_changed.notify_all();
    m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_done; });
}

bool CSearchThread::Busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_done;
}

bool CSearchThread::Pause(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_abandoned; });
}

bool CSearchThread::Abandoned() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_abandoned;
}

bool CSearchThread::Found() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_found && !m_abandoned;
}

void CSearchThread::Forget(void* target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_done && target != nullptr && target == m_target) m_targetGone = true;
}

bool CSearchThread::Finish(void* target, uintptr_t wParam, intptr_t lParam) {
    // Posted under the lock, so that a target forgotten (and perhaps made
    // anew under the same handle) after this check never gets the result.
    std::lock_guard<std::mutex> lock(m_mutex);
    bool posted = false;
    if (m_targetGone) {
        LogFailure("the search result is not posted: its target went away");
    } else if (!m_abandoned) {
        SysError err;
        posted = Services().PostSearchResult(target, wParam, lParam, err);
        if (!posted) LogFailure("posting the search result", err);
    }
    m_found = posted && wParam == kSearchFound;
    m_done = true;
    m_changed.notify_all();
    return posted;
}

void CSearchThread::FinishSilently() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = true;
    m_changed.notify_all();
}

}  // namespace penlink

#include "SearchThread.h"

#include <chrono>
#include <exception>

#include "DebugLog.h"
#include "SystemServices.h"

namespace penlink {

CSearchThread& Search() {
    // Never destroyed: at process exit on Windows its thread may be stopped
    // without having been joined or detached, and destroying a joinable
    // std::thread would end the process with an abort.
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
    try {
        m_thread = std::thread(routine);
    } catch (const std::exception& e) {
        LogFailure(std::string("starting the search thread: ") + e.what());
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        return false;
    }
    return true;
}

void CSearchThread::Stop(bool abandon) {
    if (abandon) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_abandoned = true;
        }
        m_changed.notify_all();
    }
    if (m_thread.joinable()) m_thread.join();
}

void CSearchThread::StopAtUnload() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_abandoned = true;
    m_changed.notify_all();
    m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_done; });
    lock.unlock();
    if (m_thread.joinable()) m_thread.detach();
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

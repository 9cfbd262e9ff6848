#include "NullConnection.h"

#include <cerrno>
#include <chrono>

namespace penlink {

NullConnection::~NullConnection() {
    CancelRead();
    std::lock_guard<std::mutex> waitForRead(m_readMutex);
}

IoStatus NullConnection::Write(const uint8_t* report, size_t length, unsigned, SysError& err) {
    if (report == nullptr || length == 0) {
        err = {"write", EINVAL};
        return IoStatus::Failed;
    }
    return IoStatus::Ok;
}

IoStatus NullConnection::Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                              SysError& err) {
    got = 0;
    if (buffer == nullptr || capacity == 0) {
        err = {"read", EINVAL};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> reading(m_readMutex);
    std::unique_lock<std::mutex> lock(m_mutex);
    // A cancel is taken whether it was pending or comes during the wait.
    if (!m_cancelled.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_cancel; })) {
        return IoStatus::Timeout;
    }
    m_cancel = false;
    return IoStatus::Cancelled;
}

void NullConnection::CancelRead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = true;
    }
    m_cancelled.notify_all();
}

}  // namespace penlink

#include "BackgroundWriter.h"

namespace penflash {

BackgroundWriter::BackgroundWriter(std::FILE* stream)
    : m_stream(stream), m_thread(&BackgroundWriter::Run, this) {}

BackgroundWriter::~BackgroundWriter() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_posted.notify_one();
    m_thread.join();
}

void BackgroundWriter::Post(std::string text, bool replaceable) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_broken.load()) return;
        if (replaceable && m_lastReplaceable && !m_queue.empty()) {
            m_queue.back() = std::move(text);
        } else {
            m_queue.push_back(std::move(text));
        }
        m_lastReplaceable = replaceable;
    }
    m_posted.notify_one();
}

void BackgroundWriter::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_written.wait(lock, [this] { return (m_queue.empty() && !m_writing) || m_broken.load(); });
}

void BackgroundWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_posted.wait(lock, [this] { return !m_queue.empty() || m_stop; });
        if (m_queue.empty()) return;  // stopping, and everything is written
        std::string text = std::move(m_queue.front());
        m_queue.pop_front();
        if (m_queue.empty()) m_lastReplaceable = false;
        m_writing = true;
        lock.unlock();
        // The only place that may block on the stream.
        const bool written = std::fputs(text.c_str(), m_stream) >= 0;
        const bool broken = !written || std::fflush(m_stream) != 0 || std::ferror(m_stream);
        lock.lock();
        m_writing = false;
        if (broken) {
            m_broken.store(true);
            m_queue.clear();
        }
        m_written.notify_all();
    }
}

}  // namespace penflash

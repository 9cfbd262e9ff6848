// Writes text to a stream on a thread of its own, so that a terminal whose
// output is stopped (Ctrl-S) or slow holds up nothing but this thread. Text
// is written in the order posted; a status line posted while the one before
// it still waits takes its place, so what piles up while output is stopped
// stays small.
#ifndef PENFLASH_BACKGROUNDWRITER_H
#define PENFLASH_BACKGROUNDWRITER_H

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace penflash {

class BackgroundWriter {
public:
    // Starts the writing thread for stream. Main thread.
    explicit BackgroundWriter(std::FILE* stream);
    // Waits until everything posted is written (or the stream failed), then
    // ends the thread. Main thread.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Queues text and returns at once. replaceable: a status line, which
    // the next replaceable text replaces while it is not yet written.
    // Nothing is queued once a write failed. Any thread.
    void Post(std::string text, bool replaceable);

    // Returns once everything posted so far is written or a write failed.
    // Any thread but the writing one.
    void Drain();

    // Returns whether a write failed; nothing is written after that.
    // Any thread.
    bool Broken() const { return m_broken.load(); }

private:
    void Run();

    std::FILE* m_stream;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_written;
    std::deque<std::string> m_queue;  // guarded by m_mutex
    bool m_lastReplaceable = false;   // the queue's last text is a status line
    bool m_writing = false;           // the thread writes a text taken off the queue
    bool m_stop = false;
    std::atomic<bool> m_broken{false};
    std::thread m_thread;
};

}  // namespace penflash

#endif  // PENFLASH_BACKGROUNDWRITER_H

#include "HidrawConnection.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "Deadline.h"

namespace penlink {

// errno values by which hidraw says the device is gone: ENODEV from a write
// after unplugging, EIO from a read, ESHUTDOWN and EPIPE from the USB layer.
IoStatus HidrawConnection::StatusFromErrno(const char* call, int code, SysError& err) {
    err = {call, code};
    switch (code) {
        case ENODEV:
        case ESHUTDOWN:
        case EPIPE:
        case EIO: return IoStatus::DeviceStopped;
        default: return IoStatus::Failed;
    }
}

HidrawConnection::HidrawConnection(FileDescriptor fd, FileDescriptor wakeFd, bool numberedReports)
    : m_fd(std::move(fd)), m_wakeFd(std::move(wakeFd)), m_numberedReports(numberedReports) {}

HidrawConnection::~HidrawConnection() {
    CancelRead();
    // Wait for a Read (woken just now) or a Write still running; the
    // descriptors close after that, as the members go.
    std::lock_guard<std::mutex> readLock(m_readMutex);
    std::lock_guard<std::mutex> writeLock(m_writeMutex);
}

IoStatus HidrawConnection::Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                                 SysError& err) {
    if (report == nullptr || length == 0) {
        err = {"write", EINVAL};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> lock(m_writeMutex);
    const Deadline deadline(timeoutMs);
    // hidraw sends a report synchronously and never answers EAGAIN, so
    // the write comes first and poll only runs where the descriptor would
    // block (a pipe or socket standing in for the device): older kernels
    // never report a hidraw node writable, so polling first would time
    // out every write there.
    for (;;) {
        const ssize_t n = ::write(m_fd.Get(), report, length);
        if (n >= 0) {
            if (static_cast<size_t>(n) == length) return IoStatus::Ok;
            err = {"write (short)", 0};
            return IoStatus::Failed;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno("write", errno, err);

        pollfd pfd{m_fd.Get(), POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, deadline.RemainingMs());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return StatusFromErrno("poll", errno, err);
        if (ready == 0) return IoStatus::Timeout;
        if (pfd.revents & POLLNVAL) return StatusFromErrno("poll", EBADF, err);
        if ((pfd.revents & POLLOUT) == 0) {
            err = {"poll (hang-up)", 0};
            return IoStatus::DeviceStopped;
        }
    }
}

IoStatus HidrawConnection::Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                                SysError& err) {
    got = 0;
    if (buffer == nullptr || capacity == 0) {
        err = {"read", EINVAL};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> lock(m_readMutex);
    const Deadline deadline(timeoutMs);
    for (;;) {
        pollfd pfds[2] = {{m_fd.Get(), POLLIN, 0}, {m_wakeFd.Get(), POLLIN, 0}};
        const int ready = ::poll(pfds, 2, deadline.RemainingMs());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return StatusFromErrno("poll", errno, err);
        // A cancel wins over data that came at the same time.
        if (pfds[1].revents & POLLIN) {
            ConsumeCancel();
            return IoStatus::Cancelled;
        }
        if (ready == 0) return IoStatus::Timeout;
        const short events = pfds[0].revents;
        if (events & POLLNVAL) return StatusFromErrno("poll", EBADF, err);
        if (events & POLLIN) {
            // hidraw hands out one report per read, cut to capacity. A
            // device without numbered reports sends its data bytes only;
            // the report ID 0x00 is put back in front of them, so that
            // reads look alike whatever the device numbers.
            uint8_t spare;
            const size_t skip = m_numberedReports ? 0 : 1;
            uint8_t* const into = capacity > skip ? buffer + skip : &spare;
            const ssize_t n = ::read(m_fd.Get(), into, capacity > skip ? capacity - skip : 1);
            if (n > 0) {
                if (skip != 0) buffer[0] = 0x00;
                got = std::min(capacity, static_cast<size_t>(n) + skip);
                return IoStatus::Ok;
            }
            if (n == 0) {
                err = {"read (end of file)", 0};
                return IoStatus::DeviceStopped;
            }
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return StatusFromErrno("read", errno, err);
        }
        if (events & (POLLHUP | POLLERR)) {
            err = {"poll (hang-up)", 0};
            return IoStatus::DeviceStopped;
        }
    }
}

void HidrawConnection::CancelRead() {
    // The eventfd counter only grows, so cancels before one Read count
    // as one; it cannot reach its limit in practice.
    const uint64_t one = 1;
    while (::write(m_wakeFd.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void HidrawConnection::ConsumeCancel() {
    uint64_t count;
    while (::read(m_wakeFd.Get(), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

}  // namespace penlink

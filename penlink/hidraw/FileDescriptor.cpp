#include "FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace penlink {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Reset();
        m_fd = other.Release();
    }
    return *this;
}

FileDescriptor FileDescriptor::Open(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

int FileDescriptor::Release() noexcept {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void FileDescriptor::Reset() noexcept {
    if (m_fd < 0) return;
    const int saved = errno;
    ::close(m_fd);
    m_fd = -1;
    errno = saved;
}

}  // namespace penlink

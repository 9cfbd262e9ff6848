// The one owner of a file descriptor in the hidraw backend: it closes the
// descriptor when it goes, so that no way out of a function, an error or an
// exception among them, leaves one open.
#ifndef PENLINK_HIDRAW_FILEDESCRIPTOR_H
#define PENLINK_HIDRAW_FILEDESCRIPTOR_H

#include <string>

namespace penlink {

class FileDescriptor {
public:
    // Owns nothing.
    FileDescriptor() = default;

    // Takes over fd (-1: nothing). Any thread.
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}

    // Closes the descriptor it owns, keeping errno as it was.
    ~FileDescriptor() { Reset(); }

    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // open(path, flags), tried again while a signal interrupts it. Returns
    // the owner of the new descriptor, or an empty one with errno set by
    // open. Any thread.
    static FileDescriptor Open(const std::string& path, int flags);

    // The descriptor, or -1 when it owns none. Any thread.
    int Get() const noexcept { return m_fd; }
    bool Valid() const noexcept { return m_fd >= 0; }

    // Gives the descriptor up without closing it; returns it (-1: none).
    int Release() noexcept;

    // Closes the descriptor it owns, if any, keeping errno as it was; a
    // close that fails is not tried again (Linux frees the number anyway).
    void Reset() noexcept;

private:
    int m_fd = -1;
};

}  // namespace penlink

#endif  // PENLINK_HIDRAW_FILEDESCRIPTOR_H

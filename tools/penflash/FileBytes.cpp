#include "FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TextFormat.h"

namespace penflash {

namespace fs = std::filesystem;

namespace {

std::string TooLarge(const std::string& path, std::uint64_t size) {
    return path + " is " + GroupDigits(size) + " bytes long, more than any pen firmware";
}

#ifndef _WIN32
// Closes the descriptor when the read ends, whichever way.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};
#endif

}  // namespace

bool ReadFileBytes(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    bytes.clear();
#ifdef _WIN32
    const fs::path file = fs::u8path(path);
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (fs::is_directory(status)) {
        error = path + " is a folder";
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        error = path + " is not a regular file";
        return false;
    }
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || !in.seekg(0)) {
        error = "cannot read " + path;
        return false;
    }
    if (static_cast<std::uint64_t>(size) > maxSize) {
        error = TooLarge(path, static_cast<std::uint64_t>(size));
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (in.gcount() != size) {
        bytes.clear();
        error = "cannot read " + path;
        return false;
    }
    return true;
#else
    // Non-blocking, so that a FIFO or a device cannot hold the open; what is
    // not a regular file is refused before anything is read from it.
    const Descriptor in{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (in.fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(in.fd, &info) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = path + " is a folder";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxSize) {
        error = TooLarge(path, static_cast<std::uint64_t>(info.st_size));
        return false;
    }
    // Read to the end, whatever the size said: the file may have changed
    // since. One byte more than allowed shows a file that grew too large.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > maxSize) {
                bytes.clear();
                error = TooLarge(path, got);
                return false;
            }
            bytes.resize(std::min(maxSize + 1, bytes.size() * 2));
        }
        const ssize_t n = read(in.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int code = errno;
            bytes.clear();
            error = "cannot read " + path + ": " + std::strerror(code);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
#endif
}

bool IsSameFile(const std::string& first, const std::string& second) {
    std::error_code ec;
    return fs::equivalent(fs::u8path(first), fs::u8path(second), ec) && !ec;
}

std::string FifoWithoutReader(const std::string& path) {
#ifdef _WIN32
    static_cast<void>(path);
    return "";
#else
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return "";
    // A non-blocking open for writing fails with ENXIO while no reader is
    // at the other end, instead of waiting for one.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return "";
    }
    const int error = errno;
    if (error == ENXIO) {
        return path + " is a FIFO that no program reads; start its reader first (cat " + path +
               " > transcript.log, say)";
    }
    return path + ": " + std::strerror(error);
#endif
}

}  // namespace penflash

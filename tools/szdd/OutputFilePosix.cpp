// POSIX backend of WriteOutputFile: O_EXCL temporary files, rename(2), and
// signal handlers that remove an unfinished temporary file.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "OutputFile.h"

namespace szdd_tool {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file that a signal must remove. Changed only while the
// cleanup signals are blocked, so the handler never sees it half-written.
std::string g_temporary;
volatile sig_atomic_t g_temporaryExists = 0;

extern "C" void RemoveTemporaryAndEnd(int signal) {
    if (g_temporaryExists) {
        unlink(g_temporary.c_str());
    }
    // SA_RESETHAND restored the default action: the process now ends as the
    // signal says, once this handler returns and the signal is unblocked.
    raise(signal);
}

std::string SystemError(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

// Blocks the cleanup signals for its lifetime.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : kCleanupSignals) {
            sigaddset(&set, s);
        }
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

void InstallCleanupHandlers() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int s : kCleanupSignals) {
        sigaddset(&action.sa_mask, s);
    }
    for (const int s : kCleanupSignals) {
        struct sigaction previous {};
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(s, &action, nullptr);
        }
    }
}

// Writes all of bytes to fd. Returns an empty string or the reason.
std::string WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left < (1u << 30) ? left : (1u << 30));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError("cannot write");
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return {};
}

// Opens an existing non-regular file and writes bytes into it.
std::string WriteThrough(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return SystemError("cannot open");
    }
    std::string problem = WriteAll(fd, bytes);
    if (close(fd) != 0 && problem.empty()) {
        problem = SystemError("cannot write");
    }
    return problem;
}

// The temporary file beside target: its name followed by suffix, the name
// cut short where both together would pass the longest name a directory
// entry may have (NAME_MAX bytes).
std::string TemporaryBeside(const std::string& target, const char* suffix) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t room = NAME_MAX - std::strlen(suffix);
    if (target.size() - nameStart <= room) return target + suffix;
    return target.substr(0, nameStart + room) + suffix;
}

// Replaces the regular file target (or creates it when replaced is null)
// through a temporary file beside it.
std::string WriteReplacing(const std::string& target, const struct stat* replaced,
                           const std::vector<std::uint8_t>& bytes) {
    InstallCleanupHandlers();
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    int fd = -1;
    {
        SignalsHeld held;
        for (unsigned attempt = 0; fd < 0; ++attempt) {
            char suffix[40];
            std::snprintf(suffix, sizeof suffix, ".%08llx.tmp",
                          (stamp + attempt * 0x9E3779B9ull) & 0xFFFFFFFFull);
            g_temporary = TemporaryBeside(target, suffix);
            // Readable by the owner only until it has the final mode.
            fd = open(g_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && (errno != EEXIST || attempt == 100)) {
                return SystemError(errno == EEXIST ? "cannot find a free temporary name beside it"
                                                   : "cannot create a temporary file beside it");
            }
        }
        g_temporaryExists = 1;
    }

    std::string problem = WriteAll(fd, bytes);
    if (problem.empty()) {
        if (replaced != nullptr) {
            // The owner too where that is allowed (as root); elsewhere the
            // file stays ours, as with any new file.
            [[maybe_unused]] const int owned = fchown(fd, replaced->st_uid, replaced->st_gid);
            if (fchmod(fd, replaced->st_mode & 07777) != 0) {
                problem =
                    SystemError("cannot give the temporary file the mode of the replaced one");
            }
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            if (fchmod(fd, 0666 & ~mask) != 0) {
                problem = SystemError("cannot set the mode of the temporary file");
            }
        }
    }
    if (close(fd) != 0 && problem.empty()) {
        problem = SystemError("cannot write");
    }

    SignalsHeld held;
    if (problem.empty() && rename(g_temporary.c_str(), target.c_str()) != 0) {
        problem = SystemError("cannot rename the finished file into place");
    }
    if (!problem.empty()) {
        unlink(g_temporary.c_str());
    }
    g_temporaryExists = 0;
    return problem;
}

}  // namespace

std::string WriteOutputFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno != ENOENT) {
            return SystemError("cannot examine");
        }
        return WriteReplacing(path, nullptr, bytes);
    }
    struct stat file = link;
    std::string target = path;
    if (S_ISLNK(link.st_mode)) {
        if (stat(path.c_str(), &file) != 0) {
            return errno == ENOENT ? "is a dangling symbolic link" : SystemError("cannot examine");
        }
        if (S_ISREG(file.st_mode)) {
            // Replace the file the link names, so that the link stays.
            char* resolved = realpath(path.c_str(), nullptr);
            if (resolved == nullptr) {
                return SystemError("cannot resolve the symbolic link");
            }
            target = resolved;
            free(resolved);
        }
    }
    if (S_ISDIR(file.st_mode)) {
        return "is a directory";
    }
    if (S_ISREG(file.st_mode)) {
        return WriteReplacing(target, &file, bytes);
    }
    return WriteThrough(path, bytes);
}

}  // namespace szdd_tool

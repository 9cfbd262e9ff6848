#include "PenProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace penflash {

namespace {

// How often an interrupt is looked at while no child writes.
constexpr int kPollMs = 100;

struct Running {
    pid_t pid = -1;
    int out = -1;         // the child's stdout, read end
    int err = -1;         // the child's stderr, read end
    std::string partial;  // stderr after its last line break
};

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Starts one child. Returns its pid, or -1 with failure set.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int out, int err,
            std::string& failure) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    pid_t pid = -1;
    const int result = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        failure = "cannot start " + program + ": " + std::strerror(result);
        return -1;
    }
    return pid;
}

// Reads what is there from fd into text. Returns false at the end of the
// stream (or on an error), when fd is closed.
bool Drain(int& fd, std::string& text) {
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    CloseFd(fd);
    return false;
}

}  // namespace

std::string OwnProgramPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<std::size_t>(length));
}

void RunPenProcesses(const std::string& program, std::vector<PenRun>& runs,
                     const Interrupt& interrupt,
                     const std::function<void(std::size_t, const std::string&)>& onLine) {
    std::vector<Running> running(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            runs[i].failure = std::string("cannot make a pipe: ") + std::strerror(errno);
            continue;
        }
        if (::pipe2(err, O_CLOEXEC) != 0) {
            runs[i].failure = std::string("cannot make a pipe: ") + std::strerror(errno);
            ::close(out[0]);
            ::close(out[1]);
            continue;
        }
        // dup2 in the child clears O_CLOEXEC on its stdout and stderr; every
        // other end stays out of it, so each pipe ends when its child does.
        running[i].pid = Spawn(program, runs[i].args, out[1], err[1], runs[i].failure);
        ::close(out[1]);
        ::close(err[1]);
        running[i].out = out[0];
        running[i].err = err[0];
        if (running[i].pid < 0) {
            CloseFd(running[i].out);
            CloseFd(running[i].err);
        }
    }

    bool forwarded = false;
    for (;;) {
        if (interrupt.Requested() && !forwarded) {
            forwarded = true;
            for (const Running& r : running) {
                if (r.pid > 0) ::kill(r.pid, SIGINT);
            }
        }
        std::vector<pollfd> fds;
        std::vector<std::size_t> owners;
        for (std::size_t i = 0; i < running.size(); ++i) {
            for (int fd : {running[i].out, running[i].err}) {
                if (fd < 0) continue;
                fds.push_back({fd, POLLIN, 0});
                owners.push_back(i);
            }
        }
        if (fds.empty()) break;
        const int ready = ::poll(fds.data(), fds.size(), kPollMs);
        if (ready <= 0) continue;  // time to look at the interrupt, or EINTR
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            Running& r = running[owners[k]];
            if (fds[k].fd == r.out) {
                Drain(r.out, runs[owners[k]].report);
                continue;
            }
            const bool open = Drain(r.err, r.partial);
            for (std::size_t end = r.partial.find('\n'); end != std::string::npos;
                 end = r.partial.find('\n')) {
                onLine(owners[k], r.partial.substr(0, end));
                r.partial.erase(0, end + 1);
            }
            if (!open && !r.partial.empty()) {
                onLine(owners[k], r.partial);
                r.partial.clear();
            }
        }
    }

    for (std::size_t i = 0; i < running.size(); ++i) {
        if (running[i].pid < 0) continue;
        int status = 0;
        while (::waitpid(running[i].pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) {
            runs[i].exitCode = WEXITSTATUS(status);
        } else {
            runs[i].exitCode = 1;
            runs[i].failure = WIFSIGNALED(status)
                                  ? "ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
                                        ::strsignal(WTERMSIG(status)) + ")"
                                  : "ended abnormally";
        }
    }
}

}  // namespace penflash

#include "ChildProcess.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

#ifdef _WIN32
using Pipe = HANDLE;
const Pipe kNoPipe = nullptr;

void ClosePipe(Pipe& p) {
    if (p != kNoPipe) CloseHandle(p);
    p = kNoPipe;
}

long ReadPipe(Pipe p, char* buffer, unsigned size) {
    DWORD got = 0;
    return ReadFile(p, buffer, size, &got, nullptr) ? static_cast<long>(got) : 0;
}

void WritePipe(Pipe p, const std::string& data) {
    DWORD written = 0;
    if (!data.empty())
        WriteFile(p, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

// One argument quoted for CommandLineToArgvW and the C runtime's parser.
std::wstring Quote(const std::string& arg) {
    std::wstring wide(arg.begin(), arg.end());
    std::wstring out = L"\"";
    unsigned backslashes = 0;
    for (wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}
#else
using Pipe = int;
const Pipe kNoPipe = -1;

void ClosePipe(Pipe& p) {
    if (p != kNoPipe) close(p);
    p = kNoPipe;
}

long ReadPipe(Pipe p, char* buffer, unsigned size) {
    for (;;) {
        const ssize_t got = read(p, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        return got < 0 ? 0 : static_cast<long>(got);
    }
}

void WritePipe(Pipe p, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(p, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}
#endif

}  // namespace

struct ChildProcess::State {
    Pipe in = kNoPipe, out = kNoPipe, err = kNoPipe;
#ifdef _WIN32
    HANDLE process = nullptr;
#else
    pid_t pid = -1;
#endif
    bool started = false;
    bool ended = false;
    int exitCode = -1;

    std::mutex mutex;
    std::condition_variable changed;
    std::string outText, errText;
    bool outClosed = false;
    std::thread outReader, errReader;

    void Read(Pipe pipe, std::string& text, bool* closed) {
        char buffer[4096];
        for (;;) {
            const long got = ReadPipe(pipe, buffer, sizeof buffer);
            std::lock_guard<std::mutex> lock(mutex);
            if (got <= 0) {
                if (closed != nullptr) *closed = true;
                changed.notify_all();
                return;
            }
            text.append(buffer, static_cast<size_t>(got));
            changed.notify_all();
        }
    }

    void Join() {
        if (outReader.joinable()) outReader.join();
        if (errReader.joinable()) errReader.join();
    }
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& input)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    Pipe childIn = kNoPipe, childOut = kNoPipe, childErr = kNoPipe;
#ifdef _WIN32
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&childIn, &s.in, &inherit, 0) || !CreatePipe(&s.out, &childOut, &inherit, 0) ||
        !CreatePipe(&s.err, &childErr, &inherit, 0)) {
        return;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(s.in, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(s.out, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(s.err, HANDLE_FLAG_INHERIT, 0);
    std::wstring commandLine = Quote(program);
    for (const auto& arg : args) commandLine += L" " + Quote(arg);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childErr;
    PROCESS_INFORMATION info{};
    s.started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &info) != 0;
    if (s.started) {
        s.process = info.hProcess;
        CloseHandle(info.hThread);
    }
#else
    int inPipe[2], outPipe[2], errPipe[2];
    // Close-on-exec, so that no other child inherits them; dup2 gives the
    // child its three without the flag.
    if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
        pipe2(errPipe, O_CLOEXEC) != 0) {
        return;
    }
    childIn = inPipe[0];
    s.in = inPipe[1];
    s.out = outPipe[0];
    childOut = outPipe[1];
    s.err = errPipe[0];
    childErr = errPipe[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn, 0);
    posix_spawn_file_actions_adddup2(&actions, childOut, 1);
    posix_spawn_file_actions_adddup2(&actions, childErr, 2);
    // A child that ends before reading its input must not end the test; the
    // child itself starts with SIGPIPE's default, as from a shell.
    signal(SIGPIPE, SIG_IGN);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    s.started =
        posix_spawn(&s.pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
#endif
    ClosePipe(childIn);
    ClosePipe(childOut);
    ClosePipe(childErr);
    if (!s.started) return;
    s.outReader = std::thread([&s] { s.Read(s.out, s.outText, &s.outClosed); });
    s.errReader = std::thread([&s] { s.Read(s.err, s.errText, nullptr); });
    WritePipe(s.in, input);
    ClosePipe(s.in);
}

ChildProcess::~ChildProcess() {
    State& s = *m_state;
    if (s.started && !s.ended) {
#ifdef _WIN32
        TerminateProcess(s.process, 1);
        WaitForSingleObject(s.process, INFINITE);
#else
        kill(s.pid, SIGKILL);
        waitpid(s.pid, nullptr, 0);
#endif
    }
    s.Join();
#ifdef _WIN32
    if (s.process != nullptr) CloseHandle(s.process);
#endif
    ClosePipe(s.in);
    ClosePipe(s.out);
    ClosePipe(s.err);
}

bool ChildProcess::Started() const { return m_state->started; }

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.changed.wait_for(lock, limit, [&] {
        return s.outText.find(text) != std::string::npos || s.outClosed;
    }) && s.outText.find(text) != std::string::npos;
}

void ChildProcess::Interrupt() {
#ifndef _WIN32
    Signal(SIGINT);
#endif
}

void ChildProcess::Signal(int signal) {
#ifndef _WIN32
    if (m_state->started && !m_state->ended) kill(m_state->pid, signal);
#else
    static_cast<void>(signal);
#endif
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    State& s = *m_state;
    if (!s.started) return -1;
    if (s.ended) return s.exitCode;
#ifdef _WIN32
    if (WaitForSingleObject(s.process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(s.process, &code);
    s.exitCode = static_cast<int>(code);
#else
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(s.pid, &status, WNOHANG);
        if (done == s.pid) break;
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    s.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    s.ended = true;
    s.Join();
    return s.exitCode;
}

std::string ChildProcess::Out() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->outText;
}

std::string ChildProcess::Err() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->errText;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input) {
    ChildProcess child(program, args, input);
    RunResult result;
    result.exitCode = child.Wait(std::chrono::seconds(60));
    result.out = child.Out();
    result.err = child.Err();
    return result;
}

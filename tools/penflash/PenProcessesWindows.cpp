// RunPenProcesses on Windows: CreateProcessW with pipes, each pipe read by a
// thread of its own, the lines handed to the calling thread.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "PenProcesses.h"

namespace penflash {

namespace {

// How often an interrupt is looked at while no child writes.
constexpr auto kWaitStep = std::chrono::milliseconds(100);

// text in the system's ANSI code page (as the C runtime hands argv to
// main, and as it will hand it to the child) as UTF-16.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// One argument quoted for the C runtime's parser of the child.
std::wstring Quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    unsigned backslashes = 0;
    for (wchar_t c : arg) {
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

std::string SystemMessage(const char* what, DWORD code) {
    return std::string(what) + " failed (error " + std::to_string(code) + ")";
}

// What the reading threads hand to the calling thread.
struct Chunk {
    std::size_t run;
    bool err;  // from stderr; else stdout
    bool end;  // the pipe ended
    std::string text;
};

struct Mailbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Chunk> chunks;

    void Post(Chunk chunk) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            chunks.push_back(std::move(chunk));
        }
        arrived.notify_one();
    }
};

void ReadPipe(HANDLE pipe, std::size_t run, bool err, Mailbox& mailbox) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        mailbox.Post({run, err, false, std::string(buffer, got)});
    }
    CloseHandle(pipe);
    mailbox.Post({run, err, true, {}});
}

struct Running {
    HANDLE process = nullptr;
    int open = 0;         // pipes still being read
    std::string partial;  // stderr after its last line break
};

}  // namespace

std::string OwnProgramPath() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

void RunPenProcesses(const std::string& program, std::vector<PenRun>& runs,
                     const Interrupt& interrupt,
                     const std::function<void(std::size_t, const std::string&)>& onLine) {
    // Ctrl-C reaches every process of the console, the children too, and
    // Windows sends nothing else that asks to stop: nothing is passed on.
    static_cast<void>(interrupt);
    Mailbox mailbox;
    std::vector<Running> running(runs.size());
    std::vector<std::thread> readers;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        // The children start one after the other, and each child's write
        // ends are closed here before the next starts, so that no child
        // inherits another's and each pipe ends when its child does.
        HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
        HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
            !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
            runs[i].failure = SystemMessage("CreatePipe", GetLastError());
            for (HANDLE h : {outRead, outWrite, null}) {
                if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
            }
            continue;
        }
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

        std::wstring commandLine = Quote(Wide(program));
        for (const std::string& arg : runs[i].args) commandLine += L" " + Quote(Wide(arg));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = null;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr,
                                            nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
        const DWORD error = GetLastError();
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
        if (!started) {
            runs[i].failure =
                "cannot start " + program + ": " + SystemMessage("CreateProcessW", error);
            CloseHandle(outRead);
            CloseHandle(errRead);
            continue;
        }
        CloseHandle(info.hThread);
        running[i].process = info.hProcess;
        running[i].open = 2;
        readers.emplace_back(ReadPipe, outRead, i, false, std::ref(mailbox));
        readers.emplace_back(ReadPipe, errRead, i, true, std::ref(mailbox));
    }

    std::size_t open = 0;
    for (const Running& r : running) open += static_cast<std::size_t>(r.open);
    while (open > 0) {
        std::deque<Chunk> chunks;
        {
            std::unique_lock<std::mutex> lock(mailbox.mutex);
            mailbox.arrived.wait_for(lock, kWaitStep, [&] { return !mailbox.chunks.empty(); });
            chunks.swap(mailbox.chunks);
        }
        for (Chunk& chunk : chunks) {
            Running& r = running[chunk.run];
            if (!chunk.err) {
                runs[chunk.run].report += chunk.text;
                if (chunk.end) {
                    --r.open;
                    --open;
                }
                continue;
            }
            r.partial += chunk.text;
            for (std::size_t end = r.partial.find('\n'); end != std::string::npos;
                 end = r.partial.find('\n')) {
                std::string line = r.partial.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                onLine(chunk.run, line);
                r.partial.erase(0, end + 1);
            }
            if (chunk.end) {
                if (!r.partial.empty()) onLine(chunk.run, r.partial);
                r.partial.clear();
                --r.open;
                --open;
            }
        }
    }
    for (std::thread& reader : readers) reader.join();

    for (std::size_t i = 0; i < running.size(); ++i) {
        if (running[i].process == nullptr) continue;
        WaitForSingleObject(running[i].process, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(running[i].process, &code);
        CloseHandle(running[i].process);
        runs[i].exitCode = static_cast<int>(code);
    }
}

}  // namespace penflash

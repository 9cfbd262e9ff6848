// Windows backend of WriteOutputFile: a temporary file created with
// CREATE_NEW and moved over the target, and a console control handler that
// deletes an unfinished temporary file on Ctrl-C, Ctrl-Break or close.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "OutputFile.h"

namespace szdd_tool {

namespace {

// Set by the main thread before g_temporaryExists, read by the console
// control handler, which Windows runs on a thread of its own.
std::wstring g_temporary;
std::atomic<bool> g_temporaryExists{false};

BOOL WINAPI RemoveTemporary(DWORD) {
    if (g_temporaryExists.load()) {
        // The file is open with FILE_SHARE_DELETE: it goes when the process
        // ends and its handle is closed.
        DeleteFileW(g_temporary.c_str());
    }
    return FALSE;  // the default handler then ends the process
}

std::string SystemError(const char* step, DWORD code) {
    return std::string(step) + ": " + std::system_category().message(static_cast<int>(code)) +
           " (error " + std::to_string(code) + ")";
}

}  // namespace

std::string WriteOutputFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::wstring target = std::filesystem::path(path).wstring();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "is a directory";
    }
    static const bool handlerInstalled = SetConsoleCtrlHandler(RemoveTemporary, TRUE) != FALSE;
    (void)handlerInstalled;

    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[40];
        std::snprintf(
            suffix, sizeof suffix, ".%08lx.tmp",
            static_cast<unsigned long>((stamp + attempt * 0x9E3779B9ull) & 0xFFFFFFFFull));
        // A name of 255 characters is the longest a directory entry takes:
        // the target's name is cut short where the suffix would pass it.
        const std::wstring tail(suffix, suffix + std::strlen(suffix));
        const std::size_t slash = target.find_last_of(L"\\/");
        const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
        const std::size_t room = 255 - tail.size();
        g_temporary = target.size() - nameStart <= room ? target + tail
                                                        : target.substr(0, nameStart + room) + tail;
        file = CreateFileW(g_temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code != ERROR_FILE_EXISTS || attempt == 100) {
                return SystemError("cannot create a temporary file beside it", code);
            }
        }
    }
    g_temporaryExists.store(true);

    std::string problem;
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0 && problem.empty()) {
        const DWORD chunk = left < (1u << 30) ? static_cast<DWORD>(left) : (1u << 30);
        DWORD written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr)) {
            problem = SystemError("cannot write", GetLastError());
        }
        p += written;
        left -= written;
    }
    if (!CloseHandle(file) && problem.empty()) {
        problem = SystemError("cannot write", GetLastError());
    }
    if (problem.empty() &&
        !MoveFileExW(g_temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        problem = SystemError("cannot rename the finished file into place", GetLastError());
    }
    if (!problem.empty()) {
        DeleteFileW(g_temporary.c_str());
    }
    g_temporaryExists.store(false);
    return problem;
}

}  // namespace szdd_tool

#include "ImagePipeline.h"

#include <lzexpand.h>
#include <shlwapi.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "StoredImage.h"
#include "TempFileName.h"

namespace {

thread_local std::wstring t_lastError;

void Log(const std::wstring& text) {
    const std::wstring line = L"FlashWizard image pipeline: " + text + L"\n";
    OutputDebugStringW(line.c_str());
}

void Report(const std::wstring& text) {
    t_lastError = text;
    Log(text);
}

std::wstring CallFailed(const wchar_t* call, const std::wstring& subject, DWORD error) {
    return std::wstring(call) + L"(" + subject + L") failed: GetLastError " +
           std::to_wstring(error);
}

// error is GetLastError, fetched by the caller right after the failing call.
void ReportCall(const wchar_t* call, const std::wstring& subject, DWORD error) {
    Report(CallFailed(call, subject, error));
}

// Deletes a file that this pipeline created. A failure is logged but does
// not replace the thread's last error: what made the pipeline fail matters
// more, and a successful run stays a success.
void DeleteOwnFile(const std::wstring& path) {
    if (!DeleteFileW(path.c_str())) Log(CallFailed(L"DeleteFileW", path, GetLastError()));
}

// Opens a file for writing that must not exist yet.
HANDLE CreateNewFile(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

}  // namespace

const std::wstring& LastImagePipelineError() { return t_lastError; }

std::wstring MakeTempFileName() {
    wchar_t directory[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    if (length == 0) {
        ReportCall(L"GetTempPathW", L"", GetLastError());
        return {};
    }
    if (length >= MAX_PATH) {  // the value is then the size that would be needed
        Report(L"GetTempPathW: the temporary directory needs " + std::to_wstring(length) +
               L" characters, more than MAX_PATH");
        return {};
    }
    // Every name has the same length, so a directory that is too long fails
    // here once instead of on every draw.
    const size_t nameLength = FormatTempFileName(0).size();
    if (length + nameLength + 1 >= MAX_PATH) {
        Report(L"the temporary directory " + std::wstring(directory) +
               L" leaves no room for a file name within MAX_PATH");
        return {};
    }
    for (int draw = 0; draw < kMaxTempNameDraws; ++draw) {
        const std::wstring name = FormatTempFileName(std::rand() % 65536);
        wchar_t path[MAX_PATH];
        lstrcpynW(path, directory, MAX_PATH);
        if (!PathAppendW(path, name.c_str())) {
            ReportCall(L"PathAppendW", std::wstring(directory) + L", " + name, GetLastError());
            return {};
        }
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return path;
    }
    Report(L"no free temporary file name in " + std::wstring(directory) + L" after " +
           std::to_wstring(kMaxTempNameDraws) + L" draws");
    return {};
}

bool WriteBufferToFile(const std::wstring& path, const void* data, DWORD size) {
    HANDLE file = CreateNewFile(path);
    if (file == INVALID_HANDLE_VALUE) {
        ReportCall(L"CreateFileW", path, GetLastError());
        return false;
    }
    DWORD done = 0;
    bool ok = true;
    if (!WriteFile(file, data, size, &done, nullptr)) {
        ReportCall(L"WriteFile", path, GetLastError());
        ok = false;
    } else if (done != size) {
        Report(L"WriteFile(" + path + L") wrote " + std::to_wstring(done) + L" of " +
               std::to_wstring(size) + L" bytes");
        ok = false;
    }
    if (!CloseHandle(file) && ok) {
        ReportCall(L"CloseHandle", path, GetLastError());
        ok = false;
    }
    if (!ok) DeleteOwnFile(path);
    return ok;
}

bool ExpandFile(const std::wstring& destination, const std::wstring& source, DWORD* written) {
    // The source is opened with CreateFileW and handed to the LZ service
    // with LZInit. LZOpenFileW would go through OpenFile, which takes paths
    // in the ANSI code page and of at most 128 characters, and so fails for
    // a temporary directory under a profile name outside the code page or
    // a long one.
    HANDLE sourceFile = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (sourceFile == INVALID_HANDLE_VALUE) {
        ReportCall(L"CreateFileW", source, GetLastError());
        return false;
    }
    // Kernel handles fit in 32 bits, which is what the LZ service's file
    // handles are.
    const INT input = LZInit(static_cast<INT>(reinterpret_cast<INT_PTR>(sourceFile)));
    if (input < 0) {
        const DWORD error = GetLastError();
        Report(L"LZInit(" + source + L") failed: LZ error " + std::to_wstring(input) +
               L", GetLastError " + std::to_wstring(error));
        CloseHandle(sourceFile);
        return false;
    }
    // The destination is created here, never truncated: LZOpenFileW's
    // OF_CREATE would empty a file that appeared under the name since it was
    // drawn. LZCopy writes to any file handle.
    HANDLE output = CreateNewFile(destination);
    if (output == INVALID_HANDLE_VALUE) {
        ReportCall(L"CreateFileW", destination, GetLastError());
        LZClose(input);
        return false;
    }
    const LONG copied = LZCopy(input, static_cast<INT>(reinterpret_cast<INT_PTR>(output)));
    const DWORD copyError = GetLastError();
    LZClose(input);  // closes sourceFile too
    bool ok = copied > 0;
    if (copied < 0) {
        Report(L"LZCopy(" + source + L", " + destination + L") failed: LZ error " +
               std::to_wstring(copied) + L", GetLastError " + std::to_wstring(copyError));
    } else if (copied == 0) {
        Report(L"LZCopy(" + source + L", " + destination + L") wrote no bytes");
    }
    if (!CloseHandle(output) && ok) {
        ReportCall(L"CloseHandle", destination, GetLastError());
        ok = false;
    }
    if (!ok) {
        DeleteOwnFile(destination);
        return false;
    }
    if (written) *written = static_cast<DWORD>(copied);
    return true;
}

BYTE* ReadFileToBuffer(const std::wstring& path, DWORD* length) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportCall(L"CreateFileW", path, GetLastError());
        return nullptr;
    }
    BYTE* block = nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        ReportCall(L"GetFileSizeEx", path, GetLastError());
    } else if (size.QuadPart <= 0 || size.QuadPart > INT_MAX) {
        // The length travels on as a signed 32-bit value, and an empty image
        // is no image.
        Report(L"ReadFileToBuffer(" + path + L"): unusable length " +
               std::to_wstring(size.QuadPart));
    } else if (!(block = static_cast<BYTE*>(std::malloc(static_cast<size_t>(size.QuadPart))))) {
        Report(L"malloc of " + std::to_wstring(size.QuadPart) + L" bytes for " + path + L" failed");
    } else {
        const DWORD wanted = static_cast<DWORD>(size.QuadPart);
        DWORD done = 0;
        if (!ReadFile(file, block, wanted, &done, nullptr)) {
            ReportCall(L"ReadFile", path, GetLastError());
        } else if (done != wanted) {
            Report(L"ReadFile(" + path + L") read " + std::to_wstring(done) + L" of " +
                   std::to_wstring(wanted) + L" bytes");
        } else {
            *length = wanted;
            CloseHandle(file);
            return block;
        }
        std::free(block);
    }
    CloseHandle(file);
    return nullptr;
}

bool ExpandStoredImage(const BYTE* data, DWORD size, const std::wstring& expandedPath,
                       DWORD* expandedLength) {
    const image::StoredImageInfo info = image::InspectStoredImage(data, size);
    if (info.kind == image::StoredImageKind::Corrupt) {
        std::string problem = info.problem;  // plain ASCII
        Report(L"the stored firmware image is damaged: " +
               std::wstring(problem.begin(), problem.end()));
        return false;
    }
    const std::wstring compressedPath = MakeTempFileName();
    if (compressedPath.empty()) return false;
    if (!WriteBufferToFile(compressedPath, data, size)) return false;
    DWORD written = 0;
    const bool expanded = ExpandFile(expandedPath, compressedPath, &written);
    DeleteOwnFile(compressedPath);
    if (!expanded) return false;
    if (written != info.expectedLength) {
        Report(L"the firmware image expanded to " + std::to_wstring(written) +
               L" bytes, its header declares " + std::to_wstring(info.expectedLength));
        DeleteOwnFile(expandedPath);
        return false;
    }
    if (expandedLength) *expandedLength = written;
    return true;
}

bool ExtractFirmwareResource(HMODULE module, const std::wstring& expandedPath,
                             DWORD* expandedLength) {
    HRSRC found = FindResourceW(module, L"MOT", L"FIRMWARE");
    if (!found) {
        ReportCall(L"FindResourceW", L"FIRMWARE/MOT", GetLastError());
        return false;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        ReportCall(L"LoadResource", L"FIRMWARE/MOT", GetLastError());
        return false;
    }
    return ExpandStoredImage(static_cast<const BYTE*>(data), SizeofResource(module, found),
                             expandedPath, expandedLength);
}

bool LoadFirmwareImage(HMODULE module, BYTE** image, int* length) {
    *image = nullptr;
    // Drawn before the compressed copy's name, so a run draws its names in
    // a fixed order.
    const std::wstring expandedPath = MakeTempFileName();
    if (expandedPath.empty()) return false;
    DWORD expected = 0;
    if (!ExtractFirmwareResource(module, expandedPath, &expected)) return false;
    DWORD read = 0;
    BYTE* block = ReadFileToBuffer(expandedPath, &read);
    DeleteOwnFile(expandedPath);
    if (!block) return false;
    if (read != expected) {
        Report(L"the expanded image changed on disk: " + std::to_wstring(read) + L" bytes read, " +
               std::to_wstring(expected) + L" written");
        std::free(block);
        return false;
    }
    *image = block;
    *length = static_cast<int>(read);
    return true;
}

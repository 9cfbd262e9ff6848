#include "WinPenLock.h"

#include "core/LockName.h"

namespace penlink {

namespace {

// Opens (or makes) the lock file at path for reading, shared with everyone.
HANDLE OpenLockFile(const std::wstring& path, SysError& err) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        err = {"CreateFileW (lock file)", static_cast<long>(GetLastError())};
    return file;
}

// Locks the first byte of file without waiting.
PenLockStatus Lock(HANDLE file, bool exclusive, SysError& err) {
    OVERLAPPED at{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(file, flags, 0, 1, 0, &at)) return PenLockStatus::Taken;
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
        return PenLockStatus::HeldElsewhere;
    err = {"LockFileEx", static_cast<long>(code)};
    return PenLockStatus::Unavailable;
}

}  // namespace

std::wstring WinPenLock::SharedFolder(SysError& err) {
    wchar_t base[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        err = {"GetEnvironmentVariableW (ProgramData)", static_cast<long>(GetLastError())};
        return {};
    }
    std::wstring folder = std::wstring(base, n) + L"\\Penlink";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        err = {"CreateDirectoryW (lock folder)", static_cast<long>(GetLastError())};
        return {};
    }
    return folder;
}

std::unique_ptr<PenLock> WinPenLock::Take(const std::wstring& folder, const std::string& location,
                                          PenLockStatus& status, SysError& err) {
    std::unique_ptr<WinPenLock> lock(new WinPenLock);
    lock->m_computer = OpenLockFile(folder + L"\\penlink.lock", err);
    if (lock->m_computer == INVALID_HANDLE_VALUE) {
        status = PenLockStatus::Unavailable;
        return nullptr;
    }
    status = Lock(lock->m_computer, location.empty(), err);
    if (status != PenLockStatus::Taken || location.empty()) {
        return status == PenLockStatus::Taken ? std::move(lock) : nullptr;
    }
    const std::string name = LockFileName(location);
    lock->m_pen = OpenLockFile(folder + L"\\" + std::wstring(name.begin(), name.end()), err);
    if (lock->m_pen == INVALID_HANDLE_VALUE) {
        status = PenLockStatus::Unavailable;
        return nullptr;
    }
    status = Lock(lock->m_pen, true, err);
    return status == PenLockStatus::Taken ? std::move(lock) : nullptr;
}

WinPenLock::~WinPenLock() {
    if (m_pen != INVALID_HANDLE_VALUE) CloseHandle(m_pen);
    if (m_computer != INVALID_HANDLE_VALUE) CloseHandle(m_computer);
}

}  // namespace penlink

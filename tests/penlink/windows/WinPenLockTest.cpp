// The pens' locks on LockFileEx: a pen's lock excludes itself and the
// computer's, not another pen's, and a lock let go blocks nobody.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "windows/WinPenLock.h"

using namespace penlink;

TEST(WinPenLock, PensExcludeThemselvesAndTheComputerNotEachOther) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder =
        std::wstring(temp) + L"penlink-lock-test-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    auto take = [&](const std::string& location, std::unique_ptr<PenLock>& into) {
        PenLockStatus status = PenLockStatus::Unavailable;
        SysError err;
        into = WinPenLock::Take(folder, location, status, err);
        EXPECT_EQ(into != nullptr, status == PenLockStatus::Taken) << err.call << " " << err.code;
        return status;
    };
    std::unique_ptr<PenLock> a, other;
    ASSERT_EQ(take("Port_#0001.Hub_#0002", a), PenLockStatus::Taken);
    EXPECT_EQ(take("Port_#0001.Hub_#0002", other), PenLockStatus::HeldElsewhere);
    EXPECT_EQ(take("Port_#0002.Hub_#0002", other), PenLockStatus::Taken);
    other.reset();
    EXPECT_EQ(take("", other), PenLockStatus::HeldElsewhere);
    a.reset();
    std::unique_ptr<PenLock> computer;
    EXPECT_EQ(take("", computer), PenLockStatus::Taken);
    EXPECT_EQ(take("Port_#0002.Hub_#0002", other), PenLockStatus::HeldElsewhere);
    computer.reset();
    EXPECT_EQ(take("Port_#0002.Hub_#0002", other), PenLockStatus::Taken);
    other.reset();

    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*.lock").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

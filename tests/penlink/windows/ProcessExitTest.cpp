// A program that ends while the library is busy must end at once and
// cleanly: at process exit the library's other threads are already gone,
// and nothing may wait for them or free what they used.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Runs the exit program in mode on the emulated pen of scenario; expects it
// to end with 0 within 5 s of saying that it leaves.
void ExpectCleanExit(const wchar_t* mode, const wchar_t* scenario) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::wstring program(self, n);
    program = program.substr(0, program.find_last_of(L'\\')) +
              L"\\emulated\\penlink_exit_during_call.exe";
    const std::wstring eventName =
        L"penlink-exit-test-" + std::wstring(mode) + L"-" + std::to_wstring(GetCurrentProcessId());
    HANDLE leaving = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(leaving, nullptr);

    std::wstring commandLine = L"\"" + program + L"\" " + eventName + L" " + mode;
    SetEnvironmentVariableW(L"PENLINK_EMULATOR", scenario);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                        0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"PENLINK_EMULATOR", nullptr);
    ASSERT_TRUE(started) << "CreateProcessW: " << GetLastError();

    const HANDLE either[2] = {leaving, child.hProcess};
    ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0)
        << "the child ended or hung before it was busy";
    const DWORD from = GetTickCount();
    // The unload used to wait 10 s for a thread that no longer existed.
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_LT(GetTickCount() - from, 5000u);
    DWORD code = 99;
    GetExitCodeProcess(child.hProcess, &code);
    EXPECT_EQ(code, 0u);
    TerminateProcess(child.hProcess, 1);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(leaving);
}

}  // namespace

TEST(ProcessExitTest, ExitDuringASearchDoesNotWaitForTheSearchThread) {
    ExpectCleanExit(L"search", L"never-returns");
}

TEST(ProcessExitTest, ExitProcessDuringATransferEndsCleanly) {
    ExpectCleanExit(L"send", L"update-mode");
}

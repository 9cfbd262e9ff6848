// A program that ends during a search must end at once: at process exit the
// search thread is already gone, and nothing may wait for it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(ProcessExitTest, ExitDuringASearchDoesNotWaitForTheSearchThread) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::wstring program(self, n);
    program = program.substr(0, program.find_last_of(L'\\')) +
              L"\\emulated\\penlink_exit_during_search.exe";
    const std::wstring eventName = L"penlink-exit-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE leaving = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(leaving, nullptr);

    std::wstring commandLine = L"\"" + program + L"\" " + eventName;
    SetEnvironmentVariableW(L"PENLINK_EMULATOR", L"never-returns");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                        0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"PENLINK_EMULATOR", nullptr);
    ASSERT_TRUE(started) << "CreateProcessW: " << GetLastError();

    const HANDLE either[2] = {leaving, child.hProcess};
    ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0)
        << "the child ended or hung before its search ran";
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

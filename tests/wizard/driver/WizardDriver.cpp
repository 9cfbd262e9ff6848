#include "WizardDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>

namespace wizard_test {

const wchar_t* const kCaption = L"RM550e Firmware Update Wizard";
const std::vector<std::wstring> kWelcomeTexts = {
    L"Welcome to the RM550e Firmware Update Wizard",
    L"To continue, click Next.",
    L"This wizard will update your RM550e firmware to version 2.47.",
    L"Please close all other applications before continuing.",
};
const wchar_t* const kSearchingText = L"Please wait for opening device...";
const std::vector<std::wstring> kOpenDeviceTexts = {kSearchingText};
const std::vector<std::wstring> kExplanationTexts = {
    L"",
    L"Firmware versions:\n   Current\t2.05\n   Update\t2.47",
    L"Ready to update",
    L"Ready to update firmware",
    L"The update may take a few minutes to complete. \nDo not disconnect your RM550e during "
    L"update.",
    L"Note: Please upload all your notes from the device before updating your firmware.\nAll "
    L"notes will be erased during this process.\n\nClick &Update to start firmware update.",
};
const std::vector<std::wstring> kUpgradeTexts = {
    L"",
    L"Firmware Update",
    L"Updating firmware",
    L"Warning: Do not disconnect the RM550e during this process.",
};
const std::vector<std::wstring> kFinishTexts = {
    L"RM550e Firmware Update Wizard Completed Successfully.",
    L"Your firmware has been updated successfully to version 2.47.\n\nPress &Finish to close the "
    L"wizard.",
};
const wchar_t* const kString4 = L"Are you sure you want to cancel Firmware Update Wizard?";
const wchar_t* const kString5 =
    L"\nUnable to find device.\n\nFirmware Update Wizard will now quit.";
const wchar_t* const kString6 = L"\nDownload Error.\n\nThe firmware application will now quit.";
const wchar_t* const kString8 = L"Fail to change device mode to Firmware Update Mode";
const wchar_t* const kString11 = L"Timeout after switch to DFU Mode.";

namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring Directory(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Directory(path);
}

// The environment of this process with the variables in overrides replaced
// or added, as a block for CreateProcessW.
std::wstring EnvironmentWith(const std::map<std::wstring, std::wstring>& overrides) {
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring line = entry;
        const std::wstring name = line.substr(0, line.find(L'=', 1));
        bool overridden = false;
        for (const auto& item : overrides)
            overridden |= _wcsicmp(item.first.c_str(), name.c_str()) == 0;
        if (!overridden) block += line + L'\0';
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& item : overrides) block += item.first + L'=' + item.second + L'\0';
    return block + L'\0';
}

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        search->found.push_back(window);
    }
    return TRUE;
}

// Top-level dialogs of process pid that are shown.
std::vector<HWND> ProcessDialogs(DWORD pid) {
    DialogSearch search{pid, {}};
    EnumWindows(&CollectProcessDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsFrame(HWND window) { return GetDlgItem(window, kBack) != nullptr; }

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L'\\' + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

WizardRun::WizardRun(const std::string& scenario, const std::string& name, bool usableTemp,
                     const std::map<std::wstring, std::wstring>& environment,
                     WizardLibrary library) {
    std::map<std::wstring, std::wstring> variables = environment;
    variables[L"PENLINK_EMULATOR"] = Widen(scenario);
    Start(OwnDirectory() + (library == WizardLibrary::Emulated ? L"\\emulated\\FlashWizard.exe"
                                                               : L"\\FlashWizard.exe"),
          name, usableTemp, variables);
}

WizardRun::WizardRun(const std::wstring& program, const std::string& name) {
    Start(program, name, true, {});
}

void WizardRun::Start(const std::wstring& program, const std::string& name, bool usableTemp,
                      std::map<std::wstring, std::wstring> variables) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"flashwizard-" + Widen(name) + L"-" +
               std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    m_tempDir = m_folder + (usableTemp ? L"\\tmp" : L"\\missing");
    m_transcriptPath = m_folder + L"\\transcript.txt";
    if (!CreateDirectoryW(m_folder.c_str(), nullptr) ||
        (usableTemp && !CreateDirectoryW(m_tempDir.c_str(), nullptr))) {
        ADD_FAILURE() << "cannot make the run's folder";
        return;
    }
    // A scenario of the emulated pen comes with its transcript.
    if (variables.count(L"PENLINK_EMULATOR") != 0) {
        variables[L"PENLINK_EMULATOR_LOG"] = m_transcriptPath;
    }
    variables[L"TMP"] = m_tempDir;
    variables[L"TEMP"] = m_tempDir;
    std::wstring block = EnvironmentWith(variables);
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, &block[0], m_folder.c_str(), &startup,
                        &m_process)) {
        ADD_FAILURE() << "cannot start " << std::string(program.begin(), program.end())
                      << ": error " << GetLastError();
        m_process = PROCESS_INFORMATION{};
    }
}

WizardRun::~WizardRun() {
    if (m_process.hProcess != nullptr) {
        if (Running()) {
            ADD_FAILURE() << "the wizard was still running at the end of the test";
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    if (::testing::Test::HasFailure()) {
        std::wcerr << L"the run's files stay in " << m_folder << L"\n";
    } else if (!m_folder.empty()) {
        RemoveFolder(m_folder);
    }
}

HWND WizardRun::FindFrame(DWORD timeoutMs) const {
    HWND frame = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : ProcessDialogs(m_process.dwProcessId)) {
                if (IsFrame(window)) frame = window;
            }
            return frame != nullptr;
        },
        timeoutMs);
    return frame;
}

HWND WizardRun::WaitForFrame(POINT origin, bool onTop, DWORD timeoutMs) {
    const HWND frame = FindFrame(timeoutMs);
    if (frame != nullptr) {
        // A frame that would leave the screen is moved in as far as needed:
        // the display may be smaller than the one the origin was chosen on.
        RECT area{};
        if (GetWindowRect(frame, &area)) {
            const LONG width = area.right - area.left;
            const LONG height = area.bottom - area.top;
            origin.x =
                std::max(0L, std::min<LONG>(origin.x, GetSystemMetrics(SM_CXSCREEN) - width));
            origin.y =
                std::max(0L, std::min<LONG>(origin.y, GetSystemMetrics(SM_CYSCREEN) - height));
        }
        SetWindowPos(frame, onTop ? HWND_TOPMOST : nullptr, origin.x, origin.y, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS | (onTop ? 0 : SWP_NOZORDER));
        // The move is done by the wizard's thread, when it gets to it.
        WaitUntil(
            [&] {
                RECT placed{};
                return GetWindowRect(frame, &placed) && placed.left == origin.x &&
                       placed.top == origin.y;
            },
            kStepMs);
    }
    return frame;
}

bool WizardRun::Running() const {
    return m_process.hProcess != nullptr &&
           WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

bool WizardRun::WaitForExit(DWORD timeoutMs) {
    if (m_process.hProcess == nullptr ||
        WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    // The program sets no exit code of its own: anything else is a crash.
    EXPECT_EQ(ExitCode(), 0u) << "the wizard ended abnormally";
    return true;
}

DWORD WizardRun::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_process.hProcess != nullptr) GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

MessageBoxState WizardRun::CurrentMessageBox() const {
    MessageBoxState box;
    for (HWND window : ProcessDialogs(m_process.dwProcessId)) {
        if (IsFrame(window)) continue;
        box.window = window;
        box.caption = WindowTextOf(window);
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring kind = ClassOf(child);
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
                box.buttons.push_back(GetDlgCtrlID(child));
            } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
                if ((style & SS_TYPEMASK) == SS_ICON) {
                    box.hasIcon = true;
                } else if (box.text.empty()) {
                    box.text = WindowTextOf(child);
                }
            }
        }
        break;
    }
    return box;
}

MessageBoxState WizardRun::WaitForMessageBox(DWORD timeoutMs) const {
    MessageBoxState box;
    WaitUntil(
        [&] {
            box = CurrentMessageBox();
            return box.window != nullptr && !box.buttons.empty();
        },
        timeoutMs);
    return box;
}

std::vector<std::wstring> WizardRun::LeftoverTempFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((m_tempDir + L"\\res????.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::vector<std::string> WizardRun::Transcript() const {
    std::vector<std::string> lines;
    FILE* file = _wfopen(m_transcriptPath.c_str(), L"rb");
    if (file == nullptr) return lines;
    std::string text;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, got);
    std::fclose(file);
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::wstring WindowTextOf(HWND window) {
    wchar_t text[2048] = {};
    InternalGetWindowText(window, text, 2048);
    return text;
}

HWND VisiblePage(HWND frame) {
    for (HWND child = GetWindow(frame, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"#32770" && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

std::vector<std::wstring> PageTexts(HWND page) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG type = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && type != SS_BITMAP &&
            type != SS_ICON) {
            texts.push_back(WindowTextOf(child));
        }
    }
    return texts;
}

ButtonState Button(HWND frame, int id) {
    ButtonState state;
    const HWND button = GetDlgItem(frame, id);
    if (button == nullptr) return state;
    state.exists = true;
    state.text = WindowTextOf(button);
    state.id = GetDlgCtrlID(button);
    state.enabled = IsWindowEnabled(button) != FALSE;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    state.focused = GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info) &&
                    info.hwndFocus == button;
    return state;
}

void Click(HWND frame, int id) {
    // A user waits for the button to become available while the wizard
    // finishes the step it is in.
    WaitUntil([&] { return IsWindowEnabled(GetDlgItem(frame, id)) != FALSE; }, kStepMs);
    const HWND button = GetDlgItem(frame, id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    ASSERT_TRUE(IsWindowEnabled(button)) << "button " << id << " is disabled";
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Answer(const MessageBoxState& box, int id) {
    const HWND button = GetDlgItem(box.window, id);
    ASSERT_NE(button, nullptr) << "the message box has no button " << id;
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool WaitForPage(HWND frame, const std::vector<std::wstring>& texts, DWORD timeoutMs) {
    return WaitUntil([&] { return PageTexts(VisiblePage(frame)) == texts; }, timeoutMs);
}

}  // namespace wizard_test

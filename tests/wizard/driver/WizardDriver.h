// Drives FlashWizard.exe as its user would, from another process: starts it
// beside the emulated Penlink.dll with a scenario of the emulated pen (or a
// given copy of it as it is), finds its windows, reads their texts and button
// states, presses buttons, answers its message boxes and reads the pen's
// transcript afterwards.
//
// Windows of the wizard are only read (texts, styles, ids, focus) and sent
// the messages that a click sends; nothing waits on the wizard's thread, so
// reading works while the wizard is busy in a library call.
//
// Every function runs on the test's own thread.
#ifndef FLASHWIZARD_TESTS_WIZARDDRIVER_H
#define FLASHWIZARD_TESTS_WIZARDDRIVER_H

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wizard_test {

// The fixed texts of the shipped build.
extern const wchar_t* const kCaption;  // frame and prompts
extern const std::vector<std::wstring> kWelcomeTexts;
extern const std::vector<std::wstring> kOpenDeviceTexts;
extern const std::vector<std::wstring> kExplanationTexts;  // with the pen's 2.05
extern const std::vector<std::wstring> kUpgradeTexts;
extern const std::vector<std::wstring> kFinishTexts;
extern const wchar_t* const kSearchingText;  // the device page's template text
extern const wchar_t* const kString4;        // cancel question
extern const wchar_t* const kString5;        // device not found
extern const wchar_t* const kString6;        // download error
extern const wchar_t* const kString8;        // mode change failed
extern const wchar_t* const kString11;       // timeout after the switch

// Frame controls.
constexpr int kBack = 12323;
constexpr int kNext = 12324;
constexpr int kFinish = 12325;
constexpr int kCancel = IDCANCEL;

// How long a wait for one step of the wizard may last (a button becoming
// available, a message box, the end after OK). The wizard takes far less,
// but a machine busy with builds can hold it up for seconds, and a wait ends
// as soon as its condition holds.
constexpr DWORD kStepMs = 15000;
// How long a screenshot waits for the page to be painted.
constexpr DWORD kPaintMs = 10000;

// Polls condition every 20 ms until it holds or timeoutMs have passed.
// Returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// What a user sees of one button of the frame.
struct ButtonState {
    bool exists = false;
    std::wstring text;
    int id = 0;
    bool enabled = false;
    bool focused = false;  // it has the keyboard focus of its thread
};

// One message box of the wizard.
struct MessageBoxState {
    HWND window = nullptr;  // null: no box
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // ids of its push buttons (IDOK, IDYES, ...)
    bool hasIcon = false;
};

// Which Penlink.dll the started wizard loads.
enum class WizardLibrary {
    Emulated,  // the copy in the emulated folder, on the emulated pen
    Real,      // the copy beside the real library
};

// The wizard process, on a scenario of the emulated pen or on the library
// beside a given copy. The run's files (the transcript and the temporary
// directory given to the wizard as TMP) live in a folder of its own, removed
// when the run ends unless the test failed.
class WizardRun {
public:
    // Starts FlashWizard.exe from the emulated folder beside this program
    // with PENLINK_EMULATOR = scenario. Without usableTemp, TMP names a
    // folder that does not exist, so the wizard cannot prepare its image.
    // environment adds or replaces variables of the wizard's environment;
    // library chooses the copy of the wizard that is started. Failures show
    // in Started() and as test failures.
    WizardRun(const std::string& scenario, const std::string& name, bool usableTemp = true,
              const std::map<std::wstring, std::wstring>& environment = {},
              WizardLibrary library = WizardLibrary::Emulated);
    // Starts the wizard at program on whatever Penlink.dll lies beside it,
    // with no emulator variables (so there is no transcript); TMP as above.
    WizardRun(const std::wstring& program, const std::string& name);
    // Ends a wizard still running (TerminateProcess) and cleans up.
    ~WizardRun();
    WizardRun(const WizardRun&) = delete;
    WizardRun& operator=(const WizardRun&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    DWORD ProcessId() const { return m_process.dwProcessId; }

    // The frame (a shown top-level dialog of the process with a Back
    // button), waiting up to timeoutMs for it, where the wizard put it.
    // Null on time-out.
    HWND FindFrame(DWORD timeoutMs) const;
    // The frame as FindFrame finds it, then moved to origin (waiting up to
    // kStepMs for the move to take effect), and kept above other windows
    // when onTop (for screenshots). Null on time-out.
    HWND WaitForFrame(POINT origin, bool onTop, DWORD timeoutMs = 20000);
    // True while the process runs.
    bool Running() const;
    // Waits up to timeoutMs for the process to end. Returns whether it did;
    // when it did, also fails the test unless its exit code is 0.
    bool WaitForExit(DWORD timeoutMs);

    // The process's exit code; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;

    // A message box of the process (a top-level dialog without a Back
    // button), waiting up to timeoutMs. window is null on time-out.
    MessageBoxState WaitForMessageBox(DWORD timeoutMs) const;
    // The box shown now, if any (window null when none).
    MessageBoxState CurrentMessageBox() const;

    // Names of res????.tmp files in the wizard's temporary directory.
    std::vector<std::wstring> LeftoverTempFiles() const;
    // The transcript's lines so far.
    std::vector<std::string> Transcript() const;

private:
    // Makes the run's folder and starts program with variables added to
    // this process's environment.
    void Start(const std::wstring& program, const std::string& name, bool usableTemp,
               std::map<std::wstring, std::wstring> variables);

    std::wstring m_folder;
    std::wstring m_tempDir;
    std::wstring m_transcriptPath;
    PROCESS_INFORMATION m_process{};
};

// The visible page of frame (its shown child dialog); null when none.
HWND VisiblePage(HWND frame);
// The texts of page's text controls (static controls that are not
// pictures), in the order of the children; hidden pages included.
std::vector<std::wstring> PageTexts(HWND page);
// The text that a window keeps (caption or control text), read without a
// message.
std::wstring WindowTextOf(HWND window);
// The button of frame that has id now.
ButtonState Button(HWND frame, int id);
// Presses the button id of frame as a click does: posts its BN_CLICKED
// command to the frame, once the button is enabled. Fails the test (and
// does nothing) when there is no such button or it stays disabled for
// kStepMs, as a user could not press it.
void Click(HWND frame, int id);
// Presses button id of a message box the same way.
void Answer(const MessageBoxState& box, int id);

// Waits up to timeoutMs until the visible page of frame shows texts.
// Returns whether it did.
bool WaitForPage(HWND frame, const std::vector<std::wstring>& texts, DWORD timeoutMs);

}  // namespace wizard_test

#endif  // FLASHWIZARD_TESTS_WIZARDDRIVER_H

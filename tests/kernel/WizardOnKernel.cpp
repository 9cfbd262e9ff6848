// FlashWizard.exe on the real Penlink.dll beside it, driven window by window
// as its user would, under Wine in the kernel test's guest. The caller has
// put the virtual pen of the run's scenario on uhid and waited until Wine's
// HID stack lists it; it checks afterwards what the pen received.
//
//   kernel_wizard_driver RUN FLASHWIZARD_EXE SCREENSHOT_FOLDER
//
// RUN: normal (the whole update, to Finish), refused (a pen that the wizard
// does not update) or unplug-during-transfer (the pen goes during the
// transfer). Exits 0 when the wizard did what its user expects; otherwise,
// besides the failures, prints what the wizard showed last and leaves a
// screenshot of it in SCREENSHOT_FOLDER.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "driver/Screenshot.h"
#include "driver/WizardChecks.h"
#include "driver/WizardDriver.h"

using namespace wizard_test;

namespace {

std::wstring g_wizard;
std::wstring g_screenshots;
std::string g_run;

// Generous bounds for a guest without acceleration on one processor: they
// cost nothing when the wizard is quicker, since every wait ends as soon as
// its condition holds.
constexpr DWORD kStartMs = 180000;     // Wine loads the program and its DLLs
constexpr DWORD kSearchMs = 120000;    // identify, switch, the pen back through udev
constexpr DWORD kTransferMs = 180000;  // the image through Wine's HID stack
constexpr DWORD kExitMs = 60000;

constexpr POINT kCorner{0, 0};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// On a failure, says what the wizard showed last (its page, buttons and any
// message box) and saves a screenshot of it. Declared after the run, so it
// reports while the wizard's windows are still there.
class FailureReport {
public:
    explicit FailureReport(const WizardRun& run) : m_run(run) {}
    ~FailureReport() {
        if (!::testing::Test::HasFailure()) return;
        std::cerr << "kernel-wizard: " << g_run << ": the wizard "
                  << (m_run.Running() ? "is still running" : "has ended");
        if (m_frame != nullptr && IsWindow(m_frame)) {
            std::cerr << "; its page shows "
                      << ::testing::PrintToString(PageTexts(VisiblePage(m_frame))) << "; buttons "
                      << DescribeButtons(m_frame);
        }
        const MessageBoxState box = m_run.CurrentMessageBox();
        if (box.window != nullptr) {
            std::cerr << "; message box " << ::testing::PrintToString(box.text);
        }
        std::cerr << "\n";
        const HWND shown = box.window != nullptr ? box.window : m_frame;
        if (shown != nullptr && IsWindow(shown)) {
            const std::wstring path = g_screenshots + L"\\kernel-wizard-" + Widen(g_run) + L".png";
            if (WritePng(path, CaptureWindow(shown))) {
                std::wcerr << L"kernel-wizard: screenshot " << path << L"\n";
            }
        }
    }
    void SetFrame(HWND frame) { m_frame = frame; }

private:
    const WizardRun& m_run;
    HWND m_frame = nullptr;
};

// Waits up to timeoutMs until shown() holds, but no longer than a message
// box is up: nothing moves the wizard on until that is answered. Returns
// whether shown() held.
bool WaitUnlessMessage(const WizardRun& run, const std::function<bool()>& shown, DWORD timeoutMs) {
    bool held = false;
    WaitUntil([&] { return (held = shown()) || run.CurrentMessageBox().window != nullptr; },
              timeoutMs);
    return held;
}

bool PageShows(HWND frame, const std::vector<std::wstring>& texts) {
    return PageTexts(VisiblePage(frame)) == texts;
}

// The frame on its welcome page, or null after failing the test.
HWND WaitForWelcomePage(WizardRun& run, FailureReport& report) {
    if (!run.Started()) return nullptr;
    const HWND frame = run.WaitForFrame(kCorner, true, kStartMs);
    report.SetFrame(frame);
    if (frame == nullptr) {
        ADD_FAILURE() << "no wizard frame after " << kStartMs / 1000 << " s";
    } else if (!WaitForPage(frame, kWelcomeTexts, kStepMs)) {
        ADD_FAILURE() << "no welcome page";
        return nullptr;
    }
    return frame;
}

// Next on the welcome page: the device page while the pen is switched and
// away, then the versions page with the pen's version read over the bus.
void AdvanceToVersionsPage(const WizardRun& run, HWND frame) {
    EXPECT_EQ(WindowTextOf(frame), kCaption);
    Click(frame, kNext);
    // Shown (with Back enabled) while the pen switches and is away.
    EXPECT_TRUE(WaitUnlessMessage(
        run, [&] { return PageShows(frame, kOpenDeviceTexts) && Button(frame, kBack).enabled; },
        kSearchMs))
        << "no device page searching for the pen";
    ASSERT_TRUE(WaitUnlessMessage(
        run, [&] { return PageShows(frame, kExplanationTexts); }, kSearchMs))
        << "no versions page";
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Update enabled | 2 &Cancel enabled");
}

}  // namespace

TEST(KernelWizard, NormalPenIsUpdatedToTheEnd) {
    WizardRun run(g_wizard, "normal");
    FailureReport report(run);
    const HWND frame = WaitForWelcomePage(run, report);
    ASSERT_NE(frame, nullptr);
    AdvanceToVersionsPage(run, frame);
    if (HasFatalFailure()) return;

    Click(frame, kNext);
    ASSERT_TRUE(WaitForPage(frame, kUpgradeTexts, kStepMs)) << "no update page";
    ASSERT_TRUE(WaitUnlessMessage(
        run, [&] { return PageShows(frame, kFinishTexts); }, kTransferMs))
        << "no finish page";
    ExpectButtons(frame, "12323 < &Back disabled | 12325 &Finish enabled | 2 &Cancel disabled");
    Click(frame, kFinish);
    EXPECT_TRUE(run.WaitForExit(kExitMs)) << "the wizard did not end after Finish";
}

TEST(KernelWizard, RefusedPenEndsTheWizardWithTheModeChangeMessage) {
    WizardRun run(g_wizard, "refused");
    FailureReport report(run);
    const HWND frame = WaitForWelcomePage(run, report);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ExpectFatalMessageAndEnd(run, kString8, kSearchMs, kExitMs);
}

TEST(KernelWizard, UnplugDuringTheTransferEndsTheWizardWithTheDownloadError) {
    WizardRun run(g_wizard, "unplug");
    FailureReport report(run);
    const HWND frame = WaitForWelcomePage(run, report);
    ASSERT_NE(frame, nullptr);
    AdvanceToVersionsPage(run, frame);
    if (HasFatalFailure()) return;
    Click(frame, kNext);
    ExpectFatalMessageAndEnd(run, kString6, kTransferMs, kExitMs);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const std::map<std::string, const char*> runs = {
        {"normal", "KernelWizard.NormalPenIsUpdatedToTheEnd"},
        {"refused", "KernelWizard.RefusedPenEndsTheWizardWithTheModeChangeMessage"},
        {"unplug-during-transfer",
         "KernelWizard.UnplugDuringTheTransferEndsTheWizardWithTheDownloadError"},
    };
    if (argc != 4 || runs.count(argv[1]) == 0) {
        std::cerr << "usage: kernel_wizard_driver normal|refused|unplug-during-transfer "
                     "FLASHWIZARD_EXE SCREENSHOT_FOLDER\n";
        return 2;
    }
    g_run = argv[1];
    g_wizard = Widen(argv[2]);
    g_screenshots = Widen(argv[3]);
    GTEST_FLAG_SET(filter, runs.at(g_run));
    return RUN_ALL_TESTS();
}

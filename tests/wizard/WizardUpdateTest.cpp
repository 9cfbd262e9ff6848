// The wizard under Wine on the emulated pen, driven as its user would: the
// whole update, and the failures that end the wizard with a message.
// Screenshots of every page of the update and of its message boxes go to
// build/<preset>/screenshots.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "driver/PenTranscript.h"
#include "driver/WizardChecks.h"
#include "driver/WizardDriver.h"

using namespace wizard_test;

namespace {

// This program's frames sit in the top-left corner, above other windows, so
// that the screenshots show them whole.
constexpr POINT kCorner{0, 0};

// Starts run, lets it find the pen, presses "&Update" and expects the update
// to end with a message box of text (saved as screenshot, when given) and
// the end of the wizard.
void UpdateUntilFatalMessage(WizardRun& run, const wchar_t* text, DWORD timeoutMs,
                             const wchar_t* screenshot = nullptr) {
    const HWND frame = StartAtWelcomePage(run, kCorner, false);
    ASSERT_NE(frame, nullptr);
    AdvanceToExplanationPage(frame);
    Click(frame, kNext);
    ExpectFatalMessageAndEnd(run, text, timeoutMs, kStepMs, screenshot);
}

// Presses Esc as the keyboard does: on the window with the keyboard focus.
void PressEsc(HWND frame) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info);
    PostMessageW(info.hwndFocus != nullptr ? info.hwndFocus : frame, WM_KEYDOWN, VK_ESCAPE, 1);
}

}  // namespace

TEST(WizardUpdate, WholeUpdateOfTheNormalPen) {
    WizardRun run("normal", "update");
    const HWND frame = StartAtWelcomePage(run, kCorner, true);
    ASSERT_NE(frame, nullptr);

    EXPECT_EQ(WindowTextOf(frame), kCaption);
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Next > enabled | 2 &Cancel enabled");
    SaveScreenshot(frame, L"1-welcome");

    Click(frame, kNext);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return PageTexts(VisiblePage(frame)) == kOpenDeviceTexts &&
                   Button(frame, kBack).enabled;
        },
        5000));
    ExpectButtons(frame, "12323 < &Back enabled | 12324 &Next disabled | 2 &Cancel enabled");
    SaveScreenshot(frame, L"2-searching");

    // The pen comes back in its update mode and the page moves on by itself.
    ASSERT_TRUE(WaitForPage(frame, kExplanationTexts, 15000))
        << ::testing::PrintToString(PageTexts(VisiblePage(frame)));
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Update enabled | 2 &Cancel enabled");
    SaveScreenshot(frame, L"3-versions");

    Click(frame, kNext);
    ASSERT_TRUE(WaitForPage(frame, kUpgradeTexts, 5000));
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Next disabled | 2 &Cancel disabled");
    SaveScreenshot(frame, L"4-updating");

    // No click: the update runs and the finish page follows.
    ASSERT_TRUE(WaitForPage(frame, kFinishTexts, 20000))
        << ::testing::PrintToString(PageTexts(VisiblePage(frame)));
    ExpectButtons(frame, "12323 < &Back disabled | 12325 &Finish enabled | 2 &Cancel disabled");
    EXPECT_FALSE(Button(frame, kNext).exists);
    EXPECT_TRUE(WaitUntil([&] { return Button(frame, kFinish).focused; }, 2000))
        << "Finish does not have the focus";
    SaveScreenshot(frame, L"5-finished");

    Click(frame, kFinish);
    ASSERT_TRUE(run.WaitForExit(5000)) << "the wizard did not end after Finish";
    EXPECT_FALSE(IsWindow(frame));

    const Lines transcript = run.Transcript();
    Bytes image;
    std::string why;
    ASSERT_TRUE(ReassembleImage(transcript, image, why)) << why;
    const Bytes expected = ExpectedImage();
    ASSERT_EQ(expected.size(), 53256u);
    EXPECT_TRUE(image == expected) << "the pen received another image";
    EXPECT_EQ(CountLines(transcript, "EVENT search result"), 1);
    EXPECT_EQ(CountLines(transcript, "EVENT image complete"), 1);
    // One closing command ends the transfer, the second one the wizard's close.
    EXPECT_EQ(CountLines(transcript, "EVENT closing command"), 2);
    EXPECT_TRUE(run.LeftoverTempFiles().empty());
}

// The pen takes four seconds to acknowledge the image. Meanwhile the window
// answers every message at once, and an Esc is dropped: it asks the cancel
// question neither then nor after the update. On the finish page the same
// Esc asks it, as the frame's cancel does there.
TEST(WizardUpdate, WindowAnswersWhileTheImageIsAcknowledgedAndDropsEsc) {
    WizardRun run("slow-image-ack", "slow-ack");
    const HWND frame = StartAtWelcomePage(run, kCorner, false);
    ASSERT_NE(frame, nullptr);
    AdvanceToExplanationPage(frame);
    Click(frame, kNext);
    ASSERT_TRUE(
        WaitUntil([&] { return CountLines(run.Transcript(), "EVENT image complete") == 1; }, 20000))
        << "the pen did not receive the whole image";
    PressEsc(frame);

    int answers = 0;
    ULONGLONG longest = 0;
    while (PageTexts(VisiblePage(frame)) != kFinishTexts) {
        ASSERT_LT(answers, 150) << "no finish page after " << answers << " answers";
        DWORD_PTR ignored = 0;
        const ULONGLONG sent = GetTickCount64();
        ASSERT_NE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored), 0)
            << "the wizard did not answer within a second, after " << answers << " answers";
        longest = std::max(longest, GetTickCount64() - sent);
        ++answers;
        ASSERT_EQ(run.CurrentMessageBox().window, nullptr) << "a key was acted on";
        Sleep(100);
    }
    // Four seconds of waiting, answered all through (a loaded machine asks
    // less often).
    EXPECT_GE(answers, 10);
    std::cout << answers << " answers, the longest after " << longest << " ms\n";
    Sleep(1000);
    EXPECT_EQ(run.CurrentMessageBox().window, nullptr) << "a dropped key was acted on later";

    PressEsc(frame);
    AnswerCancelQuestion(run, IDNO);
    Click(frame, kFinish);
    EXPECT_TRUE(run.WaitForExit(5000)) << "the wizard did not end after Finish";
}

TEST(WizardUpdate, PenThatCannotBeSwitchedEndsTheWizardWithString8) {
    // refused: a model that the library does not update; silent: a pen that
    // never answers (the library waits three seconds for it).
    for (const char* scenario : {"refused", "silent"}) {
        SCOPED_TRACE(scenario);
        WizardRun run(scenario, scenario);
        const HWND frame = StartAtWelcomePage(run, kCorner, false);
        ASSERT_NE(frame, nullptr);
        Click(frame, kNext);
        ExpectFatalMessageAndEnd(run, kString8, 10000, kStepMs,
                                 *scenario == 'r' ? L"box-8-mode-change-failed" : nullptr);
        EXPECT_EQ(CountLines(run.Transcript(), "EVENT search result"), 0);
    }
}

TEST(WizardUpdate, RefusedStartShowsString5AndSendsNoImage) {
    WizardRun run("bad-start-ack", "bad-start");
    UpdateUntilFatalMessage(run, kString5, 10000, L"box-5-device-not-found");
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "EVENT image of"), 0);
    EXPECT_EQ(CountLines(transcript, "OUT 00 02 03"), 0) << "an image was announced";
    EXPECT_TRUE(run.LeftoverTempFiles().empty());
}

TEST(WizardUpdate, FailedTransferShowsString6) {
    // unplug-during-transfer: the pen goes after 100 blocks; bad-image-ack:
    // it takes the whole image and then answers wrongly.
    for (const char* scenario : {"unplug-during-transfer", "bad-image-ack"}) {
        SCOPED_TRACE(scenario);
        WizardRun run(scenario, scenario);
        UpdateUntilFatalMessage(run, kString6, 20000,
                                *scenario == 'u' ? L"box-6-download-error" : nullptr);
        EXPECT_EQ(CountLines(run.Transcript(), "EVENT image of 53256 bytes announced"), 1);
        EXPECT_TRUE(run.LeftoverTempFiles().empty());
    }
}

TEST(WizardUpdate, ImageThatCannotBePreparedLeavesThePenAlone) {
    // No temporary folder to expand the image in: the wizard says so with
    // string 6 and ends before it puts the pen into its receiving state.
    WizardRun run("normal", "no-temp", false);
    UpdateUntilFatalMessage(run, kString6, 10000);
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "EVENT search result 1"), 1);
    EXPECT_EQ(CountLines(transcript, "OUT 00 02 01"), 0) << "the start command was sent";
    EXPECT_EQ(CountLines(transcript, "OUT 00 02 08"), 0) << "a closing command was sent";
}

// A build that carries the stand-in image, started beside the real library,
// refuses before it shows the wizard and tells how to build with the real
// image; beside the emulated library (every other test) it runs.
TEST(WizardUpdate, StandinImageIsRefusedOnTheRealLibrary) {
    if (!FLASHWIZARD_TEST_IMAGE_IS_STANDIN) GTEST_SKIP() << "this build carries a real image";
    WizardRun run("normal", "real-library", true, {}, WizardLibrary::Real);
    const MessageBoxState box = run.WaitForMessageBox(20000);
    ASSERT_NE(box.window, nullptr) << "no message box";
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_NE(box.text.find(L"stand-in"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"-DFLASHWIZARD_FIRMWARE_IMAGE="), std::wstring::npos);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    Answer(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !run.Running(); }, 5000));
    EXPECT_EQ(run.ExitCode(), 1u);
}

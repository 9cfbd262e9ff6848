// The wizard's device search and its cancel under Wine on the emulated pen:
// a pen that is not there, Cancel on the pages where it is offered, and Back
// and Next while a search runs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/PenTranscript.h"
#include "driver/WizardChecks.h"
#include "driver/WizardDriver.h"

using namespace wizard_test;

namespace {

// Beside the update tests' corner, so that the screenshots of both programs
// show their own frames.
constexpr POINT kAside{520, 0};

const std::vector<std::wstring> kNotFoundTexts = {kString5};

// Waits until the device page is shown and has started its search (Back
// enabled).
bool WaitForSearchingPage(HWND frame, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            return PageTexts(VisiblePage(frame)) == kOpenDeviceTexts &&
                   Button(frame, kBack).enabled;
        },
        timeoutMs);
}

}  // namespace

TEST(WizardSearch, MissingPenIsToldInTheStatusTextAndNextSearchesAgain) {
    WizardRun run("absent", "absent");
    const HWND frame = StartAtWelcomePage(run, kAside, true);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);

    ASSERT_TRUE(WaitForPage(frame, kOpenDeviceTexts, 5000));
    const HWND devicePage = VisiblePage(frame);
    const ULONGLONG shown = GetTickCount64();
    ASSERT_TRUE(WaitForPage(frame, kNotFoundTexts, 5000))
        << ::testing::PrintToString(PageTexts(devicePage));
    // One try and the library's half-second pause (generous for a busy machine).
    const ULONGLONG waited = GetTickCount64() - shown;
    EXPECT_GE(waited, 300u);
    EXPECT_LE(waited, 3000u);
    ExpectButtons(frame, "12323 < &Back enabled | 12324 &Next disabled | 2 &Cancel enabled");
    SaveScreenshot(frame, L"2-not-found");
    // Whatever the text says, the wizard does not quit.
    Sleep(1000);
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(run.CurrentMessageBox().window, nullptr);

    Click(frame, kBack);
    ASSERT_TRUE(WaitForPage(frame, kWelcomeTexts, 5000));
    EXPECT_EQ(PageTexts(devicePage), kOpenDeviceTexts) << "the template text did not come back";
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Next enabled | 2 &Cancel enabled");

    Click(frame, kNext);
    ASSERT_TRUE(WaitForSearchingPage(frame, 5000));
    ASSERT_TRUE(WaitForPage(frame, kNotFoundTexts, 5000));
    EXPECT_EQ(CountLines(run.Transcript(), "EVENT search result 2 2"), 2);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

TEST(WizardSearch, CancelOnTheWelcomePageAsksOnce) {
    WizardRun run("normal", "cancel-welcome");
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    ExpectCancelAnsweredNoChangesNothing(run, frame);

    // Yes ends the wizard without a second question.
    Click(frame, kCancel);
    AnswerCancelQuestion(run, IDYES, L"box-4-cancel-question");
    EXPECT_TRUE(run.WaitForExit(5000));
    // The library was never started, so the pen saw nothing.
    EXPECT_EQ(CountLines(run.Transcript(), "OUT"), 0);
}

TEST(WizardSearch, CancelDuringTheSearchStopsIt) {
    WizardRun run("never-returns", "cancel-search");
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ASSERT_TRUE(WaitForSearchingPage(frame, 5000));
    ExpectCancelAnsweredNoChangesNothing(run, frame);

    CancelAndAnswer(run, frame, IDYES);
    // The close stops the search at its next try instead of after 50 s.
    EXPECT_TRUE(run.WaitForExit(5000));
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "EVENT pen left the bus"), 1);
    EXPECT_EQ(CountLines(transcript, "EVENT search result"), 0);
}

TEST(WizardSearch, CancelOnTheVersionsPageClosesThePen) {
    WizardRun run("normal", "cancel-versions");
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    AdvanceToExplanationPage(frame);
    ExpectCancelAnsweredNoChangesNothing(run, frame);
    EXPECT_EQ(CountLines(run.Transcript(), "EVENT closing command"), 0);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "OUT 00 02 08"), 1);
    EXPECT_EQ(CountLines(transcript, "EVENT closing command"), 1);
    EXPECT_EQ(CountLines(transcript, "EVENT image of"), 0);
}

TEST(WizardSearch, BackAndNextDuringTheSearchLeaveOneSearch) {
    WizardRun run("normal", "back-next");
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ASSERT_TRUE(WaitForSearchingPage(frame, 5000));

    // The pen is away for about a second after the first switch; every
    // search started meanwhile ends the one before it.
    const ULONGLONG started = GetTickCount64();
    for (int round = 0; round < 4; ++round) {
        Click(frame, kBack);
        ASSERT_TRUE(WaitForPage(frame, kWelcomeTexts, 3000)) << "round " << round;
        Click(frame, kNext);
        ASSERT_TRUE(WaitForSearchingPage(frame, 3000)) << "round " << round;
    }
    const ULONGLONG rounds = GetTickCount64() - started;

    ASSERT_TRUE(WaitUntil([&] { return Button(frame, kNext).text == L"&Update"; }, 15000))
        << "the pen was not found after the rounds";
    // Nothing else arrives: no second result moves the wizard on to the
    // update.
    Sleep(1500);
    EXPECT_TRUE(run.Running());
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Update enabled | 2 &Cancel enabled");
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "EVENT search result"), 1)
        << "four rounds took " << rounds << " ms";
    EXPECT_EQ(CountLines(transcript, "EVENT image of"), 0);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

// A search that the user left behind must reach no page. Back alone: the
// pen comes back in its update mode while the welcome page is shown, and the
// wizard stays there. Next then finds it in that mode and still shows the
// version that this run read before switching it.
TEST(WizardSearch, BackDuringTheSearchStaysAndKeepsTheVersionRead) {
    WizardRun run("normal", "back-alone");
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ASSERT_TRUE(WaitForSearchingPage(frame, 5000));
    Click(frame, kBack);
    ASSERT_TRUE(WaitForPage(frame, kWelcomeTexts, 3000));

    // The pen is back about a second after the switch.
    Sleep(2500);
    EXPECT_EQ(PageTexts(VisiblePage(frame)), kWelcomeTexts) << "the wizard moved on by itself";
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Next enabled | 2 &Cancel enabled");

    Click(frame, kNext);
    ASSERT_TRUE(WaitUntil([&] { return Button(frame, kNext).text == L"&Update"; }, 10000));
    EXPECT_EQ(PageTexts(VisiblePage(frame)), kExplanationTexts);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

// Back and Next at once while the first search is about to find the pen,
// the new search held back by the test until the first has found it: the
// first one's result must not pass for the new one's, and nothing but a
// click on "&Update" starts the update.
TEST(WizardSearch, EarlierSearchsResultStartsNothing) {
    WizardRun run("normal", "stale-result", true, {{L"PENLINK_EMULATOR_OPEN_DELAY_MS", L"2500"}});
    const HWND frame = StartAtWelcomePage(run, kAside, false);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ASSERT_TRUE(WaitForSearchingPage(frame, 10000));
    Click(frame, kBack);
    ASSERT_TRUE(WaitForPage(frame, kWelcomeTexts, 3000));
    Click(frame, kNext);

    ASSERT_TRUE(WaitUntil([&] { return Button(frame, kNext).text == L"&Update"; }, 15000));
    EXPECT_EQ(PageTexts(VisiblePage(frame)), kExplanationTexts);
    Sleep(1500);
    EXPECT_TRUE(run.Running());
    ExpectButtons(frame, "12323 < &Back disabled | 12324 &Update enabled | 2 &Cancel enabled");
    const Lines transcript = run.Transcript();
    EXPECT_EQ(CountLines(transcript, "OUT 00 02 03"), 0) << "the update started unasked";
    EXPECT_EQ(CountLines(transcript, "EVENT image of"), 0);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

// The frame opens in the middle of the screen's work area, whatever its size.
TEST(WizardSearch, FrameOpensCentredOnTheWorkArea) {
    WizardRun run("normal", "centred");
    const HWND frame = run.FindFrame(20000);
    ASSERT_NE(frame, nullptr);
    RECT area{}, placed{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) &&
                GetWindowRect(frame, &placed));
    // Twice the centres, so that an odd difference in size stays whole.
    EXPECT_LE(std::abs(placed.left + placed.right - area.left - area.right), 1) << placed.left;
    EXPECT_LE(std::abs(placed.top + placed.bottom - area.top - area.bottom), 1) << placed.top;
    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

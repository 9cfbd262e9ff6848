// The wizard's long search under Wine: a pen that leaves the bus on the
// switch and never comes back. The library tries 101 times, half a second
// apart, so this program runs for about a minute on its own.
#include <gtest/gtest.h>

#include "driver/PenTranscript.h"
#include "driver/WizardChecks.h"
#include "driver/WizardDriver.h"

using namespace wizard_test;

TEST(WizardLongSearch, PenThatNeverComesBackIsToldAfterTheLongSearch) {
    WizardRun run("never-returns", "never-returns");
    const HWND frame = StartAtWelcomePage(run, POINT{0, 384}, false);
    ASSERT_NE(frame, nullptr);
    Click(frame, kNext);
    ASSERT_TRUE(WaitForPage(frame, kOpenDeviceTexts, 5000));
    const ULONGLONG shown = GetTickCount64();

    const std::vector<std::wstring> timedOut = {kString11};
    ASSERT_TRUE(WaitForPage(frame, timedOut, 120000))
        << ::testing::PrintToString(PageTexts(VisiblePage(frame)));
    EXPECT_GE(GetTickCount64() - shown, 50000u) << "the search gave up too early";
    ExpectButtons(frame, "12323 < &Back enabled | 12324 &Next disabled | 2 &Cancel enabled");
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(CountLines(run.Transcript(), "EVENT search result 2 1"), 1);

    CancelAndAnswer(run, frame, IDYES);
    EXPECT_TRUE(run.WaitForExit(5000));
}

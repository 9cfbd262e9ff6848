#include "WizardChecks.h"

#include <gtest/gtest.h>

#include "Screenshot.h"

namespace wizard_test {

namespace {

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

}  // namespace

std::string Describe(HWND frame, int id) {
    const ButtonState state = Button(frame, id);
    if (!state.exists) return "none";
    return std::to_string(state.id) + " " + Narrow(state.text) +
           (state.enabled ? " enabled" : " disabled");
}

std::string DescribeButtons(HWND frame) {
    const int next = Button(frame, kNext).exists ? kNext : kFinish;
    return Describe(frame, kBack) + " | " + Describe(frame, next) + " | " + Describe(frame, kCancel);
}

void ExpectButtons(HWND frame, const std::string& expected) {
    WaitUntil([&] { return DescribeButtons(frame) == expected; }, 2000);
    EXPECT_EQ(DescribeButtons(frame), expected);
}

void SaveScreenshot(HWND frame, const wchar_t* name) {
    Sleep(300);  // time for the page to be painted on the display
    const Picture picture = CaptureWindow(frame);
    ASSERT_GT(picture.width, 0) << "no picture of the frame";
    // A page has at least its background, its text, the button faces and
    // their edges.
    EXPECT_GE(DistinctColours(picture), 4u) << "the screenshot is blank";
    const std::wstring path = ScreenshotFolder() + L"\\" + name + L".png";
    EXPECT_TRUE(WritePng(path, picture)) << "cannot write " << Narrow(path);
}

HWND StartAtWelcomePage(WizardRun& run, POINT origin, bool onTop) {
    if (!run.Started()) return nullptr;
    const HWND frame = run.WaitForFrame(origin, onTop);
    if (frame == nullptr) {
        ADD_FAILURE() << "no wizard frame";
    } else if (!WaitForPage(frame, kWelcomeTexts, 10000)) {
        ADD_FAILURE() << "no welcome page; the frame shows "
                      << ::testing::PrintToString(PageTexts(VisiblePage(frame)));
        return nullptr;
    }
    return frame;
}

void AdvanceToExplanationPage(HWND frame) {
    ASSERT_TRUE(WaitForPage(frame, kWelcomeTexts, 10000)) << "no welcome page";
    Click(frame, kNext);
    ASSERT_TRUE(WaitUntil([&] { return Button(frame, kNext).text == L"&Update"; }, 15000))
        << "the pen was not found; the page shows "
        << ::testing::PrintToString(PageTexts(VisiblePage(frame)));
}

void ExpectFatalMessageAndEnd(WizardRun& run, const wchar_t* text, DWORD timeoutMs) {
    const MessageBoxState box = run.WaitForMessageBox(timeoutMs);
    ASSERT_NE(box.window, nullptr) << "no message box";
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(box.hasIcon);
    Answer(box, IDOK);
    EXPECT_TRUE(run.WaitForExit(5000)) << "the wizard did not end after OK";
}

void ExpectCancelAnsweredNoChangesNothing(WizardRun& run, HWND frame) {
    const std::vector<std::wstring> texts = PageTexts(VisiblePage(frame));
    const std::string buttons = DescribeButtons(frame);
    CancelAndAnswer(run, frame, IDNO);
    Sleep(300);
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(PageTexts(VisiblePage(frame)), texts);
    EXPECT_EQ(DescribeButtons(frame), buttons);
}

void CancelAndAnswer(WizardRun& run, HWND frame, int answer) {
    Click(frame, kCancel);
    const MessageBoxState box = run.WaitForMessageBox(5000);
    ASSERT_NE(box.window, nullptr) << "no question";
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.text, kString4);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.hasIcon);
    Answer(box, answer);
    EXPECT_TRUE(WaitUntil([&] { return run.CurrentMessageBox().window == nullptr; }, 5000))
        << "the question stayed";
}

}  // namespace wizard_test

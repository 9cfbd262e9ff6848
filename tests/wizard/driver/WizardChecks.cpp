#include "WizardChecks.h"

#include <gtest/gtest.h>

#include <utility>

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
    return Describe(frame, kBack) + " | " + Describe(frame, next) + " | " +
           Describe(frame, kCancel);
}

void ExpectButtons(HWND frame, const std::string& expected) {
    WaitUntil([&] { return DescribeButtons(frame) == expected; }, kStepMs);
    EXPECT_EQ(DescribeButtons(frame), expected);
}

void SaveScreenshot(HWND frame, const wchar_t* name) {
    // The screen is read through the X server, which gives nothing for a
    // rectangle that leaves its screen: the frame must lie wholly on it.
    RECT area{};
    ASSERT_TRUE(GetWindowRect(frame, &area)) << "no frame";
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_TRUE(area.left >= 0 && area.top >= 0 && area.right <= screenWidth &&
                area.bottom <= screenHeight)
        << "the frame (" << area.left << "," << area.top << ")-(" << area.right << ","
        << area.bottom << ") is not wholly on the " << screenWidth << "x" << screenHeight
        << " screen, so it cannot be captured";
    // A page has at least its background, its text, the button faces and
    // their edges. Taken once the page is painted and two pictures in a row
    // agree, or has been painted for a second (a progress bar moves).
    Picture picture;
    ULONGLONG paintedAt = 0;
    WaitUntil(
        [&] {
            Picture next = CaptureWindow(frame);
            const bool painted = next.width > 0 && DistinctColours(next) >= 4;
            const bool settled = painted && next.rgb == picture.rgb;
            if (!painted) paintedAt = 0;
            if (painted && paintedAt == 0) paintedAt = GetTickCount64();
            picture = std::move(next);
            return settled || (painted && GetTickCount64() - paintedAt >= 1000);
        },
        kPaintMs);
    ASSERT_GT(picture.width, 0) << "no picture of the frame";
    EXPECT_GE(DistinctColours(picture), 4u)
        << "the screenshot is blank after " << kPaintMs << " ms";
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

void SaveBoxScreenshot(const MessageBoxState& box, const wchar_t* name) {
    SetWindowPos(box.window, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    SaveScreenshot(box.window, name);
}

void ExpectFatalMessageAndEnd(WizardRun& run, const wchar_t* text, DWORD timeoutMs, DWORD exitMs,
                              const wchar_t* screenshot) {
    const MessageBoxState box = run.WaitForMessageBox(timeoutMs);
    ASSERT_NE(box.window, nullptr) << "no message box";
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(box.hasIcon);
    if (screenshot != nullptr) SaveBoxScreenshot(box, screenshot);
    Answer(box, IDOK);
    EXPECT_TRUE(run.WaitForExit(exitMs)) << "the wizard did not end after OK";
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
    AnswerCancelQuestion(run, answer);
}

void AnswerCancelQuestion(WizardRun& run, int answer, const wchar_t* screenshot) {
    const MessageBoxState box = run.WaitForMessageBox(kStepMs);
    ASSERT_NE(box.window, nullptr) << "no question";
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.text, kString4);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.hasIcon);
    if (screenshot != nullptr) SaveBoxScreenshot(box, screenshot);
    Answer(box, answer);
    EXPECT_TRUE(WaitUntil([&] { return run.CurrentMessageBox().window == nullptr; }, kStepMs))
        << "the question stayed";
}

}  // namespace wizard_test

// Checks and steps that the wizard's tests share.
#ifndef FLASHWIZARD_TESTS_WIZARDCHECKS_H
#define FLASHWIZARD_TESTS_WIZARDCHECKS_H

#include <windows.h>

#include <string>

#include "WizardDriver.h"

namespace wizard_test {

// "<id> <caption> enabled|disabled" of the frame's button id, or "none".
std::string Describe(HWND frame, int id);

// The frame's three buttons described, Back, Next (or Finish) and Cancel,
// one after the other: "12323 < &Back disabled | 12324 &Next > enabled |
// 2 &Cancel enabled".
std::string DescribeButtons(HWND frame);

// Expects DescribeButtons(frame) to read expected, allowing the wizard up to
// kStepMs to finish the step that it is in the middle of.
void ExpectButtons(HWND frame, const std::string& expected);

// Saves what the screen shows of frame as <name>.png in the screenshot
// folder, once the page is painted (waiting up to kPaintMs). Fails the test
// when the frame is not wholly on the screen or the picture stays blank.
void SaveScreenshot(HWND frame, const wchar_t* name);

// Saves box as <name>.png like SaveScreenshot, raised above the other
// windows first (it has no owner, so a frame may cover it).
void SaveBoxScreenshot(const MessageBoxState& box, const wchar_t* name);

// Waits for run's frame (placed at origin, above other windows when onTop)
// and its welcome page. Returns the frame, or null after failing the test
// when the wizard did not start or show the welcome page.
HWND StartAtWelcomePage(WizardRun& run, POINT origin, bool onTop);

// From the welcome page to the explanation page: checks the welcome page,
// presses Next and waits until the pen has been found (Next reads
// "&Update"). Fails the test when it does not get there.
void AdvanceToExplanationPage(HWND frame);

// Waits up to timeoutMs for a message box with text, the wizard's caption,
// an icon and the one button OK, saves it as screenshot (when given),
// presses OK and checks that the wizard then ends within exitMs.
void ExpectFatalMessageAndEnd(WizardRun& run, const wchar_t* text, DWORD timeoutMs,
                              DWORD exitMs = kStepMs, const wchar_t* screenshot = nullptr);

// Presses Cancel, answers No and checks that the wizard goes on with the
// same page and the same buttons.
void ExpectCancelAnsweredNoChangesNothing(WizardRun& run, HWND frame);

// Presses Cancel and answers the question with answer (AnswerCancelQuestion).
void CancelAndAnswer(WizardRun& run, HWND frame, int answer);

// Waits up to kStepMs for the cancel question (string 4, Yes and No, the
// wizard's caption), saves it as screenshot (when given), answers it with
// answer and waits until it has gone.
void AnswerCancelQuestion(WizardRun& run, int answer, const wchar_t* screenshot = nullptr);

}  // namespace wizard_test

#endif  // FLASHWIZARD_TESTS_WIZARDCHECKS_H

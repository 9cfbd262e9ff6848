// CUpgradePage: the fourth page (template IDD_UPGRADE). The moment it is shown it
// updates the pen without further input: it disables the frame's buttons,
// prepares the firmware image, puts the pen into its receiving state, sends
// the image, closes the exchange and advances to the finish page. A failure
// is told in a message box and ends the wizard.
//
// The three library calls run one after the other on a worker thread
// (CLibraryCall), and the page learns each result by WM_UPDATE_STEP_DONE, so
// that the window keeps answering and repainting while the pen takes its
// time. Everything else stays on the window's thread: the image
// preparation, the message boxes and the quit request (PostQuitMessage posts
// to the calling thread's queue). While the calls run the frame drops the
// cancel command (Cancel, Esc, Alt+F4): the transfer cannot be interrupted.
#ifndef FLASHWIZARD_UPGRADEPAGE_H
#define FLASHWIZARD_UPGRADEPAGE_H

#include <windows.h>

#include "LibraryCall.h"
#include "WizardPage.h"

// The update page's message to itself: run the update sequence.
constexpr UINT WM_START_UPDATE = WM_APP + 1;  // 0x8001
// A library call of the sequence has returned: wParam the UpdateStep,
// lParam the ORVANE_ERROR it returned.
constexpr UINT WM_UPDATE_STEP_DONE = WM_APP + 2;  // 0x8002

class CUpgradePage : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    CUpgradePage();
    // Waits for a library call that still runs, then frees an image that is
    // still held.
    ~CUpgradePage() override;

    // As COpenDevice::OnQueryCancel: returns TRUE when the user agrees (and
    // records it), FALSE otherwise. User-interface thread.
    BOOL OnQueryCancel() override;
    // Sets Next's caption to string 2, "&Update". Returns 0, the previous
    // page.
    LRESULT OnWizardBack() override;

    // WM_START_UPDATE: disables the frame's buttons, prepares the image and
    // starts FWUStartFirmwareUpdate on the worker; an image that cannot be
    // prepared is told with string 6 and ends the wizard, the pen untouched.
    // Returns 0; a second message does nothing.
    LRESULT OnStartUpdate(WPARAM wParam, LPARAM lParam);
    // WM_UPDATE_STEP_DONE: the next step of the sequence after the call
    // wParam returned lParam. Start failed: string 5 and the quit request.
    // Send failed: string 6 (unless the user agreed to cancel) and the quit
    // request. Otherwise the next call; after the close, the finish page.
    // When the sequence ends, whatever the outcome, the image is freed and
    // m_pImage and m_nImageLength are cleared. A result that is not the one
    // awaited does nothing. Returns 0.
    LRESULT OnUpdateStepDone(WPARAM wParam, LPARAM lParam);

protected:
    // The page initialisation and placeholder pass, then posts itself
    // WM_START_UPDATE, handled once the page is on the screen. Returns TRUE.
    BOOL OnInitDialog() override;
    // WM_START_UPDATE and WM_UPDATE_STEP_DONE. Returns true when it handled
    // the message, else what the base class returns.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The library calls of the sequence, in their order.
    enum UpdateStep : WPARAM { kNoStep = 0, kStartStep = 1, kSendStep = 2, kCloseStep = 3 };

    // Runs call on the worker as step; its result comes as
    // WM_UPDATE_STEP_DONE.
    void StartStep(UpdateStep step, CLibraryCall::Call call);
    // The calls are over: the frame takes the cancel command again and the
    // image goes.
    void EndSequence();
    void ReleaseImage();

    BOOL m_bCancelled = FALSE;          // the user agreed to cancel while asked here
    int m_nImageLength = 0;             // bytes in m_pImage
    unsigned char* m_pImage = nullptr;  // the expanded image, a malloc block
    bool m_bStarted = false;            // the sequence has begun (it runs once)
    UpdateStep m_nAwaited = kNoStep;    // the call whose result is awaited
    CLibraryCall m_call;                // the worker of the library calls
};

#endif  // FLASHWIZARD_UPGRADEPAGE_H

// CUpgradePage: the fourth page (template 110). The moment it is shown it
// updates the pen without further input: it disables the frame's buttons,
// prepares the firmware image, puts the pen into its receiving state, sends
// the image, closes the exchange and advances to the finish page. A failure
// is told in a message box and ends the wizard.
#ifndef FLASHWIZARD_UPGRADEPAGE_H
#define FLASHWIZARD_UPGRADEPAGE_H

#include <windows.h>

#include "WizardPage.h"

// The update page's message to itself: run the update sequence.
constexpr UINT WM_START_UPDATE = WM_APP + 1;  // 0x8001

class CUpgradePage : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    CUpgradePage();
    // Frees an image that is still held.
    ~CUpgradePage() override;

    // As COpenDevice::OnQueryCancel: returns TRUE when the user agrees (and
    // records it), FALSE otherwise. User-interface thread.
    BOOL OnQueryCancel() override;
    // Sets Next's caption to string 2, "&Update". Returns 0, the previous
    // page.
    LRESULT OnWizardBack() override;

    // WM_START_UPDATE: the update sequence. Returns 0 on every path; the
    // image is freed and m_pImage and m_nImageLength are cleared when it
    // ends, whatever the outcome.
    LRESULT OnStartUpdate(WPARAM wParam, LPARAM lParam);

protected:
    // The page initialisation and placeholder pass, then posts itself
    // WM_START_UPDATE, handled once the page is on the screen. Returns TRUE.
    BOOL OnInitDialog() override;
    // WM_START_UPDATE. Returns true when it handled the message, else what
    // the base class returns.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Steps from the image to the finish page; stops at the first failure
    // with its message and the quit request.
    void RunUpdateSequence();
    void ReleaseImage();

    BOOL m_bCancelled = FALSE;       // the user agreed to cancel while asked here
    int m_nImageLength = 0;          // bytes in m_pImage
    unsigned char* m_pImage = nullptr;  // the expanded image, a malloc block
};

#endif  // FLASHWIZARD_UPGRADEPAGE_H

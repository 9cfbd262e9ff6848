// CWizardFrame: what a page may do to the frame that holds it: its buttons
// Back (IDC_WIZ_BACK), Next (IDC_WIZ_NEXT, IDC_WIZ_FINISH once it has become
// Finish) and Cancel (IDCANCEL), the frame window as a whole, and advancing
// the wizard. The frame (CWizardDialog) owns one and lends it to every page
// as m_pWizard; it acts on the frame's window only, so the pages know
// neither the frame's class nor its code, and the frame's code reaches the
// pages and not the other way round.
//
// Every function runs on the user-interface thread.
#ifndef FLASHWIZARD_WIZARDFRAME_H
#define FLASHWIZARD_WIZARDFRAME_H

#include <windows.h>

#include "ui/Text.h"

class CWizardFrame {
public:
    // Acts on frame, the frame's window (null until the frame has one:
    // every function then does nothing and ButtonText is empty).
    void Attach(HWND frame) { m_hFrame = frame; }

    // Enables or disables button id, if the frame has it. Returns nothing.
    void EnableButton(int id, BOOL enable) const;
    // Enables or disables Next, Back and Cancel, in that order, as the three
    // flags say; a button the frame does not have (Next once it has become
    // Finish) is left alone. Returns nothing.
    void SetButtons(bool next, bool back, bool cancel) const;
    // Returns the caption of button id; empty when the frame has no such
    // button.
    CText ButtonText(int id) const;
    // Sets the caption of button id, if the frame has it. Returns nothing.
    void SetButtonText(int id, const CText& text) const;
    // Enables or disables the frame window with everything in it. Returns
    // nothing.
    void EnableFrame(BOOL enable) const;
    // While running is true, a page's library calls run on a worker thread
    // and the frame drops the cancel command. Returns nothing.
    void SetCallsRunning(bool running) { m_bCallsRunning = running; }
    // Returns what SetCallsRunning said last; false at first.
    bool CallsRunning() const { return m_bCallsRunning; }
    // Next, as if the user had pressed it: the frame gets the Next command
    // at once and the shown page's OnWizardNext names the page that
    // follows. Returns when the frame has handled it.
    void Next() const;

private:
    // Returns the frame's button id, or null when it has none.
    HWND Button(int id) const;

    HWND m_hFrame = nullptr;
    bool m_bCallsRunning = false;  // a page's library calls run: no cancel
};

#endif  // FLASHWIZARD_WIZARDFRAME_H

// CWizardFrame: what a page may do to the frame that holds it: its buttons
// Back (12323), Next (12324, 12325 once it has become Finish) and Cancel
// (2), the frame window as a whole, and advancing the wizard. The frame
// (CWizardDialog) is the one implementation; a page holds it as m_pWizard
// and never sees the frame's own class, so the frame's code reaches the
// pages and not the other way round.
//
// Every function runs on the user-interface thread.
#ifndef FLASHWIZARD_WIZARDFRAME_H
#define FLASHWIZARD_WIZARDFRAME_H

#include <windows.h>

#include "ui/Text.h"

class CWizardFrame {
public:
    // Enables or disables button id, if the frame has it. Returns nothing.
    virtual void EnableButton(int id, BOOL enable) const = 0;
    // Enables or disables Next (12324), Back (12323) and Cancel (2), in that
    // order, as the three flags say; a button the frame does not have (Next
    // once it has become Finish) is left alone. Returns nothing.
    virtual void SetButtons(bool next, bool back, bool cancel) const = 0;
    // Returns the caption of button id; empty when the frame has no such
    // button.
    virtual CText ButtonText(int id) const = 0;
    // Sets the caption of button id, if the frame has it. Returns nothing.
    virtual void SetButtonText(int id, const CText& text) const = 0;
    // Enables or disables the frame window with everything in it. Returns
    // nothing.
    virtual void EnableFrame(BOOL enable) const = 0;
    // While running is true, a page's library calls run on a worker thread
    // and the frame drops the cancel command. Returns nothing.
    virtual void SetCallsRunning(bool running) = 0;
    // Next, as if the user had pressed it: the shown page's OnWizardNext
    // names the page that follows. Returns nothing.
    virtual void OnNext() = 0;

protected:
    ~CWizardFrame() = default;
};

#endif  // FLASHWIZARD_WIZARDFRAME_H

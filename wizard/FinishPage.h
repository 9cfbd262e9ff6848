// CFinishPage: the last page (template IDD_FINISH), shown after a successful
// update. The frame turns Next into Finish on it; Finish ends the wizard.
#ifndef FLASHWIZARD_FINISHPAGE_H
#define FLASHWIZARD_FINISHPAGE_H

#include "WizardPage.h"

class CFinishPage : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    CFinishPage();

protected:
    // The shared page initialisation with the placeholder pass. Returns TRUE.
    // User-interface thread.
    BOOL OnInitDialog() override;
};

#endif  // FLASHWIZARD_FINISHPAGE_H

// CMasterDlg: the program's main window, the wizard frame with the page
// area 1001 as the pages' placeholder and the program's icon.
#ifndef FLASHWIZARD_MASTERDLG_H
#define FLASHWIZARD_MASTERDLG_H

#include <windows.h>

#include "WizardDialog.h"

class CMasterDlg : public CWizardDialog {
public:
    // The frame, without a window, owning session for the run. Any thread;
    // the rest runs on the user-interface thread.
    explicit CMasterDlg(CWizardSession session);

protected:
    // Places pages at control 1001, shows the first page and sets icon 103
    // as the window's big icon. Returns TRUE. User-interface thread.
    BOOL OnInitDialog() override;

private:
    HICON m_hIcon = nullptr;  // shared icon from the resources; not destroyed
};

#endif  // FLASHWIZARD_MASTERDLG_H

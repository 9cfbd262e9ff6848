// CWelcomePage: the first page (template IDD_WELCOME). It greets the user and,
// the first time the user leaves it with Next, initialises the device
// library.
#ifndef FLASHWIZARD_WELCOMEPAGE_H
#define FLASHWIZARD_WELCOMEPAGE_H

#include "WizardPage.h"

class CWelcomePage : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    CWelcomePage();

    // The first time: disables Next and the frame, calls FWUInit, enables
    // the frame again. Every time: returns 0, the device page follows.
    // User-interface thread.
    LRESULT OnWizardNext() override;

protected:
    // The shared page initialisation with the placeholder pass. Returns TRUE.
    BOOL OnInitDialog() override;

private:
    BOOL m_bFirstTime = TRUE;  // the library is not initialised yet
};

#endif  // FLASHWIZARD_WELCOMEPAGE_H

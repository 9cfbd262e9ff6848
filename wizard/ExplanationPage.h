// CExplanationPage: the third page (template IDD_EXPLANATION), shown once the device has
// been found in its update mode. It shows the device's firmware version
// beside the carried one, warns that the notes will be erased, and turns
// Next into "&Update", which starts the update.
#ifndef FLASHWIZARD_EXPLANATIONPAGE_H
#define FLASHWIZARD_EXPLANATIONPAGE_H

#include "WizardPage.h"
#include "ui/Text.h"

class CExplanationPage : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    CExplanationPage();

    // Disables Back, keeps Next's caption, makes it "&Update" and enables
    // it. Returns nothing. User-interface thread.
    void OnSetActive() override;
    // Gives Next its kept caption back. Returns 0, the device page.
    LRESULT OnWizardBack() override;
    // Disables Next, Back and Cancel and gives Next its kept caption back.
    // Returns 0: the update page follows and starts the update.
    LRESULT OnWizardNext() override;

protected:
    // The page initialisation, the device's version into "[CurrentVersion]",
    // then the placeholder pass. Returns TRUE.
    BOOL OnInitDialog() override;

private:
    CText m_strNextText;  // Next's caption when the page was last shown
};

#endif  // FLASHWIZARD_EXPLANATIONPAGE_H

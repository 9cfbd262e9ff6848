#include "WelcomePage.h"

#include "Penlink.h"
#include "WizardDialog.h"
#include "WizardNavigation.h"
#include "res/resource.h"

CWelcomePage::CWelcomePage() : CWizardPage(IDD_WELCOME) {}

BOOL CWelcomePage::OnInitDialog() { return InitPageAndPlaceholders(); }

LRESULT CWelcomePage::OnWizardNext() {
    if (m_bFirstTime) {
        m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
        EnableWindow(m_pWizard->Handle(), FALSE);
        FWUInit();  // always succeeds
        EnableWindow(m_pWizard->Handle(), TRUE);
    }
    m_bFirstTime = FALSE;
    return kWizardGoToNeighbour;
}

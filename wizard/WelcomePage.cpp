#include "WelcomePage.h"

#include "WizardFrame.h"
#include "WizardNavigation.h"
#include "WizardSession.h"
#include "res/resource.h"

CWelcomePage::CWelcomePage() : CWizardPage(IDD_WELCOME) {}

BOOL CWelcomePage::OnInitDialog() { return InitPageAndPlaceholders(); }

LRESULT CWelcomePage::OnWizardNext() {
    if (m_bFirstTime) {
        m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
        m_pWizard->EnableFrame(FALSE);
        m_pSession->Init();  // always succeeds
        m_pWizard->EnableFrame(TRUE);
    }
    m_bFirstTime = FALSE;
    return kWizardGoToNeighbour;
}

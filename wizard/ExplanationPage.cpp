#include "ExplanationPage.h"

#include "PlaceholderPass.h"
#include "WizardFrame.h"
#include "WizardNavigation.h"
#include "WizardSession.h"
#include "res/resource.h"

CExplanationPage::CExplanationPage() : CWizardPage(IDD_EXPLANATION) { m_bWhiteBackground = FALSE; }

BOOL CExplanationPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    // Before the pass: a pass without the value would remove the
    // placeholder for good.
    m_pSession->m_strCurrentVersion = m_pSession->FormatCurrentVersion();
    UpdatePlaceholderTexts(Handle(), *m_pSession);
    return TRUE;
}

void CExplanationPage::OnSetActive() {
    m_pWizard->EnableButton(IDC_WIZ_BACK, FALSE);
    m_strNextText = GetNextButtonText(*this);
    SetUpdateButtonText(*this);
    m_pWizard->EnableButton(IDC_WIZ_NEXT, TRUE);
}

LRESULT CExplanationPage::OnWizardNext() {
    m_pWizard->SetButtons(false, false, false);
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
    return kWizardGoToNeighbour;
}

LRESULT CExplanationPage::OnWizardBack() {
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
    return kWizardGoToNeighbour;
}

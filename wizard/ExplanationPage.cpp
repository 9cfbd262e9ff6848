#include "ExplanationPage.h"

#include "FirmwareVersion.h"
#include "FlashWizardApp.h"
#include "PlaceholderPass.h"
#include "Penlink.h"
#include "WizardDialog.h"
#include "WizardNavigation.h"
#include "res/resource.h"
#include "ui/Application.h"

CExplanationPage::CExplanationPage() : CWizardPage(IDD_EXPLANATION) {
    m_bWhiteBackground = FALSE;
}

BOOL CExplanationPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    // Before the pass: a pass without the value would remove the
    // placeholder for good.
    CFlashWizardApp* app = GetWizardApp();
    app->m_strCurrentVersion = FormatCurrentVersion();
    UpdatePlaceholderTexts(Handle(), *app);
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

CText FormatCurrentVersion() {
    tagFWUDEVICEINFO info{};
    if (FWUGetDeviceInfo(&info) != ORVANE_ERROR_NONE) return LoadResourceString(IDS_VERSION_UNKNOWN);
    // Zero: the last search found the pen already in its update mode. If an
    // earlier search of this run switched it, its reading is the pen's.
    const std::uint32_t version =
        info.dwFirmwareVersion != 0 ? info.dwFirmwareVersion : GetWizardApp()->m_dwNormalModeVersion;
    return CText(FormatFirmwareVersion(version));
}

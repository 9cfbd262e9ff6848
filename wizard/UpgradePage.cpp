#include "UpgradePage.h"

#include <cstdlib>

#include "ImagePipeline.h"
#include "Penlink.h"
#include "WizardDialog.h"
#include "WizardMessageBox.h"
#include "WizardNavigation.h"
#include "res/resource.h"
#include "ui/MessageTable.h"

CUpgradePage::CUpgradePage() : CWizardPage(IDD_UPGRADE) { m_bWhiteBackground = FALSE; }

CUpgradePage::~CUpgradePage() { ReleaseImage(); }

BOOL CUpgradePage::OnInitDialog() {
    InitPageAndPlaceholders();
    PostMessageW(Handle(), WM_START_UPDATE, 0, 0);
    return TRUE;
}

bool CUpgradePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageEntry<CUpgradePage> kMessages[] = {
        MapMessage(WM_START_UPDATE, &CUpgradePage::OnStartUpdate),
    };
    return DispatchMessageTable(*this, kMessages, message, wParam, lParam, result) ||
           CWizardPage::OnMessage(message, wParam, lParam, result);
}

LRESULT CUpgradePage::OnStartUpdate(WPARAM, LPARAM) {
    m_pWizard->SetButtons(false, false, false);
    RunUpdateSequence();
    ReleaseImage();
    return 0;
}

void CUpgradePage::RunUpdateSequence() {
    BYTE* image = nullptr;
    if (!LoadFirmwareImage(nullptr, &image, &m_nImageLength)) {
        // Without an image the pen is not touched at all: no receiving state,
        // no empty transfer.
        WizardMessageBox(IDS_DOWNLOAD_ERROR, MB_ICONERROR);
        PostQuitMessage(0);
        return;
    }
    m_pImage = image;
    if (FWUStartFirmwareUpdate() != ORVANE_ERROR_NONE) {
        WizardMessageBox(IDS_DEVICE_NOT_FOUND, MB_ICONERROR);
        PostQuitMessage(0);
        return;
    }
    if (FWUSendFirmware(m_pImage, m_nImageLength) != ORVANE_ERROR_NONE) {
        if (!m_bCancelled) WizardMessageBox(IDS_DOWNLOAD_ERROR, MB_ICONERROR);
        PostQuitMessage(0);
        return;
    }
    FWUCloseDevice();  // the update is in; a failed close changes nothing
    m_pWizard->OnNext();
}

void CUpgradePage::ReleaseImage() {
    std::free(m_pImage);
    m_pImage = nullptr;
    m_nImageLength = 0;
}

LRESULT CUpgradePage::OnWizardBack() {
    SetUpdateButtonText(*this);
    return kWizardGoToNeighbour;
}

BOOL CUpgradePage::OnQueryCancel() { return ConfirmCancel(&m_bCancelled); }

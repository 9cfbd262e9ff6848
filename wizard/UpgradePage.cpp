#include "UpgradePage.h"

#include <cstdlib>
#include <utility>

#include "Penlink.h"
#include "WizardFrame.h"
#include "WizardMessageBox.h"
#include "WizardNavigation.h"
#include "WizardSession.h"
#include "res/resource.h"
#include "ui/MessageTable.h"

CUpgradePage::CUpgradePage() : CWizardPage(IDD_UPGRADE) { m_bWhiteBackground = FALSE; }

CUpgradePage::~CUpgradePage() {
    // The worker may still read the image.
    m_call.Wait();
    ReleaseImage();
}

BOOL CUpgradePage::OnInitDialog() {
    InitPageAndPlaceholders();
    PostMessageW(Handle(), WM_START_UPDATE, 0, 0);
    return TRUE;
}

bool CUpgradePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageEntry<CUpgradePage> kMessages[] = {
        MapMessage(WM_START_UPDATE, &CUpgradePage::OnStartUpdate),
        MapMessage(WM_UPDATE_STEP_DONE, &CUpgradePage::OnUpdateStepDone),
    };
    return DispatchMessageTable(*this, kMessages, message, wParam, lParam, result) ||
           CWizardPage::OnMessage(message, wParam, lParam, result);
}

LRESULT CUpgradePage::OnStartUpdate(WPARAM, LPARAM) {
    if (m_bStarted) return 0;
    m_bStarted = true;
    m_pWizard->SetButtons(false, false, false);
    BYTE* image = nullptr;
    if (!m_pSession->LoadImage(&image, &m_nImageLength)) {
        // Without an image the pen is not touched at all: no receiving state,
        // no empty transfer.
        ReleaseImage();
        WizardMessageBox(*m_pSession, IDS_DOWNLOAD_ERROR, MB_ICONERROR);
        PostQuitMessage(0);
        return 0;
    }
    m_pImage = image;
    m_pWizard->SetCallsRunning(true);
    StartStep(kStartStep, [session = m_pSession] { return session->StartFirmwareUpdate(); });
    return 0;
}

void CUpgradePage::StartStep(UpdateStep step, CLibraryCall::Call call) {
    m_nAwaited = step;
    m_call.Start(std::move(call), Handle(), WM_UPDATE_STEP_DONE, step);
}

LRESULT CUpgradePage::OnUpdateStepDone(WPARAM wParam, LPARAM lParam) {
    if (m_nAwaited == kNoStep || wParam != m_nAwaited) return 0;
    const auto result = static_cast<ORVANE_ERROR>(lParam);
    switch (m_nAwaited) {
        case kStartStep:
            if (result != ORVANE_ERROR_NONE) {
                EndSequence();
                WizardMessageBox(*m_pSession, IDS_DEVICE_NOT_FOUND, MB_ICONERROR);
                PostQuitMessage(0);
                return 0;
            }
            {
                // The buffer stays with the page until this call's result is in.
                unsigned char* const image = m_pImage;
                const int length = m_nImageLength;
                StartStep(kSendStep, [session = m_pSession, image, length] {
                    return session->SendFirmware(image, length);
                });
            }
            return 0;
        case kSendStep:
            if (result != ORVANE_ERROR_NONE) {
                EndSequence();
                if (!m_bCancelled) WizardMessageBox(*m_pSession, IDS_DOWNLOAD_ERROR, MB_ICONERROR);
                PostQuitMessage(0);
                return 0;
            }
            StartStep(kCloseStep, [session = m_pSession] { return session->CloseDevice(); });
            return 0;
        default:
            // The update is in; a failed close changes nothing.
            EndSequence();
            m_pWizard->Next();
            return 0;
    }
}

void CUpgradePage::EndSequence() {
    m_nAwaited = kNoStep;
    m_pWizard->SetCallsRunning(false);
    ReleaseImage();
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

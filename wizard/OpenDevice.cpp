#include "OpenDevice.h"

#include "Penlink.h"
#include "WizardFrame.h"
#include "WizardMessageBox.h"
#include "WizardNavigation.h"
#include "WizardSession.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/DialogWindow.h"

COpenDevice::COpenDevice() : CWizardPage(IDD_OPEN_DEVICE) {}

BOOL COpenDevice::OnInitDialog() { return InitPageAndPlaceholders(); }

void COpenDevice::ShowNextCaption() {
    m_strNextText = LoadResourceString(IDS_NEXT);
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
}

void COpenDevice::RestoreStatusText() {
    if (!m_strStatusText.IsEmpty())
        SetDlgItemTextW(Handle(), IDC_STATUS_TEXT, m_strStatusText.c_str());
}

void COpenDevice::OnSetActive() {
    ShowNextCaption();
    RestoreStatusText();
    const HWND sink = m_search.Open(&COpenDevice::SearchAnswered, this);
    // Without a sink nothing could hear the result: as a library that
    // refuses, the wizard ends.
    const ORVANE_ERROR opened =
        sink != nullptr ? m_pSession->OpenDevice(sink) : ORVANE_ERROR_NOT_INITIALIZED;
    if (opened != ORVANE_ERROR_NONE) {
        m_search.Close();
        if (opened == ORVANE_ERROR_MODE_CHANGE_FAILED) {
            WizardMessageBox(*m_pSession, IDS_MODE_CHANGE_FAILED, MB_ICONERROR);
        }
        PostQuitMessage(0);
    }
    m_pWizard->EnableButton(IDC_WIZ_BACK, TRUE);
    m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
}

BOOL COpenDevice::OnKillActive() {
    m_search.Close();
    return TRUE;
}

void COpenDevice::SearchAnswered(void* page, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<COpenDevice*>(page);
    // A search answers once: nothing more is awaited.
    self->m_search.Close();
    self->OnDeviceSearchResult(wParam, lParam);
}

LRESULT COpenDevice::OnDeviceSearchResult(WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
        case SEARCH_FOUND:
            // lParam is the library's device object: not ours to touch.
            m_pWizard->EnableButton(IDC_WIZ_NEXT, TRUE);
            m_pWizard->EnableButton(IDC_WIZ_BACK, FALSE);
            m_pWizard->Next();
            return 1;
        case SEARCH_NOT_FOUND:
            if (!m_bCancelled) {
                const HWND status = Item(IDC_STATUS_TEXT);
                m_strStatusText = WindowText(status);
                const UINT reason =
                    lParam == NOT_FOUND_AFTER_SWITCH ? IDS_SWITCH_TIMEOUT : IDS_DEVICE_NOT_FOUND;
                SetWindowTextW(status, LoadResourceString(reason).c_str());
            }
            return 2;
        default: return static_cast<LRESULT>(wParam);
    }
}

LRESULT COpenDevice::OnWizardBack() {
    ShowNextCaption();
    RestoreStatusText();
    return kWizardGoToNeighbour;
}

LRESULT COpenDevice::OnWizardNext() {
    m_pWizard->SetButtons(false, false, true);
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
    return kWizardGoToNeighbour;
}

BOOL COpenDevice::OnQueryCancel() { return ConfirmCancel(&m_bCancelled); }

#include "OpenDevice.h"

#include "Penlink.h"
#include "WizardDialog.h"
#include "WizardMessageBox.h"
#include "WizardNavigation.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/DialogWindow.h"
#include "ui/MessageTable.h"

COpenDevice::COpenDevice() : CWizardPage(IDD_OPEN_DEVICE) {}

BOOL COpenDevice::OnInitDialog() { return InitPageAndPlaceholders(); }

bool COpenDevice::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageEntry<COpenDevice> kMessages[] = {
        MapMessage(WM_DEVICE_SEARCH_RESULT, &COpenDevice::OnDeviceSearchResult),
    };
    return DispatchMessageTable(*this, kMessages, message, wParam, lParam, result) ||
           CWizardPage::OnMessage(message, wParam, lParam, result);
}

void COpenDevice::ShowNextCaption() {
    m_strNextText = LoadResourceString(IDS_NEXT);
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
}

void COpenDevice::RestoreStatusText() {
    if (!m_strStatusText.IsEmpty()) SetDlgItemTextW(Handle(), IDC_STATUS_TEXT, m_strStatusText.c_str());
}

void COpenDevice::DropQueuedResults() {
    // Whatever is queued now comes from a search that the next FWUOpenDevice
    // ends; the library lets that search post nothing more.
    MSG stale;
    while (PeekMessageW(&stale, Handle(), WM_DEVICE_SEARCH_RESULT, WM_DEVICE_SEARCH_RESULT,
                        PM_REMOVE)) {
    }
}

void COpenDevice::OnSetActive() {
    ShowNextCaption();
    // A miss that arrived while the page was hidden must not greet the new
    // search.
    RestoreStatusText();
    DropQueuedResults();
    const ORVANE_ERROR opened = FWUOpenDevice(Handle());
    if (opened != ORVANE_ERROR_NONE) {
        if (opened == ORVANE_ERROR_MODE_CHANGE_FAILED) {
            WizardMessageBox(IDS_MODE_CHANGE_FAILED, MB_ICONERROR);
        }
        PostQuitMessage(0);
    }
    m_pWizard->EnableButton(IDC_WIZ_BACK, TRUE);
    m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
}

LRESULT COpenDevice::OnDeviceSearchResult(WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case SEARCH_FOUND:
        // lParam is the library's device object: not ours to touch.
        m_pWizard->EnableButton(IDC_WIZ_NEXT, TRUE);
        m_pWizard->EnableButton(IDC_WIZ_BACK, FALSE);
        m_pWizard->OnNext();
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
    default:
        return static_cast<LRESULT>(wParam);
    }
}

LRESULT COpenDevice::OnWizardBack() {
    ShowNextCaption();
    RestoreStatusText();
    return kWizardGoToNeighbour;
}

LRESULT COpenDevice::OnWizardNext() {
    m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
    m_pWizard->EnableButton(IDC_WIZ_BACK, FALSE);
    m_pWizard->EnableButton(IDCANCEL, TRUE);
    m_pWizard->SetButtonText(IDC_WIZ_NEXT, m_strNextText);
    return kWizardGoToNeighbour;
}

BOOL COpenDevice::OnQueryCancel() { return ConfirmCancel(&m_bCancelled); }

#include "WizardPage.h"

#include "PlaceholderPass.h"
#include "WizardFrame.h"
#include "WizardMessageBox.h"
#include "WizardNavigation.h"
#include "WizardSession.h"
#include "res/resource.h"
#include "ui/Application.h"

BOOL g_bCancelConfirmed = FALSE;
CFontObject g_fontHeaderTitle;
CFontObject g_fontPageTitle;

namespace {

HFONT MakeTitleFont(int height) {
    return CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

void SetControlFont(HWND control, const CFontObject& font) {
    if (control != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
}

bool IsHeaderBandControl(HWND control) {
    const int id = GetDlgCtrlID(control);
    return id == IDC_HEADER_TITLE || id == IDC_HEADER_SUBTITLE || id == IDC_HEADER_BAND;
}

}  // namespace

CWizardPage::CWizardPage(UINT templateId) : CDialogWindow(templateId), m_nTemplateId(templateId) {}

CWizardPage::~CWizardPage() = default;

BOOL CWizardPage::OnCreatePage() { return TRUE; }

void CWizardPage::OnDestroyPage() {}

BOOL CWizardPage::OnKillActive() { return TRUE; }

void CWizardPage::OnSetActive() {}

BOOL CWizardPage::OnQueryCancel() { return ConfirmCancel(); }

LRESULT CWizardPage::OnWizardBack() { return kWizardGoToNeighbour; }

LRESULT CWizardPage::OnWizardNext() {
    if (m_pWizard != nullptr) m_pWizard->EnableButton(IDC_WIZ_NEXT, FALSE);
    return kWizardGoToNeighbour;
}

BOOL CWizardPage::OnWizardFinish() { return TRUE; }

BOOL CWizardPage::OnInitDialog() {
    CDialogWindow::OnInitDialog();
    // Made by the first page that initialises, shared by all for the rest
    // of the process.
    if (!g_fontHeaderTitle.IsSet()) g_fontHeaderTitle.Reset(MakeTitleFont(10));
    if (!g_fontPageTitle.IsSet()) g_fontPageTitle.Reset(MakeTitleFont(-16));
    m_brBackground.Reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    SetControlFont(Item(IDC_HEADER_TITLE), g_fontHeaderTitle);
    SetControlFont(Item(IDC_PAGE_TITLE), g_fontPageTitle);
    return TRUE;
}

void CWizardPage::OnCancel() {}

HBRUSH CWizardPage::OnCtlColor(HDC dc, HWND control, UINT kind) {
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    if (!m_bWhiteBackground) {
        if (kind == CTLCOLOR_DLG || !IsHeaderBandControl(control)) return nullptr;
        SetTextColor(dc, text);
        SetBkColor(dc, background);
        return m_brBackground.Get();
    }
    if (kind != CTLCOLOR_DLG && kind != CTLCOLOR_MSGBOX) {
        SetTextColor(dc, text);
        SetBkColor(dc, background);
    }
    return m_brBackground.Get();
}

BOOL CWizardPage::InitPageAndPlaceholders() {
    CWizardPage::OnInitDialog();
    UpdatePlaceholderTexts(Handle(), *m_pSession);
    return TRUE;
}

BOOL CWizardPage::ConfirmCancel(BOOL* pCancelled) const {
    if (!g_bCancelConfirmed &&
        WizardMessageBox(*m_pSession, IDS_CONFIRM_CANCEL,
                         MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDNO) {
        g_bCancelConfirmed = FALSE;
        return FALSE;
    }
    g_bCancelConfirmed = TRUE;
    if (pCancelled != nullptr) *pCancelled = TRUE;
    return TRUE;
}

CText GetNextButtonText(const CWizardPage& page) {
    return page.Wizard() != nullptr ? page.Wizard()->ButtonText(IDC_WIZ_NEXT) : CText();
}

void SetUpdateButtonText(const CWizardPage& page) {
    if (page.Wizard() != nullptr) {
        page.Wizard()->SetButtonText(IDC_WIZ_NEXT, LoadResourceString(IDS_UPDATE));
    }
}

#include "WizardDialog.h"

#include <utility>

#include "WizardNavigation.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/MessageTable.h"

CWizardDialog::CWizardDialog(CWizardSession session)
    : CDialogWindow(IDD_WIZARD_FRAME), m_session(std::move(session)) {}

CWizardDialog::~CWizardDialog() { m_pages.Clear(); }

void CWizardDialog::AddPage(CWizardPage* page) {
    m_pages.Append(page);
    page->m_pWizard = &m_frame;
    page->m_pSession = &m_session;
}

void CWizardDialog::InitFrame() {
    m_frame.Attach(Handle());
    SetWindowLongPtrW(Handle(), GWL_EXSTYLE,
                      GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    ShowFirstPage();
}

BOOL CWizardDialog::OnInitDialog() {
    CDialogWindow::OnInitDialog();
    InitFrame();
    return TRUE;
}

CWizardPage* CWizardDialog::ActivePage() const {
    return m_pages.FindFirst([](const CWizardPage* page) { return page->m_bActive != FALSE; });
}

BOOL CWizardDialog::ShowFirstPage() {
    CWizardPage* first = m_pages.First();
    if (first == nullptr) return FALSE;
    if (!DeactivatePage()) return FALSE;
    m_frame.EnableButton(IDC_WIZ_BACK, FALSE);
    if (m_pages.Count() > 1) {
        m_frame.EnableButton(IDC_WIZ_NEXT, TRUE);
    } else {
        SetFinishButton(TRUE);
    }
    return ActivatePage(first);
}

BOOL CWizardDialog::ActivatePage(CWizardPage* page) {
    if (!page->m_bCreated) {
        if (!page->CreateModeless(Handle(), page->m_nTemplateId)) return FALSE;
        page->m_bCreated = TRUE;
        page->m_pWizard = &m_frame;
        if (!page->OnCreatePage()) return FALSE;
    }
    if (!DeactivatePage()) return FALSE;

    const HWND placeholder = Item(static_cast<int>(m_nPlaceholderId));
    if (placeholder != nullptr) {
        ShowWindow(placeholder, SW_SHOW);
        SetFocus(placeholder);
        RECT area;
        GetWindowRect(placeholder, &area);
        POINT corner{area.left, area.top};
        ScreenToClient(Handle(), &corner);
        SetWindowPos(page->Handle(), nullptr, corner.x, corner.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EnableWindow(page->Handle(), TRUE);
    ShowWindow(page->Handle(), SW_SHOW);
    page->OnSetActive();
    InvalidateRect(page->Handle(), nullptr, TRUE);
    UpdateWindow(page->Handle());
    // Set only now: while OnSetActive runs, no page of the frame is active.
    page->m_bActive = TRUE;
    return TRUE;
}

BOOL CWizardDialog::DeactivatePage() {
    CWizardPage* active = ActivePage();
    if (active == nullptr) return TRUE;
    if (!active->OnKillActive()) return FALSE;
    ShowWindow(active->Handle(), SW_HIDE);
    active->m_bActive = FALSE;
    return TRUE;
}

void CWizardDialog::SetFinishButton(BOOL enable) {
    const HWND next = Button(IDC_WIZ_NEXT);
    if (next == nullptr) return;
    SetWindowTextW(next, LoadResourceString(IDS_FINISH).c_str());
    SetWindowLongPtrW(next, GWLP_ID, IDC_WIZ_FINISH);
    // Enter presses the button under its new id as well.
    SendMessageW(Handle(), DM_SETDEFID, IDC_WIZ_FINISH, 0);
    EnableWindow(next, enable);
    SetFocus(next);
}

CWizardPage* CWizardDialog::Move(WizardDirection direction) {
    CWizardPage* active = ActivePage();
    if (active == nullptr) return nullptr;
    const LRESULT answer =
        direction == WizardDirection::Next ? active->OnWizardNext() : active->OnWizardBack();
    CWizardPage* target = WizardTarget(m_pages, active, answer, direction);
    return target != nullptr && ActivatePage(target) ? target : nullptr;
}

void CWizardDialog::OnNext() {
    CWizardPage* target = Move(WizardDirection::Next);
    if (target != nullptr && target == m_pages.Last()) {
        m_frame.SetButtons(false, false, false);
        SetFinishButton(TRUE);
    }
}

void CWizardDialog::OnBack() {
    CWizardPage* target = Move(WizardDirection::Back);
    if (target == nullptr) return;
    if (target == m_pages.First()) m_frame.EnableButton(IDC_WIZ_BACK, FALSE);
    m_frame.EnableButton(IDC_WIZ_NEXT, TRUE);
}

void CWizardDialog::OnFinish() {
    CWizardPage* active = ActivePage();
    if (active == nullptr || !active->OnKillActive()) return;
    for (CWizardPage* page : m_pages) {
        if (page->m_bCreated && !page->OnWizardFinish()) return;
    }
    // The frame exchanges no data with its controls, so there is nothing to
    // save before the run ends.
    EndModal(IDC_WIZ_FINISH);
}

void CWizardDialog::OnCancel() {
    // Dropped, not queued: a cancel asked after the calls would meet a
    // finished update.
    if (m_frame.CallsRunning()) return;
    for (CWizardPage* page : m_pages) {
        if (page->m_bCreated && !page->OnQueryCancel()) return;
    }
    m_session.CloseDevice();  // the result changes nothing: the wizard ends
    CDialogWindow::OnCancel();
}

void CWizardDialog::OnDestroy() {
    for (CWizardPage* page : m_pages) {
        if (page->m_bCreated && page->OnKillActive()) {
            page->OnDestroyPage();
            page->DestroyWindowNow();
            page->m_bCreated = FALSE;
        }
    }
    m_frame.Attach(nullptr);  // the window is going
}

bool CWizardDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageEntry<CWizardDialog> kMessages[] = {
        MapCommand(IDC_WIZ_FINISH, &CWizardDialog::OnFinish),
        MapCommand(IDC_WIZ_BACK, &CWizardDialog::OnBack),
        MapCommand(IDC_WIZ_NEXT, &CWizardDialog::OnNext),
    };
    return DispatchMessageTable(*this, kMessages, message, wParam, lParam, result) ||
           CDialogWindow::OnMessage(message, wParam, lParam, result);
}

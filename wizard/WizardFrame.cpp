#include "WizardFrame.h"

#include "res/resource.h"
#include "ui/DialogWindow.h"

HWND CWizardFrame::Button(int id) const {
    return m_hFrame != nullptr ? GetDlgItem(m_hFrame, id) : nullptr;
}

void CWizardFrame::EnableButton(int id, BOOL enable) const {
    if (const HWND button = Button(id)) EnableWindow(button, enable);
}

void CWizardFrame::SetButtons(bool next, bool back, bool cancel) const {
    EnableButton(IDC_WIZ_NEXT, next ? TRUE : FALSE);
    EnableButton(IDC_WIZ_BACK, back ? TRUE : FALSE);
    EnableButton(IDCANCEL, cancel ? TRUE : FALSE);
}

CText CWizardFrame::ButtonText(int id) const { return WindowText(Button(id)); }

void CWizardFrame::SetButtonText(int id, const CText& text) const {
    if (const HWND button = Button(id)) SetWindowTextW(button, text.c_str());
}

void CWizardFrame::EnableFrame(BOOL enable) const {
    if (m_hFrame != nullptr) EnableWindow(m_hFrame, enable);
}

void CWizardFrame::Next() const {
    if (m_hFrame == nullptr) return;
    // The command the Next button sends, sent at once: the frame moves on
    // before this returns, as when the page called the frame itself.
    SendMessageW(m_hFrame, WM_COMMAND, MAKEWPARAM(IDC_WIZ_NEXT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Button(IDC_WIZ_NEXT)));
}

#include "MasterDlg.h"

#include <utility>

#include "res/resource.h"
#include "ui/Application.h"

CMasterDlg::CMasterDlg(CWizardSession session) : CWizardDialog(std::move(session)) {}

BOOL CMasterDlg::OnInitDialog() {
    m_nPlaceholderId = IDC_PAGE_AREA;
    CDialogWindow::OnInitDialog();
    InitFrame();
    m_hIcon = LoadIconW(CApplication::ResourceHandle(), MAKEINTRESOURCEW(IDI_WIZARD));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;
}

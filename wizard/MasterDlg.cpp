#include "MasterDlg.h"

#include "res/resource.h"
#include "ui/Application.h"

CMasterDlg::CMasterDlg() = default;

BOOL CMasterDlg::OnInitDialog() {
    m_nPlaceholderId = IDC_PAGE_AREA;
    CDialogWindow::OnInitDialog();
    InitFrame();
    m_hIcon = LoadIconW(CApplication::ResourceHandle(), MAKEINTRESOURCEW(IDI_WIZARD));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;
}

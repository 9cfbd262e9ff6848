#include "DialogWindow.h"

#include <string>
#include <utility>

#include "Application.h"
#include "EscapedException.h"

namespace {

// Moves window, not yet shown, to the middle of the screen's work area (the
// screen less the taskbar); one larger than the area keeps its top-left
// corner in the area.
void CentreOnWorkArea(HWND window) {
    RECT area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return;
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

CDialogWindow::CDialogWindow(UINT templateId) : m_nDialogTemplateId(templateId) {}

CDialogWindow::~CDialogWindow() {
    if (m_hWnd != nullptr) {
        // The window must not reach this object while it goes.
        SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

INT_PTR CDialogWindow::RunModal(HWND owner) {
    if (m_hWnd != nullptr) return -1;
    m_bModal = true;
    const INT_PTR result =
        DialogBoxParamW(CApplication::ResourceHandle(), MAKEINTRESOURCEW(m_nDialogTemplateId),
                        owner, &CDialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

bool CDialogWindow::CreateModeless(HWND parent, UINT templateId) {
    if (m_hWnd != nullptr) return false;
    m_bModal = false;
    return CreateDialogParamW(CApplication::ResourceHandle(), MAKEINTRESOURCEW(templateId), parent,
                              &CDialogWindow::DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialogWindow::EndModal(INT_PTR result) {
    if (m_hWnd != nullptr) EndDialog(m_hWnd, result);
}

bool CDialogWindow::DestroyWindowNow() { return m_hWnd != nullptr && DestroyWindow(m_hWnd); }

HWND CDialogWindow::Item(int id) const {
    return m_hWnd != nullptr ? GetDlgItem(m_hWnd, id) : nullptr;
}

BOOL CDialogWindow::OnInitDialog() { return TRUE; }

void CDialogWindow::OnOK() {
    if (m_bModal) EndModal(IDOK);
}

void CDialogWindow::OnCancel() {
    if (m_bModal) EndModal(IDCANCEL);
}

HBRUSH CDialogWindow::OnCtlColor(HDC, HWND, UINT) { return nullptr; }

void CDialogWindow::OnDestroy() {}

bool CDialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) > 1) return false;
    switch (LOWORD(wParam)) {
        case IDOK: OnOK(); break;
        case IDCANCEL: OnCancel(); break;
        default: return false;
    }
    result = 0;
    return true;
}

INT_PTR CALLBACK CDialogWindow::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogWindow*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialogWindow*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(hWnd, message, wParam, lParam);
    } catch (...) {
        // The handler stopped half-way: nothing about the dialog can be
        // trusted any more, so its modal run ends.
        LogEscapedException(L"CDialogWindow::DialogProc", message);
        EndDialog(GetAncestor(hWnd, GA_ROOT), -1);
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CDialogWindow::Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const BOOL result = OnInitDialog();
        // A modal dialog opens centred, before it is first shown.
        if (m_bModal) CentreOnWorkArea(hWnd);
        return result;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        // The brush is the dialog procedure's own result for these messages.
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                    reinterpret_cast<HWND>(lParam),
                                                    message - WM_CTLCOLORMSGBOX));
    }
    if (message == WM_DESTROY) {
        OnDestroy();
        return FALSE;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

CText WindowText(HWND window) {
    const int length = window != nullptr ? GetWindowTextLengthW(window) : 0;
    if (length <= 0) return CText();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return CText(std::move(text));
}

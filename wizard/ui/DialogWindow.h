// CDialogWindow: a dialog made from a template in the program's resources,
// run modally (DialogBoxParamW) or created as a modeless child
// (CreateDialogParamW), with its messages delivered to this object.
//
// One static dialog procedure serves every dialog: it finds the object
// through the window (the object's address travels in WM_INITDIALOG and is
// kept in the window's DWLP_USER slot) and hands each message to it.
// Messages arriving before WM_INITDIALOG and after WM_NCDESTROY get the
// dialog manager's default handling. No exception leaves the procedure: one
// that escapes a handler is logged (LogEscapedException), the message counts
// as unhandled, and the modal run that the dialog belongs to (its top-level
// window's) ends with -1.
//
// Dispatch, in this order:
//   WM_INITDIALOG         -> OnInitDialog; its result is the message's. A
//                            modal dialog is then centred on the screen's
//                            work area, before it is first shown
//   WM_CTLCOLOR*          -> OnCtlColor with the kind (0 message box ...
//                            6 static); a null brush leaves the colours to
//                            the dialog manager
//   WM_DESTROY            -> OnDestroy, then the default handling goes on
//   anything else         -> OnMessage: a class's own table (MessageTable.h),
//                            then its base's; here, the commands IDOK and
//                            IDCANCEL go to OnOK and OnCancel
// A message that nobody handles gets the dialog manager's default handling.
//
// Every function runs on the thread that owns the dialog's window.
#ifndef FLASHWIZARD_UI_DIALOGWINDOW_H
#define FLASHWIZARD_UI_DIALOGWINDOW_H

#include <windows.h>

#include "Text.h"

class CDialogWindow {
public:
    // A dialog on template templateId of the program's resources; no window
    // exists yet. Any thread; the window's functions below run on the thread
    // that creates the window.
    explicit CDialogWindow(UINT templateId);
    // Destroys a window that still exists.
    virtual ~CDialogWindow();
    CDialogWindow(const CDialogWindow&) = delete;
    CDialogWindow& operator=(const CDialogWindow&) = delete;

    // Runs the dialog modally, owned by owner (may be null), centred on the
    // work area of the screen when it first shows. Returns the
    // value given to EndModal, the dialog manager's result when the modal
    // loop ended otherwise (0 after a quit request), or -1 when the window
    // could not be created.
    INT_PTR RunModal(HWND owner);

    // Creates the window as a modeless child of parent from template
    // templateId. Returns true when the window exists afterwards, false when
    // it could not be created (or this object already has a window).
    bool CreateModeless(HWND parent, UINT templateId);

    // Ends a modal run with result; the window goes when the modal loop
    // ends. Returns nothing; does nothing without a window.
    void EndModal(INT_PTR result);

    // Destroys the window now. Returns true when a window was destroyed.
    bool DestroyWindowNow();

    // Returns the window, or null when there is none.
    HWND Handle() const { return m_hWnd; }
    // Returns the child control with id, or null when there is none (or no
    // window).
    HWND Item(int id) const;

protected:
    // WM_INITDIALOG. Returns TRUE to let the dialog manager put the focus on
    // the first control, FALSE when the handler has placed it. The default
    // returns TRUE.
    virtual BOOL OnInitDialog();
    // The IDOK and IDCANCEL commands. The defaults end a modal run with IDOK
    // or IDCANCEL and do nothing in a modeless dialog.
    virtual void OnOK();
    virtual void OnCancel();
    // WM_CTLCOLOR*: kind is 0 message box, 1 edit, 2 list box, 3 button,
    // 4 the dialog itself, 5 scroll bar, 6 static. Returns the brush that
    // paints the control's background, or null for the dialog manager's
    // colours (the default).
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
    // WM_DESTROY, before the default handling. The default does nothing.
    virtual void OnDestroy();
    // Any other message. Returns true with result set when handled, false to
    // pass it on. Overrides dispatch their own table first, then call their
    // base class's OnMessage.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    UINT m_nDialogTemplateId;
    bool m_bModal = false;
};

// The whole text of window (a caption or a control's text); empty when the
// window has none or is null. The window's own thread (the text is asked
// for with WM_GETTEXT).
CText WindowText(HWND window);

#endif  // FLASHWIZARD_UI_DIALOGWINDOW_H

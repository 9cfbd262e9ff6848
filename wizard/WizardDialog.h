// CWizardDialog: the wizard frame. A modal dialog (template
// IDD_WIZARD_FRAME) with a page area and the buttons Back (IDC_WIZ_BACK),
// Next (IDC_WIZ_NEXT, IDC_WIZ_FINISH once it has become Finish) and Cancel
// (IDCANCEL); it shows one page at a time, moves between pages
// on Back and Next as the pages answer, turns Next into Finish on the last
// page, asks the pages before cancelling and ends the modal run.
//
// The frame holds the pages in wizard order without owning them: they must
// outlive the frame's window. It owns the run's CWizardSession and hands it
// to every page it is given, with its CWizardFrame, the page's view of the
// frame's window: the pages know neither this class nor the application. Everything here runs
// on the user-interface thread, inside the frame's modal run.
#ifndef FLASHWIZARD_WIZARDDIALOG_H
#define FLASHWIZARD_WIZARDDIALOG_H

#include <windows.h>

#include "WizardFrame.h"
#include "WizardNavigation.h"
#include "WizardPage.h"
#include "WizardSession.h"
#include "ui/DialogWindow.h"
#include "ui/PageList.h"
#include "ui/Text.h"

class CWizardDialog : public CDialogWindow {
public:
    // A frame on template IDD_WIZARD_FRAME with no page and no placeholder control, that
    // owns session for the run. Any thread; every other function here runs
    // on the user-interface thread.
    explicit CWizardDialog(CWizardSession session);
    // Forgets the pages (they are not deleted).
    ~CWizardDialog() override;

    // Appends page at the end of the wizard, under the template id that the
    // page was made with, and gives it the frame's view and the session. Returns
    // nothing. Before the modal run.
    void AddPage(CWizardPage* page);

    // Shows the first page with Back disabled and Next enabled (or, when it
    // is the only page, Next turned into an enabled Finish). Returns FALSE
    // when there is no page, the shown page refuses to go, or the first page
    // cannot be shown; TRUE when it is shown.
    BOOL ShowFirstPage();
    // Creates page's window if need be, hides the shown page and shows page
    // at the placeholder's corner. Returns FALSE, changing no button, when
    // the window cannot be created, OnCreatePage refuses, or the shown page
    // refuses to go; TRUE when page is shown and active.
    BOOL ActivatePage(CWizardPage* page);
    // Hides the shown page if its OnKillActive agrees. Returns TRUE when no
    // page is shown afterwards (also when none was), FALSE when it refused.
    BOOL DeactivatePage();
    // Turns the Next button into the Finish button (caption string
    // IDS_FINISH, id IDC_WIZ_FINISH), enabled or not, with the focus.
    // Returns nothing; does nothing once Next has been turned (there is no
    // IDC_WIZ_NEXT any more).
    void SetFinishButton(BOOL enable);

    // Back (IDC_WIZ_BACK): the page the shown page's OnWizardBack names.
    // Next (IDC_WIZ_NEXT): the page its OnWizardNext names; also sent by
    // pages that advance the wizard themselves (CWizardFrame::Next). Finish
    // (IDC_WIZ_FINISH): ends the modal run with IDC_WIZ_FINISH if the pages
    // agree. None returns anything; each does nothing
    // when no page is shown.
    void OnBack();
    void OnNext();
    void OnFinish();

    // Returns the frame's button id, or null when the frame has none with
    // that id.
    HWND Button(int id) const { return Item(id); }
    // Returns the shown page: the first page of the list that is active;
    // null when none is.
    CWizardPage* ActivePage() const;

protected:
    // The frame's initialisation shared with CMasterDlg: lets keyboard
    // navigation enter the pages and shows the first page. Returns nothing.
    void InitFrame();
    // InitFrame; returns TRUE.
    BOOL OnInitDialog() override;
    // Asks every created page in list order; at the first refusal nothing
    // happens. Otherwise closes the device library's exchange and ends the
    // modal run with IDCANCEL. Does nothing at all while a page's library
    // calls run (CWizardFrame::SetCallsRunning): the modal run must not end,
    // nor the pages go, under them (the Cancel button, Esc, Alt+F4). Returns
    // nothing.
    void OnCancel() override;
    // The frame's window goes: every created page that agrees
    // (OnKillActive) gets OnDestroyPage and loses its window. Returns
    // nothing.
    void OnDestroy() override;
    // Commands IDC_WIZ_BACK, IDC_WIZ_NEXT and IDC_WIZ_FINISH. Returns true when it handled the
    // message (result 0), else what the base class returns.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Asks the shown page for its answer to Back or Next and shows the page
    // that it names. Returns that page, or null when none is shown (no page
    // was shown, the answer names no page, or the page refused to change).
    CWizardPage* Move(WizardDirection direction);

    CWizardSession m_session;        // the run's session, lent to the pages
    CPageList<CWizardPage> m_pages;  // wizard order; not owned
    UINT m_nPlaceholderId = 0;       // control whose corner places the pages
    CWizardFrame m_frame;            // the pages' view of this window
};

#endif  // FLASHWIZARD_WIZARDDIALOG_H

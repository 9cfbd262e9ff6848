// CWizardPage: the base of every page of the wizard. A page is a modeless
// child dialog of the frame (CWizardDialog), created on its first display
// and kept, hidden, until the frame goes. The frame drives a page through
// the eight operations below; the defaults are those of a page that needs
// nothing special. A page reaches the frame only through CWizardFrame
// (m_pWizard) and the rest of the run through the frame's CWizardSession
// (m_pSession); both are set by CWizardDialog::AddPage.
//
// Colours: a page with m_bWhiteBackground paints itself and its controls in
// the window colour (the pages with the side picture); one without paints
// only its header band (controls 1009, 1010, 1011) so and leaves the rest in
// the dialog colours. Fonts: control 1005 (a page title) gets
// g_fontPageTitle and control 1009 (a header title) g_fontHeaderTitle.
//
// Everything here runs on the user-interface thread.
#ifndef FLASHWIZARD_WIZARDPAGE_H
#define FLASHWIZARD_WIZARDPAGE_H

#include <windows.h>

#include "ui/DialogWindow.h"
#include "ui/GdiObject.h"
#include "ui/Text.h"

class CWizardFrame;
class CWizardSession;

// The user has already agreed to cancel the wizard: later pages asked in the
// same cancel (and any later cancel) go on without asking again.
extern BOOL g_bCancelConfirmed;
// Bold "MS Sans Serif" of cell height 10 for header titles (control 1009).
extern CFontObject g_fontHeaderTitle;
// Bold "MS Sans Serif" of character height 16 for page titles (1005).
extern CFontObject g_fontPageTitle;

class CWizardPage : public CDialogWindow {
public:
    // A page on dialog template templateId, which is also its identity in
    // the frame's list; without a window. Any thread; every other function
    // here runs on the user-interface thread.
    explicit CWizardPage(UINT templateId);
    ~CWizardPage() override;

    // 1. Right after the window was created, before the first activation.
    //    Returns FALSE to stop that activation. Default TRUE.
    virtual BOOL OnCreatePage();
    // 2. Before the window is destroyed with the frame's. Default: nothing.
    virtual void OnDestroyPage();
    // 3. Before another page is shown, on Finish, and when the frame goes.
    //    Returns FALSE to stay shown (and keep the window). Default TRUE.
    virtual BOOL OnKillActive();
    // 4. Each time the page has been placed, enabled and shown. Default:
    //    nothing.
    virtual void OnSetActive();
    // 5. On every created page when the user cancels. Returns FALSE to
    //    refuse the cancel. Default: the cancel confirmation
    //    (ConfirmCancel).
    virtual BOOL OnQueryCancel();
    // 6. Back on the shown page. Returns kWizardGoToNeighbour (0), the
    //    previous page; kWizardStayOnPage (-1); or the template id of the page
    //    to show. Default 0.
    virtual LRESULT OnWizardBack();
    // 7. Next on the shown page, or the wizard advancing itself. Returns as
    //    OnWizardBack, 0 meaning the following page. Default: disables the
    //    frame's Next button and returns 0.
    virtual LRESULT OnWizardNext();
    // 8. On every created page when Finish is pressed. Returns FALSE to stop
    //    the finish. Default TRUE.
    virtual BOOL OnWizardFinish();

    // Returns the frame that holds the page; null before
    // CWizardDialog::AddPage.
    CWizardFrame* Wizard() const { return m_pWizard; }

    BOOL m_bWhiteBackground = TRUE;  // whole page in the window colour
    CBrushObject m_brBackground;     // window-colour brush, made at init
    CWizardFrame* m_pWizard = nullptr;
    CWizardSession* m_pSession = nullptr;  // the frame's session; not owned
    BOOL m_bCreated = FALSE;               // the window exists
    BOOL m_bActive = FALSE;                // the page is the one shown
    UINT m_nTemplateId;                    // template, and identity for jumps

protected:
    // Fonts, brush, title fonts on 1005 and 1009. Returns TRUE. Every page
    // calls it first from its own OnInitDialog.
    BOOL OnInitDialog() override;
    // A cancel command that reaches a page does nothing: only the frame
    // cancels the wizard.
    void OnCancel() override;
    // The page colours (see the top of this file).
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;

    // The initialisation that most pages share: OnInitDialog of this class,
    // then the placeholder pass over the page and the frame's caption.
    // Returns TRUE.
    BOOL InitPageAndPlaceholders();

    // The cancel confirmation shared by the pages. When g_bCancelConfirmed
    // is set, returns TRUE without asking. Otherwise asks string 4 with Yes
    // and No (task-modal, question icon): No clears g_bCancelConfirmed and
    // returns FALSE, any other answer sets it and returns TRUE. On TRUE,
    // also sets *pCancelled when pCancelled is not null (a page's own record
    // that it agreed).
    BOOL ConfirmCancel(BOOL* pCancelled = nullptr) const;
};

// The current caption of the frame's Next button (IDC_WIZ_NEXT) of page's frame;
// empty when there is no such button. User-interface thread.
CText GetNextButtonText(const CWizardPage& page);

// Sets the caption of the frame's Next button (IDC_WIZ_NEXT), if it has one, to
// string IDS_UPDATE, "&Update". Returns nothing. User-interface thread.
void SetUpdateButtonText(const CWizardPage& page);

#endif  // FLASHWIZARD_WIZARDPAGE_H

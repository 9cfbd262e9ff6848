// COpenDevice: the second page (template IDD_OPEN_DEVICE). Each time it is shown it
// starts the device library's search for the pen with its own window as the
// target, and waits for WM_DEVICE_SEARCH_RESULT: a found pen advances the
// wizard by itself; a pen not found is reported in the status text (1035),
// leaving Back and Cancel to the user; a library that refuses to search ends
// the wizard.
//
// The page acts only on the result of the search it started last, and only
// while it waits for it: each search reports to a window of its own (a
// CSearchSink), which the page closes once the result is in or the page is
// left. A search left behind by Back therefore reaches no page, whenever it
// ends; starting a new search also ends the earlier one in the library.
//
// Each search that read a pen in normal mode keeps its firmware version in
// the session (CWizardSession::m_dwNormalModeVersion): a search after
// Back finds the pen that the first one switched already in its update mode,
// where the version cannot be read.
#ifndef FLASHWIZARD_OPENDEVICE_H
#define FLASHWIZARD_OPENDEVICE_H

#include <windows.h>

#include "SearchSink.h"
#include "WizardPage.h"
#include "ui/Text.h"

class COpenDevice : public CWizardPage {
public:
    // The page, without a window. Any thread; the rest runs on the
    // user-interface thread.
    COpenDevice();

    // Sets Next's caption to string 9, shows the template's status text and
    // starts a search (FWUOpenDevice) that reports to a new sink. When the
    // library refuses (or the sink cannot be made): string 8 in a message box
    // if the pen could not be switched, then the quit request. Then enables
    // Back and disables Next. Returns nothing. User-interface thread.
    void OnSetActive() override;
    // Closes the sink of a search still awaited, so that its result reaches
    // no page. Returns TRUE. User-interface thread.
    BOOL OnKillActive() override;
    // Asks the cancel confirmation; on agreement records that this page
    // agreed, so that a later miss is ignored. Returns TRUE to let the cancel
    // go on, FALSE to refuse it.
    BOOL OnQueryCancel() override;
    // Sets Next's caption to string 9 and brings back the status text that a
    // result replaced. Returns 0, the welcome page.
    LRESULT OnWizardBack() override;
    // Disables Next and Back, enables Cancel, sets Next's caption to string
    // 9. Returns 0, the explanation page.
    LRESULT OnWizardNext() override;

    // The result of the page's search. Found (wParam 1): enables Next,
    // disables Back and advances the wizard; returns 1. Not found (wParam 2): unless the
    // user has agreed to cancel, shows string 11 (lParam 1, the pen did not
    // come back after the switch) or string 5 (any other lParam) as the
    // status text; returns 2. Any other wParam: nothing, returns wParam.
    LRESULT OnDeviceSearchResult(WPARAM wParam, LPARAM lParam);

protected:
    // The shared page initialisation with the placeholder pass. Returns TRUE.
    BOOL OnInitDialog() override;

private:
    void ShowNextCaption();
    void RestoreStatusText();
    static void SearchAnswered(void* page, WPARAM wParam, LPARAM lParam);

    BOOL m_bCancelled = FALSE;  // the user agreed to cancel while asked here
    CText m_strNextText;        // Next's caption on this page: string 9
    CText m_strStatusText;      // the status text before a result replaced it
    CSearchSink m_search;       // the window of the search awaited
};

#endif  // FLASHWIZARD_OPENDEVICE_H

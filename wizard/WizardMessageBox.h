// WizardMessageBox: the one way in which the wizard shows a message box.
// The message and the caption (string 10, "[Product] Firmware Update
// Wizard") are completed with the session's placeholder values current at
// the call.
#ifndef FLASHWIZARD_WIZARDMESSAGEBOX_H
#define FLASHWIZARD_WIZARDMESSAGEBOX_H

#include <windows.h>

#include "ui/Text.h"

class CWizardSession;

// Shows string-table entry stringId (taken as a 16-bit id; a missing entry
// is the empty text) with the message-box flags. Returns MessageBoxW's
// result unchanged: the button pressed (IDOK, IDYES, IDNO, ...) or 0 when the
// box could not be shown. User-interface thread.
int WizardMessageBox(const CWizardSession& session, UINT stringId, UINT flags);

// Shows text with the message-box flags, without an owner window. Returns
// as the form above. User-interface thread.
int WizardMessageBox(const CWizardSession& session, const CText& text, UINT flags);

#endif  // FLASHWIZARD_WIZARDMESSAGEBOX_H

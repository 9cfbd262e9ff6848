#include "WizardMessageBox.h"

#include "WizardSession.h"
#include "res/resource.h"
#include "ui/Application.h"

int WizardMessageBox(const CWizardSession& session, UINT stringId, UINT flags) {
    return WizardMessageBox(session, LoadResourceString(stringId), flags);
}

int WizardMessageBox(const CWizardSession& session, const CText& text, UINT flags) {
    const CText message = session.ReplacePlaceholders(text);
    const CText caption = session.ReplacePlaceholders(LoadResourceString(IDS_WIZARD_CAPTION));
    return MessageBoxW(nullptr, message.c_str(), caption.c_str(), flags);
}

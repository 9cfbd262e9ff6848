#include "WizardMessageBox.h"

#include "FlashWizardApp.h"
#include "res/resource.h"

int WizardMessageBox(UINT stringId, UINT flags) {
    return WizardMessageBox(LoadResourceString(stringId), flags);
}

int WizardMessageBox(const CText& text, UINT flags) {
    const CFlashWizardApp* app = GetWizardApp();
    const CText message = app->ReplacePlaceholders(text);
    const CText caption = app->ReplacePlaceholders(LoadResourceString(IDS_WIZARD_CAPTION));
    return MessageBoxW(nullptr, message.c_str(), caption.c_str(), flags);
}

#include "PlaceholderPass.h"

#include "WizardSession.h"
#include "ui/DialogWindow.h"

namespace {

// Rewrites window's text with the placeholders completed, if it has any.
void CompleteWindowText(HWND window, const CWizardSession& session) {
    int replaced = 0;
    const CText completed = session.ReplacePlaceholders(WindowText(window), &replaced);
    if (replaced > 0) SetWindowTextW(window, completed.c_str());
}

}  // namespace

void UpdatePlaceholderTexts(HWND page, const CWizardSession& session) {
    HWND topLevel = page;
    for (HWND parent = GetParent(topLevel); parent != nullptr; parent = GetParent(parent)) {
        topLevel = parent;
    }
    CompleteWindowText(topLevel, session);
    for (HWND child = FindWindowExW(page, nullptr, L"static", nullptr); child != nullptr;
         child = FindWindowExW(page, child, L"static", nullptr)) {
        CompleteWindowText(child, session);
    }
}

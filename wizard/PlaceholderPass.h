// UpdatePlaceholderTexts: completes the placeholders of a page and of the
// frame that holds it, once the page's window exists.
#ifndef FLASHWIZARD_PLACEHOLDERPASS_H
#define FLASHWIZARD_PLACEHOLDERPASS_H

#include <windows.h>

class CWizardSession;

// Completes, with session's values (CWizardSession::ReplacePlaceholders):
//   - the caption of the top-level window above page (the first window up
//     the parent chain that has no parent; page itself when it has none);
//   - the text of every direct child of page whose class is "static", in
//     the order of the children.
// A window whose text holds no placeholder is not written, so a second pass
// over the same windows changes nothing. Returns nothing. User-interface
// thread.
void UpdatePlaceholderTexts(HWND page, const CWizardSession& session);

#endif  // FLASHWIZARD_PLACEHOLDERPASS_H

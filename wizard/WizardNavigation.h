// Where Back and Next lead: the rule that turns a page's answer to
// OnWizardBack or OnWizardNext into the page that the frame shows next.
// Platform-free, so the rule is tested on any platform.
#ifndef FLASHWIZARD_WIZARDNAVIGATION_H
#define FLASHWIZARD_WIZARDNAVIGATION_H

#include <cstdint>

#include "ui/PageList.h"

// A page's answer to OnWizardBack or OnWizardNext: go to the neighbouring
// page, stay on this page, or (any other value) go to the first page whose
// template id is that value.
constexpr std::intptr_t kWizardGoToNeighbour = 0;
constexpr std::intptr_t kWizardStayOnPage = -1;

enum class WizardDirection { Back, Next };

// The page to show after the active page answered result for a move in
// direction. Returns null, meaning that nothing changes, for
// kWizardStayOnPage, for a neighbour that does not exist (Back on the first
// page, Next on the last, or an active page that is not in the list) and for
// a template id that no page has. TPage has a public m_nTemplateId. The
// thread that owns the list.
template <class TPage>
TPage* WizardTarget(const CPageList<TPage>& pages, const TPage* active, std::intptr_t result,
                    WizardDirection direction) {
    if (result == kWizardStayOnPage) return nullptr;
    if (result == kWizardGoToNeighbour) {
        return direction == WizardDirection::Next ? pages.After(active) : pages.Before(active);
    }
    return pages.FindFirst([result](const TPage* page) {
        return static_cast<std::intptr_t>(page->m_nTemplateId) == result;
    });
}

#endif  // FLASHWIZARD_WIZARDNAVIGATION_H

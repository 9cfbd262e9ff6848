#include "FinishPage.h"

#include "res/resource.h"

CFinishPage::CFinishPage() : CWizardPage(IDD_FINISH) {}

BOOL CFinishPage::OnInitDialog() { return InitPageAndPlaceholders(); }

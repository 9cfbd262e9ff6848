// RunWizard: builds the wizard (the frame and its five pages, in the order
// in which the user meets them) and runs it as one modal dialog.
#ifndef FLASHWIZARD_RUNWIZARD_H
#define FLASHWIZARD_RUNWIZARD_H

#include "WizardSession.h"

// Builds the frame, which takes session for the run, and the pages, runs
// the frame modally until Finish, a confirmed Cancel or a quit request ends
// it, then destroys pages and frame. Returns 0 on every path, also when the
// frame could not be shown. User-interface thread, once per process.
int RunWizard(CWizardSession session);

#endif  // FLASHWIZARD_RUNWIZARD_H

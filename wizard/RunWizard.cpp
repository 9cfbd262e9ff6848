#include "RunWizard.h"

#include <utility>

#include "ExplanationPage.h"
#include "FinishPage.h"
#include "MasterDlg.h"
#include "OpenDevice.h"
#include "UpgradePage.h"
#include "WelcomePage.h"

int RunWizard(CWizardSession session) {
    CMasterDlg frame(std::move(session));
    CWelcomePage welcome;
    COpenDevice openDevice;
    CExplanationPage explanation;
    CUpgradePage upgrade;
    CFinishPage finish;

    // The list order is the order in which Next walks the pages; each page
    // brings its own template id.
    frame.AddPage(&welcome);
    frame.AddPage(&openDevice);
    frame.AddPage(&explanation);
    frame.AddPage(&upgrade);
    frame.AddPage(&finish);

    // Finish, a confirmed Cancel or a page's quit request ends the run; how
    // it ended changes nothing here.
    frame.RunModal(nullptr);
    // The pages go in the reverse order of their construction, then the
    // frame.
    return 0;
}

#include "RunWizard.h"

#include "ExplanationPage.h"
#include "FinishPage.h"
#include "MasterDlg.h"
#include "OpenDevice.h"
#include "UpgradePage.h"
#include "WelcomePage.h"
#include "res/resource.h"

int RunWizard() {
    CMasterDlg frame;
    CWelcomePage welcome;
    COpenDevice openDevice;
    CExplanationPage explanation;
    CUpgradePage upgrade;
    CFinishPage finish;

    // The list order is the order in which Next walks the pages.
    frame.AddPage(&welcome, IDD_WELCOME);
    frame.AddPage(&openDevice, IDD_OPEN_DEVICE);
    frame.AddPage(&explanation, IDD_EXPLANATION);
    frame.AddPage(&upgrade, IDD_UPGRADE);
    frame.AddPage(&finish, IDD_FINISH);

    // Finish, a confirmed Cancel or a page's quit request ends the run; how
    // it ended changes nothing here.
    frame.RunModal(nullptr);
    // The pages go in the reverse order of their construction, then the
    // frame.
    return 0;
}

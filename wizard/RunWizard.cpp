#include "RunWizard.h"

#include "ExplanationPage.h"
#include "FinishPage.h"
#include "MasterDlg.h"
#include "OpenDevice.h"
#include "Penlink.h"
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
    // A search that has ended keeps its thread in the library until a later
    // call collects it, and the library's unload does not (the process would
    // abort on its way out after a failed update, which ends without a
    // close). FWUInit collects it; it sends nothing to the pen.
    FWUInit();
    // The pages go in the reverse order of their construction, then the
    // frame.
    return 0;
}

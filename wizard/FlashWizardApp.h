// CFlashWizardApp: the firmware update wizard's application object. It reads
// the device's model name and the carried firmware's version name from the
// program's resources into the run's CWizardSession, runs the wizard once
// with it and lets the program end. Nothing of the wizard reaches back to
// it.
#ifndef FLASHWIZARD_FLASHWIZARDAPP_H
#define FLASHWIZARD_FLASHWIZARDAPP_H

#include "ui/Application.h"
#include "ui/Text.h"

class CFlashWizardApp : public CApplication {
public:
    CFlashWizardApp();
    ~CFlashWizardApp() override;

protected:
    // Reads the model and version names, runs the wizard with them. A
    // build that carries the stand-in image runs only on the emulated
    // library: on the real one it shows why in a message box instead. Returns FALSE always,
    // so the program ends when the wizard has closed. Main thread.
    BOOL InitInstance() override;
    // Returns 1 when the wizard refused to run with the carried image, else
    // the base class's exit code. Main thread.
    int ExitInstance() override;

private:
    bool m_bRefused = false;  // the stand-in image met the real library
};

// The text of the resource of type "FIRMWARE" called name in the program's
// resources, read as UTF-16LE up to its first NUL character or the end of
// the resource, whichever comes first. Returns the empty text when the
// resource is missing or cannot be loaded. Any thread.
CText LoadFirmwareString(const wchar_t* name);

#endif  // FLASHWIZARD_FLASHWIZARDAPP_H

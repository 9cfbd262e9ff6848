// CFlashWizardApp: the firmware update wizard's application object. It reads
// the device's model name and the carried firmware's version name from the
// program's resources, runs the wizard once and lets the program end. It is
// the home of the three values that complete the placeholders of the
// wizard's texts.
#ifndef FLASHWIZARD_FLASHWIZARDAPP_H
#define FLASHWIZARD_FLASHWIZARDAPP_H

#include <cstdint>

#include "ui/Application.h"
#include "ui/Text.h"

class CFlashWizardApp : public CApplication {
public:
    CFlashWizardApp();
    ~CFlashWizardApp() override;

    // text with "[Product]", "[Version]" and "[CurrentVersion]" replaced by
    // m_strProduct, m_strVersion and m_strCurrentVersion, in that order
    // (CompletePlaceholders). Returns the completed copy; stores the number
    // of replacements in *replaced when replaced is not null. User-interface
    // thread.
    CText ReplacePlaceholders(const CText& text, int* replaced = nullptr) const;

    CText m_strVersion;         // "[Version]": resource FIRMWARE/VERSION_NAME
    CText m_strCurrentVersion;  // "[CurrentVersion]": set by the explanation page
    CText m_strProduct;         // "[Product]": resource FIRMWARE/PRODUCT_NAME
    // The firmware version (packed as FWUGetDeviceInfo gives it) that this
    // run last read from a pen in normal mode; 0 while it has read none.
    std::uint32_t m_dwNormalModeVersion = 0;

protected:
    // Reads the model and version names, runs the wizard. A build that
    // carries the stand-in image runs only on the emulated library: on the
    // real one it shows why in a message box instead. Returns FALSE always,
    // so the program ends when the wizard has closed. Main thread.
    BOOL InitInstance() override;
    // Returns 1 when the wizard refused to run with the carried image, else
    // the base class's exit code. Main thread.
    int ExitInstance() override;

private:
    bool m_bRefused = false;  // the stand-in image met the real library
};

// The application object, for the pages and the prompts. Never null while
// the program runs. Any thread.
CFlashWizardApp* GetWizardApp();

// The text of the resource of type "FIRMWARE" called name in the program's
// resources, read as UTF-16LE up to its first NUL character or the end of
// the resource, whichever comes first. Returns the empty text when the
// resource is missing or cannot be loaded. Any thread.
CText LoadFirmwareString(const wchar_t* name);

#endif  // FLASHWIZARD_FLASHWIZARDAPP_H

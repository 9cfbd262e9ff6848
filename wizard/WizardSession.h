// CWizardSession: what the pages of one run share, apart from the frame:
// the values of the three placeholders, the firmware version read from the
// pen before its switch, the device library's calls and the firmware image.
// The frame owns the one session of a run and hands it to each page
// (CWizardPage::m_pSession); the application makes it with the names read
// from the resources. Every call of the wizard into Penlink goes through
// here.
//
// The placeholder values and the kept version belong to the user-interface
// thread. The library calls touch no member: each runs on whichever one
// thread the library allows at a time (Penlink.h).
#ifndef FLASHWIZARD_WIZARDSESSION_H
#define FLASHWIZARD_WIZARDSESSION_H

#include <windows.h>

#include <cstdint>

#include "Penlink.h"
#include "ui/Text.h"

class CWizardSession {
public:
    // A session whose "[Product]" is product and "[Version]" is version;
    // "[CurrentVersion]" is empty and no version has been read. Any thread.
    CWizardSession(CText product, CText version);

    // text with "[Product]", "[Version]" and "[CurrentVersion]" replaced by
    // m_strProduct, m_strVersion and m_strCurrentVersion, in that order
    // (CompletePlaceholders). Returns the completed copy; stores the number
    // of replacements in *replaced when replaced is not null.
    CText ReplacePlaceholders(const CText& text, int* replaced = nullptr) const;

    // FWUInit. Returns its result.
    ORVANE_ERROR Init() const;
    // FWUOpenDevice with target as the window of the search result. Returns
    // its result; on ORVANE_ERROR_NONE, a pen identified in normal mode
    // before the switch leaves its firmware version in m_dwNormalModeVersion
    // (a pen found already switched leaves the earlier reading).
    // User-interface thread.
    ORVANE_ERROR OpenDevice(HWND target);
    // The pen's firmware version as the user sees it: FWUGetDeviceInfo's
    // dwFirmwareVersion as "%d.%02d" or, when that is 0 (the pen was found
    // in its update mode), m_dwNormalModeVersion (0.00 when none was read);
    // string 15 ("Unable to query firmware version.") when the library does
    // not report it. User-interface thread.
    CText FormatCurrentVersion() const;
    // FWUStartFirmwareUpdate, FWUSendFirmware and FWUCloseDevice. Each
    // returns the library's result.
    ORVANE_ERROR StartFirmwareUpdate() const;
    ORVANE_ERROR SendFirmware(unsigned char* image, int length) const;
    ORVANE_ERROR CloseDevice() const;

    // The firmware image carried in the program's resources, expanded
    // (LoadFirmwareImage). Returns true with a malloc block in *image, which
    // the caller frees with free(), and its length in *length; false with
    // *image null when any step failed (the cause is in the debug output).
    bool LoadImage(BYTE** image, int* length) const;

    CText m_strVersion;         // "[Version]": resource FIRMWARE/VERSION_NAME
    CText m_strCurrentVersion;  // "[CurrentVersion]": set by the explanation page
    CText m_strProduct;         // "[Product]": resource FIRMWARE/PRODUCT_NAME
    // The firmware version (packed as FWUGetDeviceInfo gives it) that this
    // run last read from a pen in normal mode; 0 while it has read none.
    std::uint32_t m_dwNormalModeVersion = 0;
};

#endif  // FLASHWIZARD_WIZARDSESSION_H

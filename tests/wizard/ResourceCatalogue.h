// Checks a module's resources against the wizard's resource catalogue: the
// dialog templates, the string table, the pictures, the carried firmware,
// the version block, the manifest and which resources exist in which
// language. The module can be this test program (which links the wizard's
// resources) or FlashWizard.exe loaded with LOAD_LIBRARY_AS_DATAFILE.
//
// Each check returns the differences it found, one line each, and an empty
// list when the module matches. Any thread.
#ifndef FLASHWIZARD_TESTS_RESOURCECATALOGUE_H
#define FLASHWIZARD_TESTS_RESOURCECATALOGUE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Differences = std::vector<std::string>;

// What a build was configured to carry and to call itself; the catalogue
// gives the rest.
struct BuildSettings {
    std::wstring productName;                           // FIRMWARE/"PRODUCT_NAME"
    std::wstring versionName;                           // FIRMWARE/"VERSION_NAME"
    std::uint32_t imageLength;                          // what FIRMWARE/"MOT" expands to
    unsigned versionMajor, versionMinor, versionPatch;  // the program version
    std::string manifestArchitecture;                   // "x86" or "amd64"
};

Differences CheckInventory(HMODULE module);
Differences CheckDialogTemplates(HMODULE module);
Differences CheckStringTable(HMODULE module);
Differences CheckPictures(HMODULE module);
Differences CheckFirmware(HMODULE module, const BuildSettings& build);
Differences CheckVersionBlock(HMODULE module, const BuildSettings& build);
Differences CheckManifest(HMODULE module, const BuildSettings& build);

#endif  // FLASHWIZARD_TESTS_RESOURCECATALOGUE_H

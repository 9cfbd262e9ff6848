#include "FlashWizardApp.h"

#include <string>
#include <utility>

#include "EmulatedLibrary.h"
#include "RunWizard.h"
#include "WizardMessageBox.h"
#include "WizardSession.h"

namespace {

// The one application object; wWinMain starts the program through it.
CFlashWizardApp theApp;

#if defined(FLASHWIZARD_IMAGE_IS_STANDIN)
constexpr bool kCarriesStandinImage = true;
#else
constexpr bool kCarriesStandinImage = false;
#endif

// A build that carries the stand-in image must not reach a real pen: on the
// real library, says so and how to build with the real image. Returns true
// when the wizard may run. Main thread.
bool MayUpdateWithCarriedImage(const CWizardSession& session) {
    if (!kCarriesStandinImage || IsEmulatedLibrary()) return true;
    WizardMessageBox(
        session,
        CText(L"This wizard carries the stand-in firmware image (NOT FOR FLASHING), which "
              L"only the emulated pen may receive; it will not update a real pen.\n\n"
              L"Build the wizard with the real image: configure the build with\n"
              L"-DFLASHWIZARD_FIRMWARE_IMAGE=<path of the firmware image> and build again."),
        MB_ICONERROR);
    return false;
}

}  // namespace

CFlashWizardApp::CFlashWizardApp() = default;

CFlashWizardApp::~CFlashWizardApp() = default;

BOOL CFlashWizardApp::InitInstance() {
    CText product = LoadFirmwareString(L"PRODUCT_NAME");
    CText version = LoadFirmwareString(L"VERSION_NAME");
    CWizardSession session(std::move(product), std::move(version));
    if (!MayUpdateWithCarriedImage(session)) {
        m_bRefused = true;
        return FALSE;
    }
    RunWizard(std::move(session));
    return FALSE;
}

int CFlashWizardApp::ExitInstance() { return m_bRefused ? 1 : CApplication::ExitInstance(); }

CText LoadFirmwareString(const wchar_t* name) {
    const HMODULE module = CApplication::ResourceHandle();
    const HRSRC found = FindResourceW(module, name, L"FIRMWARE");
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* characters =
        loaded != nullptr ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
    if (characters == nullptr) return CText();
    // The text carries its own NUL; the resource's size bounds the search
    // for it, so a text stored without one is not read past its end.
    const std::size_t capacity = SizeofResource(module, found) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < capacity && characters[length] != L'\0') ++length;
    return CText(std::wstring(characters, length));
}

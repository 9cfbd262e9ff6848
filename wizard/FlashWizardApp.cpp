#include "FlashWizardApp.h"

#include <string>

#include "Placeholders.h"
#include "RunWizard.h"

namespace {

// The one application object; wWinMain starts the program through it.
CFlashWizardApp theApp;

}  // namespace

CFlashWizardApp::CFlashWizardApp() = default;

CFlashWizardApp::~CFlashWizardApp() = default;

BOOL CFlashWizardApp::InitInstance() {
    m_strProduct = LoadFirmwareString(L"PRODUCT_NAME");
    m_strVersion = LoadFirmwareString(L"VERSION_NAME");
    RunWizard();
    return FALSE;
}

CText CFlashWizardApp::ReplacePlaceholders(const CText& text, int* replaced) const {
    CText completed = text;
    const int count =
        CompletePlaceholders(completed, PlaceholderValues{m_strProduct, m_strVersion,
                                                          m_strCurrentVersion});
    if (replaced != nullptr) *replaced = count;
    return completed;
}

CFlashWizardApp* GetWizardApp() { return &theApp; }

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

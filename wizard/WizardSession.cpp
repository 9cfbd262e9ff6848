#include "WizardSession.h"

#include <utility>

#include "FirmwareVersion.h"
#include "ImagePipeline.h"
#include "Placeholders.h"
#include "res/resource.h"
#include "ui/Application.h"

CWizardSession::CWizardSession(CText product, CText version)
    : m_strVersion(std::move(version)), m_strProduct(std::move(product)) {}

CText CWizardSession::ReplacePlaceholders(const CText& text, int* replaced) const {
    CText completed = text;
    const int count = CompletePlaceholders(
        completed, PlaceholderValues{m_strProduct, m_strVersion, m_strCurrentVersion});
    if (replaced != nullptr) *replaced = count;
    return completed;
}

ORVANE_ERROR CWizardSession::Init() const { return FWUInit(); }

ORVANE_ERROR CWizardSession::OpenDevice(HWND target) {
    const ORVANE_ERROR opened = FWUOpenDevice(target);
    if (opened != ORVANE_ERROR_NONE) return opened;
    // A pen found in normal mode was identified before the switch; with
    // none, the record is all zero and the earlier reading stays.
    tagFWUDEVICEINFO info{};
    if (FWUGetDeviceInfo(&info) == ORVANE_ERROR_NONE && info.dwFirmwareVersion != 0) {
        m_dwNormalModeVersion = info.dwFirmwareVersion;
    }
    return opened;
}

CText CWizardSession::FormatCurrentVersion() const {
    tagFWUDEVICEINFO info{};
    if (FWUGetDeviceInfo(&info) != ORVANE_ERROR_NONE)
        return LoadResourceString(IDS_VERSION_UNKNOWN);
    // Zero: the last search found the pen already in its update mode. If an
    // earlier search of this run switched it, its reading is the pen's.
    const std::uint32_t version =
        info.dwFirmwareVersion != 0 ? info.dwFirmwareVersion : m_dwNormalModeVersion;
    return CText(FormatFirmwareVersion(version));
}

ORVANE_ERROR CWizardSession::StartFirmwareUpdate() const { return FWUStartFirmwareUpdate(); }

ORVANE_ERROR CWizardSession::SendFirmware(unsigned char* image, int length) const {
    return FWUSendFirmware(image, length);
}

ORVANE_ERROR CWizardSession::CloseDevice() const { return FWUCloseDevice(); }

bool CWizardSession::LoadImage(BYTE** image, int* length) const {
    return LoadFirmwareImage(nullptr, image, length);
}

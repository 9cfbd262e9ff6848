#include "FirmwareVersion.h"

#include <cwchar>

std::wstring FormatFirmwareVersion(std::uint32_t version) {
    const unsigned major = (version >> 24) & 0xFFu;
    const unsigned minor = (version >> 16) & 0xFFu;
    wchar_t text[16];
    std::swprintf(text, sizeof text / sizeof text[0], L"%u.%02u", major, minor);
    return text;
}

#include "TextFormat.h"

#include <cstdio>

namespace penflash {

std::string FormatVersion(std::uint32_t packed) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", static_cast<unsigned>(packed >> 24),
                  static_cast<unsigned>((packed >> 16) & 0xFFu));
    return text;
}

std::string FormatHexByte(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

std::string FormatHexWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
    return text;
}

std::string GroupDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, ',');
    return digits;
}

std::string FormatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds < 0 ? 0.0 : seconds);
    return text;
}

}  // namespace penflash

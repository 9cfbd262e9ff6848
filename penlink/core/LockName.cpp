#include "LockName.h"

#include <cstdint>
#include <cstdio>

namespace penlink {

std::string LockFileName(const std::string& location) {
    std::string name = "penlink-";
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : location) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        name += plain ? c : '_';
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "-%08x.lock", static_cast<unsigned>(hash));
    return name + tail;
}

}  // namespace penlink

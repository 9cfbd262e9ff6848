// The pen's identity and versions as the core keeps them: the fields of the
// public FWUDEVICEINFO record, which the exported calls copy them into.
#ifndef PENLINK_PENINFO_H
#define PENLINK_PENINFO_H

#include <cstdint>

namespace penlink {

struct PenInfo {
    uint32_t dwProductCode = 0;
    uint32_t dwFirmwareVersion = 0;
    uint32_t dwUpdateModeVersion = 0;
    uint32_t dwExtraInfo = 0;
    uint32_t dwVersion2 = 0;
    uint32_t dwVersion3 = 0;
};

}  // namespace penlink

#endif  // PENLINK_PENINFO_H

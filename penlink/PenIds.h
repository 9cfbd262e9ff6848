// The pen's USB identifiers as the programs built beside the library see
// them (penflash doctor checks the udev rule with them). Not installed: the
// values are the library's configuration (core/PenlinkConfig.h), and this
// header is the one way to them from outside the library.
#ifndef PENLINK_PENIDS_H
#define PENLINK_PENIDS_H

#include <cstdint>

#include "core/PenlinkConfig.h"

namespace penlink {

// The pen's own USB vendor ID.
inline constexpr uint16_t kPenVendorId = config::kVendorIds[0];

// The pen's own product ID in normal mode and in firmware-update mode.
inline constexpr uint16_t kPenNormalModeProductId = config::kNormalModeProductIds[0];
inline constexpr uint16_t kPenUpdateModeProductId = config::kUpdateModeProductIds[0];

}  // namespace penlink

#endif  // PENLINK_PENIDS_H

// The pen's USB identifiers and the product codes this library updates.
//
// STAND-IN VALUES. The device maker's own identifiers are not known to us:
// vendor ID 0x1209 with product IDs from its test range stand in for them.
// Replace the values here only: the build makes the udev rule from them
// (penlink/udev/MakeUdevRule.cmake).
// A table entry of 0 is unused and never matches anything.
#ifndef PENLINK_PENLINKCONFIG_H
#define PENLINK_PENLINKCONFIG_H

#include <cstdint>

namespace penlink::config {

// The two accepted USB vendor IDs (entry 1 unused).
inline constexpr uint16_t kVendorIds[2] = {0x1209, 0x0000};

// Product IDs of a pen in normal mode: entry 0 is the pen's own, entries 1 to
// 4 are accepted whatever the vendor ID is. All four are unused until the
// maker's values are known: a stand-in there would match any HID device of
// any vendor that happens to carry it, and that device would be sent the
// identify command.
inline constexpr uint16_t kNormalModeProductIds[5] = {0x0001, 0x0000, 0x0000, 0x0000, 0x0000};

// Product IDs of a pen in firmware-update mode: entry 0 differs, entries 1 to
// 4 are those of normal mode.
inline constexpr uint16_t kUpdateModeProductIds[5] = {0x0002, 0x0000, 0x0000, 0x0000, 0x0000};

// The 39 product codes of the pens this library updates (stand-ins 0x10 to
// 0x36).
inline constexpr uint8_t kAcceptedProductCodes[39] = {
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C,
    0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29,
    0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36};

// The legacy product code, whose identity block carries its firmware version
// and its second version the other way round when the version is below 1.30.
inline constexpr uint8_t kLegacyProductCode = 0x10;

}  // namespace penlink::config

#endif  // PENLINK_PENLINKCONFIG_H

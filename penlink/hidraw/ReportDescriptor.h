// Report lengths from a HID report descriptor: what the Windows HID class
// driver hands out as HIDP_CAPS.InputReportByteLength and
// OutputReportByteLength, computed here from the descriptor bytes for systems
// that only give us those bytes (hidraw).
//
// The parser trusts nothing in the descriptor: it never reads past the end,
// keeps its global-item stack bounded and refuses values that no working
// device uses (the same limits the Linux HID core enforces, so a descriptor
// refused here is one the kernel would not have bound a hidraw node to).
#ifndef PENLINK_REPORTDESCRIPTOR_H
#define PENLINK_REPORTDESCRIPTOR_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace penlink {

// Longest descriptor accepted (HID_MAX_DESCRIPTOR_SIZE in <linux/hid.h>).
constexpr size_t kMaxReportDescriptorSize = 4096;
// Largest Report Size of one field, in bits.
constexpr uint32_t kMaxReportFieldBits = 256;
// Largest Report Count (HID_MAX_USAGES).
constexpr uint32_t kMaxReportCount = 12288;
// Largest report of one kind and ID in bits, ID byte not counted (the kernel's
// report buffer is 16384 bytes, one of which is the ID).
constexpr uint32_t kMaxReportBits = (16384u - 1u) * 8u;
// Depth of the Push/Pop stack (HID_GLOBAL_STACK_SIZE).
constexpr unsigned kMaxGlobalStackDepth = 4;

enum class DescriptorFault {
    None,
    Empty,                // no bytes at all
    TooLong,              // more than kMaxReportDescriptorSize bytes
    ItemPastEnd,          // an item's data runs past the last byte
    ReportSizeTooLarge,   // Report Size above kMaxReportFieldBits
    ReportCountTooLarge,  // Report Count above kMaxReportCount
    BadReportId,          // Report ID 0 or above 255
    StackOverflow,        // Push beyond kMaxGlobalStackDepth
    StackUnderflow,       // Pop with nothing pushed
    ReportTooLong         // one report's bits would pass kMaxReportBits
};

// The bits of the Input, Output and Feature items of one report ID.
struct ReportBits {
    uint32_t input = 0;
    uint32_t output = 0;
    uint32_t feature = 0;
};

struct ReportDescriptorInfo {
    // True when the descriptor has a Report ID item; every report then starts
    // with its ID byte. Otherwise there is one report of each kind, sent with
    // the ID byte 0x00 in front.
    bool usesReportIds = false;
    // Bits per report ID. Main items that come before the first Report ID
    // item are counted under ID 0.
    std::array<ReportBits, 256> bits{};
    // Longest report of each kind in bytes (bits rounded up), plus one for the
    // report ID byte; 0 when the descriptor has no report of that kind.
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
};

// Parses size bytes at data. Returns DescriptorFault::None with info filled,
// or the first fault found, with *faultOffset (when not null) set to the
// offset of the item at fault (0 for Empty and TooLong) and info reset to
// its defaults. Reads no byte outside [data, data + size). Any thread; keeps
// no state between calls.
DescriptorFault ParseReportDescriptor(const uint8_t* data, size_t size, ReportDescriptorInfo& info,
                                      size_t* faultOffset = nullptr);

// A short English name of the fault for log lines ("item runs past the end").
// Returns a static string, "unknown fault" for a value outside the enum. Any
// thread.
const char* DescriptorFaultText(DescriptorFault fault);

}  // namespace penlink

#endif  // PENLINK_REPORTDESCRIPTOR_H

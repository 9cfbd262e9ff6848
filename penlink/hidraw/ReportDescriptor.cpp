// HID report descriptor walk: short items carry 0, 1, 2 or 4 data bytes
// (size code 3 means 4), long items (prefix 0xFE) carry a length byte and a
// tag byte and are skipped whole. Only the global items that shape report
// lengths (Report Size, Report Count, Report ID, Push, Pop) and the Main items
// Input, Output and Feature are looked at; usages, ranges and collections do
// not change how many bits a report has.
#include "ReportDescriptor.h"

namespace penlink {

namespace {

constexpr uint8_t kLongItemPrefix = 0xFE;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : uint8_t { kInput = 0x8, kOutput = 0x9, kFeature = 0xB };

enum GlobalTag : uint8_t {
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};

// The part of the global item state that Push saves and Pop restores and that
// matters for lengths.
struct GlobalState {
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

uint16_t BytesWithId(uint32_t bits) {
    // bits <= kMaxReportBits, so the sum stays far below 65536.
    return bits == 0 ? 0 : static_cast<uint16_t>((bits + 7u) / 8u + 1u);
}

// Adds size x count bits to one report total, refusing what would pass the
// limit. size and count are already bounded, so the product fits.
bool AddBits(uint32_t& total, const GlobalState& g) {
    const uint64_t added = static_cast<uint64_t>(g.reportSize) * g.reportCount;
    if (added > kMaxReportBits - total) return false;
    total += static_cast<uint32_t>(added);
    return true;
}

}  // namespace

DescriptorFault ParseReportDescriptor(const uint8_t* data, size_t size, ReportDescriptorInfo& info,
                                      size_t* faultOffset) {
    info = ReportDescriptorInfo{};
    size_t pos = 0;
    auto fail = [&](DescriptorFault fault) {
        info = ReportDescriptorInfo{};
        if (faultOffset != nullptr) *faultOffset = pos;
        return fault;
    };

    if (data == nullptr || size == 0) return fail(DescriptorFault::Empty);
    if (size > kMaxReportDescriptorSize) return fail(DescriptorFault::TooLong);

    GlobalState state;
    GlobalState stack[kMaxGlobalStackDepth];
    unsigned depth = 0;

    while (pos < size) {
        const size_t left = size - pos;  // at least 1
        const uint8_t prefix = data[pos];

        if (prefix == kLongItemPrefix) {
            // 0xFE, data length, tag, data: no long item tag is defined, so
            // its content is never needed.
            if (left < 3 || left - 3 < data[pos + 1]) return fail(DescriptorFault::ItemPastEnd);
            pos += 3u + data[pos + 1];
            continue;
        }

        const size_t dataLen = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (left - 1 < dataLen) return fail(DescriptorFault::ItemPastEnd);
        uint32_t value = 0;
        for (size_t i = 0; i < dataLen; ++i) {
            value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
        }
        const uint8_t type = (prefix >> 2) & 0x3;
        const uint8_t tag = prefix >> 4;

        if (type == kGlobal) {
            switch (tag) {
                case kReportSize:
                    if (value > kMaxReportFieldBits)
                        return fail(DescriptorFault::ReportSizeTooLarge);
                    state.reportSize = value;
                    break;
                case kReportCount:
                    if (value > kMaxReportCount) return fail(DescriptorFault::ReportCountTooLarge);
                    state.reportCount = value;
                    break;
                case kReportId:
                    if (value == 0 || value > 255) return fail(DescriptorFault::BadReportId);
                    state.reportId = static_cast<uint8_t>(value);
                    info.usesReportIds = true;
                    break;
                case kPush:
                    if (depth == kMaxGlobalStackDepth) return fail(DescriptorFault::StackOverflow);
                    stack[depth++] = state;
                    break;
                case kPop:
                    if (depth == 0) return fail(DescriptorFault::StackUnderflow);
                    state = stack[--depth];
                    break;
                default: break;
            }
        } else if (type == kMain) {
            ReportBits& bits = info.bits[state.reportId];
            uint32_t* total = nullptr;
            if (tag == kInput) total = &bits.input;
            if (tag == kOutput) total = &bits.output;
            if (tag == kFeature) total = &bits.feature;
            if (total != nullptr && !AddBits(*total, state))
                return fail(DescriptorFault::ReportTooLong);
        }
        // Local items and the reserved type 3 do not shape lengths.
        pos += 1 + dataLen;
    }

    uint32_t longestInput = 0, longestOutput = 0, longestFeature = 0;
    for (const ReportBits& bits : info.bits) {
        if (bits.input > longestInput) longestInput = bits.input;
        if (bits.output > longestOutput) longestOutput = bits.output;
        if (bits.feature > longestFeature) longestFeature = bits.feature;
    }
    info.inputReportLength = BytesWithId(longestInput);
    info.outputReportLength = BytesWithId(longestOutput);
    info.featureReportLength = BytesWithId(longestFeature);
    return DescriptorFault::None;
}

const char* DescriptorFaultText(DescriptorFault fault) {
    switch (fault) {
        case DescriptorFault::None: return "no fault";
        case DescriptorFault::Empty: return "descriptor is empty";
        case DescriptorFault::TooLong: return "descriptor is longer than 4096 bytes";
        case DescriptorFault::ItemPastEnd: return "item runs past the end";
        case DescriptorFault::ReportSizeTooLarge: return "Report Size too large";
        case DescriptorFault::ReportCountTooLarge: return "Report Count too large";
        case DescriptorFault::BadReportId: return "Report ID outside 1..255";
        case DescriptorFault::StackOverflow: return "Push beyond the stack depth";
        case DescriptorFault::StackUnderflow: return "Pop without Push";
        case DescriptorFault::ReportTooLong: return "report too long";
    }
    return "unknown fault";
}

}  // namespace penlink

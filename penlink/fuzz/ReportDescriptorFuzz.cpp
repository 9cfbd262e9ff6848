// Feeds arbitrary bytes to the report descriptor parser. Besides memory
// errors (AddressSanitizer) it checks what the parser promises its callers:
// a refused descriptor leaves nothing behind, a fault names an offset inside
// the bytes, and accepted lengths agree with the per-ID bit totals.
#include <cstdint>
#include <cstdlib>

#include "hidraw/ReportDescriptor.h"

namespace {

uint16_t ExpectedLength(uint32_t longestBits) {
    return longestBits == 0 ? 0 : static_cast<uint16_t>((longestBits + 7) / 8 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace penlink;
    ReportDescriptorInfo info;
    size_t faultAt = SIZE_MAX;
    const DescriptorFault fault = ParseReportDescriptor(data, size, info, &faultAt);

    if (fault != DescriptorFault::None) {
        if (info.inputReportLength != 0 || info.outputReportLength != 0 || info.usesReportIds) {
            abort();
        }
        const bool wholeDescriptor =
            fault == DescriptorFault::Empty || fault == DescriptorFault::TooLong;
        if (wholeDescriptor ? faultAt != 0 : faultAt >= size) abort();
        return 0;
    }

    uint32_t in = 0, out = 0, feature = 0;
    for (size_t id = 0; id < info.bits.size(); ++id) {
        const ReportBits& b = info.bits[id];
        if (b.input > kMaxReportBits || b.output > kMaxReportBits || b.feature > kMaxReportBits) {
            abort();
        }
        if (id != 0 && !info.usesReportIds && (b.input | b.output | b.feature) != 0) abort();
        if (b.input > in) in = b.input;
        if (b.output > out) out = b.output;
        if (b.feature > feature) feature = b.feature;
    }
    if (info.inputReportLength != ExpectedLength(in) ||
        info.outputReportLength != ExpectedLength(out) ||
        info.featureReportLength != ExpectedLength(feature)) {
        abort();
    }
    return 0;
}

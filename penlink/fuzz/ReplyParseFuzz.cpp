// libFuzzer target for the parsing of the pen's replies: whatever bytes an
// input report holds, the parsers read only within them and either recognise
// a reply or leave their output alone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/ReportCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the end is caught.
    std::vector<uint8_t> report(data, data + size);
    const uint8_t* bytes = report.empty() ? nullptr : report.data();
    if (bytes == nullptr) return 0;

    penlink::NormalIdentity id;
    id.productCode = 0xDEAD;
    if (!penlink::ParseNormalIdentity(bytes, size, id) && id.productCode != 0xDEAD)
        __builtin_trap();
    if (penlink::ParseNormalIdentity(bytes, size, id) && id.productCode > 0xFF) __builtin_trap();

    uint32_t version = 0xFFFFFFFF;
    if (penlink::ParseUpdateIdentity(bytes, size, version) && (version & 0xFFFF) != 0)
        __builtin_trap();

    penlink::IsAcknowledgement(bytes, size, penlink::kStartAck);
    penlink::IsAcknowledgement(bytes, size, penlink::kImageAck);
    return 0;
}

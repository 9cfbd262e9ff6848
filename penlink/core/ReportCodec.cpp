#include "ReportCodec.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "PenlinkConfig.h"

namespace penlink {

bool IsUsableOutputLength(size_t length) {
    return length >= kMinOutputReportLength && length <= kReportBufferSize;
}

bool BuildCommandReport(uint8_t* report, size_t length, const uint8_t* command, size_t count) {
    if (count > length) return false;
    std::memset(report, 0, length);
    std::memcpy(report, command, count);
    return true;
}

bool BuildBeginImageReport(uint8_t* report, size_t length, uint32_t imageLength) {
    if (!IsUsableOutputLength(length)) return false;
    BuildCommandReport(report, length, kCmdBeginImage, sizeof kCmdBeginImage);
    WriteLe32(report + 3, imageLength);
    return true;
}

size_t BlockLength(size_t remaining, size_t length) {
    if (remaining == 0 || !IsUsableOutputLength(length)) return 0;
    const size_t capacity = length - kBlockHeaderLength;
    return remaining >= capacity ? (capacity & ~size_t{3}) : remaining;
}

bool BuildImageBlockReport(uint8_t* report, size_t length, uint32_t offset, const uint8_t* data,
                           size_t blockLength) {
    if (!IsUsableOutputLength(length) || blockLength > length - kBlockHeaderLength) return false;
    std::memcpy(report, kCmdImageBlock, sizeof kCmdImageBlock);
    WriteLe32(report + 3, offset);
    if (blockLength != 0) std::memcpy(report + kBlockHeaderLength, data, blockLength);
    std::fill(report + kBlockHeaderLength + blockLength, report + length, uint8_t{0xFF});
    return true;
}

bool ParseNormalIdentity(const uint8_t* bytes, size_t count, NormalIdentity& id) {
    if (count < kIdentityBlockLength + 1) return false;
    for (size_t pos = 0; pos + kIdentityBlockLength <= count; ++pos) {
        const uint8_t* b = bytes + pos;
        if (!std::equal(std::begin(kIdentityBlockStart), std::end(kIdentityBlockStart), b)) {
            continue;
        }
        NormalIdentity found;
        found.productCode = b[3];
        found.firmwareVersion = PackVersion(b[4], b[5]);
        found.version2 = PackVersion(b[6], b[7]);
        found.version3 = PackVersion(b[8], b[9]);
        found.extraInfo = b[10];
        if (found.firmwareVersion < PackVersion(1, 30) &&
            found.productCode == config::kLegacyProductCode) {
            std::swap(found.firmwareVersion, found.version2);
        }
        id = found;
        return true;
    }
    return false;
}

bool ParseUpdateIdentity(const uint8_t* bytes, size_t count, uint32_t& version) {
    if (count < 7 ||
        !std::equal(std::begin(kUpdateIdentityStart), std::end(kUpdateIdentityStart), bytes)) {
        return false;
    }
    version = PackVersion(bytes[5], bytes[6]);
    return true;
}

bool IsAcknowledgement(const uint8_t* bytes, size_t count, const uint8_t (&ack)[2]) {
    return count >= 4 && bytes[2] == ack[0] && bytes[3] == ack[1];
}

bool IsAcceptedProductCode(uint32_t code) {
    return std::find(std::begin(config::kAcceptedProductCodes),
                     std::end(config::kAcceptedProductCodes),
                     code) != std::end(config::kAcceptedProductCodes);
}

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace penlink

#include "PenSideCodec.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace penlink::emulator::penside {

namespace {

// A pen data report as the pen sends it between commands: a stroke's point.
constexpr uint8_t kPenData[] = {0x00, 0x01, 0x10, 0x27, 0x33, 0x04, 0x1C, 0x02};

void PutLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A main item's Report Count of count fields of one byte each.
void PutReportCount(std::vector<uint8_t>& descriptor, size_t count) {
    if (count <= 0xFF) {
        descriptor.insert(descriptor.end(), {0x95, static_cast<uint8_t>(count)});
    } else {
        descriptor.insert(descriptor.end(),
                          {0x96, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)});
    }
}

}  // namespace

bool IsCommand(const uint8_t* report, size_t length, const Command& command) {
    return StartsWith(report, length, command) &&
           std::all_of(report + command.count, report + length, [](uint8_t b) { return b == 0; });
}

bool StartsWith(const uint8_t* report, size_t length, const Command& command) {
    return length >= command.count && std::memcmp(report, command.bytes, command.count) == 0;
}

std::vector<uint8_t> CommandReport(const Command& command, size_t length) {
    std::vector<uint8_t> report(length, 0);
    std::memcpy(report.data(), command.bytes, std::min<size_t>(command.count, length));
    return report;
}

uint32_t LengthOrOffset(const uint8_t* report) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | report[3 + i];
    return value;
}

size_t BlockBytes(size_t remaining, size_t length) {
    if (length < kMinImageReportLength) return 0;
    const size_t room = length - kBlockDataOffset;
    return remaining >= room ? room / 4 * 4 : remaining;
}

std::vector<uint8_t> BeginImageReport(size_t length, uint32_t imageLength) {
    if (length < kMinImageReportLength) return {};
    std::vector<uint8_t> report = CommandReport(kBeginImage, length);
    PutLe32(&report[3], imageLength);
    return report;
}

std::vector<uint8_t> ImageBlockReport(size_t length, uint32_t offset, const uint8_t* data,
                                      size_t count) {
    if (length < kMinImageReportLength || count > length - kBlockDataOffset) return {};
    std::vector<uint8_t> report(length, 0xFF);
    std::memcpy(report.data(), kImageBlock.bytes, kImageBlock.count);
    PutLe32(&report[3], offset);
    std::copy(data, data + count, report.begin() + kBlockDataOffset);
    return report;
}

std::vector<uint8_t> IdentityReport(const Identity& identity, size_t offset) {
    std::vector<uint8_t> report(offset, 0x00);
    report.insert(report.end(), {0x00, 0x80, 0xA9, identity.productCode, identity.firmware[0],
                                 identity.firmware[1], identity.version2[0], identity.version2[1],
                                 identity.version3[0], identity.version3[1], identity.extraInfo});
    return report;
}

std::vector<uint8_t> PenDataReport(unsigned n) {
    std::vector<uint8_t> report(std::begin(kPenData), std::end(kPenData));
    report[2] = static_cast<uint8_t>(report[2] + n);
    return report;
}

std::vector<uint8_t> UpdateIdentityReply(const uint8_t (&version)[2], bool faulty) {
    return {0x00,      static_cast<uint8_t>(faulty ? 0x02 : 0x01), 0x80, 0x93, 0x00, version[0],
            version[1]};
}

std::vector<uint8_t> Acknowledgement(Ack kind, bool good) {
    return {0x00, 0x01, static_cast<uint8_t>(kind), static_cast<uint8_t>(good ? 0x01 : 0x00)};
}

std::vector<uint8_t> ReportDescriptor(size_t inputLength, size_t outputLength) {
    std::vector<uint8_t> descriptor = {0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
                                       0x09, 0x01,        // Usage (1)
                                       0xA1, 0x01,        // Collection (Application)
                                       0x15, 0x00,        //   Logical Minimum (0)
                                       0x26, 0xFF, 0x00,  //   Logical Maximum (255)
                                       0x75, 0x08};       //   Report Size (8)
    // The data bytes only: without report IDs none is sent on the wire.
    PutReportCount(descriptor, inputLength - 1);
    descriptor.insert(descriptor.end(), {0x09, 0x01,    //   Usage (1)
                                         0x81, 0x02});  //   Input (Data, Variable, Absolute)
    PutReportCount(descriptor, outputLength - 1);
    descriptor.insert(descriptor.end(), {0x09, 0x02,  //   Usage (2)
                                         0x91, 0x02,  //   Output (Data, Variable, Absolute)
                                         0xC0});      // End Collection
    return descriptor;
}

}  // namespace penlink::emulator::penside

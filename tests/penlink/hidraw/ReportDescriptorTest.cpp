// Report lengths from real descriptors whose reports are known, and refusal
// of truncated and hostile ones. Every descriptor is copied into a vector of
// exactly its size, so that a read past the end shows under AddressSanitizer.
#include "hidraw/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace penlink {
namespace {

using Bytes = std::vector<uint8_t>;

// Device Class Definition for HID 1.11, Appendix B.1 (boot keyboard): 8-byte
// input report (modifiers, reserved, six key codes), 1-byte LED output.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x08, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
    0x15, 0x00, 0x25, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// Device Class Definition for HID 1.11, Appendix B.2 (boot mouse): 3-byte
// input report (buttons, X, Y), no output report.
const Bytes kBootMouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,
                          0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,
                          0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05,
                          0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81,
                          0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

// FIDO U2F HID Protocol, "HID report descriptor and device discovery":
// vendor page 0xF1D0, 64-byte input and output reports without report IDs.
const Bytes kFidoU2f = {0x06, 0xD0, 0xF1, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x20, 0x15, 0x00, 0x26,
                        0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x09, 0x21, 0x15, 0x00,
                        0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};

// PJRC Teensy "usb_rawhid" example (usage page 0xFFAB, usage 0x0200, TX and
// RX size 64): the same lengths reached with Report Size set once and two
// Report Counts.
const Bytes kTeensyRawHid = {0x06, 0xAB, 0xFF, 0x0A, 0x00, 0x02, 0xA1, 0x01, 0x75, 0x08,
                             0x15, 0x00, 0x26, 0xFF, 0x00, 0x95, 0x40, 0x09, 0x01, 0x81,
                             0x02, 0x95, 0x40, 0x09, 0x02, 0x91, 0x02, 0xC0};

// Arduino core, Mouse library (report ID 1: buttons, X, Y, wheel = 4 bytes)
// followed by the Keyboard library (report ID 2: 8 bytes), as the pluggable
// USB HID class concatenates them.
const Bytes kArduinoMouseKeyboard = {
    // Mouse, report ID 1
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x85, 0x01, 0x05, 0x09, 0x19, 0x01,
    0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05,
    0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08,
    0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0,
    // Keyboard, report ID 2
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x02, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x03, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x73, 0x05, 0x07, 0x19, 0x00, 0x29, 0x73, 0x81, 0x00, 0xC0};

DescriptorFault Parse(const Bytes& bytes, ReportDescriptorInfo& info, size_t* at = nullptr) {
    return ParseReportDescriptor(bytes.data(), bytes.size(), info, at);
}

struct Known {
    const char* name;
    const Bytes* bytes;
    uint16_t input;
    uint16_t output;
    bool usesIds;
};

const Known kKnown[] = {
    {"boot keyboard", &kBootKeyboard, 9, 2, false},
    {"boot mouse", &kBootMouse, 4, 0, false},
    {"FIDO U2F", &kFidoU2f, 65, 65, false},
    {"Teensy raw HID", &kTeensyRawHid, 65, 65, false},
    {"Arduino mouse + keyboard", &kArduinoMouseKeyboard, 9, 0, true},
};

TEST(ReportDescriptor, RealDescriptorsGiveTheirKnownLengths) {
    for (const Known& k : kKnown) {
        SCOPED_TRACE(k.name);
        ReportDescriptorInfo info;
        ASSERT_EQ(Parse(*k.bytes, info), DescriptorFault::None);
        EXPECT_EQ(info.inputReportLength, k.input);
        EXPECT_EQ(info.outputReportLength, k.output);
        EXPECT_EQ(info.featureReportLength, 0);
        EXPECT_EQ(info.usesReportIds, k.usesIds);
    }
}

TEST(ReportDescriptor, NumberedReportsAreCountedPerId) {
    ReportDescriptorInfo info;
    ASSERT_EQ(Parse(kArduinoMouseKeyboard, info), DescriptorFault::None);
    EXPECT_EQ(info.bits[0].input, 0u);
    EXPECT_EQ(info.bits[1].input, 32u);  // 3 buttons + 5 padding + X, Y, wheel
    EXPECT_EQ(info.bits[2].input, 64u);

    // Output and feature items land on the ID in force; the longest report
    // of each kind decides, whichever ID it has.
    const Bytes mixed = {
        0x75, 0x08,              // Report Size 8
        0x85, 0x01,              // Report ID 1
        0x95, 0x02, 0x81, 0x02,  //   2 bytes in
        0x95, 0x07, 0x91, 0x02,  //   7 bytes out
        0x85, 0x02,              // Report ID 2
        0x95, 0x05, 0x81, 0x02,  //   5 bytes in
        0x95, 0x03, 0x91, 0x02,  //   3 bytes out
        0x95, 0x09, 0xB1, 0x02,  //   9 bytes feature
        0x85, 0x01,              // Report ID 1 again
        0x95, 0x01, 0x81, 0x02,  //   1 more byte in: 3 in all
    };
    ASSERT_EQ(Parse(mixed, info), DescriptorFault::None);
    EXPECT_EQ(info.bits[1].input, 24u);
    EXPECT_EQ(info.bits[1].output, 56u);
    EXPECT_EQ(info.bits[2].input, 40u);
    EXPECT_EQ(info.bits[2].feature, 72u);
    EXPECT_EQ(info.inputReportLength, 6);
    EXPECT_EQ(info.outputReportLength, 8);
    EXPECT_EQ(info.featureReportLength, 10);
}

TEST(ReportDescriptor, PushAndPopRestoreSizeCountAndId) {
    const Bytes pushPop = {
        0x85, 0x01, 0x75, 0x08, 0x95, 0x04,  // ID 1, 4 x 8 bits
        0xA4,                                // Push
        0x85, 0x02, 0x75, 0x10, 0x95, 0x02,  //   ID 2, 2 x 16 bits
        0x81, 0x02,                          //   ID 2 in: 32 bits
        0xA4,                                //   Push
        0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  //     ID 2 in: 3 more bits
        0xB4,                                //   Pop: 2 x 16 again
        0x91, 0x02,                          //   ID 2 out: 32 bits
        0xB4,                                // Pop: ID 1, 4 x 8 again
        0x81, 0x02,                          // ID 1 in: 32 bits
    };
    ReportDescriptorInfo info;
    ASSERT_EQ(Parse(pushPop, info), DescriptorFault::None);
    EXPECT_EQ(info.bits[2].input, 35u);
    EXPECT_EQ(info.bits[2].output, 32u);
    EXPECT_EQ(info.bits[1].input, 32u);
    EXPECT_EQ(info.bits[1].output, 0u);
    EXPECT_EQ(info.inputReportLength, 6);

    // Four levels of Push are allowed (a fifth is refused below).
    Bytes deep(4, 0xA4);
    deep.insert(deep.end(), 4, 0xB4);
    EXPECT_EQ(Parse(deep, info), DescriptorFault::None);
}

TEST(ReportDescriptor, LongItemsAndWideDataAreSkippedWhole) {
    // A long item whose data looks like Input items must not count; a
    // zero-length long item is legal; Report Count in 4 data bytes.
    const Bytes items = {
        0x75, 0x08,                                // Report Size 8
        0xFE, 0x04, 0x10, 0x95, 0x40, 0x81, 0x02,  // long item, 4 data bytes
        0xFE, 0x00, 0x11,                          // long item, no data
        0x97, 0x03, 0x00, 0x00, 0x00,              // Report Count 3 (4 bytes)
        0x83, 0x02, 0x00, 0x00, 0x00,              // Input, 4 data bytes
    };
    ReportDescriptorInfo info;
    ASSERT_EQ(Parse(items, info), DescriptorFault::None);
    EXPECT_EQ(info.bits[0].input, 24u);
    EXPECT_EQ(info.inputReportLength, 4);
}

TEST(ReportDescriptor, EveryTruncationIsRefusedOrParsedWithinBounds) {
    for (const Known& k : kKnown) {
        SCOPED_TRACE(k.name);
        for (size_t cut = 1; cut < k.bytes->size(); ++cut) {
            const Bytes head(k.bytes->begin(), k.bytes->begin() + static_cast<long>(cut));
            ReportDescriptorInfo info;
            size_t at = 0;
            const DescriptorFault fault = Parse(head, info, &at);
            if (fault == DescriptorFault::None) continue;  // cut between two items
            EXPECT_EQ(fault, DescriptorFault::ItemPastEnd) << "cut at " << cut;
            EXPECT_LT(at, cut);
            EXPECT_GE(at + 1 + 4, cut) << "the fault names the item that was cut";
        }
    }
}

TEST(ReportDescriptor, HostileDescriptorsAreRefused) {
    struct Case {
        const char* what;
        Bytes bytes;
        DescriptorFault fault;
        size_t at;
    };
    const Case cases[] = {
        {"short item data cut", {0x75, 0x08, 0x27, 0xFF}, DescriptorFault::ItemPastEnd, 2},
        {"4-byte item cut", {0x97, 0x01, 0x00, 0x00}, DescriptorFault::ItemPastEnd, 0},
        {"long item header cut", {0x75, 0x08, 0xFE, 0x05}, DescriptorFault::ItemPastEnd, 2},
        {"long item data cut", {0xFE, 0x10, 0x00, 0x81, 0x02}, DescriptorFault::ItemPastEnd, 0},
        {"Report Size 257", {0x76, 0x01, 0x01}, DescriptorFault::ReportSizeTooLarge, 0},
        {"Report Size 2^32-1",
         {0x75, 0x08, 0x77, 0xFF, 0xFF, 0xFF, 0xFF},
         DescriptorFault::ReportSizeTooLarge,
         2},
        {"Report Count 12289", {0x96, 0x01, 0x30}, DescriptorFault::ReportCountTooLarge, 0},
        {"Report ID 0", {0x85, 0x00}, DescriptorFault::BadReportId, 0},
        {"Report ID 256", {0x86, 0x00, 0x01}, DescriptorFault::BadReportId, 0},
        {"fifth Push", Bytes(5, 0xA4), DescriptorFault::StackOverflow, 4},
        {"Pop without Push", {0xA4, 0xB4, 0xB4}, DescriptorFault::StackUnderflow, 2},
        {"one field over the report limit",
         {0x76, 0x00, 0x01, 0x96, 0x00, 0x30, 0x81, 0x02},  // 256 x 12288 bits
         DescriptorFault::ReportTooLong,
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportDescriptorInfo info;
        info.inputReportLength = 99;  // must not survive a refusal
        size_t at = 999;
        EXPECT_EQ(Parse(c.bytes, info, &at), c.fault);
        EXPECT_EQ(at, c.at);
        EXPECT_EQ(info.inputReportLength, 0);
        EXPECT_FALSE(info.usesReportIds);
    }
}

TEST(ReportDescriptor, ReportTotalsStopAtTheLimit) {
    // 8 x 8191 bytes twice plus one byte is exactly 16383 bytes: the
    // longest report there can be. One more byte passes the limit.
    Bytes atLimit = {0x75, 0x08, 0x96, 0xFF, 0x1F, 0x81, 0x02, 0x81, 0x02, 0x95, 0x01, 0x81, 0x02};
    ReportDescriptorInfo info;
    ASSERT_EQ(Parse(atLimit, info), DescriptorFault::None);
    EXPECT_EQ(info.bits[0].input, kMaxReportBits);
    EXPECT_EQ(info.inputReportLength, 16384);

    atLimit.insert(atLimit.end(), {0x81, 0x02});
    size_t at = 0;
    EXPECT_EQ(Parse(atLimit, info, &at), DescriptorFault::ReportTooLong);
    EXPECT_EQ(at, 13u);
}

TEST(ReportDescriptor, SizeBoundsOfTheWholeDescriptor) {
    ReportDescriptorInfo info;
    size_t at = 7;
    EXPECT_EQ(ParseReportDescriptor(nullptr, 0, info, &at), DescriptorFault::Empty);
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(Parse(Bytes{}, info), DescriptorFault::Empty);

    // 0x00 is a Main item with no data that shapes nothing: 4096 of them are
    // a valid descriptor without reports, 4097 are too many.
    EXPECT_EQ(Parse(Bytes(kMaxReportDescriptorSize, 0x00), info), DescriptorFault::None);
    EXPECT_EQ(info.inputReportLength, 0);
    EXPECT_EQ(info.outputReportLength, 0);
    EXPECT_EQ(Parse(Bytes(kMaxReportDescriptorSize + 1, 0x00), info), DescriptorFault::TooLong);
}

}  // namespace
}  // namespace penlink

// Report packing and reply parsing, byte for byte.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/PenlinkConfig.h"
#include "core/ReportCodec.h"

using namespace penlink;

namespace {

std::vector<uint8_t> Report(size_t length, std::initializer_list<uint8_t> lead) {
    std::vector<uint8_t> r(length, 0);
    std::copy(lead.begin(), lead.end(), r.begin());
    return r;
}

// The block lengths the image is cut into.
std::vector<size_t> Cut(size_t image, size_t reportLength) {
    std::vector<size_t> blocks;
    for (size_t left = image; left > 0;) {
        const size_t b = BlockLength(left, reportLength);
        if (b == 0) break;
        blocks.push_back(b);
        left -= b;
    }
    return blocks;
}

}  // namespace

TEST(ReportCodec, IdentityBlockIsFoundAnywhereButMustFitAndNeedsTwelveBytes) {
    auto r = Report(65, {});
    const uint8_t block[] = {0x00, 0x80, 0xA9, 0x21, 2, 5, 1, 10, 3, 0, 0x5A};
    std::copy(std::begin(block), std::end(block), r.begin() + 5);
    NormalIdentity id;
    ASSERT_TRUE(ParseNormalIdentity(r.data(), r.size(), id));
    EXPECT_EQ(id.productCode, 0x21u);
    EXPECT_EQ(id.firmwareVersion, 0x02050000u);
    EXPECT_EQ(id.version2, 0x010A0000u);
    EXPECT_EQ(id.version3, 0x03000000u);
    EXPECT_EQ(id.extraInfo, 0x5Au);

    // The same block cut off by the end of what was read is not taken, and
    // nothing is changed.
    NormalIdentity untouched;
    untouched.productCode = 99;
    EXPECT_FALSE(ParseNormalIdentity(r.data(), 15, untouched));
    EXPECT_EQ(untouched.productCode, 99u);

    // Exactly one block in eleven bytes is below the minimum; twelve are fine.
    std::vector<uint8_t> eleven(std::begin(block), std::end(block));
    EXPECT_FALSE(ParseNormalIdentity(eleven.data(), eleven.size(), id));
    eleven.push_back(0);
    EXPECT_TRUE(ParseNormalIdentity(eleven.data(), eleven.size(), id));

    // The first signature wins even when a later one would fit too.
    auto two = Report(40, {});
    std::copy(std::begin(block), std::end(block), two.begin() + 2);
    auto other = std::vector<uint8_t>(std::begin(block), std::end(block));
    other[3] = 0x22;
    std::copy(other.begin(), other.end(), two.begin() + 20);
    ASSERT_TRUE(ParseNormalIdentity(two.data(), two.size(), id));
    EXPECT_EQ(id.productCode, 0x21u);
}

TEST(ReportCodec, LegacyPenBelowOneThirtySwapsItsVersions) {
    const uint8_t legacy = config::kLegacyProductCode;
    auto parse = [](uint8_t code, uint8_t maj, uint8_t min, uint8_t maj2, uint8_t min2) {
        const uint8_t r[12] = {0x00, 0x80, 0xA9, code, maj, min, maj2, min2, 0, 0, 0, 0};
        NormalIdentity id;
        EXPECT_TRUE(ParseNormalIdentity(r, sizeof r, id));
        return id;
    };
    NormalIdentity id = parse(legacy, 1, 20, 1, 45);
    EXPECT_EQ(id.firmwareVersion, PackVersion(1, 45));
    EXPECT_EQ(id.version2, PackVersion(1, 20));
    id = parse(legacy, 1, 30, 1, 45);
    EXPECT_EQ(id.firmwareVersion, PackVersion(1, 30));
    EXPECT_EQ(id.version2, PackVersion(1, 45));
    id = parse(static_cast<uint8_t>(legacy + 1), 1, 20, 1, 45);
    EXPECT_EQ(id.firmwareVersion, PackVersion(1, 20));
}

TEST(ReportCodec, UpdateModeReplyAndAcknowledgements) {
    uint32_t version = 7;
    const uint8_t reply[] = {0x00, 0x01, 0x80, 0x93, 0xEE, 2, 5};
    ASSERT_TRUE(ParseUpdateIdentity(reply, sizeof reply, version));
    EXPECT_EQ(version, 0x02050000u);
    EXPECT_EQ(version & 0xFFFFu, 0u);

    version = 7;
    const uint8_t wrong[] = {0x00, 0x02, 0x80, 0x93, 0x00, 2, 5};
    EXPECT_FALSE(ParseUpdateIdentity(wrong, sizeof wrong, version));
    EXPECT_FALSE(ParseUpdateIdentity(reply, 6, version));
    EXPECT_EQ(version, 7u);

    const uint8_t ack[] = {0x00, 0x7F, 0x01, 0x01};
    EXPECT_TRUE(IsAcknowledgement(ack, 4, kStartAck));
    EXPECT_FALSE(IsAcknowledgement(ack, 4, kImageAck));
    EXPECT_FALSE(IsAcknowledgement(ack, 3, kStartAck));
}

TEST(ReportCodec, BlocksCarryMultiplesOfFourUntilTheRestFits) {
    EXPECT_EQ(Cut(100, 65), (std::vector<size_t>{56, 44}));
    EXPECT_EQ(Cut(58, 65), (std::vector<size_t>{56, 2}));
    EXPECT_EQ(Cut(57, 65), (std::vector<size_t>{57}));
    EXPECT_EQ(Cut(56 * 3, 65), (std::vector<size_t>{56, 56, 56}));
    EXPECT_EQ(Cut(53256, 65).size(), 951u);
    // Eleven-byte reports carry four bytes a block; 128-byte reports 120.
    EXPECT_EQ(Cut(9, 11), (std::vector<size_t>{4, 4, 1}));
    EXPECT_EQ(Cut(121, 128), (std::vector<size_t>{120, 1}));
    EXPECT_EQ(BlockLength(121, 129), 0u);
    EXPECT_EQ(BlockLength(121, 10), 0u);
    EXPECT_TRUE(Cut(0, 65).empty());
}

TEST(ReportCodec, BlockAndBeginReportsAreLaidOutExactly) {
    std::vector<uint8_t> image(100);
    std::iota(image.begin(), image.end(), uint8_t{1});
    std::vector<uint8_t> r(65);
    ASSERT_TRUE(BuildImageBlockReport(r.data(), r.size(), 56, image.data() + 56, 44));
    EXPECT_EQ(r[0], 0x00);
    EXPECT_EQ(r[1], 0x02);
    EXPECT_EQ(r[2], 0x02);
    EXPECT_EQ(ReadLe32(r.data() + 3), 56u);
    EXPECT_EQ(r[7], 57);
    EXPECT_EQ(r[50], 100);
    for (size_t i = 51; i < 65; ++i) EXPECT_EQ(r[i], 0xFF) << i;
    EXPECT_FALSE(BuildImageBlockReport(r.data(), r.size(), 0, image.data(), 59));

    ASSERT_TRUE(BuildBeginImageReport(r.data(), r.size(), 53256));
    EXPECT_EQ(r, (Report(65, {0x00, 0x02, 0x03, 0x08, 0xD0, 0x00, 0x00})));
    EXPECT_FALSE(BuildBeginImageReport(r.data(), 10, 1));

    ASSERT_TRUE(BuildCommandReport(r.data(), r.size(), kCmdIdentify, sizeof kCmdIdentify));
    EXPECT_EQ(r, (Report(65, {0x00, 0x02, 0x02, 0x95, 0x95})));
}

TEST(ReportCodec, AcceptedProductCodes) {
    EXPECT_EQ(sizeof config::kAcceptedProductCodes, 39u);
    for (uint8_t code : config::kAcceptedProductCodes) EXPECT_TRUE(IsAcceptedProductCode(code));
    EXPECT_TRUE(IsAcceptedProductCode(config::kLegacyProductCode));
    EXPECT_FALSE(IsAcceptedProductCode(0x7F));
    EXPECT_FALSE(IsAcceptedProductCode(0x121));  // only the low byte is a code
}

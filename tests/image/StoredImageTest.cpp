// What a stored image promises to expand to.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "StoredImage.h"

namespace image {
namespace {

std::vector<std::uint8_t> Header(std::uint8_t method, std::uint32_t declared) {
    std::vector<std::uint8_t> data = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, method, 0};
    for (int shift = 0; shift < 32; shift += 8) data.push_back(std::uint8_t(declared >> shift));
    return data;
}

TEST(StoredImage, CompleteHeaderPromisesItsDeclaredLength) {
    std::vector<std::uint8_t> data = Header('A', 53256);
    data.push_back(0xFF);  // the stream is not looked at
    const StoredImageInfo info = InspectStoredImage(data.data(), data.size());
    EXPECT_EQ(info.kind, StoredImageKind::Compressed);
    EXPECT_EQ(info.expectedLength, 53256u);

    const std::vector<std::uint8_t> large = Header('A', 0xFFFFFFFFu);
    EXPECT_EQ(InspectStoredImage(large.data(), large.size()).expectedLength, 0xFFFFFFFFu);
}

TEST(StoredImage, DataWithoutTheSignatureIsCopiedSoPromisesItsOwnSize) {
    const std::uint8_t code[] = {0x00, 0x50, 0x00, 0x20, 0x85, 0x41, 0x00, 0x08};
    StoredImageInfo info = InspectStoredImage(code, sizeof code);
    EXPECT_EQ(info.kind, StoredImageKind::Plain);
    EXPECT_EQ(info.expectedLength, sizeof code);

    // One byte off in the signature is no signature.
    std::vector<std::uint8_t> almost = Header('A', 10);
    almost[7] = 0x34;
    info = InspectStoredImage(almost.data(), almost.size());
    EXPECT_EQ(info.kind, StoredImageKind::Plain);
    EXPECT_EQ(info.expectedLength, almost.size());
}

TEST(StoredImage, DamagedHeadersAreRefusedWithAReason) {
    const std::vector<std::uint8_t> full = Header('A', 100);
    const std::vector<std::uint8_t> unknownMethod = Header('B', 100);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"header cut after the signature", {full.begin(), full.begin() + 10}},
        {"header one byte short", {full.begin(), full.end() - 1}},
        {"signature cut short", {full.begin(), full.begin() + 3}},
        {"method other than A", unknownMethod},
    };
    for (const Case& c : cases) {
        const StoredImageInfo info = InspectStoredImage(c.data.data(), c.data.size());
        EXPECT_EQ(info.kind, StoredImageKind::Corrupt) << c.what;
        EXPECT_EQ(info.expectedLength, 0u) << c.what;
        EXPECT_STRNE(info.problem, "") << c.what;
    }
}

}  // namespace
}  // namespace image

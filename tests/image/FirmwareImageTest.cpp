// The image the command-line updater sends, made from the stored bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "SzddCodec.h"

namespace image {
namespace {

std::vector<std::uint8_t> ProgramLike(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + i / 13) & 0x3F);
    return v;
}

std::vector<std::uint8_t> Compressed(const std::vector<std::uint8_t>& image) {
    std::vector<std::uint8_t> out;
    EXPECT_EQ(szdd::SzddCompress(image.data(), image.size(), out), szdd::SzddError::None);
    return out;
}

void SetDeclaredLength(std::vector<std::uint8_t>& container, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) container[10 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

}  // namespace

TEST(FirmwareImageTest, ContainerIsExpandedAndRawImageKeptAsItIs) {
    const auto image = ProgramLike(5000);
    const auto container = Compressed(image);

    FirmwareImage fromContainer;
    std::string error;
    ASSERT_TRUE(FirmwareImage::FromStored(container.data(), container.size(), fromContainer, error))
        << error;
    EXPECT_EQ(fromContainer.Bytes(), image);
    EXPECT_TRUE(fromContainer.WasCompressed());
    EXPECT_EQ(fromContainer.StoredLength(), container.size());

    FirmwareImage raw;
    ASSERT_TRUE(FirmwareImage::FromStored(image.data(), image.size(), raw, error)) << error;
    EXPECT_EQ(raw.Bytes(), image);
    EXPECT_FALSE(raw.WasCompressed());
}

TEST(FirmwareImageTest, DamagedContainersAndEmptyImagesAreRefused) {
    const auto image = ProgramLike(3000);
    const auto good = Compressed(image);

    auto longer = good;  // declares a byte more than the stream holds
    SetDeclaredLength(longer, 3001);
    auto shorter = good;  // the stream holds a byte more than declared
    SetDeclaredLength(shorter, 2999);
    auto cut = good;  // the stream's last group is gone
    cut.resize(good.size() - 20);
    auto header = good;  // signature, but the header is cut short
    header.resize(9);
    auto method = good;  // a method the expansion does not know
    method[8] = 'B';
    const auto emptyContainer = Compressed({});
    auto huge = good;  // declares more than any firmware
    SetDeclaredLength(huge, 0xFFFFFFF0u);

    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"declared longer", longer}, {"declared shorter", shorter},
        {"stream cut", cut},         {"header cut", header},
        {"unknown method", method},  {"empty container", emptyContainer},
        {"empty file", {}},          {"declared huge", huge}};
    for (const auto& [what, stored] : cases) {
        FirmwareImage result;
        std::string error;
        EXPECT_FALSE(FirmwareImage::FromStored(stored.data(), stored.size(), result, error))
            << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_TRUE(result.Bytes().empty()) << what;
    }
}

TEST(FirmwareImageTest, RawImageIsHeldToTheLimitToo) {
    std::vector<std::uint8_t> raw(FirmwareImage::kMaxLength, 0x5A);
    FirmwareImage image;
    std::string error;
    ASSERT_TRUE(FirmwareImage::FromStored(raw.data(), raw.size(), image, error)) << error;
    EXPECT_EQ(image.Bytes().size(), FirmwareImage::kMaxLength);
    EXPECT_FALSE(image.WasCompressed());

    raw.push_back(0x5A);
    EXPECT_FALSE(FirmwareImage::FromStored(raw.data(), raw.size(), image, error));
    EXPECT_NE(error.find("16,777,217 bytes"), std::string::npos) << error;
    EXPECT_TRUE(image.Bytes().empty());

    auto container = Compressed(ProgramLike(100));  // declares a byte over the limit
    SetDeclaredLength(container, FirmwareImage::kMaxLength + 1);
    EXPECT_FALSE(FirmwareImage::FromStored(container.data(), container.size(), image, error));
    EXPECT_NE(error.find("16,777,217 bytes"), std::string::npos) << error;
}

}  // namespace image

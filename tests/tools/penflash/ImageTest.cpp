// The image penflash sends, and the hash it reports of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "Sha256.h"
#include "SzddCodec.h"

using penflash::FirmwareImage;
using penflash::Sha256;
namespace szdd = penlink::szdd;

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
        {"declared longer", longer}, {"declared shorter", shorter}, {"stream cut", cut},
        {"header cut", header},      {"unknown method", method},    {"empty container", emptyContainer},
        {"empty file", {}},          {"declared huge", huge}};
    for (const auto& [what, stored] : cases) {
        FirmwareImage result;
        std::string error;
        EXPECT_FALSE(FirmwareImage::FromStored(stored.data(), stored.size(), result, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_TRUE(result.Bytes().empty()) << what;
    }
}

TEST(Sha256Test, KnownDigests) {
    const std::string abc = "abc";
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256::HexOf(nullptr, 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::HexOf(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256::HexOf(reinterpret_cast<const std::uint8_t*>(twoBlocks.data()), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    // A million 'a' in pieces that straddle the 64-byte blocks.
    const std::vector<std::uint8_t> piece(997, 'a');
    Sha256 million;
    std::size_t left = 1000000;
    while (left > 0) {
        const std::size_t n = std::min(left, piece.size());
        million.Update(piece.data(), n);
        left -= n;
    }
    EXPECT_EQ(million.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, PiecewiseEqualsWholeAroundThePaddingBoundaries) {
    const auto data = ProgramLike(200);
    for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        Sha256 pieces;
        for (std::size_t i = 0; i < length; i += 3) {
            pieces.Update(data.data() + i, std::min<std::size_t>(3, length - i));
        }
        EXPECT_EQ(pieces.FinishHex(), Sha256::HexOf(data.data(), length)) << length;
    }
}

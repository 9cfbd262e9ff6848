// The hash penflash reports of the image it sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Sha256.h"

using penflash::Sha256;

namespace {

std::vector<std::uint8_t> ProgramLike(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + i / 13) & 0x3F);
    return v;
}

}  // namespace

TEST(Sha256Test, KnownDigests) {
    const std::string abc = "abc";
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256::HexOf(nullptr, 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::HexOf(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(
        Sha256::HexOf(reinterpret_cast<const std::uint8_t*>(twoBlocks.data()), twoBlocks.size()),
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
    EXPECT_EQ(million.FinishHex(),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
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

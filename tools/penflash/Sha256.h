// SHA-256 (FIPS 180-4), for the hash of the image in the JSON report.
// Debian has no header-only C++ SHA-256; libgcrypt would add a 7 MB static
// library (and libgpg-error) to the Windows builds for one hash of 50 KB.
// Pure code: no I/O.
#ifndef PENFLASH_SHA256_H
#define PENFLASH_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace penflash {

class Sha256 {
public:
    // An empty message. Any thread.
    Sha256();

    // Adds size bytes at data to the message. Any thread, one at a time per
    // object; not after FinishHex.
    void Update(const std::uint8_t* data, std::size_t size);

    // Returns the digest of everything added, as 64 lower-case hex digits.
    // The object is spent afterwards. Any thread, one at a time per object.
    std::string FinishHex();

    // Returns the digest of data[0, size) as 64 lower-case hex digits.
    // Any thread.
    static std::string HexOf(const std::uint8_t* data, std::size_t size);

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_blockUsed = 0;
    std::uint64_t m_length = 0;
};

}  // namespace penflash

#endif  // PENFLASH_SHA256_H

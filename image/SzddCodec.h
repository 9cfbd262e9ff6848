// SZDD containers, mode 'A': the LZSS format that the Windows LZ expansion
// service (LZCopy, expand.exe) reads. The firmware image travels in the
// wizard's resources in this form.
//
// Layout: 8-byte signature "SZDD" 88 F0 27 33, method byte 'A', one byte
// holding the last character of the original file name, the expanded length
// as an unsigned 32-bit little-endian value, then the LZSS stream. The
// stream runs in groups of one flag byte (bits from bit 0 up, 1 = literal)
// followed by up to eight items: a literal byte, or a two-byte reference
// into a 4,096-byte window (12-bit position, length 3 to 18). The window
// starts filled with spaces and its write position starts at 0xFF0.
//
// Everything here is pure code over byte buffers: no I/O, no global state,
// no exceptions leave it.
#ifndef IMAGE_SZDDCODEC_H
#define IMAGE_SZDDCODEC_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace image::szdd {

constexpr std::size_t kHeaderSize = 14;
constexpr std::array<std::uint8_t, 8> kSignature = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
constexpr std::uint8_t kMethodLzss = 0x41;  // 'A'

enum class SzddError {
    None = 0,
    NotSzdd,             // the input does not begin with the signature
    TruncatedHeader,     // the signature is there but the header is cut short
    UnknownMethod,       // the method byte is not 'A'
    DeclaredTooLarge,    // the declared length is above the caller's limit
    TruncatedReference,  // the stream ends between the two bytes of a reference
    LengthShort,         // the stream decodes to fewer bytes than declared
    LengthExceeded,      // the stream holds more than the declared length
    InputTooLarge,       // more than 4 GiB to compress: the header cannot say so
    OutOfMemory,         // the output buffer could not be allocated
};

// Returns a one-line English description of error (never null; "unknown
// error" for a value outside the enum). Any thread.
const char* SzddErrorText(SzddError error) noexcept;

struct SzddHeader {
    std::array<std::uint8_t, 8> signature{};
    std::uint8_t method = 0;
    std::uint8_t lastNameChar = 0;  // 0 when the compressor did not record it
    std::uint32_t declaredLength = 0;
};

// Reads the 14-byte header at the start of data[0, size).
// Returns None and fills header when the signature matches and all 14 bytes
// are there, whatever the method byte says (SzddExpand checks it).
// Returns NotSzdd when the bytes present differ from the signature, and
// TruncatedHeader when they match it but fewer than 14 bytes are present (an
// empty input included); header is left untouched on both error paths.
// Any thread.
SzddError SzddParseHeader(const std::uint8_t* data, std::size_t size, SzddHeader& header) noexcept;

struct SzddExpandOptions {
    // Headers that declare more than this many bytes are refused before any
    // allocation. Independently of it, the output never grows beyond the
    // declared length, nor beyond 9 bytes per stream byte (the most that a
    // stream can encode), so a hostile header cannot force a huge allocation.
    std::uint64_t maxDeclaredLength = UINT32_MAX;
    // On a stream error (TruncatedReference, LengthShort, LengthExceeded),
    // keep the bytes decoded so far in out instead of clearing it. With
    // LengthExceeded they are exactly the declared length.
    bool keepPartialOutput = false;
};

// Expands the SZDD container data[0, size) into out (replacing its content).
// Returns None when the stream decodes to exactly the declared length.
// Returns the SzddParseHeader error, UnknownMethod or DeclaredTooLarge with
// out empty and nothing decoded. Returns TruncatedReference when the stream
// ends after the first byte of a reference, LengthExceeded when it would
// produce more than the declared length (decoding stops there) and
// LengthShort when it ends early; on these three, out is empty unless
// options.keepPartialOutput is set. Returns OutOfMemory with out empty when
// the output cannot be allocated. A stream that ends inside a group (after
// a flag byte, before all eight items) is normal.
// Any thread.
SzddError SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                     const SzddExpandOptions& options = {}) noexcept;

// Compresses data[0, size) into a complete mode 'A' container in out
// (replacing its content), with lastNameChar in byte 9 of the header. The
// parse is chosen for the smallest output given, at each position, the
// longest match over the whole 4,096-byte window (the spaces it holds
// before any output included; matches of exactly three bytes are found
// through a hash table and may occasionally be missed).
// Returns None on success. Returns InputTooLarge (size above 4 GiB - 1) or
// OutOfMemory with out empty.
// Any thread.
SzddError SzddCompress(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                       std::uint8_t lastNameChar = 0) noexcept;

}  // namespace image::szdd

#endif  // IMAGE_SZDDCODEC_H

// The parts of the firmware image pipeline that do no I/O: what the stored
// image promises to expand to, and how temporary files are named. Kept apart
// from the Windows code so that they build and are tested on any platform.
#ifndef FLASHWIZARD_IMAGEFORMAT_H
#define FLASHWIZARD_IMAGEFORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>

// How many names MakeTempFileName draws before it gives up. Each draw costs
// one attribute query. Of the 32,768 names the generator can give, a
// directory would need about 99 % taken for 1,000 draws in a row to fail by
// chance ((k / 32768)^1000 with k names taken: 0.99^1000 = 4e-5), and
// at that point the directory is broken for every program; 1,000 queries
// still take well under a second.
constexpr int kMaxTempNameDraws = 1000;

enum class StoredImageKind {
    Plain,       // no SZDD signature: the LZ service copies it unchanged
    Compressed,  // a complete SZDD header with method 'A'
    Corrupt,     // the signature is there but the header is cut short, or
                 // names a method that the LZ service cannot expand
};

struct StoredImageInfo {
    StoredImageKind kind = StoredImageKind::Corrupt;
    // The exact length the expansion must produce: the declared length for
    // Compressed, the stored size for Plain, 0 for Corrupt.
    std::uint64_t expectedLength = 0;
    // For Corrupt: why, in one line of English. Otherwise empty.
    const char* problem = "";
};

// Looks at the stored image data[0, size) and says what the expansion must
// yield. Never fails; a Corrupt result is the caller's reason to refuse the
// image before anything is written. Any thread.
StoredImageInfo InspectStoredImage(const std::uint8_t* data, std::size_t size) noexcept;

// The name of a temporary file for one draw of the random generator:
// "%s%04x.%s" with "res", draw modulo 65,536 and "tmp", e.g. "res0029.tmp".
// Any thread.
std::wstring FormatTempFileName(int draw);

#endif  // FLASHWIZARD_IMAGEFORMAT_H

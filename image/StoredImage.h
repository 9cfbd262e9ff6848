// What a stored firmware image promises to expand to: an SZDD container
// (method 'A') or, without the SZDD signature, the image itself, as the
// Windows LZ expansion service treats it. Pure code: no I/O, so it builds
// and is tested on any platform.
#ifndef IMAGE_STOREDIMAGE_H
#define IMAGE_STOREDIMAGE_H

#include <cstddef>
#include <cstdint>

namespace image {

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

}  // namespace image

#endif  // IMAGE_STOREDIMAGE_H

// The firmware image that the command-line updater sends: made from what a
// file or the program holds, which is either an SZDD container (expanded
// here) or the image itself. A damaged container is refused before anything
// reaches the pen. Pure code: no I/O.
#ifndef IMAGE_FIRMWAREIMAGE_H
#define IMAGE_FIRMWAREIMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image {

class FirmwareImage {
public:
    // No pen firmware comes near this; a larger file is taken for a mistake.
    static constexpr std::size_t kMaxLength = 16u * 1024u * 1024u;

    // An empty image. Any thread.
    FirmwareImage() = default;

    // Makes the image from the stored bytes data[0, size). An SZDD container
    // is expanded in full and must yield exactly the length its header
    // declares; anything without the SZDD signature is the image itself.
    // Returns true with image filled, or false with error set to one line of
    // English (a cut or unknown SZDD header, a stream that is damaged or
    // yields another length than declared, an empty image, one above
    // kMaxLength) and image left empty. Any thread.
    static bool FromStored(const std::uint8_t* data, std::size_t size, FirmwareImage& image,
                           std::string& error);

    // Return the image (empty before FromStored succeeded), whether it came
    // from an SZDD container, and the length of what was stored. Any thread.
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    bool WasCompressed() const { return m_compressed; }
    std::size_t StoredLength() const { return m_storedLength; }

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_compressed = false;
    std::size_t m_storedLength = 0;
};

}  // namespace image

#endif  // IMAGE_FIRMWAREIMAGE_H

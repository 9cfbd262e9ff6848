#include "FirmwareImage.h"

#include "StoredImage.h"
#include "SzddCodec.h"

namespace image {

namespace {

// Returns value with a comma between groups of three digits ("53,256"), as
// the updater writes byte counts everywhere else.
std::string GroupDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, ',');
    return digits;
}

}  // namespace

bool FirmwareImage::FromStored(const std::uint8_t* data, std::size_t size, FirmwareImage& image,
                               std::string& error) {
    image = FirmwareImage();
    // Nothing at all is neither a cut container nor an image.
    if (size == 0) {
        error = "the image is empty";
        return false;
    }
    const StoredImageInfo info = InspectStoredImage(data, size);
    if (info.kind == StoredImageKind::Corrupt) {
        error = std::string("damaged SZDD container: ") + info.problem;
        return false;
    }
    if (info.expectedLength == 0) {
        error = "the image is empty";
        return false;
    }
    if (info.expectedLength > kMaxLength) {
        error = "the image would be " + GroupDigits(info.expectedLength) +
                " bytes long, more than any pen firmware (at most " + GroupDigits(kMaxLength) + ")";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (info.kind == StoredImageKind::Compressed) {
        szdd::SzddExpandOptions options;
        options.maxDeclaredLength = kMaxLength;
        const szdd::SzddError expanded = szdd::SzddExpand(data, size, bytes, options);
        if (expanded != szdd::SzddError::None) {
            error = std::string("damaged SZDD container: ") + szdd::SzddErrorText(expanded) + " (" +
                    GroupDigits(info.expectedLength) + " bytes declared)";
            return false;
        }
    } else {
        bytes.assign(data, data + size);
    }
    image.m_bytes = std::move(bytes);
    image.m_compressed = info.kind == StoredImageKind::Compressed;
    image.m_storedLength = size;
    return true;
}

}  // namespace image

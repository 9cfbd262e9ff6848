#include "FirmwareImage.h"

#include "ImageFormat.h"
#include "SzddCodec.h"
#include "TextFormat.h"

namespace penflash {

namespace szdd = penlink::szdd;

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
            error = std::string("damaged SZDD container: ") + szdd::SzddErrorText(expanded) +
                    " (" + GroupDigits(info.expectedLength) + " bytes declared)";
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

}  // namespace penflash

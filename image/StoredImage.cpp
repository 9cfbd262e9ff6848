#include "StoredImage.h"

#include "SzddCodec.h"

namespace image {

StoredImageInfo InspectStoredImage(const std::uint8_t* data, std::size_t size) noexcept {
    StoredImageInfo info;
    szdd::SzddHeader header;
    const szdd::SzddError error = szdd::SzddParseHeader(data, size, header);
    if (error == szdd::SzddError::NotSzdd) {
        info.kind = StoredImageKind::Plain;
        info.expectedLength = size;
    } else if (error != szdd::SzddError::None) {
        info.problem = szdd::SzddErrorText(error);
    } else if (header.method != szdd::kMethodLzss) {
        info.problem = szdd::SzddErrorText(szdd::SzddError::UnknownMethod);
    } else {
        info.kind = StoredImageKind::Compressed;
        info.expectedLength = header.declaredLength;
    }
    return info;
}

}  // namespace image

#include "ImageFormat.h"

#include <cwchar>

#include "SzddCodec.h"

namespace szdd = penlink::szdd;

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

std::wstring FormatTempFileName(int draw) {
    // "%ls" rather than "%s": it means a wide string on every C library.
    wchar_t name[16];
    std::swprintf(name, sizeof name / sizeof name[0], L"%ls%04x.%ls", L"res",
                  static_cast<unsigned>(draw) % 65536u, L"tmp");
    return name;
}

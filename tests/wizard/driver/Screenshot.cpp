#include "Screenshot.h"

#include <cstdio>
#include <set>

namespace wizard_test {

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian32(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of raw in stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian32(out, b << 16 | a);
    return out;
}

}  // namespace

Picture CaptureWindow(HWND window) {
    Picture picture;
    RECT area;
    if (!GetWindowRect(window, &area)) return picture;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return picture;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top,
                   SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            picture.width = width;
            picture.height = height;
            const auto* bgra = static_cast<const std::uint8_t*>(bits);
            picture.rgb.reserve(static_cast<std::size_t>(width) * height * 3);
            for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
                picture.rgb.push_back(bgra[i * 4 + 2]);
                picture.rgb.push_back(bgra[i * 4 + 1]);
                picture.rgb.push_back(bgra[i * 4]);
            }
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

std::size_t DistinctColours(const Picture& picture) {
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
        colours.insert(picture.rgb[i] << 16 | picture.rgb[i + 1] << 8 | picture.rgb[i + 2]);
    }
    return colours.size();
}

bool WritePng(const std::wstring& path, const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0) return false;
    std::vector<std::uint8_t> raw;
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);  // filter: none
        const auto begin = picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * row);
        raw.insert(raw.end(), begin, begin + static_cast<std::ptrdiff_t>(row));
    }
    std::vector<std::uint8_t> header;
    PutBigEndian32(header, static_cast<std::uint32_t>(picture.width));
    PutBigEndian32(header, static_cast<std::uint32_t>(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", StoredZlib(raw));
    PutChunk(file, "IEND", {});
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

std::wstring ScreenshotFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder = folder.substr(0, folder.find_last_of(L"\\/"));  // bin
    folder = folder.substr(0, folder.find_last_of(L"\\/")) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace wizard_test

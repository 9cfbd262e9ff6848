#include "PenTranscript.h"

#include <windows.h>

#include <sstream>

namespace wizard_test {

namespace {

// The bytes of an "OUT <hex>" line; empty for any other line.
Bytes OutReport(const std::string& line) {
    Bytes bytes;
    if (line.rfind("OUT ", 0) != 0) return bytes;
    std::istringstream hex(line.substr(4));
    for (unsigned value; hex >> std::hex >> value;)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

int CountLines(const Lines& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

bool ReassembleImage(const Lines& lines, Bytes& image, std::string& why) {
    bool begun = false;
    std::uint32_t length = 0;
    std::uint32_t next = 0;
    for (const std::string& line : lines) {
        const Bytes report = OutReport(line);
        if (report.size() < 7 || report[0] != 0x00 || report[1] != 0x02) continue;
        if (report[2] == 0x03) {
            if (begun) return why = "a second begin report", false;
            begun = true;
            length = LittleEndian32(report, 3);
            image.assign(length, 0);
            continue;
        }
        if (report[2] != 0x02 || !begun) continue;
        const std::uint32_t offset = LittleEndian32(report, 3);
        if (offset != next || offset >= length) {
            return why = "block at offset " + std::to_string(offset) + ", expected " +
                         std::to_string(next),
                   false;
        }
        const std::size_t capacity = report.size() - 7;
        const std::size_t remaining = length - offset;
        const std::size_t carried = remaining >= capacity ? capacity & ~std::size_t{3} : remaining;
        for (std::size_t i = 7 + carried; i < report.size(); ++i) {
            if (report[i] != 0xFF)
                return why = "fill byte not 0xFF at " + std::to_string(offset), false;
        }
        std::copy(report.begin() + 7, report.begin() + 7 + static_cast<std::ptrdiff_t>(carried),
                  image.begin() + offset);
        next = offset + static_cast<std::uint32_t>(carried);
    }
    if (!begun) return why = "no begin report", false;
    if (next != length) {
        return why = std::to_string(next) + " of " + std::to_string(length) + " bytes sent", false;
    }
    return true;
}

Bytes ExpectedImage() {
    const HRSRC found = FindResourceW(nullptr, L"EXPECTED_IMAGE", MAKEINTRESOURCEW(10));
    if (found == nullptr) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return Bytes(data, data + SizeofResource(nullptr, found));
}

}  // namespace wizard_test

#include "FileBytes.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "TextFormat.h"

namespace penflash {

namespace fs = std::filesystem;

bool ReadFileBytes(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    bytes.clear();
    const fs::path file = fs::u8path(path);
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        error = path + " is a folder";
        return false;
    }
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || !in.seekg(0)) {
        error = "cannot read " + path;
        return false;
    }
    if (static_cast<std::uint64_t>(size) > maxSize) {
        error = path + " is " + GroupDigits(static_cast<std::uint64_t>(size)) +
                " bytes long, more than any pen firmware";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (in.gcount() != size) {
        bytes.clear();
        error = "cannot read " + path;
        return false;
    }
    return true;
}

}  // namespace penflash

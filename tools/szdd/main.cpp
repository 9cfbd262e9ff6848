// szdd: compresses, expands and describes SZDD (mode 'A') files.
//
//   szdd compress IN OUT   write IN as an SZDD container to OUT
//   szdd expand IN OUT     expand the SZDD container IN to OUT
//   szdd info IN           print the header of IN
//
// Exit status 0 on success, 1 on failure, 2 on a usage error. IN must be a
// regular file of a length the format can hold; that is checked before it
// is read. How OUT is written (a temporary file renamed into place, or
// directly for a device or a FIFO) is in OutputFile.h.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "OutputFile.h"
#include "SzddCodec.h"

namespace fs = std::filesystem;
namespace szdd = image::szdd;

namespace {

// The longest container that can hold declaredLength bytes: every byte a
// literal (nine bits each) and one flag byte with no items after the last.
constexpr std::uint64_t MaxContainerSize(std::uint64_t declaredLength) {
    return szdd::kHeaderSize + declaredLength + declaredLength / 8 + 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: szdd compress IN OUT\n"
                 "       szdd expand IN OUT\n"
                 "       szdd info IN\n");
    return 2;
}

int Fail(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "szdd: %s: %s\n", path.c_str(), what.c_str());
    return 1;
}

// An input file, checked before anything is read from it.
struct Input {
    std::ifstream stream;
    std::uint64_t size = 0;
};

// Opens path for reading if it is a regular file (links followed) of at most
// maxSize bytes. Returns an empty string, or why it cannot be used.
std::string OpenInput(const std::string& path, std::uint64_t maxSize, Input& input) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        return "cannot read: " + ec.message();
    }
    if (fs::is_directory(status)) {
        return "is a directory";
    }
    if (!fs::is_regular_file(status)) {
        return "not a regular file";
    }
    input.size = fs::file_size(path, ec);
    if (ec) {
        return "cannot read: " + ec.message();
    }
    if (input.size > maxSize) {
        return "too large for the format (" + std::to_string(input.size) + " bytes, at most " +
               std::to_string(maxSize) + ")";
    }
    input.stream.open(fs::path(path), std::ios::binary);
    return input.stream ? std::string() : "cannot read";
}

// Appends count bytes of input to bytes. Returns an empty string or why not.
std::string ReadBytes(Input& input, std::uint64_t count, std::vector<std::uint8_t>& bytes) {
    const std::size_t before = bytes.size();
    if (count > SIZE_MAX - before) {
        return "too large to read into memory here";
    }
    try {
        bytes.resize(before + static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return "not enough memory to read it";
    }
    input.stream.read(reinterpret_cast<char*>(bytes.data() + before),
                      static_cast<std::streamsize>(count));
    return static_cast<std::uint64_t>(input.stream.gcount()) == count ? std::string()
                                                                      : "cannot read";
}

// Writes result to out. Returns the exit status.
int WriteResult(const std::string& out, const std::vector<std::uint8_t>& result) {
    if (const std::string problem = szdd_tool::WriteOutputFile(out, result); !problem.empty()) {
        return Fail(out, problem);
    }
    return 0;
}

int Compress(const std::string& in, const std::string& out) {
    Input input;
    std::vector<std::uint8_t> data;
    std::string problem = OpenInput(in, UINT32_MAX, input);
    if (problem.empty()) {
        problem = ReadBytes(input, input.size, data);
    }
    if (!problem.empty()) {
        return Fail(in, problem);
    }
    std::vector<std::uint8_t> packed;
    if (const szdd::SzddError e = szdd::SzddCompress(data.data(), data.size(), packed);
        e != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(e));
    }
    return WriteResult(out, packed);
}

int Expand(const std::string& in, const std::string& out) {
    Input input;
    std::vector<std::uint8_t> packed;
    std::string problem = OpenInput(in, MaxContainerSize(UINT32_MAX), input);
    // The header first: it bounds how long the whole container can be.
    const std::uint64_t headerSize = std::min<std::uint64_t>(input.size, szdd::kHeaderSize);
    if (problem.empty()) {
        problem = ReadBytes(input, headerSize, packed);
    }
    if (!problem.empty()) {
        return Fail(in, problem);
    }
    // What the codec would find out only after the whole file is read.
    szdd::SzddHeader header;
    szdd::SzddError early = szdd::SzddParseHeader(packed.data(), packed.size(), header);
    if (early == szdd::SzddError::None && header.method != szdd::kMethodLzss) {
        early = szdd::SzddError::UnknownMethod;
    } else if (early == szdd::SzddError::None &&
               input.size > MaxContainerSize(header.declaredLength)) {
        early = szdd::SzddError::LengthExceeded;
    }
    if (early != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(early));
    }
    if (const std::string rest = ReadBytes(input, input.size - headerSize, packed); !rest.empty()) {
        return Fail(in, rest);
    }
    std::vector<std::uint8_t> result;
    if (const szdd::SzddError e = szdd::SzddExpand(packed.data(), packed.size(), result);
        e != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(e));
    }
    return WriteResult(out, result);
}

int Info(const std::string& in) {
    Input input;
    std::vector<std::uint8_t> packed;
    std::string problem = OpenInput(in, UINT64_MAX, input);
    if (problem.empty()) {
        problem = ReadBytes(input, std::min<std::uint64_t>(input.size, szdd::kHeaderSize), packed);
    }
    if (!problem.empty()) {
        return Fail(in, problem);
    }
    szdd::SzddHeader header;
    if (const auto e = szdd::SzddParseHeader(packed.data(), packed.size(), header);
        e != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(e));
    }
    const auto& s = header.signature;
    std::printf("signature:       %c%c%c%c %02X %02X %02X %02X\n", s[0], s[1], s[2], s[3], s[4],
                s[5], s[6], s[7]);
    const bool printable = header.method >= 0x20 && header.method < 0x7F;
    std::printf("method:          '%c' (0x%02X)%s\n", printable ? header.method : '?',
                header.method, header.method == szdd::kMethodLzss ? "" : ", not supported");
    std::printf("name character:  0x%02X\n", header.lastNameChar);
    std::printf("declared length: %lu bytes\n", static_cast<unsigned long>(header.declaredLength));
    std::printf("file size:       %llu bytes\n", static_cast<unsigned long long>(input.size));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    try {
        if (command == "compress" && argc == 4) {
            return Compress(argv[2], argv[3]);
        }
        if (command == "expand" && argc == 4) {
            return Expand(argv[2], argv[3]);
        }
        if (command == "info" && argc == 3) {
            return Info(argv[2]);
        }
    } catch (const std::exception& e) {
        // A path the system rejects, or out of memory while coding.
        return Fail(argv[2], e.what());
    }
    return Usage();
}

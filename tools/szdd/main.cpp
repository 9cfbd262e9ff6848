// szdd: compresses, expands and describes SZDD (mode 'A') files.
//
//   szdd compress IN OUT   write IN as an SZDD container to OUT
//   szdd expand IN OUT     expand the SZDD container IN to OUT
//   szdd info IN           print the header of IN
//
// Exit status 0 on success, 1 on failure, 2 on a usage error. OUT is first
// written under a temporary name beside it and renamed into place only when
// complete, so a failed run leaves no OUT (and keeps an existing one intact).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "SzddCodec.h"

namespace fs = std::filesystem;
namespace szdd = penlink::szdd;

namespace {

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

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream f(fs::path(path), std::ios::binary | std::ios::ate);
    if (!f) {
        return false;
    }
    const std::streamoff size = f.tellg();
    if (size < 0 || !f.seekg(0)) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    f.read(reinterpret_cast<char*>(bytes.data()), size);
    return f.gcount() == size;
}

// Writes bytes to a fresh file beside target, then renames it over target.
// Returns an empty string on success, else what went wrong; the temporary
// file is gone either way.
std::string WriteReplacing(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    const fs::path targetPath = fs::path(target);
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    fs::path temp;
    std::error_code ec;
    for (unsigned attempt = 0;; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%08llx.tmp", (stamp + attempt * 0x9E3779B9ull) & 0xFFFFFFFFull);
        temp = targetPath;
        temp += suffix;
        if (!fs::exists(temp, ec)) {
            break;
        }
        if (attempt == 100) {
            return "cannot find a free temporary name beside it";
        }
    }
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        if (!f) {
            return "cannot create " + temp.string();
        }
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        f.close();
        if (!f) {
            fs::remove(temp, ec);
            return "cannot write " + temp.string() + " (disk full?)";
        }
    }
    fs::rename(temp, targetPath, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(temp, ec);
        return "cannot rename the finished file into place: " + reason;
    }
    return {};
}

// Reads in, runs codec (compress or expand) over it and writes the result
// to out. Returns the exit status.
template <typename Codec>
int Convert(const std::string& in, const std::string& out, Codec codec) {
    std::vector<std::uint8_t> input;
    if (!ReadWholeFile(in, input)) {
        return Fail(in, "cannot read");
    }
    std::vector<std::uint8_t> result;
    if (const szdd::SzddError e = codec(input.data(), input.size(), result); e != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(e));
    }
    if (const std::string problem = WriteReplacing(out, result); !problem.empty()) {
        return Fail(out, problem);
    }
    return 0;
}

int Info(const std::string& in) {
    std::vector<std::uint8_t> packed;
    if (!ReadWholeFile(in, packed)) {
        return Fail(in, "cannot read");
    }
    szdd::SzddHeader header;
    if (const auto e = szdd::SzddParseHeader(packed.data(), packed.size(), header); e != szdd::SzddError::None) {
        return Fail(in, szdd::SzddErrorText(e));
    }
    const auto& s = header.signature;
    std::printf("signature:       %c%c%c%c %02X %02X %02X %02X\n", s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                s[7]);
    const bool printable = header.method >= 0x20 && header.method < 0x7F;
    std::printf("method:          '%c' (0x%02X)%s\n", printable ? header.method : '?', header.method,
                header.method == szdd::kMethodLzss ? "" : ", not supported");
    std::printf("name character:  0x%02X\n", header.lastNameChar);
    std::printf("declared length: %lu bytes\n", static_cast<unsigned long>(header.declaredLength));
    std::printf("file size:       %zu bytes\n", packed.size());
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
            return Convert(argv[2], argv[3], [](const std::uint8_t* data, std::size_t size, auto& out) {
                return szdd::SzddCompress(data, size, out);
            });
        }
        if (command == "expand" && argc == 4) {
            return Convert(argv[2], argv[3], [](const std::uint8_t* data, std::size_t size, auto& out) {
                return szdd::SzddExpand(data, size, out);
            });
        }
        if (command == "info" && argc == 3) {
            return Info(argv[2]);
        }
    } catch (const std::exception& e) {
        // Out of memory reading a huge input, or a path the system rejects.
        return Fail(argv[2], e.what());
    }
    return Usage();
}

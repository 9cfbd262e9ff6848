// Throughput and compressed size of the SZDD codec on program-like data.
//
//   szdd_bench [MEGABYTES]      (default 50)
//
// Prints decode and compress speed in MB/s (10^6 bytes of expanded data per
// second, best of several runs, by the clock and by processor time) and our
// compressed size beside that of the Debian mscompress tool on the same
// input when that tool is installed.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ProgramLikeData.h"
#include "SzddCodec.h"

namespace fs = std::filesystem;
using image::szdd::SzddError;

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
    double wall = 1e30;  // seconds, best run
    double cpu = 1e30;   // processor seconds of this process, best run
};

// On a machine shared with other work the processor time is the steadier
// figure: it leaves out the time the benchmark waited for a core.
template <typename F>
Timing BestOf(int runs, F&& body) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        body();
        best.cpu =
            std::min(best.cpu, static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        best.wall =
            std::min(best.wall, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool ReadFile(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

bool HaveMscompress() {
#ifdef _WIN32
    return false;
#else
    return std::system("mscompress -V >/dev/null 2>&1") == 0;
#endif
}

// Compresses input with mscompress in a scratch directory. Returns false
// when the tool fails; its output is left in compressed.
bool RunMscompress(const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& compressed) {
    const fs::path dir = fs::temp_directory_path() / "szdd_bench_mscompress";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    const fs::path in = dir / "input.bin";
    bool ok = WriteFile(in, input);
    if (ok) {
        const std::string command = "mscompress '" + in.string() + "' >/dev/null 2>&1";
        ok = std::system(command.c_str()) == 0 && ReadFile(dir / "input.bin_", compressed);
    }
    fs::remove_all(dir, ec);
    return ok;
}

int Measure(const char* title, const std::vector<std::uint8_t>& input, bool timed,
            bool haveMscompress) {
    const double mb = static_cast<double>(input.size()) / 1e6;
    std::printf("%s: %zu bytes\n", title, input.size());

    std::vector<std::uint8_t> compressed;
    const Timing compressTime = BestOf(timed ? 3 : 1, [&] {
        if (image::szdd::SzddCompress(input.data(), input.size(), compressed) != SzddError::None) {
            std::fprintf(stderr, "compress failed\n");
            std::exit(1);
        }
    });
    std::vector<std::uint8_t> expanded;
    const Timing decodeTime = BestOf(timed ? 10 : 1, [&] {
        const SzddError e = image::szdd::SzddExpand(compressed.data(), compressed.size(), expanded);
        if (e != SzddError::None) {
            std::fprintf(stderr, "expand failed: %s\n", image::szdd::SzddErrorText(e));
            std::exit(1);
        }
    });
    if (expanded != input) {
        std::fprintf(stderr, "round trip differs from the input\n");
        return 1;
    }
    std::printf("  ours:       %10zu bytes (%.1f%% of input)\n", compressed.size(),
                100.0 * static_cast<double>(compressed.size()) / static_cast<double>(input.size()));
    if (timed) {
        std::printf("  decode:     %8.0f MB/s wall, %6.0f MB/s processor time   (target >= 500)\n",
                    mb / decodeTime.wall, mb / decodeTime.cpu);
        std::printf("  compress:   %8.1f MB/s wall, %6.1f MB/s processor time   (target >= 30)\n",
                    mb / compressTime.wall, mb / compressTime.cpu);
    }

    if (!haveMscompress) {
        std::printf(
            "  mscompress: not installed, size comparison skipped (apt-get install mscompress)\n");
        return 0;
    }
    std::vector<std::uint8_t> theirs;
    const auto start = Clock::now();
    if (!RunMscompress(input, theirs)) {
        std::printf("  mscompress: failed to run, size comparison skipped\n");
        return 0;
    }
    const double theirSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<std::uint8_t> theirsExpanded;
    const SzddError e = image::szdd::SzddExpand(theirs.data(), theirs.size(), theirsExpanded);
    std::printf(
        "  mscompress: %10zu bytes (%.1f%% of input)%s\n", theirs.size(),
        100.0 * static_cast<double>(theirs.size()) / static_cast<double>(input.size()),
        e == SzddError::None && theirsExpanded == input ? "" : "  [our decoder disagrees!]");
    if (timed) {
        std::printf("  mscompress: %8.1f MB/s whole process, file I/O included\n",
                    mb / theirSeconds);
    }
    std::printf("  ours / mscompress size: %.4f  (target <= 1)\n",
                static_cast<double>(compressed.size()) / static_cast<double>(theirs.size()));
    return e == SzddError::None && theirsExpanded == input ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 50.0;
    if (!(megabytes > 0)) {
        std::fprintf(stderr, "usage: szdd_bench [MEGABYTES]\n");
        return 2;
    }
    const bool haveMscompress = HaveMscompress();
    const auto big =
        image::szdd::MakeProgramLikeData(static_cast<std::size_t>(megabytes * 1024 * 1024), 1);
    const auto image = image::szdd::MakeProgramLikeData(53256, 7);
    int rc = Measure("program-like data", big, true, haveMscompress);
    rc |= Measure("firmware-sized image", image, false, haveMscompress);
    return rc;
}

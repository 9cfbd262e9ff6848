// virtualpen: the emulated pen on the kernel's HID stack, through /dev/uhid,
// so that the real library, penflash and the udev rule can be tried without a
// pen. Runs until SIGINT or SIGTERM.
//
//   virtualpen [SCENARIO] [--transcript FILE] [--image-out FILE] [--ready FILE]
//              [--location NAME]
//
// --location NAME makes NAME the device's physical path in both of the pen's
// modes, so that the kernel's HID_PHYS and the library's location are NAME:
// several virtual pens, each at a location of its own, stand for several
// pens plugged into one computer.
//
// Exit codes: 0 the pen saw no protocol violation; 1 /dev/uhid could not be
// used or a file not written; 2 usage error; 3 the pen saw a protocol
// violation (each was printed with a hex dump).
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "UhidPen.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

namespace {

penlink::virtualpen::UhidPen* g_pen = nullptr;

void OnSignal(int) {
    if (g_pen != nullptr) g_pen->Stop();
}

int Usage(const char* why) {
    std::fprintf(stderr,
                 "virtualpen: %s\n"
                 "usage: virtualpen [SCENARIO] [--transcript FILE] [--image-out FILE] "
                 "[--ready FILE] [--location NAME]\n"
                 "scenarios: normal (default), update-mode, never-returns, refused, silent,\n"
                 "  bad-start-ack, bad-image-ack, slow-image-ack, unplug-during-transfer,\n"
                 "  returns-old-version, stays-in-update-mode\n",
                 why);
    return 2;
}

// Writes text to path through a temporary file, so that a reader waiting for
// path never sees it half written. Returns false when it cannot.
bool WriteWhole(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario = "normal";
    std::string transcriptPath;
    std::string imagePath;
    std::string readyPath;
    std::string location = penlink::virtualpen::UhidPen::kDefaultPhys;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = arg == "--transcript"  ? &transcriptPath
                             : arg == "--image-out" ? &imagePath
                             : arg == "--ready"     ? &readyPath
                             : arg == "--location"  ? &location
                                                    : nullptr;
        if (value != nullptr) {
            if (++i == argc) return Usage(("missing value of " + arg).c_str());
            *value = argv[i];
        } else if (arg == "--help" || arg == "-h") {
            Usage("the emulated pen on /dev/uhid");
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            scenario = arg;
        }
    }
    // The kernel keeps the path whole or not at all; a cut one would name
    // another location than asked for.
    if (location.empty() || location.size() > penlink::virtualpen::UhidPen::kMaxPhys) {
        return Usage(("--location takes 1 to " +
                      std::to_string(penlink::virtualpen::UhidPen::kMaxPhys) + " bytes")
                         .c_str());
    }
    // Both need a bus of the library's own: there is no pen on uhid to make.
    if (scenario == "absent" || scenario == "held-open") {
        return Usage(("scenario " + scenario + " exists only in the emulator").c_str());
    }

    penlink::emulator::EmulatedBus bus;
    std::string error;
    const auto pen = penlink::emulator::ConfigureScenario(bus, scenario, error);
    if (pen == nullptr) return Usage(error.c_str());
    if (!transcriptPath.empty() && !bus.Log().WriteTo(transcriptPath)) {
        std::fprintf(stderr, "virtualpen: cannot write the transcript %s: %s\n",
                     transcriptPath.c_str(), std::strerror(errno));
        return 1;
    }
    bus.Log().Event("scenario " + scenario + " on /dev/uhid");

    bool readyWritten = false;
    penlink::virtualpen::UhidPen uhid(
        pen,
        [&](const std::string& line) {
            std::printf("virtualpen: ready %s\n", line.c_str());
            std::fflush(stdout);
            if (!readyPath.empty() && !readyWritten) {
                readyWritten = WriteWhole(readyPath, line + "\n");
                if (!readyWritten)
                    std::fprintf(stderr, "virtualpen: cannot write %s\n", readyPath.c_str());
            }
        },
        location);
    g_pen = &uhid;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (!uhid.Start(error) || !uhid.Run(error)) {
        std::fprintf(stderr, "virtualpen: %s\n", error.c_str());
        return 1;
    }

    const auto image = pen->ReceivedImage();
    const auto violations = pen->Violations();
    std::printf(
        "virtualpen: %u blocks, %zu image bytes (%s), %u closing commands, "
        "%zu protocol violations, %u reports after the pen left, reader held up %u times\n",
        pen->BlocksReceived(), image.size(), pen->ImageComplete() ? "complete" : "incomplete",
        pen->FinishCount(), violations.size(), uhid.Dropped(), uhid.RingFull());
    if (!imagePath.empty() && !WriteWhole(imagePath, std::string(image.begin(), image.end()))) {
        std::fprintf(stderr, "virtualpen: cannot write %s\n", imagePath.c_str());
        return 1;
    }
    return violations.empty() ? 0 : 3;
}

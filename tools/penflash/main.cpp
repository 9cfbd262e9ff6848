// penflash: the command-line firmware updater of the digital pen.
//
//   penflash list     the HID devices that are the pen, with mode and path
//   penflash info     the pen's product code and versions, without a switch
//   penflash update   the whole update, with progress
//
// Every command takes --emulate SCENARIO (the emulated pen in this process),
// --transcript FILE and --json; `penflash --help` lists the options and the
// exit codes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CommandLine.h"
#include "DeviceCommands.h"
#include "EmulatorSession.h"
#include "Interrupt.h"
#include "RunReport.h"
#include "Terminal.h"
#include "UpdateCommand.h"

namespace penflash {
extern const unsigned char kBuiltinImage[];
extern const std::size_t kBuiltinImageSize;
}  // namespace penflash

using namespace penflash;

namespace {

#if defined(PENFLASH_IMAGE_IS_STANDIN)
constexpr bool kCarriesStandinImage = true;
#else
constexpr bool kCarriesStandinImage = false;
#endif

// A build that carries the stand-in image sends it to the emulated pen only.
// Returns true when options may go on; otherwise says why and how to build
// with the real image, and sets report's exit code (the pen heard nothing).
bool MaySendCarriedImage(const Options& options, Terminal& terminal, RunReport& report) {
    if (!kCarriesStandinImage || options.action != Action::Update || !options.emulate.empty() ||
        !options.imagePath.empty()) {
        return true;
    }
    const std::string why =
        "this penflash carries the stand-in firmware image (NOT FOR FLASHING), which only the "
        "emulated pen may receive (--emulate SCENARIO); give a real image with --image FILE, or "
        "build penflash with the real image: cmake -DFLASHWIZARD_FIRMWARE_IMAGE=<path of the "
        "firmware image>";
    terminal.Line("penflash: " + why);
    report.SetExit(ExitCode::BadImage);
    report.SetError({why, "image", std::nullopt, ""});
    return false;
}

int Finish(const RunReport& report, const Options& options) {
    if (options.json) {
        std::fputs(report.ToJson().c_str(), stdout);
        std::fflush(stdout);
    }
    return static_cast<int>(report.Exit());
}

RunReport Dispatch(const Options& options, Terminal& terminal, const Interrupt& interrupt) {
    switch (options.action) {
        case Action::List:
            return ListDevices(terminal);
        case Action::Info:
            return ShowDeviceInfo(terminal);
        case Action::Update:
        default: {
            UpdateCommand update(options, terminal, interrupt, kBuiltinImage, kBuiltinImageSize);
            return update.Run();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = CommandLine::Parse(argc, argv);
    if (options.action == Action::Exit) {
        std::fputs(options.out.c_str(), stdout);
        std::fputs(options.err.c_str(), stderr);
        return static_cast<int>(options.exitCode);
    }

    // With --json, stdout carries the report alone.
    Terminal terminal(options.json ? stderr : stdout);
    const Interrupt interrupt;

    EmulatorSession emulator;
    if (!options.emulate.empty()) {
        std::string transcript = options.transcript;
        const char* fromEnvironment = std::getenv("PENLINK_EMULATOR_LOG");
        if (transcript.empty() && fromEnvironment != nullptr) transcript = fromEnvironment;
        std::string error;
        if (!emulator.Start(options.emulate, transcript, error)) {
            terminal.Line("penflash: " + error);
            RunReport report(options.action == Action::List   ? "list"
                             : options.action == Action::Info ? "info"
                                                              : "update");
            report.SetExit(ExitCode::Failure);
            report.SetError({error, "emulator", std::nullopt, ""});
            return Finish(report, options);
        }
        terminal.Line("Emulated pen, scenario \"" + options.emulate + "\".");
    }

    RunReport refused("update");
    if (!MaySendCarriedImage(options, terminal, refused)) return Finish(refused, options);

    RunReport report = Dispatch(options, terminal, interrupt);
    if (!options.emulate.empty()) report.SetEmulated(options.emulate);
    for (const std::string& violation : emulator.Violations()) {
        std::fprintf(stderr, "penflash: the emulated pen saw a protocol violation: %s\n",
                     violation.c_str());
    }
    return Finish(report, options);
}

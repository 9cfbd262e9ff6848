// penflash: the command-line firmware updater of the digital pen.
//
//   penflash list     the HID devices that are the pen, with mode and path
//   penflash info     the pen's product code and versions, without a switch
//   penflash update   the whole update, with progress
//   penflash doctor   why a pen will not update, and what to do about it
//
// Every command takes --emulate SCENARIO (the emulated pen in this process),
// --transcript FILE and --json; `penflash --help` lists the options and the
// exit codes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DeviceCommands.h"
#include "DoctorCommand.h"
#include "FileBytes.h"
#include "Interrupt.h"
#include "RunReport.h"
#include "Terminal.h"
#include "UpdateCommand.h"
#include "emulator/Emulation.h"

namespace penflash {
extern const unsigned char kBuiltinImage[];
extern const std::size_t kBuiltinImageSize;
}  // namespace penflash

using namespace penflash;

namespace {

// Prints the JSON report when asked for. Returns the exit code: the
// report's, or Failure when the report could not be written whole to stdout
// (closed, full, a reader gone), since then the caller has lost it.
int Finish(const RunReport& report, const Options& options) {
    int code = static_cast<int>(report.Exit());
    if (options.json) {
        const bool written = std::fputs(report.ToJson().c_str(), stdout) >= 0;
        if (!written || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fputs("penflash: the JSON report cannot be written to stdout\n", stderr);
            code = static_cast<int>(ExitCode::Failure);
        }
    }
    if (LibraryCallAbandoned()) {
        // A library call still runs on another thread: unwinding would pull
        // the library's state from under it. The system closes the device.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

const char* CommandName(Action action) {
    return action == Action::List     ? "list"
           : action == Action::Info   ? "info"
           : action == Action::Doctor ? "doctor"
                                      : "update";
}

// Returns a report of the command that ends before it starts, with code and
// message; the message is also shown.
RunReport Refusal(const Options& options, Terminal& terminal, ExitCode code,
                  const std::string& message, const char* call) {
    terminal.Line("penflash: " + message);
    RunReport report(CommandName(options.action));
    report.SetExit(code);
    report.SetError({message, call, std::nullopt, ""});
    return report;
}

#if defined(PENFLASH_IMAGE_IS_STANDIN)
constexpr bool kCarriesStandinImage = true;
#else
constexpr bool kCarriesStandinImage = false;
#endif

// A build that carries the stand-in image sends it to the emulated pen only.
// Returns true when the command may go on.
bool MaySendCarriedImage(const Options& options) {
    return !kCarriesStandinImage || options.action != Action::Update || !options.emulate.empty() ||
           !options.imagePath.empty();
}

// With --json, a usage error is a report on stdout too: its first line as
// the message.
void PrintUsageError(const Options& options) {
    RunReport report(options.command.empty() ? "none" : options.command);
    report.SetExit(ExitCode::Usage);
    std::string message = options.err.substr(0, options.err.find('\n'));
    if (message.empty()) message = "the command line is wrong";
    report.SetError({message, "command-line", std::nullopt, ""});
    std::fputs(report.ToJson().c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // Before any file is opened: a closed stdout must not become the
    // transcript or the pen's device node.
    Terminal::ReserveStandardStreams();
    const Options options = CommandLine::Parse(argc, argv);
    if (options.action == Action::Exit) {
        std::fputs(options.out.c_str(), stdout);
        std::fputs(options.err.c_str(), stderr);
        if (options.json && options.exitCode == ExitCode::Usage) PrintUsageError(options);
        return static_cast<int>(options.exitCode);
    }

    // With --json, stdout carries the report alone.
    Terminal terminal(options.json ? stderr : stdout);
    const Interrupt interrupt;

    penlink::emulator::Emulation emulation;
    std::optional<UpdateCommand> update;
    if (options.action == Action::Update) {
        update.emplace(options, terminal, interrupt, kBuiltinImage, kBuiltinImageSize);
        // Whole, before any other file is opened: nothing penflash writes can
        // change what it sends.
        update->ReadImageFile();
    }

    if (!options.emulate.empty()) {
        std::string transcript = options.transcript;
        const char* fromEnvironment = std::getenv("PENLINK_EMULATOR_LOG");
        if (transcript.empty() && fromEnvironment != nullptr) transcript = fromEnvironment;
        if (!transcript.empty() && !options.imagePath.empty() &&
            IsSameFile(transcript, options.imagePath)) {
            return Finish(Refusal(options, terminal, ExitCode::Usage,
                                  "the transcript " + transcript + " is the image file " +
                                      options.imagePath + "; writing it would destroy the image",
                                  "transcript"),
                          options);
        }
        std::string error = transcript.empty() ? "" : FifoWithoutReader(transcript);
        if (!error.empty()) {
            return Finish(Refusal(options, terminal, ExitCode::Failure, error, "transcript"),
                          options);
        }
        if (!emulation.Emulate(options.emulate, transcript, options.emulatePens,
                               options.emulateChosenOnly ? options.pen : std::string(), error)) {
            return Finish(Refusal(options, terminal, ExitCode::Failure, error, "emulator"),
                          options);
        }
        if (update) update->SetTranscript(transcript);
        terminal.Line(options.emulatePens > 1 && !options.emulateChosenOnly
                          ? std::to_string(options.emulatePens) + " emulated pens, scenario \"" +
                                options.emulate + "\"."
                          : "Emulated pen, scenario \"" + options.emulate + "\".");
    }

    if (!options.record.empty()) {
        if (!options.imagePath.empty() && IsSameFile(options.record, options.imagePath)) {
            return Finish(Refusal(options, terminal, ExitCode::Usage,
                                  "the recording " + options.record + " is the image file " +
                                      options.imagePath + "; writing it would destroy the image",
                                  "record"),
                          options);
        }
        std::string error;
        if (!emulation.Record(options.record, error)) {
            return Finish(Refusal(options, terminal, ExitCode::Failure, error, "record"), options);
        }
        if (update) update->SetRecording(options.record);
    }

    if (!MaySendCarriedImage(options)) {
        return Finish(
            Refusal(options, terminal, ExitCode::BadImage,
                    "this penflash carries the stand-in firmware image (NOT FOR FLASHING), which "
                    "only the emulated pen may receive (--emulate SCENARIO); give a real image "
                    "with --image FILE, or build penflash with the real image: cmake "
                    "-DFLASHWIZARD_FIRMWARE_IMAGE=<path of the firmware image>",
                    "image"),
            options);
    }

    if (options.action == Action::Doctor) {
        return RunDoctor(terminal, options.json, options.emulate);
    }
    RunReport report = options.action == Action::List ? ListDevices(terminal)
                       : options.action == Action::Info
                           ? ShowDeviceInfo(terminal, interrupt, options.pen)
                           : update->Run();
    if (!options.emulate.empty()) report.SetEmulated(options.emulate);
    const std::vector<std::string> violations = emulation.Violations();
    for (const std::string& violation : violations) {
        std::fprintf(stderr, "penflash: the emulated pen saw a protocol violation: %s\n",
                     violation.c_str());
    }
    // A replay that strays from its recording has not shown the recorded run.
    if (options.emulate.rfind("replay:", 0) == 0 && !violations.empty() &&
        report.Exit() == ExitCode::Success) {
        report.SetExit(ExitCode::Failure);
        report.SetError({"the run differs from the recording", "replay", std::nullopt, ""});
    }
    if (const int error = emulation.RecordingError(); error != 0) {
        const std::string why =
            std::string("the recording could not be written completely: ") + std::strerror(error);
        terminal.Line("penflash: " + why + ".");
        if (report.Exit() == ExitCode::Success) {
            report.SetExit(ExitCode::Failure);
            report.SetError({why, "record", error, ""});
        }
    }
    if (const int error = emulation.TranscriptError(); error != 0) {
        const std::string why =
            std::string("the transcript could not be written completely: ") + std::strerror(error);
        terminal.Line("penflash: " + why + ".");
        // The pen's own outcome, when it failed, says more than the file.
        if (report.Exit() == ExitCode::Success) {
            report.SetExit(ExitCode::Failure);
            report.SetError({why, "transcript", error, ""});
        }
    }
    return Finish(report, options);
}

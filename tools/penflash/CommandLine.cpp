#include "CommandLine.h"

#include <sstream>

#include <CLI/CLI.hpp>

#include "PenflashVersion.h"
#include "emulator/EmulatorScenario.h"

namespace penflash {

namespace {

std::string Footer() {
    return "\nExit codes:\n" + ExitCodeTable();
}

// The options that every command takes. Returns --transcript.
CLI::Option* AddCommonOptions(CLI::App& command, Options& options) {
    auto* emulate = command.add_option(
        "--emulate", options.emulate,
        "Run against the emulated pen in this process, in the given scenario");
    emulate->type_name("SCENARIO")->check(
        CLI::IsMember(penlink::emulator::ScenarioNames()));
    CLI::Option* transcript = command.add_option(
        "--transcript", options.transcript,
        "With --emulate: write every report and event of the emulated bus to FILE "
        "(default: $PENLINK_EMULATOR_LOG)");
    transcript->type_name("FILE")->needs(emulate);
    command.add_flag("--json", options.json,
                     "Print one JSON object on stdout at the end; messages go to stderr");
    command.footer(Footer());
    return transcript;
}

}  // namespace

Options CommandLine::Parse(int argc, const char* const* argv) {
    Options options;
    CLI::App app{"penflash " PENFLASH_VERSION
                 ": updates the firmware of the " PENFLASH_PRODUCT_NAME " digital pen over USB.",
                 "penflash"};
    app.set_version_flag("--version", "penflash " PENFLASH_VERSION);
    app.require_subcommand(1);
    app.footer(Footer());

    CLI::App* list = app.add_subcommand("list", "List the HID devices that are the pen, with mode and path");
    CLI::Option* transcripts[3] = {AddCommonOptions(*list, options), nullptr, nullptr};

    CLI::App* info = app.add_subcommand(
        "info", "Show the pen's product code and versions, leaving it in normal mode");
    transcripts[1] = AddCommonOptions(*info, options);

    CLI::App* update = app.add_subcommand(
        "update", "Update the pen's firmware to version " PENFLASH_IMAGE_VERSION_NAME
                  " (the built-in image) or to --image FILE");
    transcripts[2] = AddCommonOptions(*update, options);
    CLI::Option* image = update->add_option(
        "--image", options.imagePath,
        "Firmware image to send instead of the built-in one: an SZDD container "
        "(checked in full before anything is sent) or the raw image");
    image->type_name("FILE");
    update->add_flag("-y,--yes", options.yes, "Do not ask for confirmation");
    update
        ->add_option("--search-timeout", options.searchTimeoutSeconds,
                     "Seconds to wait for the pen to come back in firmware-update mode")
        ->type_name("SECONDS")
        ->check(CLI::Range(1u, 600u))
        ->capture_default_str();

    std::ostringstream out;
    std::ostringstream err;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        options.action = Action::Exit;
        options.exitCode = code == 0 ? ExitCode::Success : ExitCode::Usage;
        options.out = out.str();
        options.err = err.str();
        return options;
    }
    // An empty file name (an unset shell variable, say) is a mistake, not a
    // request for the default.
    std::string empty;
    if (image->count() > 0 && options.imagePath.empty()) empty = "--image";
    for (const CLI::Option* transcript : transcripts) {
        if (transcript->count() > 0 && options.transcript.empty()) empty = "--transcript";
    }
    if (!empty.empty()) {
        options.action = Action::Exit;
        options.exitCode = ExitCode::Usage;
        options.err = empty + ": the file name is empty\nRun with --help for more information.\n";
        return options;
    }
    if (list->parsed()) options.action = Action::List;
    if (info->parsed()) options.action = Action::Info;
    if (update->parsed()) options.action = Action::Update;
    return options;
}

}  // namespace penflash

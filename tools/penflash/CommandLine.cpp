#include "CommandLine.h"

#include <sstream>

#include <CLI/CLI.hpp>

#include "PenflashVersion.h"
#include "emulator/Emulation.h"

namespace penflash {

namespace {

std::string Footer() { return "\nExit codes:\n" + ExitCodeTable(); }

// "replay:FILE": the pen's side of a recorded run played back.
CLI::Validator ReplayScenario() {
    return CLI::Validator(
        [](std::string& value) {
            return value.rfind("replay:", 0) == 0 && value.size() > 7
                       ? std::string()
                       : std::string("not replay:FILE");
        },
        "replay:FILE");
}

// The options of every command that the caller looks at again.
struct CommonOptions {
    CLI::Option* emulate = nullptr;
    CLI::Option* transcript = nullptr;
    CLI::Option* record = nullptr;
};

// Adds the options that every command takes. Returns those that the caller
// checks after parsing.
CommonOptions AddCommonOptions(CLI::App& command, Options& options) {
    auto* emulate =
        command.add_option("--emulate", options.emulate,
                           "Run against the emulated pen in this process, in the given scenario");
    emulate->type_name("SCENARIO")
        ->check(CLI::IsMember(penlink::emulator::Emulation::ScenarioNames()) | ReplayScenario());
    CommonOptions added;
    added.emulate = emulate;
    added.transcript = command.add_option(
        "--transcript", options.transcript,
        "With --emulate: write every report and event of the emulated bus to FILE "
        "(default: $PENLINK_EMULATOR_LOG)");
    added.transcript->type_name("FILE")->needs(emulate);
    added.record = command.add_option(
        "--record", options.record,
        "Write every report to and from the pen and every event of the run, with times, to "
        "FILE, which `--emulate replay:FILE` plays back");
    added.record->type_name("FILE");
    command
        .add_option("--emulate-pens", options.emulatePens,
                    "With --emulate: the number of emulated pens, at locations emu-port-1 to "
                    "emu-port-N")
        ->type_name("N")
        ->check(CLI::Range(1u, 64u))
        ->needs(emulate)
        ->capture_default_str();
    command.add_flag("--json", options.json,
                     "Print one JSON object on stdout at the end; messages go to stderr");
    command.footer(Footer());
    return added;
}

// Adds --pen to a command that works on one pen.
CLI::Option* AddPenOption(CLI::App& command, Options& options) {
    CLI::Option* pen =
        command.add_option("--pen", options.pen,
                           "Work on the pen at LOCATION (as `penflash list` shows it), also one in "
                           "firmware-update mode; needed when several pens are connected");
    pen->type_name("LOCATION");
    return pen;
}

}  // namespace

Options CommandLine::Parse(int argc, const char* const* argv) {
    Options options;
    CLI::App app{"penflash " PENFLASH_VERSION ": updates the firmware of the " PENFLASH_PRODUCT_NAME
                 " digital pen over USB.",
                 "penflash"};
    app.set_version_flag("--version", "penflash " PENFLASH_VERSION);
    app.require_subcommand(1);
    app.footer(Footer());

    CLI::App* list = app.add_subcommand(
        "list", "List the HID devices that are the pen, with mode, path and location");
    CommonOptions common[4] = {AddCommonOptions(*list, options)};

    CLI::App* info = app.add_subcommand(
        "info", "Show the pen's product code and versions, leaving it in normal mode");
    common[1] = AddCommonOptions(*info, options);
    CLI::Option* pens[2] = {AddPenOption(*info, options), nullptr};

    CLI::App* update = app.add_subcommand(
        "update", "Update the pen's firmware to version " PENFLASH_IMAGE_VERSION_NAME
                  " (the built-in image) or to --image FILE");
    common[2] = AddCommonOptions(*update, options);
    pens[1] = AddPenOption(*update, options);
    CLI::Option* image =
        update->add_option("--image", options.imagePath,
                           "Firmware image to send instead of the built-in one: an SZDD container "
                           "(checked in full before anything is sent) or the raw image");
    image->type_name("FILE");
    update->add_flag("-y,--yes", options.yes, "Do not ask for confirmation");
    update
        ->add_option("--verify-timeout", options.verifyTimeoutSeconds,
                     "Seconds to wait after the update for the pen to come back in normal "
                     "mode, where its firmware version is checked")
        ->type_name("SECONDS")
        ->check(CLI::Range(1u, 600u))
        ->capture_default_str();
    update
        ->add_option("--expect-version", options.expectVersion,
                     "With --image: the firmware version the pen runs after the update, "
                     "checked when it comes back")
        ->type_name("X.YY")
        ->check(CLI::Validator(
            [](std::string& v) {
                const auto dot = v.find('.');
                const bool ok =
                    dot != std::string::npos && dot > 0 && dot <= 3 && v.size() - dot == 3 &&
                    v.find_first_not_of("0123456789.") == std::string::npos &&
                    v.find('.', dot + 1) == std::string::npos && std::stoi(v.substr(0, dot)) <= 255;
                return ok ? std::string() : std::string("not a version X.YY: " + v);
            },
            "X.YY"))
        ->needs(image);
    update
        ->add_option("--search-timeout", options.searchTimeoutSeconds,
                     "Seconds to wait for the pen to come back in firmware-update mode")
        ->type_name("SECONDS")
        ->check(CLI::Range(1u, 600u))
        ->capture_default_str();
    update
        ->add_flag("--all", options.all,
                   "Update every connected pen, all at once, one penflash process per pen; "
                   "asks once")
        ->excludes(pens[1]);
    // Between update --all and its children only.
    update->add_flag("--emulate-chosen-only", options.emulateChosenOnly)
        ->group("")
        ->needs(pens[1])
        ->needs(common[2].emulate);

    CLI::App* doctor = app.add_subcommand(
        "doctor",
        "Check why a pen will not update: the HID driver, the pens and their mode, "
        "whether you may open them (udev rule, group, access list) and whether "
        "another updater holds one; exits 0 when a pen can be updated now");
    common[3] = AddCommonOptions(*doctor, options);

    // A usage error is reported as JSON too when it was asked for.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (arg == "--json") options.json = true;
        if (options.command.empty() &&
            (arg == "list" || arg == "info" || arg == "update" || arg == "doctor")) {
            options.command = arg;
        }
    }

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
    if (image->count() > 0 && options.imagePath.empty()) empty = "--image: the file name";
    for (const CommonOptions& c : common) {
        if (c.transcript->count() > 0 && options.transcript.empty()) {
            empty = "--transcript: the file name";
        }
        if (c.record->count() > 0 && options.record.empty()) empty = "--record: the file name";
    }
    for (const CLI::Option* pen : pens) {
        if (pen->count() > 0 && options.pen.empty()) empty = "--pen: the location";
    }
    if (!empty.empty()) {
        options.action = Action::Exit;
        options.exitCode = ExitCode::Usage;
        options.err = empty + " is empty\nRun with --help for more information.\n";
        return options;
    }
    if (list->parsed()) options.action = Action::List;
    if (info->parsed()) options.action = Action::Info;
    if (update->parsed()) options.action = Action::Update;
    if (doctor->parsed()) options.action = Action::Doctor;
    return options;
}

}  // namespace penflash

// penflash's command line: what the arguments ask for. Pure code: no I/O
// (help, version and error texts are returned, not printed).
#ifndef PENFLASH_COMMANDLINE_H
#define PENFLASH_COMMANDLINE_H

#include <string>

#include "ExitCode.h"

namespace penflash {

enum class Action {
    List,    // the HID interfaces that match the pen's IDs
    Info,    // the pen's identity and versions, without switching it
    Update,  // the whole update
    Doctor,  // why a pen will not update: driver, pens, access, udev rule, lock
    Exit,    // --help, --version or a usage error: print the texts and exit
};

struct Options {
    Action action = Action::Exit;

    // Every command.
    std::string emulate;       // scenario of the emulated pen; empty: the real pen
    std::string transcript;    // file for the emulator's transcript; empty: none
    std::string record;        // file to record the run's reports and events in; empty: none
    bool json = false;         // one JSON object on stdout at the end (a usage
                               // error's too, when --json was among the arguments)
    std::string command;       // the command's name as given; empty: none
    unsigned emulatePens = 1;  // with emulate: pens on the bus, at emu-port-1..N
    // With emulate and pen: of the emulated pens, only the chosen one is on
    // the bus. Given by update --all to each of its children, which works
    // on one pen and so emulates that one; not shown in the help.
    bool emulateChosenOnly = false;

    // info and update.
    std::string pen;  // location of the pen to work on; empty: the only pen

    // update only.
    std::string imagePath;  // SZDD container or raw image; empty: the built-in one
    bool yes = false;       // no confirmation
    unsigned searchTimeoutSeconds = 60;
    bool all = false;                    // every pen, one penflash process each
    unsigned verifyTimeoutSeconds = 30;  // the check after the update: how long to wait
    std::string expectVersion;  // with imagePath: "X.YY" the pen runs after it; empty: none

    // Action::Exit only: what to print on stdout and stderr, and the code.
    std::string out;
    std::string err;
    ExitCode exitCode = ExitCode::Success;
};

class CommandLine {
public:
    // Reads argv[1, argc). Returns the action with its options; for --help
    // and --version Action::Exit with the text in out and ExitCode::Success;
    // for a usage error (no or an unknown command, an unknown option or
    // scenario, a missing value, an empty file name or location, an
    // --expect-version that is not MAJOR.MINOR,
    // --transcript or --emulate-pens without --emulate, --pen with --all)
    // Action::Exit with the message in err and ExitCode::Usage, json set
    // when --json was among the arguments and command when one was named.
    // argv[0] is not read. Any thread.
    static Options Parse(int argc, const char* const* argv);
};

}  // namespace penflash

#endif  // PENFLASH_COMMANDLINE_H

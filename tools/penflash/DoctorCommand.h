// penflash doctor: why a pen will not update, checked step by step.
#ifndef PENFLASH_DOCTORCOMMAND_H
#define PENFLASH_DOCTORCOMMAND_H

#include <string>

#include "Terminal.h"

namespace penflash {

// Gathers the facts (the HID driver, the pens the library lists with their
// mode and lock, and where nodes have POSIX permissions the user's access
// to each node and the udev rules), shows one line per check with its fix
// under it, and with json prints one JSON object on stdout: command,
// result, exitCode, emulated (the scenario, when emulated is not empty) and
// checks (name, status, message, fix). Returns the exit code: 0 when a pen
// can be updated now, else as Diagnosis says; 1 when json was asked for and
// stdout could not take it. Main thread.
int RunDoctor(Terminal& terminal, bool json, const std::string& emulated);

}  // namespace penflash

#endif  // PENFLASH_DOCTORCOMMAND_H

// Which pen info and update work on when several may be connected: the HID
// interfaces that match the pen's IDs grouped into pens by location, and the
// choice that --pen makes among them. Pure code: no I/O.
#ifndef PENFLASH_PENCHOICE_H
#define PENFLASH_PENCHOICE_H

#include <string>
#include <vector>

#include "ExitCode.h"
#include "RunReport.h"

namespace penflash {

// One pen: the interfaces at one location.
struct Pen {
    std::string location;  // empty where the system tells none
    std::string mode;      // "normal" or "update": the mode of its first interface
    std::string path;      // the path of its first interface
    bool held = false;     // another updater holds it (any of its interfaces says so)
};

// Returns the pens among entries, in the order of their first interface:
// the interfaces with one location are one pen; an interface without a
// location is a pen of its own, since nothing tells whose it is.
// Any thread.
std::vector<Pen> GroupPens(const std::vector<DeviceEntry>& entries);

// What info and update go on with.
struct PenChoice {
    ExitCode exit = ExitCode::Success;  // Success: go on with location
    std::string location;               // the pen to select; empty: make no choice
    std::string message;                // why not: a few words, no final full stop
    std::string details;                // what the user can do: whole lines, the last one
                                        // without a line break (may be empty)
};

// Chooses among pens the one named wanted (--pen; empty when not given).
// offerAll: the command can also take every pen (update --all), which the
// message of SeveralPens then suggests. Returns:
//   Success with the pen's location for a wanted pen that is there, and
//   for the only pen when none is wanted (empty when it tells no location;
//   also empty when there is no pen at all, so that the identification
//   says "no pen" as it always did);
//   NoPen when wanted names no pen's location;
//   SeveralPens when nothing is wanted and there are two pens or more;
//   PenHeld when the chosen pen (or the only one) is held by another
//   updater, in either of its modes.
// Any thread.
PenChoice ChoosePen(const std::vector<Pen>& pens, const std::string& wanted, bool offerAll);

// Returns one indented line about pen for lists: its location ("location
// unknown" and its path where it tells none), its mode, and whether another
// updater holds it. Any thread.
std::string PenLine(const Pen& pen);

}  // namespace penflash

#endif  // PENFLASH_PENCHOICE_H

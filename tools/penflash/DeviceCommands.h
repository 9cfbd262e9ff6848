// The two commands that leave the pen as it is: list and info.
#ifndef PENFLASH_DEVICECOMMANDS_H
#define PENFLASH_DEVICECOMMANDS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Interrupt.h"
#include "Penlink.h"
#include "PenChoice.h"
#include "RunReport.h"
#include "Terminal.h"

namespace penflash {

// Lists the HID interfaces that match the pen's IDs (FWUEnumDevices), one
// line each with mode, IDs, report lengths, path and location ("location
// unknown" where the system tells none), and whether another updater holds
// the pen. Returns a report with
// ExitCode::Success when at least one matched, NoPen when none did or the
// system's list could not be made. Main thread.
RunReport ListDevices(Terminal& terminal);

// Identifies the pen in normal mode without switching it
// (FWUIdentifyDevice) and shows its product code and versions; a pen in
// firmware-update mode is said to be there, with its loader version
// (FWUIdentifyUpdateModeDevice). wantedPen is the location of --pen (empty:
// the only pen; see ChoosePenToWorkOn). Returns a report with Success for a
// pen this updater updates and for one in firmware-update mode; PenRefused
// with the identity for one it does not update, or that cannot be opened or
// does not answer; NoPen when there is no pen (or none at wantedPen);
// SeveralPens or PenHeld as ChoosePenToWorkOn says, before the pen hears
// anything; Cancelled when Ctrl-C came during the identification (see
// IdentifyUnlessInterrupted). Main thread.
RunReport ShowDeviceInfo(Terminal& terminal, const Interrupt& interrupt,
                         const std::string& wantedPen);

// Lists the pens (FWUEnumDevices), chooses the one to work on (ChoosePen,
// wantedPen being --pen's location, empty when not given) and hands its
// location to FWUSelectDevice, so that the identification, the switch and
// the search consider that pen only. offerAll: the command takes --all too.
// Shows nothing. Returns true to go on, with location set to the chosen
// pen's (empty when no choice was made: no pen at all, one pen that tells
// no location, or a system list that cannot be read while no pen is
// wanted, where the command goes on as it did before pens had locations).
// Returns false with report's exit code and error set and details filled
// (lines for the user after the error, may be empty): NoPen for a wantedPen
// that no pen is at (or when the list cannot be read), SeveralPens (the
// interfaces are listed in the report too, as by `list`), PenHeld, Failure
// when FWUSelectDevice refuses. Nothing is written to any pen. Main
// thread, before the first identification.
bool ChoosePenToWorkOn(const std::string& wantedPen, bool offerAll, RunReport& report,
                       std::string& location, std::string& details);

// Runs FWUIdentifyDevice on a thread of its own while the calling thread
// watches interrupt, so that Ctrl-C need not wait for a silent pen. Returns
// the call's result with info filled, or nullopt when Ctrl-C came first: the
// call is then left running (nothing cuts the library's wait short), and the
// process must end through std::_Exit once its output is written, making no
// further library call (LibraryCallAbandoned says so). Main thread.
std::optional<ORVANE_ERROR> IdentifyUnlessInterrupted(FWUDEVICEINFO& info,
                                                      const Interrupt& interrupt);

// Returns whether IdentifyUnlessInterrupted left a library call running.
// Any thread.
bool LibraryCallAbandoned();

// Returns why a pen with productCode is refused, in a few words without a
// final full stop. Any thread.
std::string RefusedPenText(std::uint32_t productCode);

// Returns whether a pen in firmware-update mode is among the HID interfaces
// (FWUEnumDevices), at location when it is not empty. Main thread.
bool PenInUpdateMode(const std::string& location);

// After a library call refused the pen (ORVANE_ERROR_MODE_CHANGE_FAILED):
// when the pen at location (the only pen, with none) is held by another
// updater now, which reached it after the list was read, or when it is no
// longer on the bus (that updater switched it, and it is restarting),
// returns the choice that says so (PenHeld, with its message and details);
// Success otherwise.
// Caller thread.
PenChoice HeldSinceListed(const std::string& location);

// Returns the HID interfaces that match the pen's IDs (FWUEnumDevices), in
// the system's order, in entries; false when the system's list cannot be
// made. Any thread.
bool ListPenInterfaces(std::vector<DeviceEntry>& entries);

}  // namespace penflash

#endif  // PENFLASH_DEVICECOMMANDS_H

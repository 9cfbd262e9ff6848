// The two commands that leave the pen as it is: list and info.
#ifndef PENFLASH_DEVICECOMMANDS_H
#define PENFLASH_DEVICECOMMANDS_H

#include <cstdint>
#include <string>

#include "RunReport.h"
#include "Terminal.h"

namespace penflash {

// Lists the HID interfaces that match the pen's IDs (FWUEnumDevices), one
// line each with mode, IDs, report lengths and path. Returns a report with
// ExitCode::Success when at least one matched, NoPen when none did or the
// system's list could not be made. Main thread.
RunReport ListDevices(Terminal& terminal);

// Identifies the pen in normal mode without switching it
// (FWUIdentifyDevice) and shows its product code and versions. Returns a
// report with Success for a pen this updater updates; PenRefused with the
// identity for one it does not update, or that cannot be opened or does not
// answer; NoPen when no pen is in normal mode (a pen already in
// firmware-update mode is mentioned). Main thread.
RunReport ShowDeviceInfo(Terminal& terminal);

// Returns why a pen with productCode is refused, in a few words without a
// final full stop. Any thread.
std::string RefusedPenText(std::uint32_t productCode);

// Returns whether a pen in firmware-update mode is among the HID interfaces
// (FWUEnumDevices). Main thread.
bool PenInUpdateMode();

}  // namespace penflash

#endif  // PENFLASH_DEVICECOMMANDS_H

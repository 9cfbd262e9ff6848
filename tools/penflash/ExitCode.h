// The exit codes of penflash, and which of them each library outcome means.
// Pure code: no I/O.
#ifndef PENFLASH_EXITCODE_H
#define PENFLASH_EXITCODE_H

#include <cstdint>
#include <string>

#include "Penlink.h"

namespace penflash {

enum class ExitCode : int {
    Success = 0,
    Failure = 1,         // anything else: the transcript or the JSON report cannot
                         // be written whole, no notification target, an internal
                         // fault
    Usage = 2,           // the command line is wrong (also an empty file name or a
                         // transcript that is the image file)
    NoPen = 3,           // no pen is connected
    PenRefused = 4,      // a pen is there but is not one this updater updates,
                         // cannot be opened, does not answer or refused to switch
    PenNotBack = 5,      // the pen did not come back in firmware-update mode
    TransferFailed = 6,  // the start of the update or the transfer failed
    BadImage = 7,        // the image cannot be read, is not a regular file, is empty
                         // or is damaged; nothing was sent
    Cancelled = 8,       // the user said no, or pressed Ctrl-C before the transfer, or
                         // during it or the check after it (the check is cut short)
    SeveralPens = 9,     // info or update found several pens and was not told which;
                         // nothing was sent to any of them
    PenHeld = 10,        // another updater holds the chosen pen; nothing was sent
    // The image was sent and acknowledged, but the check after the update
    // found the pen:
    NotApplied = 11,          // back in normal mode without the expected firmware
    StayedInUpdateMode = 12,  // still (or again) in firmware-update mode
    DidNotReturn = 13,        // not back in normal mode within the limit
};

// Returns the code's short name for JSON ("success", "usage", "no-pen",
// "pen-refused", "pen-not-back", "transfer-failed", "bad-image",
// "cancelled", "several-pens", "pen-held", "not-applied",
// "stayed-in-update-mode", "did-not-return", "failure"); "failure" for a value
// outside the enum too.
// Any thread.
const char* ExitCodeName(ExitCode code) noexcept;

// Returns the exit code of a penflash process as the enum names it: value
// itself for a value of the enum, Failure for any other (a crash, a
// signal). Any thread.
ExitCode ExitCodeOf(int value) noexcept;

// Returns the table of exit codes that --help and the README show, one
// "   N  meaning" line each (the numbers right-aligned), in numeric order.
// Any thread.
std::string ExitCodeTable();

// Returns what FWUIdentifyDevice's result means: Success for
// ORVANE_ERROR_NONE, NoPen for ORVANE_ERROR_DEVICE_NOT_FOUND, PenRefused for
// every other result (not accepted, cannot be opened, no answer). Any thread.
ExitCode ExitForIdentify(ORVANE_ERROR result) noexcept;

// Returns what FWUOpenDevice's result means: Success for ORVANE_ERROR_NONE,
// Failure for ORVANE_ERROR_NOT_INITIALIZED (a fault of this program),
// PenRefused for every other result. Any thread.
ExitCode ExitForOpen(ORVANE_ERROR result) noexcept;

// Returns what a search result means: Success for SEARCH_FOUND, PenNotBack
// for SEARCH_NOT_FOUND with NOT_FOUND_AFTER_SWITCH, NoPen for
// SEARCH_NOT_FOUND with NOT_FOUND_NO_DEVICE, Failure for anything else.
// Any thread.
ExitCode ExitForSearch(std::uintptr_t wParam, std::intptr_t lParam) noexcept;

}  // namespace penflash

#endif  // PENFLASH_EXITCODE_H

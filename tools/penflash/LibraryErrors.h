// Names and English descriptions of the library's results, for messages and
// JSON. Pure code: no I/O.
#ifndef PENFLASH_LIBRARYERRORS_H
#define PENFLASH_LIBRARYERRORS_H

#include "Penlink.h"

namespace penflash {

// Returns the enumerator's name ("ORVANE_ERROR_BAD_ACK"), or
// "ORVANE_ERROR_UNKNOWN" for a value outside the enum. Never null.
// Any thread.
const char* LibraryErrorName(ORVANE_ERROR result) noexcept;

// Returns what the result means to the user, in a few words without a final
// full stop ("the pen did not acknowledge as expected"), or "unknown error"
// for a value outside the enum. Never null. Any thread.
const char* LibraryErrorText(ORVANE_ERROR result) noexcept;

}  // namespace penflash

#endif  // PENFLASH_LIBRARYERRORS_H

// The emulated build's hold on FWUOpenDevice, for tests that need an earlier
// search to end while a program opens again (defined in EmulatedDefault.cpp).
#ifndef PENLINK_OPENINGDELAY_H
#define PENLINK_OPENINGDELAY_H

namespace penlink {

// At the start of FWUOpenDevice: when PENLINK_EMULATOR_OPEN_DELAY_MS holds a
// number, waits that many milliseconds (at most ten seconds) before the call
// does anything, so that a test can let an earlier search end in between.
// Returns at once otherwise. Caller thread.
void HoldOpeningForTests();

}  // namespace penlink

#endif  // PENLINK_OPENINGDELAY_H

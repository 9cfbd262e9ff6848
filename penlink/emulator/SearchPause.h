// The emulator's one setting of the library's time limits, for tests of the
// programs that run on the emulated pen: PENLINK_EMULATOR_SEARCH_PAUSE_MS
// shortens the pause between the tries of the search for the pen in
// firmware-update mode, so that the long search after a switch (all its
// tries) ends in a fraction of its 50 s. Read by the emulated library and by
// penflash's --emulate.
#ifndef PENLINK_EMULATOR_SEARCHPAUSE_H
#define PENLINK_EMULATOR_SEARCHPAUSE_H

namespace penlink::emulator {

// When PENLINK_EMULATOR_SEARCH_PAUSE_MS holds a number of milliseconds below
// the product's pause, puts the product's time limits in force with that
// pause instead and returns true; returns false (and changes nothing)
// otherwise. Before the library's first call, or while no call runs.
bool ApplySearchPauseFromEnvironment();

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_SEARCHPAUSE_H

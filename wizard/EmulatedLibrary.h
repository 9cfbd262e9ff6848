// Which build of Penlink.dll the wizard runs on: the real library, or the
// emulated one that the tests and demos put beside the program.
#ifndef FLASHWIZARD_EMULATEDLIBRARY_H
#define FLASHWIZARD_EMULATEDLIBRARY_H

// Returns true when the loaded Penlink.dll is the emulated build (it exports
// FWUIsEmulated, which the real library does not), false for the real one or
// when the module cannot be found. Any thread.
bool IsEmulatedLibrary();

#endif  // FLASHWIZARD_EMULATEDLIBRARY_H

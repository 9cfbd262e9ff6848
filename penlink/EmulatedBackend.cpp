// The backend of the emulated build of the library: an emulated bus set up
// from the environment. PENLINK_EMULATOR names the scenario ("normal" when
// unset); PENLINK_EMULATOR_LOG, when set, names a file for the transcript.
// This is the only build of the library that reads the environment.
#include <cstdio>
#include <cstdlib>

#include "HidBackend.h"
#include "Penlink.h"
#include "emulator/EmulatorScenario.h"

namespace penlink {

namespace {

emulator::EmulatedBus& MakeBus() {
    static emulator::EmulatedBus bus;
    const char* scenario = std::getenv("PENLINK_EMULATOR");
    const char* log = std::getenv("PENLINK_EMULATOR_LOG");
    if (log != nullptr && *log != '\0' && !bus.Log().WriteTo(log)) {
        std::fprintf(stderr, "Penlink (emulated): cannot write the transcript to %s\n", log);
    }
    std::string error;
    const std::string name = scenario != nullptr && *scenario != '\0' ? scenario : "normal";
    emulator::ConfigureScenario(bus, name, error);
    if (!error.empty()) {
        std::fprintf(stderr, "Penlink (emulated): %s; the bus is empty\n", error.c_str());
        bus.Log().Event(error);
    } else {
        bus.Log().Event("scenario " + name);
    }
    return bus;
}

}  // namespace

HidBackend& DefaultBackend() {
    static emulator::EmulatedBus& bus = MakeBus();
    return bus;
}

}  // namespace penlink

// Present in this build only, so that a program can tell at run time that it
// talks to the emulated pen (GetProcAddress or dlsym on the loaded library)
// without the real library having to carry anything for it. Returns 1. Any
// thread.
extern "C" PENLINK_API int PENLINK_CALL FWUIsEmulated() { return 1; }

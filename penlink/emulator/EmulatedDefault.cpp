// The backend and the services of the emulated build of the library: an
// emulated bus set up from the environment. PENLINK_EMULATOR names the
// scenario ("normal" when unset); PENLINK_EMULATOR_LOG, when set, names a
// file for the transcript; PENLINK_EMULATOR_OPEN_DELAY_MS holds each
// FWUOpenDevice back (OpeningDelay.h); PENLINK_EMULATOR_SEARCH_PAUSE_MS
// shortens the search's pauses (SearchPause.h). This is the only build of
// the library that reads the environment.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "EmulatorScenario.h"
#include "OpeningDelay.h"
#include "SearchPause.h"

namespace penlink {

namespace {

// Returns the process's one bus, set up on first use and never destroyed (a
// call still running at process exit may use it; the transcript is written
// line by line). Any thread.
emulator::EmulatedBus& Bus() {
    static emulator::EmulatedBus& bus = []() -> emulator::EmulatedBus& {
        auto& made = *new emulator::EmulatedBus;
        const char* scenario = std::getenv("PENLINK_EMULATOR");
        const char* log = std::getenv("PENLINK_EMULATOR_LOG");
        emulator::ApplySearchPauseFromEnvironment();
        if (log != nullptr && *log != '\0' && !made.Log().WriteTo(log)) {
            std::fprintf(stderr, "Penlink (emulated): cannot write the transcript to %s\n", log);
        }
        std::string error;
        const std::string name = scenario != nullptr && *scenario != '\0' ? scenario : "normal";
        emulator::ConfigureScenario(made, name, error);
        if (!error.empty()) {
            std::fprintf(stderr, "Penlink (emulated): %s; the bus is empty\n", error.c_str());
            made.Log().Event(error);
        } else {
            made.Log().Event("scenario " + name);
        }
        return made;
    }();
    return bus;
}

}  // namespace

void HoldOpeningForTests() {
    const char* value = std::getenv("PENLINK_EMULATOR_OPEN_DELAY_MS");
    if (value == nullptr || *value == '\0') return;
    const unsigned long ms = std::strtoul(value, nullptr, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms < 10000 ? ms : 10000));
}

// Return the bus. Any thread.
HidBackend& DefaultBackend() { return Bus(); }
SystemServices& DefaultServices() { return Bus(); }

}  // namespace penlink

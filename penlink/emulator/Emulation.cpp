#include "Emulation.h"

#include <cerrno>
#include <cstring>

#include "EmulatedBus.h"
#include "EmulatorScenario.h"
#include "RecordingBus.h"
#include "ReplayPen.h"
#include "SearchPause.h"
#include "core/ExportGate.h"
#include "core/HidBackend.h"
#include "core/Library.h"
#include "core/SystemServices.h"
#include "core/Timing.h"

namespace penlink::emulator {

namespace {
constexpr const char* kReplayPrefix = "replay:";
}  // namespace

Emulation::Emulation() = default;

Emulation::~Emulation() {
    if (!m_inPlace) return;
    // What is in place must outlive everything the library holds of it: the
    // library lets go of it as FWUInit does, inside the same gate.
    {
        const ExportGate gate("FWUInit");
        if (gate.Admission() == Result::Ok) (void)Init();  // Init always returns Ok
    }
    UseBackend(nullptr);
    UseServices(nullptr);
    SetTimingForTesting(nullptr);
}

const std::vector<std::string>& Emulation::ScenarioNames() { return emulator::ScenarioNames(); }

bool Emulation::Emulate(const std::string& scenario, const std::string& transcriptPath,
                        unsigned pens, const std::string& onlyAt, std::string& error) {
    auto bus = std::make_unique<EmulatedBus>();
    if (!transcriptPath.empty() && !bus->Log().WriteTo(transcriptPath)) {
        error = "cannot write the transcript to " + transcriptPath;
        return false;
    }
    std::vector<std::string> locations;
    for (unsigned n = 1; n <= pens; ++n) {
        const std::string location = "emu-port-" + std::to_string(n);
        if (onlyAt.empty() || location == onlyAt) locations.push_back(location);
    }
    // The pen's side of a recorded run, alone on the bus.
    if (scenario.rfind(kReplayPrefix, 0) == 0) {
        const std::string file = scenario.substr(std::strlen(kReplayPrefix));
        m_replay = ReplayPen::FromFile(file, error);
        if (!m_replay) return false;
        bus->Add(m_replay);
        bus->Log().Event("replay of " + file);
        m_bus = std::move(bus);
        UseBackend(m_bus.get());
        UseServices(m_bus.get());
        m_inPlace = true;
        return true;
    }
    // An unknown name is refused before anything is set up.
    {
        EmulatedBus check;
        ConfigureScenario(check, scenario, error);
        if (!error.empty()) return false;
    }
    // The mouse and the keyboard, then the scenario's pen at each location
    // emulated here.
    ConfigureScenario(*bus, "absent", error);
    for (const std::string& location : locations) AddScenarioPen(*bus, scenario, location);
    std::string event = "scenario " + scenario;
    if (pens > 1) {
        event +=
            ", " + std::to_string(pens) + " pens at emu-port-1 to emu-port-" + std::to_string(pens);
    }
    if (!onlyAt.empty()) event += ", of which only the one at " + onlyAt + " is emulated here";
    bus->Log().Event(event);
    m_bus = std::move(bus);
    UseBackend(m_bus.get());
    UseServices(m_bus.get());
    ApplySearchPauseFromEnvironment();
    m_inPlace = true;
    return true;
}

bool Emulation::Record(const std::string& path, std::string& error) {
    auto recorder = std::make_unique<RecordingBus>(Backend(), Services());
    if (!recorder->WriteTo(path)) {
        error = "cannot write the recording to " + path + ": " + std::strerror(errno);
        return false;
    }
    m_recorder = std::move(recorder);
    UseBackend(m_recorder.get());
    UseServices(m_recorder.get());
    m_inPlace = true;
    return true;
}

std::vector<std::string> Emulation::Violations() const {
    std::vector<std::string> all = m_bus ? m_bus->Violations() : std::vector<std::string>{};
    if (m_replay) {
        std::string unplayed = m_replay->Unplayed();
        if (!unplayed.empty()) all.push_back(std::move(unplayed));
    }
    return all;
}

int Emulation::TranscriptError() const { return m_bus ? m_bus->Log().WriteError() : 0; }

int Emulation::RecordingError() const { return m_recorder ? m_recorder->WriteError() : 0; }

}  // namespace penlink::emulator

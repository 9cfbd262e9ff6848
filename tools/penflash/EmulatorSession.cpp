#include "EmulatorSession.h"

#include "core/HidBackend.h"
#include "core/Timing.h"
#include "Penlink.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"
#include "emulator/ReplayPen.h"
#include "emulator/SearchPause.h"

namespace penflash {

namespace {
constexpr const char* kReplayPrefix = "replay:";
}  // namespace

using penlink::emulator::EmulatedBus;

EmulatorSession::EmulatorSession() = default;

EmulatorSession::~EmulatorSession() {
    if (!m_inPlace) return;
    // The bus must outlive everything the library holds of it.
    FWUInit();
    penlink::UseBackend(nullptr);
    penlink::UseServices(nullptr);
    penlink::SetTimingForTesting(nullptr);
}

bool EmulatorSession::Start(const std::string& scenario, const std::string& transcriptPath,
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
        m_replay = penlink::emulator::ReplayPen::FromFile(scenario.substr(7), error);
        if (!m_replay) return false;
        bus->Add(m_replay);
        bus->Log().Event("replay of " + scenario.substr(7));
        m_bus = std::move(bus);
        penlink::UseBackend(m_bus.get());
        penlink::UseServices(m_bus.get());
        m_inPlace = true;
        return true;
    }
    // An unknown name is refused before anything is set up.
    {
        EmulatedBus check;
        penlink::emulator::ConfigureScenario(check, scenario, error);
        if (!error.empty()) return false;
    }
    // The mouse and the keyboard, then the scenario's pen at each location
    // emulated here.
    penlink::emulator::ConfigureScenario(*bus, "absent", error);
    for (const std::string& location : locations) {
        penlink::emulator::AddScenarioPen(*bus, scenario, location);
    }
    std::string event = "scenario " + scenario;
    if (pens > 1) {
        event += ", " + std::to_string(pens) + " pens at emu-port-1 to emu-port-" +
                 std::to_string(pens);
    }
    if (!onlyAt.empty()) event += ", of which only the one at " + onlyAt + " is emulated here";
    bus->Log().Event(event);
    m_bus = std::move(bus);
    penlink::UseBackend(m_bus.get());
    penlink::UseServices(m_bus.get());
    penlink::emulator::ApplySearchPauseFromEnvironment();
    m_inPlace = true;
    return true;
}

std::vector<std::string> EmulatorSession::Violations() const {
    std::vector<std::string> all = m_bus ? m_bus->Violations() : std::vector<std::string>{};
    if (m_replay) {
        std::string unplayed = m_replay->Unplayed();
        if (!unplayed.empty()) all.push_back(std::move(unplayed));
    }
    return all;
}

int EmulatorSession::TranscriptError() const { return m_bus ? m_bus->Log().WriteError() : 0; }

}  // namespace penflash

#include "EmulatorSession.h"

#include "core/HidBackend.h"
#include "Penlink.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

namespace penflash {

namespace {

using penlink::emulator::EmulatedBus;
using penlink::emulator::EmulatedPen;
using penlink::emulator::PenFaults;
using penlink::emulator::PenSetup;

// The faults that a scenario's pen shows in the protocol. ConfigureScenario
// keeps them inside the one pen it makes, at emu-port-1, so for pens at the
// other locations they are named here, after its table. Returns false for a
// scenario not named here: it is refused with several pens rather than
// emulated wrongly.
bool ProtocolFaults(const std::string& scenario, PenFaults& faults) {
    if (scenario == "never-returns") {
        faults.neverReappears = true;
    } else if (scenario == "silent") {
        faults.noIdentityReply = true;
    } else if (scenario == "bad-start-ack") {
        faults.badStartAck = true;
    } else if (scenario == "bad-image-ack") {
        faults.badImageAck = true;
    } else if (scenario == "slow-image-ack") {
        faults.imageAckDelay = std::chrono::seconds(4);
    } else if (scenario == "unplug-during-transfer") {
        faults.unplugAfterBlocks = 100;
    } else if (scenario != "normal" && scenario != "update-mode" && scenario != "refused" &&
               scenario != "held-open") {
        return false;
    }
    return true;
}

// Puts the pen of scenario at location on bus; its setup and the faults of
// its listing are those of the scenario's own pen. Returns true (also for
// "absent", which has no pen), or false with error set.
bool AddPenAt(EmulatedBus& bus, const std::string& scenario, const std::string& location,
              std::string& error) {
    EmulatedBus model;
    const auto pen = penlink::emulator::ConfigureScenario(model, scenario, error);
    if (pen == nullptr) return error.empty();
    PenFaults faults;
    if (!ProtocolFaults(scenario, faults)) {
        error = "the scenario \"" + scenario + "\" has no pen at " + location;
        return false;
    }
    PenSetup setup = pen->Setup();
    setup.location = location;
    auto placed = std::make_shared<EmulatedPen>(setup, faults);
    placed->faults = pen->faults;
    bus.Add(std::move(placed));
    return true;
}

}  // namespace

EmulatorSession::EmulatorSession() = default;

EmulatorSession::~EmulatorSession() {
    if (!m_inPlace) return;
    // The bus must outlive everything the library holds of it.
    FWUInit();
    penlink::UseBackend(nullptr);
    penlink::UseServices(nullptr);
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
    // An unknown name is refused before anything is set up.
    {
        EmulatedBus check;
        penlink::emulator::ConfigureScenario(check, scenario, error);
        if (!error.empty()) return false;
    }
    // The scenario's own set-up where its pen is wanted; the bus without
    // that pen ("absent": the mouse and the keyboard) elsewhere.
    const bool first =
        !locations.empty() && locations.front() == penlink::emulator::kDefaultPenLocation;
    penlink::emulator::ConfigureScenario(*bus, first ? scenario : "absent", error);
    for (std::size_t i = first ? 1 : 0; i < locations.size(); ++i) {
        if (!AddPenAt(*bus, scenario, locations[i], error)) return false;
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
    m_inPlace = true;
    return true;
}

std::vector<std::string> EmulatorSession::Violations() const {
    return m_bus ? m_bus->Violations() : std::vector<std::string>{};
}

int EmulatorSession::TranscriptError() const { return m_bus ? m_bus->Log().WriteError() : 0; }

}  // namespace penflash

#include "EmulatorSession.h"

#include "core/HidBackend.h"
#include "Penlink.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

namespace penflash {

EmulatorSession::EmulatorSession() = default;

EmulatorSession::~EmulatorSession() {
    if (!m_inPlace) return;
    // The bus must outlive everything the library holds of it.
    FWUInit();
    penlink::UseBackend(nullptr);
    penlink::UseServices(nullptr);
}

bool EmulatorSession::Start(const std::string& scenario, const std::string& transcriptPath,
                            std::string& error) {
    auto bus = std::make_unique<penlink::emulator::EmulatedBus>();
    if (!transcriptPath.empty() && !bus->Log().WriteTo(transcriptPath)) {
        error = "cannot write the transcript to " + transcriptPath;
        return false;
    }
    penlink::emulator::ConfigureScenario(*bus, scenario, error);
    if (!error.empty()) return false;
    bus->Log().Event("scenario " + scenario);
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

#include "RecordSession.h"

#include <cerrno>
#include <cstring>

#include "Penlink.h"
#include "core/HidBackend.h"
#include "core/SystemServices.h"
#include "emulator/RecordingBus.h"

namespace penflash {

RecordSession::RecordSession() = default;

RecordSession::~RecordSession() {
    if (!m_bus) return;
    // The recording must outlive everything the library holds of it.
    FWUInit();
    penlink::UseBackend(nullptr);
    penlink::UseServices(nullptr);
}

bool RecordSession::Start(const std::string& path, std::string& error) {
    auto bus = std::make_unique<penlink::emulator::RecordingBus>(penlink::Backend(),
                                                                 penlink::Services());
    if (!bus->WriteTo(path)) {
        error = "cannot write the recording to " + path + ": " + std::strerror(errno);
        return false;
    }
    m_bus = std::move(bus);
    penlink::UseBackend(m_bus.get());
    penlink::UseServices(m_bus.get());
    return true;
}

int RecordSession::WriteError() const { return m_bus ? m_bus->WriteError() : 0; }

}  // namespace penflash

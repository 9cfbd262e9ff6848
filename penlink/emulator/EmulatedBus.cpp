#include "EmulatedBus.h"

#include "EmulatedConnection.h"

namespace penlink::emulator {

void EmulatedBus::Add(std::shared_ptr<EmulatedDevice> device) {
    device->AttachTranscript(&m_transcript);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devices.push_back(std::move(device));
}

std::vector<std::string> EmulatedBus::Violations() const {
    std::vector<std::string> all;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& device : m_devices) {
        for (auto& v : device->Violations()) all.push_back(std::move(v));
    }
    return all;
}

void EmulatedBus::KeepFullRecord(bool keep) {
    m_transcript.KeepAllLines(keep);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepAllDebugLines = keep;
    while (!keep && m_debugLines.size() > Transcript::kRecentLines) m_debugLines.pop_front();
}

std::vector<std::u16string> EmulatedBus::DebugLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_debugLines.begin(), m_debugLines.end()};
}

bool EmulatedBus::ListInterfaces(std::vector<HidInterface>& out, SysError&) {
    std::vector<std::shared_ptr<EmulatedDevice>> devices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        devices = m_devices;
    }
    out.clear();
    for (const auto& device : devices) {
        if (!device->OnListing()) continue;
        HidInterface entry;
        entry.path = device->Path();
        entry.pathOk = !device->faults.pathFails;
        out.push_back(std::move(entry));
    }
    return true;
}

std::shared_ptr<EmulatedDevice> EmulatedBus::Find(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& device : m_devices) {
        if (device->OnBus() && device->Path() == path) return device;
    }
    return nullptr;
}

ProbeStatus EmulatedBus::Probe(const std::string& path, HidProbe& probe, SysError& err) {
    probe = HidProbe{};
    const auto device = Find(path);
    if (!device || device->faults.queryOpenFails) {
        err = {"CreateFileW", 2};  // ERROR_FILE_NOT_FOUND: listed but not plugged in
        return ProbeStatus::OpenFailed;
    }
    if (device->faults.attributesFail) {
        err = {"HidD_GetAttributes", 1};
        return ProbeStatus::AttributesFailed;
    }
    if (device->faults.capsFail) {
        err = {"HidD_GetPreparsedData", 1};
        return ProbeStatus::CapsFailed;
    }
    probe.vendorId = device->VendorId();
    probe.productId = device->ProductId();
    probe.versionNumber = 0x0100;
    probe.inputReportLength = device->InputLength();
    probe.outputReportLength = device->OutputLength();
    probe.location = device->Location();
    return ProbeStatus::Ok;
}

std::unique_ptr<HidConnection> EmulatedBus::Open(const std::string& path, SysError& err) {
    const auto device = Find(path);
    if (!device) {
        err = {"CreateFileW", 2};
        return nullptr;
    }
    if (device->faults.heldExclusively) {
        err = {"CreateFileW", 32};  // ERROR_SHARING_VIOLATION
        device->RecordEvent("open refused: held by another program");
        return nullptr;
    }
    return std::make_unique<EmulatedConnection>(device, device->paced);
}

uint32_t EmulatedBus::TickCount() { return OsServices().TickCount(); }

void EmulatedBus::Sleep(unsigned ms) { OsServices().Sleep(ms); }

void EmulatedBus::DebugOutput(const std::u16string& text) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_debugLines.push_back(text);
        if (!m_keepAllDebugLines && m_debugLines.size() > Transcript::kRecentLines) {
            m_debugLines.pop_front();
        }
    }
    if (m_forwardDebug) OsServices().DebugOutput(text);
}

bool EmulatedBus::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    m_transcript.Event("search result " + std::to_string(wParam) + " " +
                       (wParam == 1 ? std::string("(device)") : std::to_string(lParam)));
    return OsServices().PostSearchResult(target, wParam, lParam, err);
}

bool EmulatedBus::ProcessExiting() { return OsServices().ProcessExiting(); }

namespace {

// A lock of the bus: its location stays in the table until it is released.
template <typename Table>
class BusLock final : public PenLock {
public:
    BusLock(std::shared_ptr<Table> table, std::string location)
        : m_table(std::move(table)), m_location(std::move(location)) {}
    ~BusLock() override {
        std::lock_guard<std::mutex> lock(m_table->mutex);
        m_table->held.erase(m_table->held.find(m_location));
    }
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;

private:
    std::shared_ptr<Table> m_table;
    const std::string m_location;
};

}  // namespace

std::unique_ptr<PenLock> EmulatedBus::LockPen(const std::string& location, PenLockStatus& status,
                                              SysError&) {
    bool held = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& device : m_devices) {
            held |= device->faults.lockedByOtherUpdater &&
                    (location.empty() || device->Location() == location);
        }
    }
    std::lock_guard<std::mutex> lock(m_locks->mutex);
    const auto& taken = m_locks->held;
    held |= location.empty() ? !taken.empty() : taken.count(location) > 0 || taken.count("") > 0;
    if (held) {
        status = PenLockStatus::HeldElsewhere;
        m_transcript.Event("the lock of " +
                           (location.empty() ? std::string("the computer") : location) +
                           " is held elsewhere");
        return nullptr;
    }
    m_locks->held.insert(location);
    status = PenLockStatus::Taken;
    return std::make_unique<BusLock<LockTable>>(m_locks, location);
}

}  // namespace penlink::emulator

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

std::vector<std::u16string> EmulatedBus::DebugLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_debugLines;
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
    }
    if (m_forwardDebug) OsServices().DebugOutput(text);
}

bool EmulatedBus::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    m_transcript.Event("search result " + std::to_string(wParam) + " " +
                       (wParam == 1 ? std::string("(device)") : std::to_string(lParam)));
    return OsServices().PostSearchResult(target, wParam, lParam, err);
}

bool EmulatedBus::ProcessExiting() { return OsServices().ProcessExiting(); }

}  // namespace penlink::emulator

// The HID seam's contract on the backends of every platform: the emulated
// bus, the recording bus in front of it, and the null backend with its
// connection.
#include <mutex>
#include <utility>

#include "HidContract.h"
#include "emulator/EmulatedBus.h"
#include "emulator/RecordingBus.h"
#include "null/NullBackend.h"
#include "null/NullConnection.h"

namespace penlink::contract {
namespace {

// A device on the emulated bus that the test plays: it keeps the reports it
// receives and sends what it is given.
class PlayedDevice : public emulator::EmulatedDevice {
public:
    PlayedDevice() : EmulatedDevice("played", 0x1234, 0x5678, kReportLength, kReportLength) {}
    using EmulatedDevice::LeaveBus;
    using EmulatedDevice::QueueInput;

    // The last report received since the last call, or nothing.
    Bytes NextReceived() {
        std::lock_guard<std::mutex> lock(m_receivedMutex);
        return std::exchange(m_received, {});
    }

protected:
    IoStatus OnReport(const uint8_t* report, SysError&) override {
        std::lock_guard<std::mutex> lock(m_receivedMutex);
        m_received.assign(report, report + OutputLength());
        return IoStatus::Ok;
    }

private:
    std::mutex m_receivedMutex;
    Bytes m_received;
};

class EmulatedSubject {
public:
    EmulatedSubject() {
        m_bus.ForwardDebugOutput(false);
        m_bus.Add(m_device);
    }
    virtual ~EmulatedSubject() = default;
    virtual HidBackend& Backend() { return m_bus; }
    std::string PresentPath() { return "emu://played"; }
    std::string MissingPath() { return "emu://missing"; }
    const char* MissingCall(bool) { return "CreateFileW"; }
    std::unique_ptr<HidConnection> Connect() {
        SysError err;
        return Backend().Open(PresentPath(), err);
    }
    bool HasDevice() { return true; }
    void DeviceSends(const Bytes& report) { m_device->QueueInput(report); }
    Bytes DeviceReceived() { return m_device->NextReceived(); }
    void DeviceLeaves() { m_device->LeaveBus(); }
    IoStatus GoneStatus() { return IoStatus::DeviceStopped; }

protected:
    emulator::EmulatedBus m_bus;
    std::shared_ptr<PlayedDevice> m_device = std::make_shared<PlayedDevice>();
};

// The recording bus restates the seam in front of another backend.
class RecordingSubject : public EmulatedSubject {
public:
    HidBackend& Backend() override { return m_recording; }

private:
    emulator::RecordingBus m_recording{m_bus, m_bus};
};

class NullSubject {
public:
    HidBackend& Backend() { return m_backend; }
    std::string PresentPath() { return ""; }
    std::string MissingPath() { return "/dev/hidraw0"; }
    const char* MissingCall(bool) { return "open"; }
    std::unique_ptr<HidConnection> Connect() { return std::make_unique<NullConnection>(); }
    bool HasDevice() { return false; }
    void DeviceSends(const Bytes&) {}
    Bytes DeviceReceived() { return {}; }
    void DeviceLeaves() {}
    IoStatus GoneStatus() { return IoStatus::Failed; }

private:
    NullBackend m_backend;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Emulated, HidContract, EmulatedSubject);
INSTANTIATE_TYPED_TEST_SUITE_P(Recording, HidContract, RecordingSubject);
INSTANTIATE_TYPED_TEST_SUITE_P(Null, HidContract, NullSubject);

}  // namespace
}  // namespace penlink::contract

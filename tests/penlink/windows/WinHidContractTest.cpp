// The HID seam's contract on the Windows backend under Wine: listing and
// probing Wine's own HID devices (a virtual mouse and keyboard), and the
// connection on a named pipe standing in for a device. A pipe whose device
// end has gone is broken (ERROR_BROKEN_PIPE, ERROR_NO_DATA: Failed); the
// code of a HID device that leaves during a transfer is checked in
// WinHidConnectionTest.
#include "HidContract.h"
#include "PipeDevice.h"
#include "windows/WinHidBackend.h"

namespace penlink::contract {
namespace {

class WinHidSubject {
public:
    static constexpr const char* kName = "Windows";

    HidBackend& Backend() { return m_backend; }

    // The first of Wine's interfaces that probes.
    std::string PresentPath() {
        std::vector<HidInterface> list;
        SysError err;
        m_backend.ListInterfaces(list, err);
        for (const HidInterface& entry : list) {
            HidProbe probe;
            if (entry.pathOk && m_backend.Probe(entry.path, probe, err) == ProbeStatus::Ok) {
                return entry.path;
            }
        }
        return "(none of Wine's HID interfaces probes)";
    }

    std::string MissingPath() {
        return "\\\\?\\hid#vid_0000&pid_0000#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    }
    const char* MissingCall(bool) { return "CreateFileW"; }
    std::unique_ptr<HidConnection> Connect() { return m_device.Connect(); }
    bool HasDevice() { return true; }
    void DeviceSends(const Bytes& report) { m_device.Send(report); }
    Bytes DeviceReceived() { return m_device.Received(); }
    void DeviceLeaves() { m_device.Leave(); }
    IoStatus GoneStatus() { return IoStatus::Failed; }

private:
    WinHidBackend m_backend;
    PipeDevice m_device;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Windows, HidContract, ::testing::Types<WinHidSubject>, SubjectName);

}  // namespace
}  // namespace penlink::contract

// The seam's contract (HidContract.h) on the Windows backend: listing and
// probing Wine's own HID devices, the connection on a named pipe standing
// in for a device; then what is the Windows connection's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>

#include "HidContract.h"
#include "windows/WinHidBackend.h"
#include "windows/WinHidConnection.h"

namespace penlink {
namespace {

using namespace contract;

// The connection holds the server end of a message pipe, opened for
// overlapped I/O as a HID interface is; the test plays the device on the
// client end. A pipe whose device end has gone is broken (ERROR_BROKEN_PIPE,
// ERROR_NO_DATA): Failed.
class WinHidSubject {
public:
    ~WinHidSubject() { DeviceLeaves(); }
    HidBackend& Backend() { return m_backend; }
    std::string PresentPath() {  // the first of Wine's virtual mouse and keyboard that probes
        std::vector<HidInterface> list;
        SysError err;
        HidProbe probe;
        m_backend.ListInterfaces(list, err);
        for (const HidInterface& entry : list) {
            if (m_backend.Probe(entry.path, probe, err) == ProbeStatus::Ok) return entry.path;
        }
        return "(none of Wine's HID interfaces probes)";
    }
    std::string MissingPath() {
        return "\\\\?\\hid#vid_0000&pid_0000#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    }
    const char* MissingCall(bool) { return "CreateFileW"; }
    std::unique_ptr<WinHidConnection> Connect() {
        static std::atomic<unsigned> serial{0};
        const std::wstring name = L"\\\\.\\pipe\\penlink-test-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(serial++);
        HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                         4096, 4096, 0, nullptr);
        m_peer = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(m_peer, &mode, nullptr, nullptr);
        SysError err;
        return WinHidConnection::Adopt(server, err);
    }
    bool HasDevice() { return true; }
    void DeviceSends(const Bytes& report) {
        DWORD written = 0;
        EXPECT_TRUE(
            WriteFile(m_peer, report.data(), static_cast<DWORD>(report.size()), &written, nullptr))
            << GetLastError();
    }
    Bytes DeviceReceived() {
        DWORD waiting = 0;
        Bytes report(4096);
        if (!PeekNamedPipe(m_peer, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0 ||
            !ReadFile(m_peer, report.data(), static_cast<DWORD>(report.size()), &waiting,
                      nullptr)) {
            return {};
        }
        report.resize(waiting);
        return report;
    }
    void DeviceLeaves() {
        if (m_peer != INVALID_HANDLE_VALUE) CloseHandle(m_peer);
        m_peer = INVALID_HANDLE_VALUE;
    }
    IoStatus GoneStatus() { return IoStatus::Failed; }
    HANDLE m_peer = INVALID_HANDLE_VALUE;

private:
    WinHidBackend m_backend;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Windows, HidContract, WinHidSubject);

TEST(WinHidConnectionTest, AStuckWriteTimesOut) {
    WinHidSubject device;
    auto connection = device.Connect();
    ASSERT_NE(connection, nullptr);
    // Nobody reads a message larger than the pipe's buffer: the write stays
    // pending until its time runs out and is then withdrawn.
    const std::string big(256 * 1024, 'x');
    SysError err;
    const auto start = Clock::now();
    EXPECT_EQ(connection->Write(reinterpret_cast<const uint8_t*>(big.data()), big.size(), 300, err),
              IoStatus::Timeout)
        << err.Describe();
    EXPECT_GE(MsSince(start), 250);
    EXPECT_LT(MsSince(start), 3000);
}

TEST(WinHidConnectionTest, DestructionClosesTheHandle) {
    WinHidSubject device;
    device.Connect().reset();
    char byte;
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(device.m_peer, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST(WinHidConnectionTest, OnlyADeviceThatLeavesDuringTheTransferStopsIt) {
    // One that was gone before (a pen unplugged before its switch command)
    // failed, and so did a broken pipe.
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_GEN_FAILURE), IoStatus::DeviceStopped);
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_DEVICE_NOT_CONNECTED), IoStatus::Failed);
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_BROKEN_PIPE), IoStatus::Failed);
}

}  // namespace
}  // namespace penlink

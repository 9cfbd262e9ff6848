// A named pipe standing in for a HID device: the connection holds the server
// end, opened for overlapped I/O as a HID interface is, and the test plays
// the device on the client end. A message pipe keeps report boundaries.
#ifndef PENLINK_TESTS_WINDOWS_PIPEDEVICE_H
#define PENLINK_TESTS_WINDOWS_PIPEDEVICE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "windows/WinHidConnection.h"

namespace penlink {

class PipeDevice {
public:
    using Bytes = std::vector<uint8_t>;

    PipeDevice() = default;
    ~PipeDevice() { Leave(); }
    PipeDevice(const PipeDevice&) = delete;
    PipeDevice& operator=(const PipeDevice&) = delete;

    // Makes a pipe with 4 KB of buffer each way and returns a connection on
    // its server end, or null (the test then fails).
    std::unique_ptr<WinHidConnection> Connect() {
        static std::atomic<unsigned> serial{0};
        const std::wstring name = L"\\\\.\\pipe\\penlink-test-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(serial++);
        HANDLE server = CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        EXPECT_NE(server, INVALID_HANDLE_VALUE) << "CreateNamedPipeW: " << GetLastError();
        m_peer = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(m_peer, INVALID_HANDLE_VALUE) << "CreateFileW: " << GetLastError();
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(m_peer, &mode, nullptr, nullptr);
        SysError err;
        auto connection = WinHidConnection::Adopt(server, err);
        EXPECT_NE(connection, nullptr) << err.Describe();
        return connection;
    }

    // The device sends report as one message.
    void Send(const Bytes& report) {
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(m_peer, report.data(), static_cast<DWORD>(report.size()), &written,
                              nullptr))
            << GetLastError();
    }

    // The next message the connection wrote, or nothing when none waits.
    Bytes Received() {
        DWORD waiting = 0;
        if (!PeekNamedPipe(m_peer, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) {
            return {};
        }
        Bytes report(4096);
        DWORD got = 0;
        if (!ReadFile(m_peer, report.data(), static_cast<DWORD>(report.size()), &got, nullptr)) {
            return {};
        }
        report.resize(got);
        return report;
    }

    // The device's end goes: the pipe is broken.
    void Leave() {
        if (m_peer != INVALID_HANDLE_VALUE) CloseHandle(m_peer);
        m_peer = INVALID_HANDLE_VALUE;
    }

    HANDLE Peer() const { return m_peer; }

private:
    HANDLE m_peer = INVALID_HANDLE_VALUE;
};

}  // namespace penlink

#endif  // PENLINK_TESTS_WINDOWS_PIPEDEVICE_H

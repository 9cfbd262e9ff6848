// The connection's time limits and cancels on a named pipe standing in for a
// device: the connection holds the server end, opened for overlapped I/O as
// a HID interface would be, and the test plays the device on the client end.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "windows/WinHidConnection.h"

using namespace penlink;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

class WinHidConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { Connect(); }

    void TearDown() override {
        connection.reset();
        if (peer != INVALID_HANDLE_VALUE) CloseHandle(peer);
    }

    // A message pipe with 4 KB of buffer each way, whose server end the
    // connection adopts.
    void Connect() {
        static std::atomic<unsigned> serial{0};
        const std::wstring name = L"\\\\.\\pipe\\penlink-test-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(serial++);
        HANDLE server = CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0,
            nullptr);
        ASSERT_NE(server, INVALID_HANDLE_VALUE) << "CreateNamedPipeW: " << GetLastError();
        peer = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
        ASSERT_NE(peer, INVALID_HANDLE_VALUE) << "CreateFileW: " << GetLastError();
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(peer, &mode, nullptr, nullptr);
        SysError err;
        connection = WinHidConnection::Adopt(server, err);
        ASSERT_NE(connection, nullptr) << err.Describe();
    }

    // The device sends one report.
    void Send(const std::string& report) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(peer, report.data(), static_cast<DWORD>(report.size()), &written,
                              nullptr))
            << GetLastError();
    }

    // Reads one report on the connection and returns it ("" unless Ok).
    std::string ReadReport(unsigned timeoutMs, IoStatus expected) {
        uint8_t buffer[64];
        size_t got = 0;
        SysError err;
        EXPECT_EQ(connection->Read(buffer, sizeof buffer, got, timeoutMs, err), expected)
            << err.Describe();
        return std::string(reinterpret_cast<const char*>(buffer), got);
    }

    std::unique_ptr<WinHidConnection> connection;
    HANDLE peer = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST_F(WinHidConnectionTest, ReadTimesOutWithoutTouchingTheBufferAndLosesNothing) {
    uint8_t buffer[64];
    std::memset(buffer, 0xA5, sizeof buffer);
    size_t got = 99;
    SysError err;
    const auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, got, 300, err), IoStatus::Timeout);
    EXPECT_GE(MsSince(start), 250);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(err.Empty()) << err.Describe();
    EXPECT_TRUE(std::all_of(buffer, buffer + sizeof buffer, [](uint8_t b) { return b == 0xA5; }));

    // The withdrawn read took nothing away: the next report arrives whole.
    Send("report");
    EXPECT_EQ(ReadReport(2000, IoStatus::Ok), "report");
}

TEST_F(WinHidConnectionTest, CancelFromAnotherThreadEndsAWaitingReadAtOnce) {
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        connection->CancelRead();
    });
    const auto start = Clock::now();
    ReadReport(20000, IoStatus::Cancelled);
    canceller.join();
    EXPECT_LT(MsSince(start), 3000);

    // The cancel was consumed by that read; the next one gets the report.
    Send("after");
    EXPECT_EQ(ReadReport(2000, IoStatus::Ok), "after");
}

TEST_F(WinHidConnectionTest, CancelsBetweenReadsCountAsOneForTheNextRead) {
    connection->CancelRead();
    connection->CancelRead();
    Send("waiting");
    // Even with a report waiting, the pending cancel comes first.
    const auto start = Clock::now();
    ReadReport(20000, IoStatus::Cancelled);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(ReadReport(2000, IoStatus::Ok), "waiting");
    ReadReport(200, IoStatus::Timeout);
}

TEST_F(WinHidConnectionTest, WritesReachThePeerAndAStuckWriteTimesOut) {
    SysError err;
    const uint8_t report[] = {0x00, 0x11, 0x22, 0x33};
    ASSERT_EQ(connection->Write(report, sizeof report, 2000, err), IoStatus::Ok) << err.Describe();
    char received[16];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(peer, received, sizeof received, &got, nullptr)) << GetLastError();
    EXPECT_EQ(std::string(received, got), std::string(reinterpret_cast<const char*>(report), 4));

    // Nobody reads a message larger than the pipe's buffer: the write stays
    // pending until its time runs out and is then withdrawn.
    const std::string big(256 * 1024, 'x');
    const auto start = Clock::now();
    EXPECT_EQ(connection->Write(reinterpret_cast<const uint8_t*>(big.data()), big.size(), 300, err),
              IoStatus::Timeout)
        << err.Describe();
    EXPECT_GE(MsSince(start), 250);
    EXPECT_LT(MsSince(start), 3000);
}

TEST_F(WinHidConnectionTest, FailuresKeepTheCallAndTheCode) {
    CloseHandle(peer);
    peer = INVALID_HANDLE_VALUE;
    uint8_t buffer[8];
    size_t got = 0;
    SysError err;
    // A pipe without its other end is broken, not a device that left the bus.
    EXPECT_EQ(connection->Read(buffer, sizeof buffer, got, 1000, err), IoStatus::Failed);
    EXPECT_EQ(err.call, "ReadFile");
    EXPECT_NE(err.code, 0);

    err = {};
    const uint8_t report[] = {0x00, 0x01};
    EXPECT_EQ(connection->Write(report, sizeof report, 1000, err), IoStatus::Failed);
    EXPECT_EQ(err.call, "WriteFile");
    EXPECT_NE(err.code, 0);

    // Only a device that leaves during the transfer stopped; one that was
    // gone before (a pen unplugged before its switch command) failed.
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_GEN_FAILURE), IoStatus::DeviceStopped);
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_DEVICE_NOT_CONNECTED), IoStatus::Failed);
}

TEST_F(WinHidConnectionTest, DestructionEndsAWaitingReadAndClosesTheHandle) {
    IoStatus status = IoStatus::Ok;
    std::atomic<bool> reading{false};
    WinHidConnection* raw = connection.get();
    std::thread reader([&] {
        uint8_t buffer[64];
        size_t got = 0;
        SysError err;
        reading = true;
        status = raw->Read(buffer, sizeof buffer, got, 20000, err);
    });
    while (!reading) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    connection.reset();
    EXPECT_LT(MsSince(start), 3000);
    reader.join();
    EXPECT_EQ(status, IoStatus::Cancelled);

    // The server end is closed: the device's side of the pipe is broken.
    char byte;
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(peer, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

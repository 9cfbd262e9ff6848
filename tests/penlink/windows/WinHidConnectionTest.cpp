// What is the Windows connection's own beyond the seam's contract
// (WinHidContractTest.cpp): a stuck write withdrawn at its time limit, the
// handle closed at the end, and the table of error codes.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "PipeDevice.h"

using namespace penlink;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

}  // namespace

TEST(WinHidConnectionTest, AStuckWriteTimesOut) {
    PipeDevice device;
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
    PipeDevice device;
    auto connection = device.Connect();
    ASSERT_NE(connection, nullptr);
    connection.reset();
    char byte;
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(device.Peer(), &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST(WinHidConnectionTest, OnlyADeviceThatLeavesDuringTheTransferStopsIt) {
    // One that was gone before (a pen unplugged before its switch command)
    // failed; a broken pipe, standing in for a device, is not a device that
    // left the bus either.
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_GEN_FAILURE), IoStatus::DeviceStopped);
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_DEVICE_NOT_CONNECTED), IoStatus::Failed);
    EXPECT_EQ(WinHidConnection::StatusOfError(ERROR_BROKEN_PIPE), IoStatus::Failed);
}

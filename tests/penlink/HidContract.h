// The HID seam's contract (core/HidBackend.h, core/HidConnection.h) as one
// typed test suite, instantiated for every backend: the emulator, the
// recording bus and the null backend in HidContractTest.cpp, hidraw in
// hidraw/HidrawBackendTest.cpp, Windows in windows/WinHidConnectionTest.cpp.
//
// A subject (the type parameter) gives Backend(); PresentPath(), a path it
// lists ("" if none); MissingPath() and MissingCall(opening), the call Open
// or Probe fails in for it; Connect(), to a device the test plays, with
// kReportLength-byte reports (none where HasDevice() is false: null); and
// DeviceSends(report) (given ID byte first, sent in the platform's form),
// DeviceReceived(), DeviceLeaves() and GoneStatus(), the transfers' outcome
// after that.
#ifndef PENLINK_TESTS_HIDCONTRACT_H
#define PENLINK_TESTS_HIDCONTRACT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/HidBackend.h"

namespace penlink::contract {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t kReportLength = 65;  // the pen's: the ID byte and 64 data bytes

// A whole report: the ID byte 0x00, data, zeros.
inline Bytes Report(std::initializer_list<uint8_t> data) {
    Bytes report(kReportLength, 0x00);
    std::copy(data.begin(), data.end(), report.begin() + 1);
    return report;
}

inline long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

template <typename Subject>
class HidContract : public ::testing::Test {
protected:
    void SetUp() override {
        connection = subject.Connect();
        ASSERT_NE(connection, nullptr);
    }

    // Reads one report, expecting status; returns what came.
    Bytes ReadExpecting(IoStatus expected, unsigned timeoutMs) {
        Bytes buffer(kReportLength + 16);
        size_t got = 99;
        SysError err;
        EXPECT_EQ(connection->Read(buffer.data(), buffer.size(), got, timeoutMs, err), expected)
            << err.Describe();
        EXPECT_EQ(err.Empty(), expected != IoStatus::DeviceStopped && expected != IoStatus::Failed);
        buffer.resize(got);
        return buffer;
    }

    // The device sends reports and the host reads them whole and one at a
    // time, ID byte first.
    void ExpectPassed(const std::vector<Bytes>& reports) {
        if (!subject.HasDevice()) return;
        for (const Bytes& report : reports) subject.DeviceSends(report);
        for (const Bytes& report : reports) EXPECT_EQ(ReadExpecting(IoStatus::Ok, 1000), report);
    }

    // The device received report as it was written.
    void ExpectReceived(const Bytes& report) {
        if (!subject.HasDevice()) return;
        EXPECT_EQ(subject.DeviceReceived(), report);
    }

    // A Read with a long limit, started on another thread and given time to
    // wait; its outcome lands in readerStatus.
    std::thread WaitingReader() {
        std::atomic<bool> started{false};
        std::thread reader([this, reading = connection.get(), &started] {
            Bytes buffer(kReportLength);
            size_t got = 0;
            SysError err;
            started = true;
            readerStatus.store(reading->Read(buffer.data(), buffer.size(), got, 20000, err));
        });
        while (!started) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return reader;
    }

    Subject subject;
    std::unique_ptr<HidConnection> connection;
    std::atomic<IoStatus> readerStatus{IoStatus::Ok};
};

TYPED_TEST_SUITE_P(HidContract);

TYPED_TEST_P(HidContract, ListedPathsProbeOrSayWhyAndOpen) {
    HidBackend& backend = this->subject.Backend();
    std::vector<HidInterface> list{{"stale", true}};
    SysError err;
    ASSERT_TRUE(backend.ListInterfaces(list, err)) << err.Describe();
    const std::string present = this->subject.PresentPath();
    bool listed = present.empty();
    for (const HidInterface& entry : list) {
        SCOPED_TRACE(entry.path);
        EXPECT_NE(entry.path, "stale");
        listed |= entry.pathOk && entry.path == present;
        HidProbe probe;
        probe.vendorId = 7;
        SysError probeErr;
        const ProbeStatus status = backend.Probe(entry.path, probe, probeErr);
        EXPECT_TRUE(status == ProbeStatus::Ok || entry.path != present);
        EXPECT_EQ(probeErr.Empty(), status == ProbeStatus::Ok) << probeErr.Describe();
        EXPECT_EQ(probe.inputReportLength >= 2, status == ProbeStatus::Ok) << "ID byte and data";
        EXPECT_EQ(probe.vendorId != 0, status == ProbeStatus::Ok) << "nothing left behind";
    }
    EXPECT_TRUE(listed) << present;
    if (!present.empty()) {
        EXPECT_NE(backend.Open(present, err), nullptr) << err.Describe();
    }
}

TYPED_TEST_P(HidContract, APathThatNamesNoDeviceFailsProbeAndOpenWithTheCallAndItsCode) {
    HidProbe probe;
    probe.vendorId = 7;
    probe.location = "stale";
    SysError err;
    HidBackend& backend = this->subject.Backend();
    EXPECT_EQ(backend.Probe(this->subject.MissingPath(), probe, err), ProbeStatus::OpenFailed);
    EXPECT_EQ(err.call, this->subject.MissingCall(false));
    EXPECT_NE(err.code, 0);
    EXPECT_EQ(probe.vendorId, 0u);
    EXPECT_EQ(probe.location, "");
    err = {};
    EXPECT_EQ(backend.Open(this->subject.MissingPath(), err), nullptr);
    EXPECT_EQ(err.call, this->subject.MissingCall(true));
    EXPECT_NE(err.code, 0);
}

TYPED_TEST_P(HidContract, ReportsGoWholeIdByteFirstOneAtATimeAndEmptyBuffersFail) {
    const Bytes command = Report({0x02, 0x02, 0x95, 0x95});
    SysError err;
    ASSERT_EQ(this->connection->Write(command.data(), command.size(), 1000, err), IoStatus::Ok)
        << err.Describe();
    this->ExpectReceived(command);
    Bytes last = Report({0x02, 0x01});
    last.back() = 0x5A;
    this->ExpectPassed({Report({0x01, 0x80, 0x93}), last});

    uint8_t byte = 0;
    size_t got = 99;
    EXPECT_EQ(this->connection->Write(&byte, 0, 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
    err = {};
    EXPECT_EQ(this->connection->Write(nullptr, kReportLength, 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
    err = {};
    EXPECT_EQ(this->connection->Read(&byte, 0, got, 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
    EXPECT_EQ(got, 0u);
    err = {};
    EXPECT_EQ(this->connection->Read(nullptr, kReportLength, got, 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
}

TYPED_TEST_P(HidContract, ReadTimesOutWithoutTouchingTheBufferAndLosesNothing) {
    Bytes buffer(kReportLength, 0xA5);
    size_t got = 99;
    SysError err;
    auto start = Clock::now();
    EXPECT_EQ(this->connection->Read(buffer.data(), buffer.size(), got, 150, err),
              IoStatus::Timeout);
    EXPECT_GE(MsSince(start), 140);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(err.Empty()) << err.Describe();
    EXPECT_EQ(buffer, Bytes(kReportLength, 0xA5));
    start = Clock::now();
    this->ReadExpecting(IoStatus::Timeout, 0);
    EXPECT_LT(MsSince(start), 1000);
    this->ExpectPassed({Report({0x07})});
}

TYPED_TEST_P(HidContract, CancelsEndTheWaitingReadOrTheNextCountOnceAndComeFirst) {
    std::thread reader = this->WaitingReader();
    const Bytes report = Report({0x02, 0x04, 0x93});
    SysError err;  // a Write runs beside the waiting Read
    EXPECT_EQ(this->connection->Write(report.data(), report.size(), 1000, err), IoStatus::Ok)
        << err.Describe();
    this->ExpectReceived(report);
    auto start = Clock::now();
    this->connection->CancelRead();
    reader.join();
    EXPECT_EQ(this->readerStatus.load(), IoStatus::Cancelled);
    EXPECT_LT(MsSince(start), 3000);
    this->ExpectPassed({report});  // that Read took its cancel

    // Two cancels with no Read waiting end the next Read only, even with a
    // report waiting, which the Read after it gets.
    this->connection->CancelRead();
    this->connection->CancelRead();
    if (this->subject.HasDevice()) this->subject.DeviceSends(report);
    start = Clock::now();
    this->ReadExpecting(IoStatus::Cancelled, 20000);
    EXPECT_LT(MsSince(start), 3000);
    if (this->subject.HasDevice()) {
        EXPECT_EQ(this->ReadExpecting(IoStatus::Ok, 1000), report);
    }
    this->ReadExpecting(IoStatus::Timeout, 20);
}

TYPED_TEST_P(HidContract, DestructionEndsAWaitingRead) {
    std::thread reader = this->WaitingReader();
    const auto start = Clock::now();
    this->connection.reset();
    EXPECT_LT(MsSince(start), 3000);
    reader.join();
    EXPECT_EQ(this->readerStatus.load(), IoStatus::Cancelled);
}

TYPED_TEST_P(HidContract, OnceTheDeviceIsGoneEveryTransferFailsAtOnceWithItsCause) {
    if (!this->subject.HasDevice()) GTEST_SKIP() << "no device behind this connection";
    this->subject.DeviceLeaves();
    for (int round = 0; round < 2; ++round) {
        const auto start = Clock::now();
        EXPECT_TRUE(this->ReadExpecting(this->subject.GoneStatus(), 20000).empty());
        EXPECT_LT(MsSince(start), 3000);
        const Bytes report = Report({0x02, 0x08});
        SysError err;
        EXPECT_EQ(this->connection->Write(report.data(), report.size(), 1000, err),
                  this->subject.GoneStatus());
        EXPECT_FALSE(err.Empty());
    }
}

REGISTER_TYPED_TEST_SUITE_P(HidContract, ListedPathsProbeOrSayWhyAndOpen,
                            APathThatNamesNoDeviceFailsProbeAndOpenWithTheCallAndItsCode,
                            ReportsGoWholeIdByteFirstOneAtATimeAndEmptyBuffersFail,
                            ReadTimesOutWithoutTouchingTheBufferAndLosesNothing,
                            CancelsEndTheWaitingReadOrTheNextCountOnceAndComeFirst,
                            DestructionEndsAWaitingRead,
                            OnceTheDeviceIsGoneEveryTransferFailsAtOnceWithItsCause);

}  // namespace penlink::contract

#endif  // PENLINK_TESTS_HIDCONTRACT_H

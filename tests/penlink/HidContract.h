// The HID seam's contract (core/HidBackend.h, core/HidConnection.h) as one
// typed test suite, instantiated once for every backend: the emulator, the
// recording bus over it and the null backend in HidContractTest.cpp, hidraw
// in hidraw/HidrawContractTest.cpp, Windows in windows/WinHidContractTest.cpp.
//
// A subject is a default-constructible class that gives the suite:
//   HidBackend& Backend()                the backend under test
//   std::string PresentPath()            a path that backend lists; "" where
//                                        it lists none (null)
//   std::string MissingPath()            a path that names no device
//   const char* MissingCall(bool open)   the call a missing path fails in,
//                                        for Open (true) or Probe (false)
//   std::unique_ptr<HidConnection> Connect()
//                                        a connection to the device that the
//                                        test plays, whose reports are
//                                        kReportLength bytes, ID byte included
//   bool HasDevice()                     false where nothing plays the device
//                                        (null): the device's steps are left out
//   void DeviceSends(const Bytes&)       the device sends a report, given as
//                                        the host must read it (ID byte first)
//                                        and sent in the platform's own form
//   Bytes DeviceReceived()               the next report the device received
//   void DeviceLeaves()                  the device goes away
//   IoStatus GoneStatus()                what a transfer on a connection to a
//                                        device that went away returns
//   static constexpr const char* kName   the subject's name in test names
#ifndef PENLINK_TESTS_HIDCONTRACT_H
#define PENLINK_TESTS_HIDCONTRACT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/HidBackend.h"

namespace penlink::contract {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// The pen's report length: 64 data bytes after the ID byte.
constexpr size_t kReportLength = 65;

// A whole report of kReportLength bytes: the ID byte 0x00, then data, then
// zeros.
inline Bytes Report(std::initializer_list<uint8_t> data) {
    Bytes report(kReportLength, 0x00);
    std::copy(data.begin(), data.end(), report.begin() + 1);
    return report;
}

inline long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

// Names each instantiation after its subject ("Hidraw/HidContract/Numbered").
struct SubjectName {
    template <typename Subject>
    static std::string GetName(int) {
        return Subject::kName;
    }
};

template <typename Subject>
class HidContract : public ::testing::Test {
protected:
    void SetUp() override {
        connection = subject.Connect();
        ASSERT_NE(connection, nullptr);
    }

    // Reads one report with the given limit, expecting status; returns what
    // came ("" unless Ok).
    Bytes ReadExpecting(IoStatus expected, unsigned timeoutMs) {
        Bytes buffer(kReportLength + 16);
        size_t got = 0;
        SysError err;
        EXPECT_EQ(connection->Read(buffer.data(), buffer.size(), got, timeoutMs, err), expected)
            << err.Describe();
        buffer.resize(got);
        return buffer;
    }

    // Starts a Read with a long limit on another thread, gives it time to
    // wait, and returns the thread; the outcome lands in readerStatus.
    std::thread WaitingReader() {
        std::atomic<bool> started{false};
        HidConnection* reading = connection.get();
        std::thread reader([this, reading, &started] {
            Bytes buffer(kReportLength);
            size_t got = 0;
            SysError err;
            started = true;
            readerStatus = reading->Read(buffer.data(), buffer.size(), got, 20000, err);
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

TYPED_TEST_P(HidContract, ListingReplacesTheListAndEveryEntryProbesOrSaysWhyNot) {
    HidBackend& backend = this->subject.Backend();
    std::vector<HidInterface> list{{"stale", true}};
    SysError err;
    ASSERT_TRUE(backend.ListInterfaces(list, err)) << err.Describe();
    EXPECT_TRUE(err.Empty());
    const std::string present = this->subject.PresentPath();
    size_t probed = 0;
    bool listed = present.empty();
    for (const HidInterface& entry : list) {
        SCOPED_TRACE(entry.path);
        EXPECT_NE(entry.path, "stale");
        if (!entry.pathOk) continue;
        listed |= entry.path == present;
        HidProbe probe;
        probe.vendorId = 7;
        SysError probeErr;
        if (backend.Probe(entry.path, probe, probeErr) == ProbeStatus::Ok) {
            ++probed;
            EXPECT_TRUE(probeErr.Empty());
            EXPECT_GE(probe.inputReportLength, 2u) << "the ID byte and data";
        } else {
            EXPECT_FALSE(probeErr.call.empty());
            EXPECT_NE(probeErr.code, 0);
            EXPECT_EQ(probe.vendorId, 0u) << "a failed probe leaves nothing behind";
        }
    }
    EXPECT_TRUE(listed) << present;
    if (!present.empty()) {
        EXPECT_GT(probed, 0u);
    }
}

TYPED_TEST_P(HidContract, APathThatNamesNoDeviceFailsProbeAndOpenWithTheCallAndItsCode) {
    HidBackend& backend = this->subject.Backend();
    const std::string missing = this->subject.MissingPath();
    HidProbe probe;
    probe.vendorId = 7;
    probe.location = "stale";
    SysError err;
    EXPECT_EQ(backend.Probe(missing, probe, err), ProbeStatus::OpenFailed);
    EXPECT_EQ(err.call, this->subject.MissingCall(false));
    EXPECT_NE(err.code, 0);
    EXPECT_EQ(probe.vendorId, 0u);
    EXPECT_EQ(probe.location, "");

    err = {};
    EXPECT_EQ(backend.Open(missing, err), nullptr);
    EXPECT_EQ(err.call, this->subject.MissingCall(true));
    EXPECT_NE(err.code, 0);
}

TYPED_TEST_P(HidContract, WritesGoWholeIdByteFirstAndEmptyOnesFail) {
    const Bytes report = Report({0x02, 0x02, 0x95, 0x95});
    SysError err;
    ASSERT_EQ(this->connection->Write(report.data(), report.size(), 1000, err), IoStatus::Ok)
        << err.Describe();
    if (this->subject.HasDevice()) {
        EXPECT_EQ(this->subject.DeviceReceived(), report);
    }

    EXPECT_EQ(this->connection->Write(report.data(), 0, 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
    err = {};
    EXPECT_EQ(this->connection->Write(nullptr, report.size(), 1000, err), IoStatus::Failed);
    EXPECT_NE(err.code, 0) << err.Describe();
}

TYPED_TEST_P(HidContract, EachReadGivesOneReportIdByteFirstAndEmptyBuffersFail) {
    if (this->subject.HasDevice()) {
        const Bytes first = Report({0x01, 0x80, 0x93});
        Bytes second = Report({0x02, 0x01});
        second.back() = 0x5A;
        this->subject.DeviceSends(first);
        this->subject.DeviceSends(second);
        EXPECT_EQ(this->ReadExpecting(IoStatus::Ok, 1000), first);
        EXPECT_EQ(this->ReadExpecting(IoStatus::Ok, 1000), second);
    }
    uint8_t byte = 0;
    size_t got = 99;
    SysError err;
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

    if (this->subject.HasDevice()) {
        const Bytes report = Report({0x07});
        this->subject.DeviceSends(report);
        EXPECT_EQ(this->ReadExpecting(IoStatus::Ok, 1000), report);
    }
}

TYPED_TEST_P(HidContract, ACancelEndsAWaitingReadAtOnceAndAWriteMayRunBesideIt) {
    std::thread reader = this->WaitingReader();
    const Bytes report = Report({0x02, 0x04, 0x93});
    SysError err;
    EXPECT_EQ(this->connection->Write(report.data(), report.size(), 1000, err), IoStatus::Ok)
        << err.Describe();
    if (this->subject.HasDevice()) {
        EXPECT_EQ(this->subject.DeviceReceived(), report);
    }
    const auto start = Clock::now();
    this->connection->CancelRead();
    reader.join();
    EXPECT_EQ(this->readerStatus.load(), IoStatus::Cancelled);
    EXPECT_LT(MsSince(start), 3000);

    // That Read took the cancel: the next one reads.
    if (this->subject.HasDevice()) {
        this->subject.DeviceSends(report);
        EXPECT_EQ(this->ReadExpecting(IoStatus::Ok, 1000), report);
    } else {
        this->ReadExpecting(IoStatus::Timeout, 20);
    }
}

TYPED_TEST_P(HidContract, CancelsBeforeAReadCountOnceAndComeBeforeAWaitingReport) {
    const Bytes report = Report({0x01, 0x01});
    this->connection->CancelRead();
    this->connection->CancelRead();
    if (this->subject.HasDevice()) this->subject.DeviceSends(report);
    const auto start = Clock::now();
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
    const IoStatus gone = this->subject.GoneStatus();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Bytes buffer(kReportLength);
        size_t got = 99;
        SysError err;
        const auto start = Clock::now();
        EXPECT_EQ(this->connection->Read(buffer.data(), buffer.size(), got, 20000, err), gone);
        EXPECT_LT(MsSince(start), 3000);
        EXPECT_EQ(got, 0u);
        EXPECT_FALSE(err.Empty());
        err = {};
        const Bytes report = Report({0x02, 0x08});
        EXPECT_EQ(this->connection->Write(report.data(), report.size(), 1000, err), gone);
        EXPECT_FALSE(err.Empty());
    }
}

REGISTER_TYPED_TEST_SUITE_P(HidContract, ListingReplacesTheListAndEveryEntryProbesOrSaysWhyNot,
                            APathThatNamesNoDeviceFailsProbeAndOpenWithTheCallAndItsCode,
                            WritesGoWholeIdByteFirstAndEmptyOnesFail,
                            EachReadGivesOneReportIdByteFirstAndEmptyBuffersFail,
                            ReadTimesOutWithoutTouchingTheBufferAndLosesNothing,
                            ACancelEndsAWaitingReadAtOnceAndAWriteMayRunBesideIt,
                            CancelsBeforeAReadCountOnceAndComeBeforeAWaitingReport,
                            DestructionEndsAWaitingRead,
                            OnceTheDeviceIsGoneEveryTransferFailsAtOnceWithItsCause);

}  // namespace penlink::contract

#endif  // PENLINK_TESTS_HIDCONTRACT_H

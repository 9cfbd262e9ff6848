// The Windows backend on its own, against Wine's HID stack (a virtual mouse
// and a virtual keyboard): listing, probing and opening real interfaces.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <thread>

#include "windows/WinHidBackend.h"

using namespace penlink;
using Clock = std::chrono::steady_clock;

namespace {

// The HID interface class; every HID device path ends in it.
constexpr char kHidClassGuid[] = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

// The value the next handle of this process gets.
uintptr_t NextHandleValue() {
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(probe);
    return reinterpret_cast<uintptr_t>(probe);
}

class WinHidBackendTest : public ::testing::Test {
protected:
    // The interfaces Wine lists; a listing that fails fails the test.
    std::vector<HidInterface> ListOrFail() {
        std::vector<HidInterface> list;
        SysError err;
        EXPECT_TRUE(backend.ListInterfaces(list, err)) << err.Describe();
        return list;
    }

    // The first interface that opens for reading and writing, or null.
    std::unique_ptr<HidConnection> OpenAny(std::string& opened) {
        for (const HidInterface& entry : ListOrFail()) {
            SysError err;
            auto connection = backend.Open(entry.path, err);
            if (connection) {
                opened = entry.path;
                return connection;
            }
            std::cout << "open " << entry.path << ": " << err.Describe() << "\n";
        }
        return nullptr;
    }

    WinHidBackend backend;
};

}  // namespace

TEST_F(WinHidBackendTest, ListsWinesDevicesWithWholePaths) {
    const std::vector<HidInterface> list = ListOrFail();
    for (const HidInterface& entry : list) {
        std::cout << (entry.pathOk ? "" : "(no path) ") << entry.path << "\n";
    }
    ASSERT_GE(list.size(), 2u) << "Wine lists a virtual mouse and keyboard";
    for (const HidInterface& entry : list) {
        SCOPED_TRACE(entry.path);
        EXPECT_TRUE(entry.pathOk);
        EXPECT_EQ(entry.path.rfind("\\\\?\\", 0), 0u);
        // The class GUID closes the path: a path cut short would lack it.
        const std::string path = Lower(entry.path);
        ASSERT_GE(path.size(), sizeof kHidClassGuid - 1);
        EXPECT_EQ(path.substr(path.size() - (sizeof kHidClassGuid - 1)), kHidClassGuid);
    }
}

TEST_F(WinHidBackendTest, ProbesGiveLengthsOrTheFailingCall) {
    const std::vector<HidInterface> list = ListOrFail();
    ASSERT_FALSE(list.empty());
    size_t probed = 0;
    for (const HidInterface& entry : list) {
        HidProbe probe;
        SysError err;
        const ProbeStatus status = backend.Probe(entry.path, probe, err);
        std::cout << entry.path << ": in " << probe.inputReportLength << " out "
                  << probe.outputReportLength << " " << err.Describe() << "\n";
        SCOPED_TRACE(entry.path);
        if (status == ProbeStatus::Ok) {
            ++probed;
            EXPECT_TRUE(err.Empty());
            // A mouse or keyboard sends input reports; none is longer than
            // the largest report a full-speed HID device can have.
            EXPECT_GT(probe.inputReportLength, 1u);
            EXPECT_LE(probe.inputReportLength, 4096u);
            EXPECT_LE(probe.outputReportLength, 4096u);
            EXPECT_NE(probe.vendorId | probe.productId, 0u);
        } else {
            EXPECT_FALSE(err.call.empty());
            EXPECT_NE(err.code, 0);
        }
    }
    EXPECT_GT(probed, 0u) << "none of Wine's devices could be probed";
}

TEST_F(WinHidBackendTest, MissingPathsFailWithCreateFileAndItsCode) {
    const std::string missing = "\\\\?\\hid#vid_0000&pid_0000#0&0&0&0#" + std::string(kHidClassGuid);
    HidProbe probe;
    probe.vendorId = 7;
    SysError err;
    EXPECT_EQ(backend.Probe(missing, probe, err), ProbeStatus::OpenFailed);
    EXPECT_EQ(err.call, "CreateFileW");
    EXPECT_NE(err.code, 0);
    EXPECT_EQ(probe.vendorId, 0u);

    err = {};
    EXPECT_EQ(backend.Open(missing, err), nullptr);
    EXPECT_EQ(err.call, "CreateFileW");
    EXPECT_NE(err.code, 0);
}

TEST_F(WinHidBackendTest, RepeatedWalksLeakNoHandles) {
    // The search walks and probes every interface up to 101 times; each walk
    // must give back every handle it took. Handle values are handed out
    // lowest free first, so leaked ones push the next value up.
    const auto walk = [this] {
        for (const HidInterface& entry : ListOrFail()) {
            HidProbe probe;
            SysError err;
            backend.Probe(entry.path, probe, err);
        }
    };
    walk();
    const uintptr_t before = NextHandleValue();
    for (int round = 0; round < 50; ++round) walk();
    const uintptr_t after = NextHandleValue();
    EXPECT_LE(after, before + 16 * sizeof(HANDLE)) << "handle values crept up";
}

TEST_F(WinHidBackendTest, ReadOnARealDeviceTimesOutAndIsCancelled) {
    // Nobody moves Wine's virtual mouse or presses its keyboard here, so a
    // read waits, and the HID class driver must let it be withdrawn.
    std::string path;
    std::unique_ptr<HidConnection> connection = OpenAny(path);
    if (!connection) GTEST_SKIP() << "none of Wine's HID devices opens for reading and writing";
    SCOPED_TRACE(path);
    HidProbe probe;
    SysError err;
    ASSERT_EQ(backend.Probe(path, probe, err), ProbeStatus::Ok) << err.Describe();
    std::vector<uint8_t> buffer(probe.inputReportLength);
    size_t got = 0;

    auto start = Clock::now();
    EXPECT_EQ(connection->Read(buffer.data(), buffer.size(), got, 300, err), IoStatus::Timeout)
        << err.Describe();
    EXPECT_GE(MsSince(start), 250);
    EXPECT_LT(MsSince(start), 3000);

    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        connection->CancelRead();
    });
    start = Clock::now();
    EXPECT_EQ(connection->Read(buffer.data(), buffer.size(), got, 20000, err),
              IoStatus::Cancelled);
    canceller.join();
    EXPECT_LT(MsSince(start), 5000);
}

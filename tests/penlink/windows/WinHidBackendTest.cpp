// What is the Windows backend's own beyond the seam's contract
// (WinHidContractTest.cpp), against Wine's HID stack (a virtual mouse and a
// virtual keyboard): whole device paths, no handle left behind by a walk,
// and a read on a real interface withdrawn at its limit or by a cancel.
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

TEST_F(WinHidBackendTest, RepeatedWalksLeakNoHandles) {
    // The search walks and probes every interface up to 101 times; each walk
    // must give back every handle it took. Handle values are handed out
    // lowest free first, so leaked ones push the next value up.
    const auto walk = [this] {
        for (const HidInterface& entry : ListOrFail()) {
            HidProbe probe;
            SysError err;
            (void)backend.Probe(entry.path, probe, err);  // only the handles count here
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
    EXPECT_EQ(connection->Read(buffer.data(), buffer.size(), got, 20000, err), IoStatus::Cancelled);
    canceller.join();
    EXPECT_LT(MsSince(start), 5000);
}

// A test fixture that puts an emulated bus under the library, with short time
// limits, and checks after every test that the pen saw no protocol mismatch.
#ifndef PENLINK_TESTS_EMULATEDLIBRARYTEST_H
#define PENLINK_TESTS_EMULATEDLIBRARYTEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/FWUState.h"
#include "Penlink.h"
#include "ResultWaiter.h"
#include "core/Timing.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

class EmulatedLibraryTest : public ::testing::Test {
protected:
    static penlink::Timing FastTiming() {
        penlink::Timing t;
        t.replyTimeoutMs = 300;
        t.searchPauseMs = 10;
        t.closePauseMs = 20;
        t.updateReplyTimeoutMs = 300;
        t.ackTimeoutMs = 300;
        t.imageAckTimeoutMs = 300;
        t.writeTimeoutMs = 1000;
        return t;
    }

    void SetUp() override {
        bus = std::make_unique<penlink::emulator::EmulatedBus>();
        bus->ForwardDebugOutput(false);
        bus->KeepFullRecord(true);  // Outgoing() and DebugCount() read all of it
        penlink::UseBackend(bus.get());
        penlink::UseServices(bus.get());
        penlink::SetTimingForTesting(&timing);
        penlink::ResetLibrary();
    }

    void TearDown() override {
        penlink::ResetLibrary();
        for (const auto& v : bus->Violations()) ADD_FAILURE() << v;
        penlink::SetTimingForTesting(nullptr);
        penlink::UseBackend(nullptr);
        penlink::UseServices(nullptr);
    }

    // A pen with the configured IDs, back in update mode 50 ms after the
    // switch.
    std::shared_ptr<penlink::emulator::EmulatedPen> AddPen(
        penlink::emulator::PenSetup setup = PenFor50Ms(),
        penlink::emulator::PenFaults faults = {}) {
        auto pen = std::make_shared<penlink::emulator::EmulatedPen>(setup, faults);
        bus->Add(pen);
        return pen;
    }

    static penlink::emulator::PenSetup PenFor50Ms() {
        auto setup = penlink::emulator::DefaultPenSetup();
        setup.reappearDelay = std::chrono::milliseconds(50);
        return setup;
    }

    // The output reports the devices received, as hex lines.
    std::vector<std::string> Outgoing() const {
        std::vector<std::string> out;
        for (const auto& line : bus->Log().Lines()) {
            if (line.rfind("OUT ", 0) == 0) out.push_back(line.substr(4));
        }
        return out;
    }

    // How many debug lines equal text.
    size_t DebugCount(const std::u16string& text) const {
        size_t n = 0;
        for (const auto& line : bus->DebugLines()) n += line == text;
        return n;
    }

    // Waits for one search result, then checks that no second one follows
    // within quietMs.
    SearchMessage ExpectOneResult(unsigned waitMs = 5000, unsigned quietMs = 150) {
        SearchMessage msg;
        EXPECT_TRUE(waiter.Wait(waitMs, msg)) << "no search result";
        SearchMessage extra;
        EXPECT_FALSE(waiter.Wait(quietMs, extra)) << "a second search result arrived";
        return msg;
    }

    penlink::Timing timing = FastTiming();
    std::unique_ptr<penlink::emulator::EmulatedBus> bus;
    ResultWaiter waiter;
};

#endif  // PENLINK_TESTS_EMULATEDLIBRARYTEST_H

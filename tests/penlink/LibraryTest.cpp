// The six calls end to end against the emulated pen: results, messages,
// transcripts and faults.
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>

#include "EmulatedLibraryTest.h"
#include "core/Library.h"
#include "core/ReportCodec.h"
#include "core/SearchThread.h"

using namespace penlink;
using namespace penlink::emulator;
using Clock = std::chrono::steady_clock;

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) { return HexBytes(bytes.data(), bytes.size()); }

// A 65-byte report written out by hand, independently of the library's own
// packing.
std::vector<uint8_t> Command(std::initializer_list<uint8_t> lead) {
    std::vector<uint8_t> r(65, 0x00);
    std::copy(lead.begin(), lead.end(), r.begin());
    return r;
}

std::vector<uint8_t> Image(size_t length) {
    std::vector<uint8_t> image(length);
    uint32_t x = 12345;
    for (auto& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return image;
}

// The bus's services with a hook on every debug line, which the search thread
// runs where it writes the line, and a count of the results handed on.
class HookedServices : public SystemServices {
public:
    explicit HookedServices(EmulatedBus& bus) : m_bus(bus) { UseServices(this); }
    ~HookedServices() override { UseServices(&m_bus); }
    uint32_t TickCount() override { return m_bus.TickCount(); }
    void Sleep(unsigned ms) override { m_bus.Sleep(ms); }
    void DebugOutput(const std::u16string& text) override {
        m_bus.DebugOutput(text);
        if (onLine) onLine(text);
    }
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override {
        ++posted;
        return m_bus.PostSearchResult(target, wParam, lParam, err);
    }
    bool ProcessExiting() override { return m_bus.ProcessExiting(); }
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override {
        return m_bus.LockPen(location, status, err);
    }

    std::function<void(const std::u16string&)> onLine;  // set before the search starts
    std::atomic<int> posted{0};

private:
    EmulatedBus& m_bus;
};

}  // namespace

TEST_F(EmulatedLibraryTest, CallsBeforeInitAndTheEmptyRecord) {
    AddPen();
    EXPECT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NOT_INITIALIZED);
    SearchMessage msg;
    EXPECT_FALSE(waiter.Wait(100, msg));
    EXPECT_TRUE(Outgoing().empty());

    EXPECT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    tagFWUDEVICEINFO info;
    std::memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(FWUGetDeviceInfo(&info), ORVANE_ERROR_NONE);
    const tagFWUDEVICEINFO zero{};
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
    EXPECT_NE(FWUGetDeviceInfo(nullptr), ORVANE_ERROR_NONE);

    // The update calls without a device object refuse instead of crashing.
    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_MODE_CHANGE_FAILED);
    uint8_t byte = 1;
    EXPECT_EQ(FWUSendFirmware(&byte, 1), ORVANE_ERROR_MODE_CHANGE_FAILED);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_TRUE(Outgoing().empty());
}

TEST_F(EmulatedLibraryTest, CompleteUpdateIsByteExact) {
    auto pen = AddPen();
    const std::vector<uint8_t> image = Image(53256);

    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    const SearchMessage msg = ExpectOneResult();
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_DEVICE_SEARCH_RESULT));
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    EXPECT_EQ(msg.lParam, reinterpret_cast<intptr_t>(g_FWUState.pQuillDev.load()));

    tagFWUDEVICEINFO info{};
    ASSERT_EQ(FWUGetDeviceInfo(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwProductCode, 0x21u);
    EXPECT_EQ(info.dwFirmwareVersion, 0x02050000u);
    EXPECT_EQ(info.dwVersion2, 0x010A0000u);
    EXPECT_EQ(info.dwVersion3, 0x03000000u);
    EXPECT_EQ(info.dwExtraInfo, 0x5Au);
    EXPECT_EQ(info.dwUpdateModeVersion, 0x01020000u);
    for (uint32_t r : info.dwReserved) EXPECT_EQ(r, 0u);

    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUSendFirmware(const_cast<uint8_t*>(image.data()), static_cast<int>(image.size())),
              ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_EQ(pen->ReceivedImage(), image);
    EXPECT_EQ(pen->BlocksReceived(), 951u);
    EXPECT_EQ(pen->FinishCount(), 2u);

    std::vector<std::string> expected = {
        Hex(Command({0x00, 0x02, 0x02, 0x95, 0x95})), Hex(Command({0x00, 0x02, 0x02, 0x90, 0x87})),
        Hex(Command({0x00, 0x02, 0x04, 0x93})), Hex(Command({0x00, 0x02, 0x01})),
        Hex(Command({0x00, 0x02, 0x03, 0x08, 0xD0, 0x00, 0x00}))};
    for (size_t offset = 0; offset < image.size(); offset += 56) {
        std::vector<uint8_t> block(65, 0xFF);
        block[0] = 0x00;
        block[1] = 0x02;
        block[2] = 0x02;
        block[3] = static_cast<uint8_t>(offset);
        block[4] = static_cast<uint8_t>(offset >> 8);
        block[5] = block[6] = 0x00;
        std::memcpy(&block[7], &image[offset], 56);
        expected.push_back(Hex(block));
    }
    expected.push_back(Hex(Command({0x00, 0x02, 0x08})));
    expected.push_back(Hex(Command({0x00, 0x02, 0x08})));
    EXPECT_EQ(Outgoing(), expected);
}

TEST_F(EmulatedLibraryTest, NoPenIsReportedOnceAfterOneTry) {
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    const SearchMessage msg = ExpectOneResult();
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_NOT_FOUND));
    EXPECT_EQ(msg.lParam, NOT_FOUND_NO_DEVICE);
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tStart\n\n"), 1u);
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tDevice Was not Opened\n"), 1u);
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tDevice not found\n"), 1u);
}

TEST_F(EmulatedLibraryTest, NoPenWithTheProductTimingAnswersAfterHalfASecond) {
    penlink::SetTimingForTesting(nullptr);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    const auto start = Clock::now();
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    SearchMessage msg;
    ASSERT_TRUE(waiter.Wait(3000, msg));
    const auto waited = Clock::now() - start;
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_NOT_FOUND));
    EXPECT_EQ(msg.lParam, NOT_FOUND_NO_DEVICE);
    EXPECT_GE(waited, std::chrono::milliseconds(480));
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
}

TEST_F(EmulatedLibraryTest, PenBackOnTheThirdTryIsFoundWithBothIdentities) {
    auto setup = PenFor50Ms();
    setup.reappearAfterListings = 3;
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    const SearchMessage msg = ExpectOneResult();
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tDevice Was not Opened\n"), 2u);
    tagFWUDEVICEINFO info{};
    FWUGetDeviceInfo(&info);
    EXPECT_EQ(info.dwFirmwareVersion, 0x02050000u);
    EXPECT_EQ(info.dwUpdateModeVersion, 0x01020000u);
}

TEST_F(EmulatedLibraryTest, PenAlreadyInUpdateModeIsFoundByTheSingleTry) {
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    EXPECT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    tagFWUDEVICEINFO info{};
    FWUGetDeviceInfo(&info);
    EXPECT_EQ(info.dwFirmwareVersion, 0u);
    EXPECT_EQ(info.dwUpdateModeVersion, 0x01020000u);
}

TEST_F(EmulatedLibraryTest, PenThatNeverComesBackIsReportedAfterTheLongSearch) {
    PenFaults faults;
    faults.neverReappears = true;
    AddPen(PenFor50Ms(), faults);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    const SearchMessage msg = ExpectOneResult(10000);
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_NOT_FOUND));
    EXPECT_EQ(msg.lParam, NOT_FOUND_AFTER_SWITCH);
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tDevice Was not Opened\n"), 101u);
}

TEST_F(EmulatedLibraryTest, CloseDuringTheLongSearchEndsItSilently) {
    PenFaults faults;
    faults.neverReappears = true;
    AddPen(PenFor50Ms(), faults);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    SearchMessage msg;
    EXPECT_FALSE(waiter.Wait(300, msg));
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tThread is going to close\n"), 1u);

    // The stop flag outlives the search: without FWUInit the next search ends
    // after its first failed try, silently.
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    EXPECT_FALSE(waiter.Wait(300, msg));
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tThread is going to close\n"), 2u);
}

TEST_F(EmulatedLibraryTest, RefusedPenKeepsItsIdentityAndGetsNothingButTheIdentify) {
    auto setup = PenFor50Ms();
    setup.productCode = 0x7F;
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    EXPECT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_MODE_CHANGE_FAILED);
    SearchMessage msg;
    EXPECT_FALSE(waiter.Wait(150, msg));
    tagFWUDEVICEINFO info{};
    FWUGetDeviceInfo(&info);
    EXPECT_EQ(info.dwProductCode, 0x7Fu);
    EXPECT_EQ(info.dwFirmwareVersion, 0x02050000u);

    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_MODE_CHANGE_FAILED);
    uint8_t image[100] = {};
    EXPECT_EQ(FWUSendFirmware(image, sizeof image), ORVANE_ERROR_FINISH_FAILED);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_FINISH_FAILED);
    EXPECT_EQ(Outgoing(), std::vector<std::string>{Hex(Command({0x00, 0x02, 0x02, 0x95, 0x95}))});
}

TEST_F(EmulatedLibraryTest, NullWindowDropsTheFoundPenSilently) {
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(nullptr), ORVANE_ERROR_NONE);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(DebugCount(u"FindFWUDevice :\tThe target window NULLLLL\n"), 1u);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);  // no device left: nothing sent
    EXPECT_EQ(Outgoing().size(), 1u);
}

TEST_F(EmulatedLibraryTest, OpeningAgainDuringASearchLeavesOneSearchAndOneResult) {
    auto setup = PenFor50Ms();
    // Long enough that no search can find the pen before the last opening,
    // even on a loaded machine.
    setup.reappearDelay = std::chrono::milliseconds(1000);
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
        std::this_thread::sleep_for(std::chrono::milliseconds(i * 3));
    }
    const SearchMessage msg = ExpectOneResult(5000, 300);
    EXPECT_EQ(msg.wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    EXPECT_EQ(msg.lParam, reinterpret_cast<intptr_t>(g_FWUState.pQuillDev.load()));
    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
}

TEST_F(EmulatedLibraryTest, InitTwiceReleasesTheHeldPen) {
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ExpectOneResult();
    ASSERT_NE(g_FWUState.pQuillDev.load(), nullptr);
    EXPECT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    EXPECT_EQ(g_FWUState.pQuillDev.load(), nullptr);
    const auto lines = bus->Log().Lines();
    EXPECT_EQ(lines.back(), "EVENT closed emu://pen-update");
}

TEST_F(EmulatedLibraryTest, TransferFaultsGiveTheirResults) {
    struct Case {
        const char* name;
        PenFaults faults;
        ORVANE_ERROR start, send;
        unsigned finishesBeforeClose;
    };
    std::vector<Case> cases(4);
    cases[0] = {"bad start ack", {}, ORVANE_ERROR_BAD_ACK, ORVANE_ERROR_NONE, 0};
    cases[0].faults.badStartAck = true;
    cases[1] = {"bad image ack", {}, ORVANE_ERROR_NONE, ORVANE_ERROR_BAD_ACK, 0};
    cases[1].faults.badImageAck = true;
    cases[2] = {"unplugged", {}, ORVANE_ERROR_NONE, ORVANE_ERROR_WRITE_FAILED, 0};
    cases[2].faults.unplugAfterBlocks = 10;
    cases[3] = {"silent acks", {}, ORVANE_ERROR_BAD_ACK, ORVANE_ERROR_BAD_ACK, 0};
    cases[3].faults.noAcks = true;
    const std::vector<uint8_t> image = Image(2000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto setup = PenFor50Ms();
        setup.startInUpdateMode = true;
        auto pen = AddPen(setup, c.faults);
        ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
        ASSERT_EQ(ExpectOneResult(2000, 10).wParam, static_cast<uintptr_t>(SEARCH_FOUND));
        EXPECT_EQ(FWUStartFirmwareUpdate(), c.start);
        if (c.start == ORVANE_ERROR_NONE) {
            EXPECT_EQ(FWUSendFirmware(const_cast<uint8_t*>(image.data()), 2000), c.send);
        }
        EXPECT_EQ(pen->FinishCount(), c.finishesBeforeClose);
        if (c.faults.unplugAfterBlocks > 0) {
            EXPECT_EQ(pen->BlocksReceived(), 10u);
            EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_FINISH_FAILED);
        } else {
            EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
            EXPECT_EQ(pen->FinishCount(), 1u);
        }
        TearDown();
    }
}

TEST_F(EmulatedLibraryTest, UpdateCallsOutOfOrderWriteNothing) {
    const std::vector<uint8_t> image = Image(2000);
    auto* bytes = const_cast<uint8_t*>(image.data());

    // A pen that did not switch: nothing but the identify and the switch.
    PenFaults refusesSwitch;
    refusesSwitch.switchWrite = SwitchWrite::OtherError;
    AddPen(PenFor50Ms(), refusesSwitch);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_MODE_CHANGE_FAILED);
    const size_t written = Outgoing().size();
    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_MODE_CHANGE_FAILED);
    EXPECT_EQ(FWUSendFirmware(bytes, 2000), ORVANE_ERROR_MODE_CHANGE_FAILED);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_EQ(Outgoing().size(), written);

    // The pen found in firmware-update mode: an image needs a start of its
    // own, a buffer and a length above 0.
    TearDown();
    SetUp();
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    auto pen = AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ExpectOneResult();
    const size_t identified = Outgoing().size();
    EXPECT_EQ(FWUSendFirmware(bytes, 2000), ORVANE_ERROR_WRITE_FAILED);
    EXPECT_EQ(Outgoing().size(), identified);
    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    const size_t started = Outgoing().size();
    EXPECT_EQ(FWUSendFirmware(bytes, 0), ORVANE_ERROR_WRITE_FAILED);
    EXPECT_EQ(FWUSendFirmware(bytes, -5), ORVANE_ERROR_WRITE_FAILED);
    EXPECT_EQ(FWUSendFirmware(nullptr, 2000), ORVANE_ERROR_WRITE_FAILED);
    EXPECT_EQ(Outgoing().size(), started);
    EXPECT_EQ(pen->BlocksReceived(), 0u);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_EQ(pen->FinishCount(), 1u);
}

TEST_F(EmulatedLibraryTest, IdentificationFaultsFailTheOpenWithoutASearch) {
    struct Case {
        const char* name;
        PenFaults faults;
        uint16_t inputLength, outputLength;
        bool held;
        ORVANE_ERROR expected;
    };
    std::vector<Case> cases(6);
    cases[0] = {"silent", {}, 65, 65, false, ORVANE_ERROR_MODE_CHANGE_FAILED};
    cases[0].faults.noIdentityReply = true;
    cases[1] = {"switch refused", {}, 65, 65, false, ORVANE_ERROR_MODE_CHANGE_FAILED};
    cases[1].faults.switchWrite = SwitchWrite::OtherError;
    cases[2] = {"held open elsewhere", {}, 65, 65, true, ORVANE_ERROR_MODE_CHANGE_FAILED};
    cases[3] = {"output too short for the identify command",
                {},
                65,
                4,
                false,
                ORVANE_ERROR_MODE_CHANGE_FAILED};
    cases[4] = {"input too long", {}, 129, 65, false, ORVANE_ERROR_MODE_CHANGE_FAILED};
    cases[5] = {"stops working on the switch", {}, 65, 65, false, ORVANE_ERROR_NONE};
    cases[5].faults.switchWrite = SwitchWrite::DeviceStopped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto setup = PenFor50Ms();
        setup.inputLength = c.inputLength;
        setup.outputLength = c.outputLength;
        auto pen = AddPen(setup, c.faults);
        pen->faults.heldExclusively = c.held;
        ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        const auto start = Clock::now();
        EXPECT_EQ(FWUOpenDevice(waiter.Target()), c.expected);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
        SearchMessage msg;
        const bool arrived = waiter.Wait(c.expected == ORVANE_ERROR_NONE ? 2000 : 100, msg);
        EXPECT_EQ(arrived, c.expected == ORVANE_ERROR_NONE);
        if (c.outputLength < sizeof kCmdIdentify) {
            EXPECT_TRUE(Outgoing().empty());
        }
        TearDown();
    }
}

TEST_F(EmulatedLibraryTest, SearchAbandonedAfterItsLastCheckPostsNothing) {
    // Each search writes one line after its last look at whether it was
    // abandoned and before it posts; the abandon comes right there, on the
    // search thread, so no sleep decides the order.
    struct Case {
        const char* name;
        bool penThere;
        bool closeLibrary;  // FWUInit on the test thread; else the target goes away
    };
    for (const Case& c :
         {Case{"found, target destroyed", true, false}, Case{"found, library closed", true, true},
          Case{"not found, target destroyed", false, false},
          Case{"not found, library closed", false, true}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.penThere) {
            auto setup = PenFor50Ms();
            setup.startInUpdateMode = true;
            AddPen(setup);
        }
        HookedServices services(*bus);
        const std::u16string lastLine = c.penThere ? u"FindFWUDevice :\tThe target window is ok\n"
                                                   : u"FindFWUDevice :\tDevice not found\n";
        std::promise<void> reached;
        services.onLine = [&](const std::u16string& line) {
            if (line != lastLine) return;
            if (!c.closeLibrary) {
                ForgetTarget(waiter.Target());
                return;
            }
            // FWUInit abandons the search first, then waits for its end.
            reached.set_value();
            const auto giveUp = Clock::now() + std::chrono::seconds(20);
            while (!Search().Abandoned() && Clock::now() < giveUp) std::this_thread::yield();
        };
        ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
        if (c.closeLibrary) {
            reached.get_future().wait();
            EXPECT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        } else {
            Search().Stop(false);
        }
        EXPECT_FALSE(Search().Busy());
        EXPECT_EQ(services.posted.load(), 0);
        SearchMessage msg;
        EXPECT_FALSE(waiter.Wait(0, msg));
        EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_MODE_CHANGE_FAILED);
        TearDown();
    }
}

// Progress during the transfer, identification without switching, and the
// list of matching interfaces.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "EmulatedLibraryTest.h"
#include "core/PenlinkConfig.h"
#include "core/ReportCodec.h"
#include "emulator/RecordingBus.h"
#include "emulator/ReplayPen.h"

#include <cstdio>
#include <filesystem>
#include <random>

using namespace penlink;
using namespace penlink::emulator;

namespace {

struct Progress {
    std::vector<std::pair<unsigned, unsigned>> calls;
};

void PENLINK_CALL RecordProgress(void* context, unsigned sent, unsigned total) {
    static_cast<Progress*>(context)->calls.emplace_back(sent, total);
}

// Every call that must wait for the running one, with what each returned.
std::vector<int> CallEverything() {
    static uint8_t byte = 0;
    static tagFWUDEVICEINFO info;
    return {FWUInit(),
            FWUOpenDevice(nullptr),
            FWUStartFirmwareUpdate(),
            FWUSendFirmware(&byte, 1),
            FWUCloseDevice(),
            FWUIdentifyDevice(&info),
            FWUSetProgressCallback(nullptr, nullptr),
            FWUSelectDevice("elsewhere")};
}

// Runs the std::function<void(unsigned)> behind context with the bytes sent.
void PENLINK_CALL RunOnProgress(void* context, unsigned sent, unsigned) {
    (*static_cast<std::function<void(unsigned)>*>(context))(sent);
}

void PENLINK_CALL RecordEntry(void* context, const FWUDEVICEENTRY* entry) {
    static_cast<std::vector<std::pair<std::string, uint32_t>>*>(context)->emplace_back(
        entry->pszPath, entry->dwMode);
}

}  // namespace

using ExtensionsTest = EmulatedLibraryTest;

TEST_F(ExtensionsTest, ProgressIsReportedAfterEveryBlockAndOnlyWhenAsked) {
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    auto pen = AddPen(setup);
    std::vector<uint8_t> image(1000, 0x42);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ExpectOneResult();

    Progress progress;
    ASSERT_EQ(FWUSetProgressCallback(&RecordProgress, &progress), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUSendFirmware(image.data(), 1000), ORVANE_ERROR_NONE);
    ASSERT_EQ(progress.calls.size(), 18u);  // 17 blocks of 56 bytes and one of 48
    for (size_t i = 0; i + 1 < progress.calls.size(); ++i) {
        EXPECT_EQ(progress.calls[i], std::make_pair(unsigned((i + 1) * 56), 1000u));
    }
    EXPECT_EQ(progress.calls.back(), std::make_pair(1000u, 1000u));
    const auto withProgress = Outgoing();

    // Without a callback the same transfer writes the same reports.
    FWUSetProgressCallback(nullptr, nullptr);
    progress.calls.clear();
    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUSendFirmware(image.data(), 1000), ORVANE_ERROR_NONE);
    EXPECT_TRUE(progress.calls.empty());
    const auto all = Outgoing();
    const std::vector<std::string> second(all.begin() + static_cast<long>(withProgress.size()),
                                          all.end());
    const std::vector<std::string> first(withProgress.begin() + 1, withProgress.end());
    EXPECT_EQ(second, first);
    EXPECT_EQ(pen->ReceivedImage(), image);
}

TEST_F(ExtensionsTest, IdentifyLeavesThePenInNormalMode) {
    tagFWUDEVICEINFO info{};
    EXPECT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_DEVICE_NOT_FOUND);
    EXPECT_EQ(FWUIdentifyDevice(nullptr), ORVANE_ERROR_READ_FAILED);

    auto pen = AddPen();
    ASSERT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwProductCode, 0x21u);
    EXPECT_EQ(info.dwFirmwareVersion, 0x02050000u);
    EXPECT_EQ(info.dwUpdateModeVersion, 0u);
    EXPECT_FALSE(pen->InUpdateMode());
    EXPECT_EQ(Outgoing().size(), 1u);  // the identify command only
    // The library's own record is untouched.
    tagFWUDEVICEINFO state{};
    FWUGetDeviceInfo(&state);
    EXPECT_EQ(state.dwProductCode, 0u);

    SetUp();
    auto setup = PenFor50Ms();
    setup.productCode = 0x7F;
    AddPen(setup);
    EXPECT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_MODE_CHANGE_FAILED);
    EXPECT_EQ(info.dwProductCode, 0x7Fu);
    EXPECT_EQ(FWUIdentifyUpdateModeDevice(&info), ORVANE_ERROR_DEVICE_NOT_FOUND);

    // A pen in firmware-update mode tells its loader version and stays there.
    SetUp();
    auto loader = PenFor50Ms();
    loader.startInUpdateMode = true;
    auto inUpdateMode = AddPen(loader);
    EXPECT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_DEVICE_NOT_FOUND);
    ASSERT_EQ(FWUIdentifyUpdateModeDevice(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwUpdateModeVersion, 0x01020000u);
    EXPECT_EQ(info.dwProductCode, 0u);
    EXPECT_TRUE(inUpdateMode->InUpdateMode());
    EXPECT_EQ(Outgoing().size(), 1u);  // the update-mode identify command only
    FWUGetDeviceInfo(&state);
    EXPECT_EQ(state.dwUpdateModeVersion, 0u);
    EXPECT_EQ(FWUIdentifyUpdateModeDevice(nullptr), ORVANE_ERROR_READ_FAILED);
}

TEST_F(ExtensionsTest, EnumerationListsPensInBothModesOnly) {
    std::vector<std::pair<std::string, uint32_t>> found;
    EXPECT_EQ(FWUEnumDevices(&RecordEntry, &found), ORVANE_ERROR_NONE);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(FWUEnumDevices(nullptr, nullptr), ORVANE_ERROR_DEVICE_NOT_FOUND);

    std::string error;
    ConfigureScenario(*bus, "normal", error);
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    AddPen(setup);
    ASSERT_EQ(FWUEnumDevices(&RecordEntry, &found), ORVANE_ERROR_NONE);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], std::make_pair(std::string("emu://pen"), uint32_t{FWU_MODE_NORMAL}));
    EXPECT_EQ(found[1], std::make_pair(std::string("emu://pen-update"), uint32_t{FWU_MODE_UPDATE}));
}

TEST_F(ExtensionsTest, CallsThatOverlapARunningCallAreRefusedAndChangeNothing) {
    const std::vector<int> refused(8, ORVANE_ERROR_MODE_CHANGE_FAILED);
    auto setup = PenFor50Ms();
    setup.startInUpdateMode = true;
    auto pen = AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ExpectOneResult();

    // From the progress callback on the transfer's own thread after the
    // first block, and from another thread after the second.
    std::vector<int> sameThread, otherThread;
    std::function<void(unsigned)> onProgress = [&](unsigned sent) {
        if (sent == 56) sameThread = CallEverything();
        if (sent == 112) std::thread([&] { otherThread = CallEverything(); }).join();
    };
    ASSERT_EQ(FWUSetProgressCallback(&RunOnProgress, &onProgress), ORVANE_ERROR_NONE);
    const std::vector<uint8_t> image(1000, 0x5A);
    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    EXPECT_EQ(FWUSendFirmware(const_cast<uint8_t*>(image.data()), 1000), ORVANE_ERROR_NONE);
    EXPECT_EQ(sameThread, refused);
    EXPECT_EQ(otherThread, refused);
    EXPECT_EQ(pen->ReceivedImage(), image);
    EXPECT_EQ(pen->FinishCount(), 1u);
    FWUSetProgressCallback(nullptr, nullptr);

    // During the identification of FWUOpenDevice on another thread.
    TearDown();
    SetUp();
    timing.replyTimeoutMs = 2000;
    PenFaults silent;
    silent.noIdentityReply = true;
    AddPen(PenFor50Ms(), silent);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    int opened = -1;
    std::thread opener([&] { opened = FWUOpenDevice(waiter.Target()); });
    while (Outgoing().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    otherThread = CallEverything();
    opener.join();
    EXPECT_EQ(opened, ORVANE_ERROR_MODE_CHANGE_FAILED);  // the pen never answered
    EXPECT_EQ(otherThread, refused);
    EXPECT_EQ(Outgoing().size(), 1u);

    // The strict pen refuses a command that comes in the middle of an image.
    TearDown();
    SetUp();
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ExpectOneResult();
    ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    uint8_t begin[65];
    BuildBeginImageReport(begin, sizeof begin, 100);
    SysError err;
    ASSERT_EQ(g_FWUState.pQuillDev.load()->hDevice->Write(begin, sizeof begin, 1000, err),
              IoStatus::Ok);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_FINISH_FAILED);
    ResetLibrary();
    EXPECT_EQ(bus->Violations().size(), 1u);
    SetUp();  // a fresh bus, without the violation
}

// Two pens: one left in firmware-update mode by an interrupted update, listed
// first, and one in normal mode at another port. The image goes to the pen
// whose versions were read; choosing the other one by its location
// recovers it, and the first is left alone.
TEST_F(ExtensionsTest, SearchTakesThePenAtTheSwitchedPensLocationOrTheChosenOne) {
    auto leftSetup = PenFor50Ms();
    leftSetup.location = "emu-port-3";
    leftSetup.startInUpdateMode = true;
    auto left = AddPen(leftSetup);
    auto pen = AddPen();
    const std::vector<uint8_t> image(1000, 0xA5);
    auto update = [&] {
        ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
        ASSERT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
        ASSERT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
        ASSERT_EQ(FWUSendFirmware(const_cast<uint8_t*>(image.data()), 1000), ORVANE_ERROR_NONE);
        ASSERT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    };
    update();
    EXPECT_EQ(pen->ReceivedImage(), image);
    EXPECT_EQ(left->BlocksReceived() + left->FinishCount(), 0u);

    ASSERT_EQ(FWUSelectDevice("emu-port-3"), ORVANE_ERROR_NONE);
    tagFWUDEVICEINFO info{};
    EXPECT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_DEVICE_NOT_FOUND);  // not in normal mode
    const unsigned finishes = pen->FinishCount();
    update();  // FWUInit keeps the choice
    EXPECT_EQ(left->ReceivedImage(), image);
    EXPECT_EQ(pen->FinishCount(), finishes);

    ASSERT_EQ(FWUSelectDevice("emu-port-9"), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    EXPECT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_NOT_FOUND));
    EXPECT_EQ(FWUSelectDevice(nullptr), ORVANE_ERROR_NONE);
}

// A pen whose lock another updater holds, before or after its switch, gets
// nothing from this one; the pen beside it can still be chosen.
TEST_F(ExtensionsTest, PenHeldByAnotherUpdaterGetsNothing) {
    for (const bool switched : {false, true}) {
        SCOPED_TRACE(switched ? "after its switch" : "before its switch");
        SetUp();
        auto heldSetup = PenFor50Ms();
        heldSetup.startInUpdateMode = switched;
        auto held = AddPen(heldSetup);
        held->faults.lockedByOtherUpdater = true;
        auto freeSetup = heldSetup;
        freeSetup.location = "emu-port-2";
        AddPen(freeSetup);

        std::vector<uint32_t> flags;
        ASSERT_EQ(FWUEnumDevices(
                      [](void* context, const FWUDEVICEENTRY* e) {
                          static_cast<std::vector<uint32_t>*>(context)->push_back(e->dwFlags);
                      },
                      &flags),
                  ORVANE_ERROR_NONE);
        EXPECT_EQ(flags, (std::vector<uint32_t>{FWU_ENTRY_HELD, 0}));
        const auto identify = switched ? FWUIdentifyUpdateModeDevice : FWUIdentifyDevice;
        tagFWUDEVICEINFO info{};
        EXPECT_EQ(identify(&info), ORVANE_ERROR_MODE_CHANGE_FAILED);
        ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
        EXPECT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_MODE_CHANGE_FAILED);
        EXPECT_TRUE(Outgoing().empty());

        ASSERT_EQ(FWUSelectDevice("emu-port-2"), ORVANE_ERROR_NONE);
        EXPECT_EQ(identify(&info), ORVANE_ERROR_NONE);
        EXPECT_EQ(Outgoing().size(), 1u);
        TearDown();
    }
    SetUp();
}

#ifndef _WIN32
TEST_F(ExtensionsTest, ResultGoesOnlyToTheTargetItsSearchWasStartedFor) {
    auto setup = PenFor50Ms();
    setup.reappearDelay = std::chrono::milliseconds(300);
    AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    FWU_TARGET old = FWUCreateNotifyTarget();
    ASSERT_EQ(FWUOpenDevice(old), ORVANE_ERROR_NONE);
    const auto* oldAddress = static_cast<const void*>(old);
    FWUDestroyNotifyTarget(old);
    // New targets, one of which usually gets the freed address (not under
    // AddressSanitizer, which holds freed memory back).
    std::vector<FWU_TARGET> fresh;
    for (int i = 0; i < 16; ++i) fresh.push_back(FWUCreateNotifyTarget());
    std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the pen is found meanwhile
    for (FWU_TARGET t : fresh) {
        FWUNOTIFICATION msg;
        EXPECT_EQ(FWUWaitNotification(t, 0, &msg), 0)
            << (static_cast<const void*>(t) == oldAddress ? "on the freed target's address" : "");
        FWUDestroyNotifyTarget(t);
    }
}

TEST(NotifyTargetTest, DestroyWakesEveryWaiterAtOnce) {
    FWU_TARGET target = FWUCreateNotifyTarget();
    ASSERT_NE(target, nullptr);
    std::atomic<int> taken{0};
    auto wait = [&] {
        FWUNOTIFICATION msg;
        taken += FWUWaitNotification(target, 20000, &msg);
    };
    std::thread first(wait), second(wait);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // both are waiting
    const auto start = std::chrono::steady_clock::now();
    FWUDestroyNotifyTarget(target);
    first.join();
    second.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count(),
              2000);
    EXPECT_EQ(taken.load(), 0);
}
#endif

namespace {

// Whether a pen is listed, and in which mode (0: none).
uint32_t ListedMode() {
    std::vector<std::pair<std::string, uint32_t>> found;
    FWUEnumDevices(&RecordEntry, &found);
    return found.empty() ? 0 : found.front().second;
}

// A whole update through the six calls; returns FWUCloseDevice's result.
ORVANE_ERROR UpdateWith(ResultWaiter& waiter, std::vector<uint8_t> image) {
    FWUInit();
    if (FWUOpenDevice(waiter.Target()) != ORVANE_ERROR_NONE) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    SearchMessage msg;
    if (!waiter.Wait(5000, msg) || msg.wParam != SEARCH_FOUND) return ORVANE_ERROR_DEVICE_NOT_FOUND;
    FWUStartFirmwareUpdate();
    FWUSendFirmware(image.data(), static_cast<int>(image.size()));
    return FWUCloseDevice();
}

}  // namespace

TEST_F(ExtensionsTest, PenRestartsIntoWhatItTookAfterTheClosingCommands) {
    auto setup = PenFor50Ms();
    setup.restartDelay = std::chrono::milliseconds(50);
    setup.leaveAfterLoneFinish = std::chrono::milliseconds(400);
    setup.returnVersion[0] = 3;
    setup.returnVersion[1] = 1;
    auto pen = AddPen(setup);
    ASSERT_EQ(UpdateWith(waiter, std::vector<uint8_t>(300, 0x5A)), ORVANE_ERROR_NONE);
    EXPECT_EQ(ListedMode(), 0u) << "gone on the second closing command";
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(ListedMode(), uint32_t{FWU_MODE_NORMAL});
    tagFWUDEVICEINFO info{};
    ASSERT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwFirmwareVersion, 0x03010000u);

    // A lone closing command (a cancel after the search): the pen waits for
    // a second one, then restarts with the firmware it had.
    FWUInit();  // the library lets go of the pen of the bus that goes
    SetUp();
    pen = AddPen(setup);
    FWUInit();
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ASSERT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    ASSERT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_EQ(ListedMode(), uint32_t{FWU_MODE_UPDATE});
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(ListedMode(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(ListedMode(), uint32_t{FWU_MODE_NORMAL});
    ASSERT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwFirmwareVersion, 0x02050000u);
}

TEST_F(ExtensionsTest, RecordedFailureReplaysAsItHappened) {
    // The pen is unplugged in the middle of the image: the recording keeps
    // the failed write, and the replay fails the same write the same way.
    PenFaults faults;
    // A name of its own: the sanitizer builds may run this test at the same time.
    const std::string file =
        (std::filesystem::temp_directory_path() /
         ("penlink-replay-test-" + std::to_string(std::random_device{}()) + ".record"))
            .string();
    faults.unplugAfterBlocks = 3;
    AddPen(PenFor50Ms(), faults);
    const std::vector<uint8_t> image(500, 0xA5);
    ORVANE_ERROR recorded[2];
    {
        RecordingBus recording(*bus, *bus);
        ASSERT_TRUE(recording.WriteTo(file));
        UseBackend(&recording);
        UseServices(&recording);
        FWUInit();
        ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
        ASSERT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
        FWUStartFirmwareUpdate();
        recorded[0] = FWUSendFirmware(const_cast<uint8_t*>(image.data()), 500);
        recorded[1] = FWUCloseDevice();
        ResetLibrary();
        UseBackend(bus.get());
        UseServices(bus.get());
    }
    EXPECT_EQ(recorded[0], ORVANE_ERROR_WRITE_FAILED);

    SetUp();
    std::string error;
    auto replay = ReplayPen::FromFile(file, error);
    ASSERT_TRUE(replay) << error;
    bus->Add(replay);
    FWUInit();
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    ASSERT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    EXPECT_EQ(FWUSendFirmware(const_cast<uint8_t*>(image.data()), 500), recorded[0]);
    EXPECT_EQ(FWUCloseDevice(), recorded[1]);
    EXPECT_EQ(replay->Unplayed(), "");

    // Two pens on the bus at once are more than a replay plays.
    std::FILE* two = std::fopen(file.c_str(), "w");
    std::fputs(
        "AT 1\nEVENT device up 1209 0001 65 65 a emu://a\n"
        "AT 2\nEVENT device up 1209 0001 65 65 b emu://b\n",
        two);
    std::fclose(two);
    EXPECT_FALSE(ReplayPen::FromFile(file, error));
    EXPECT_NE(error.find("two pens at once"), std::string::npos) << error;
    // A location with a space stays one word in the file.
    two = std::fopen(file.c_str(), "w");
    std::fputs("AT 1\nEVENT device up 1209 0001 65 65 hub%201%25 emu://a\n", two);
    std::fclose(two);
    replay = ReplayPen::FromFile(file, error);
    ASSERT_TRUE(replay) << error;
    EXPECT_EQ(replay->Location(), "hub 1%");
    std::remove(file.c_str());
}

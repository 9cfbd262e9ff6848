// The walk over the HID interfaces and the pen's identification, on the
// device objects themselves.
#include <chrono>

#include "EmulatedLibraryTest.h"
#include "core/PenlinkConfig.h"
#include "core/QuillDevice.h"

using namespace penlink;
using namespace penlink::emulator;

namespace {

std::shared_ptr<EmulatedDevice> Foreign(const std::string& name, uint16_t vid, uint16_t pid) {
    return std::make_shared<EmulatedDevice>(name, vid, pid, 65, 65);
}

// The path that a normal-mode object's walk stops at, or "" when none;
// anyVendorId, when not 0, fills entry 1 of the ID table.
std::string Walk(uint16_t anyVendorId = 0) {
    CQuillDevice device(false);
    device.wProductID[1] = anyVendorId;
    std::string path;
    return device.FindDevice(path) == Result::Ok ? path : "";
}

}  // namespace

using DeviceTest = EmulatedLibraryTest;

TEST_F(DeviceTest, MatchRuleTakesTheVendorOnlyForTheFirstProductId) {
    const uint16_t vid = config::kVendorIds[0];
    const uint16_t pid0 = config::kNormalModeProductIds[0];
    const uint16_t pid1 = 0x0003;
    CQuillDevice device(false);
    EXPECT_FALSE(device.Matches(0x045E, pid1));  // entries 1 to 4 unused for now
    device.wProductID[1] = pid1;
    device.wProductID[2] = 0x0004;
    EXPECT_TRUE(device.Matches(vid, pid0));
    EXPECT_FALSE(device.Matches(0x045E, pid0));
    EXPECT_TRUE(device.Matches(0x045E, pid1));
    EXPECT_TRUE(device.Matches(vid, 0x0004));
    // Unused entries hold 0 and never match, not even a device that reports 0.
    EXPECT_FALSE(device.Matches(0x0000, 0x0000));
    EXPECT_FALSE(device.Matches(vid, 0x0000));
    EXPECT_FALSE(device.Matches(0x0000, pid0));
    // The update-mode table differs in entry 0 only.
    CQuillDevice update(true);
    update.wProductID[1] = pid1;
    EXPECT_TRUE(update.Matches(vid, config::kUpdateModeProductIds[0]));
    EXPECT_FALSE(update.Matches(vid, pid0));
    EXPECT_TRUE(update.Matches(0x045E, pid1));
}

TEST_F(DeviceTest, OtherVendorsDevicesWithSmallProductIdsAreLeftAlone) {
    // Product IDs 3 and 4 were once stand-ins accepted from any vendor.
    bus->Add(Foreign("tablet", 0x045E, 0x0003));
    bus->Add(Foreign("gamepad", 0x1234, 0x0004));
    AddPen();
    tagFWUDEVICEINFO info{};
    EXPECT_EQ(FWUIdentifyDevice(&info), ORVANE_ERROR_NONE);
    EXPECT_EQ(info.dwProductCode, 0x21u);
    EXPECT_EQ(Outgoing().size(), 1u);  // the pen's identify command only
}

TEST_F(DeviceTest, WalkSkipsWhatCannotBeProbedAndStopsAtTheFirstMatch) {
    const uint16_t vid = config::kVendorIds[0];
    const uint16_t pid0 = config::kNormalModeProductIds[0];
    EXPECT_EQ(Walk(), "");  // no HID devices at all

    auto noPath = Foreign("no-path", vid, pid0);
    noPath->faults.pathFails = true;
    auto unplugged = Foreign("unplugged", vid, pid0);
    unplugged->faults.queryOpenFails = true;
    auto noAttributes = Foreign("no-attributes", vid, pid0);
    noAttributes->faults.attributesFail = true;
    auto noCaps = Foreign("no-caps", vid, pid0);
    noCaps->faults.capsFail = true;
    bus->Add(noPath);
    bus->Add(unplugged);
    bus->Add(noAttributes);
    bus->Add(noCaps);
    bus->Add(Foreign("foreign-vendor", 0x045E, pid0));
    EXPECT_EQ(Walk(), "");
    bus->Add(Foreign("second-model", 0x045E, 0x0003));
    bus->Add(Foreign("pen", vid, pid0));
    EXPECT_EQ(Walk(0x0003), "emu://second-model");
}

TEST_F(DeviceTest, HeldOpenElsewhereFailsTheOpenWithoutWalkingOn) {
    auto held = Foreign("held", config::kVendorIds[0], config::kNormalModeProductIds[0]);
    held->faults.heldExclusively = true;
    bus->Add(held);
    bus->Add(Foreign("later", config::kVendorIds[0], config::kNormalModeProductIds[0]));
    CQuillDevice device(false);
    EXPECT_EQ(device.Open(), Result::OpenFailed);
    EXPECT_EQ(device.dwMemberIndex, 1u);
}

TEST_F(DeviceTest, IdentityIsTakenFromTheThirdReportAfterTwoPenDataReports) {
    auto setup = PenFor50Ms();
    setup.identityOffset = 5;
    PenFaults faults;
    faults.dataReportsBeforeIdentity = 2;
    AddPen(setup, faults);
    CQuillDevice device(false);
    ASSERT_EQ(device.Open(), Result::Ok);
    EXPECT_EQ(device.dwProductCode, 0x21u);
    EXPECT_EQ(device.dwFirmwareVersion, 0x02050000u);
    EXPECT_EQ(device.nReplyState.load(), REPLY_DONE);
    size_t in = 0;
    for (const auto& line : bus->Log().Lines()) in += line.rfind("IN ", 0) == 0;
    EXPECT_EQ(in, 3u);
}

TEST_F(DeviceTest, SilentPenTimesOutWithinTheLimitAndTheReaderIsStopped) {
    PenFaults faults;
    faults.noIdentityReply = true;
    AddPen(PenFor50Ms(), faults);
    CQuillDevice device(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device.Open(), Result::Timeout);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(timing.replyTimeoutMs - 20));
    EXPECT_LT(waited, std::chrono::milliseconds(timing.replyTimeoutMs + 500));
}

TEST_F(DeviceTest, SwitchRequestOutcomes) {
    struct Case {
        const char* name;
        uint8_t productCode;
        SwitchWrite write;
        Result expected;
        size_t reportsWritten;
    };
    const Case cases[] = {
        {"accepted", 0x21, SwitchWrite::Ok, Result::Ok, 2},
        {"stops working during the write", 0x21, SwitchWrite::DeviceStopped, Result::Ok, 2},
        {"other write failure", 0x21, SwitchWrite::OtherError, Result::WriteFailed, 2},
        {"product code not accepted", 0x7F, SwitchWrite::Ok, Result::ModeChangeFailed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto setup = PenFor50Ms();
        setup.productCode = c.productCode;
        PenFaults faults;
        faults.switchWrite = c.write;
        AddPen(setup, faults);
        CQuillDevice device(false);
        ASSERT_EQ(device.Open(), Result::Ok);
        EXPECT_EQ(device.RequestUpdateMode(), c.expected);
        EXPECT_EQ(Outgoing().size(), c.reportsWritten);
        TearDown();
    }
}

TEST_F(DeviceTest, UpdateModeIdentificationTakesOneReportWithinTheLimit) {
    struct Case {
        const char* name;
        PenFaults faults;
        Result expected;
    };
    std::vector<Case> cases(3);
    cases[0] = {"good", {}, Result::Ok};
    cases[1] = {"wrong reply", {}, Result::ReadFailed};
    cases[1].faults.wrongUpdateReply = true;
    cases[2] = {"no reply", {}, Result::ReadFailed};
    cases[2].faults.noUpdateReply = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto setup = PenFor50Ms();
        setup.startInUpdateMode = true;
        setup.updateModeVersion[0] = 2;
        setup.updateModeVersion[1] = 5;
        AddPen(setup, c.faults);
        CQuillDevice device(true);
        EXPECT_EQ(device.Open(), c.expected);
        if (c.expected == Result::Ok) {
            EXPECT_EQ(device.dwUpdateModeVersion, 0x02050000u);
        }
        TearDown();
    }
}

TEST_F(DeviceTest, ReportsOfEveryLengthAreWrittenWholeAndZeroPadded) {
    for (uint16_t length : {5, 11, 64, 65, 128}) {
        SCOPED_TRACE(length);
        SetUp();
        auto setup = PenFor50Ms();
        setup.outputLength = length;
        AddPen(setup);
        CQuillDevice device(false);
        ASSERT_EQ(device.Open(), Result::Ok);
        ASSERT_EQ(device.RequestUpdateMode(), Result::Ok);
        for (const auto& line : Outgoing()) EXPECT_EQ(line.size(), length * 3u - 1);
        TearDown();  // the strict pen checked the padding
    }
}

TEST_F(DeviceTest, ShortReportsCarryTheCommandsThatFitButNoTransfer) {
    // Four bytes: too short for the identify command (5 bytes).
    auto setup = PenFor50Ms();
    setup.outputLength = 4;
    AddPen(setup);
    {
        CQuillDevice normal(false);
        EXPECT_EQ(normal.Open(), Result::WriteFailed);
        EXPECT_TRUE(Outgoing().empty());
    }

    // In firmware-update mode four bytes hold every command; only the image
    // needs eleven.
    SetUp();
    setup.startInUpdateMode = true;
    auto pen = AddPen(setup);
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);
    ASSERT_EQ(FWUOpenDevice(waiter.Target()), ORVANE_ERROR_NONE);
    EXPECT_EQ(ExpectOneResult().wParam, static_cast<uintptr_t>(SEARCH_FOUND));
    EXPECT_EQ(FWUStartFirmwareUpdate(), ORVANE_ERROR_NONE);
    uint8_t image[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(FWUSendFirmware(image, 8), ORVANE_ERROR_WRITE_FAILED);
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    EXPECT_EQ(pen->FinishCount(), 1u);
    EXPECT_EQ(Outgoing(), (std::vector<std::string>{"00 02 04 93", "00 02 01 00", "00 02 08 00"}));
}

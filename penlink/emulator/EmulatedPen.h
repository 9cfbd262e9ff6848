// The emulated pen: normal mode and firmware-update mode, the switch between
// them, the transfer, and the faults a real pen or its cable may show. It is
// strict: every output report is checked against the protocol, and a mismatch
// fails the write and is recorded with a hex dump of what came and what was
// expected.
#ifndef PENLINK_EMULATOR_EMULATEDPEN_H
#define PENLINK_EMULATOR_EMULATEDPEN_H

#include <chrono>
#include <cstdint>
#include <vector>

#include "EmulatedDevice.h"
#include "PenSideCodec.h"

namespace penlink::emulator {

// The location of a pen unless its setup names another one.
inline constexpr const char* kDefaultPenLocation = "emu-port-1";

// The major (part 0) or minor (part 1) number of the version of the image
// the programs carry by default, which the pen runs after an update. Any
// thread.
uint8_t CarriedImageVersion(int part);

struct PenSetup {
    // Where the pen is plugged in. A pen at another location than the
    // default one carries it in its path too ("emu://pen@LOCATION"), so that
    // several pens on one bus have paths of their own.
    std::string location = kDefaultPenLocation;
    uint16_t vendorId = 0;
    uint16_t normalProductId = 0;
    uint16_t updateProductId = 0;
    uint16_t inputLength = 65;
    uint16_t outputLength = 65;
    bool startInUpdateMode = false;

    // The identity block: product code, firmware version, second and third
    // version (major, minor) and the extra byte, and where in the report the
    // block stands.
    uint8_t productCode = 0x21;
    uint8_t firmware[2] = {2, 5};
    uint8_t version2[2] = {1, 10};
    uint8_t version3[2] = {3, 0};
    uint8_t extraInfo = 0x5A;
    size_t identityOffset = 0;
    // The version reported in firmware-update mode.
    uint8_t updateModeVersion[2] = {1, 2};

    // Time between the switch and the pen's return in firmware-update mode;
    // or, when reappearAfterListings is not 0, the listing of the bus (one
    // per search try) at which it is back.
    std::chrono::milliseconds reappearDelay{1000};
    unsigned reappearAfterListings = 0;
    // Take output reports at the pace of a full-speed interrupt endpoint,
    // one a millisecond.
    bool paced = false;

    // The restart after the update: the pen in firmware-update mode leaves
    // the bus on the second closing command, or leaveAfterLoneFinish after
    // the first when no second comes, and is back restartDelay later. With
    // a whole image received it comes back running returnVersion (in
    // firmware-update mode when returnsInUpdateMode); with no image begun,
    // in normal mode with the firmware it had; with an image cut short, in
    // firmware-update mode.
    uint8_t returnVersion[2] = {CarriedImageVersion(0), CarriedImageVersion(1)};
    bool returnsInUpdateMode = false;
    std::chrono::milliseconds leaveAfterLoneFinish{1500};
    std::chrono::milliseconds restartDelay{1000};
};

enum class SwitchWrite { Ok, DeviceStopped, OtherError };

struct PenFaults {
    bool noIdentityReply = false;            // never answers the identify command
    unsigned dataReportsBeforeIdentity = 0;  // pen data reports sent first
    SwitchWrite switchWrite = SwitchWrite::Ok;
    bool neverReappears = false;                 // leaves the bus on the switch for good
    bool wrongUpdateReply = false;               // update-mode reply with a wrong byte 1
    bool noUpdateReply = false;                  // never answers in firmware-update mode
    bool badStartAck = false;                    // start acknowledgement 01 00
    bool badImageAck = false;                    // image acknowledgement 02 00
    bool noAcks = false;                         // never acknowledges
    std::chrono::milliseconds imageAckDelay{0};  // writes its flash before the image ack
    int unplugAfterBlocks = -1;                  // leaves the bus after that many blocks
};

class EmulatedPen : public EmulatedDevice {
public:
    explicit EmulatedPen(const PenSetup& setup, const PenFaults& penFaults = {});

    bool OnListing() override;

    // What the pen holds: the image received, how many blocks and closing
    // commands came, whether it is in firmware-update mode. Any thread.
    std::vector<uint8_t> ReceivedImage() const;
    bool ImageComplete() const;
    unsigned BlocksReceived() const;
    unsigned FinishCount() const;
    bool InUpdateMode() const;

protected:
    IoStatus OnReport(const uint8_t* report, SysError& err) override;

private:
    enum class Phase { Idle, Started, Receiving, Complete };

    IoStatus OnNormalReport(const uint8_t* report, SysError& err);
    IoStatus OnUpdateReport(const uint8_t* report, SysError& err);
    IoStatus OnBlock(const uint8_t* report, SysError& err);
    // The pen leaves the bus to restart; the caller holds m_mutex.
    void BeginRestartLocked();
    // When the restart's time has come: back on the bus in the mode and
    // with the firmware it restarts into. Returns whether it is back.
    bool ReturnFromRestart();
    // Checks that report is the command followed by zeros.
    bool IsCommand(const uint8_t* report, const penside::Command& command) const;
    IoStatus Unexpected(const std::string& why, const uint8_t* report,
                        const std::vector<uint8_t>& expected, SysError& err);
    std::vector<uint8_t> CommandReport(const penside::Command& command) const;
    void QueueAck(penside::Ack kind, bool good,
                  std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void Switch();

    PenSetup m_setup;
    PenFaults m_faults;

    // Written by the connection's thread, read by tests and listings under
    // the device's lock.
    bool m_updateMode = false;
    bool m_switched = false;
    std::chrono::steady_clock::time_point m_switchTime{};
    unsigned m_listingsSinceSwitch = 0;
    Phase m_phase = Phase::Idle;
    uint32_t m_imageLength = 0;
    uint32_t m_nextOffset = 0;
    std::vector<uint8_t> m_image;
    unsigned m_blocks = 0;
    unsigned m_finishes = 0;
    bool m_unplugged = false;
    // The restart after the closing command.
    std::chrono::steady_clock::time_point m_firstFinishTime{};
    bool m_restarting = false;
    std::chrono::steady_clock::time_point m_restartTime{};
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATEDPEN_H

#include "EmulatedPen.h"

#include <algorithm>
#include <cstring>

#include "core/ReportCodec.h"

namespace penlink::emulator {

namespace {
constexpr uint8_t kPenDataReport[] = {0x00, 0x01, 0x10, 0x27, 0x33, 0x04, 0x1C, 0x02};

// The name the bus shows for the pen in a mode: "pen" or "pen-update", with
// "@LOCATION" after it for a pen that is not at the default location.
std::string PenName(const PenSetup& setup, bool updateMode) {
    std::string name = updateMode ? "pen-update" : "pen";
    if (setup.location != kDefaultPenLocation) name += "@" + setup.location;
    return name;
}
}  // namespace

uint8_t CarriedImageVersion(int part) {
    return part == 0 ? PENLINK_EMULATOR_IMAGE_MAJOR : PENLINK_EMULATOR_IMAGE_MINOR;
}

EmulatedPen::EmulatedPen(const PenSetup& setup, const PenFaults& penFaults)
    : EmulatedDevice(PenName(setup, setup.startInUpdateMode), setup.vendorId,
                     setup.startInUpdateMode ? setup.updateProductId : setup.normalProductId,
                     setup.inputLength, setup.outputLength, setup.location),
      m_setup(setup),
      m_faults(penFaults),
      m_updateMode(setup.startInUpdateMode) {
    paced = setup.paced;
}

bool EmulatedPen::OnListing() {
    bool leaving = false;
    bool restarting;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A lone closing command: the pen restarts once it is sure that no
        // second one comes.
        leaving = OnBus() && m_updateMode && m_finishes == 1 && !m_restarting &&
                  std::chrono::steady_clock::now() - m_firstFinishTime >=
                      m_setup.leaveAfterLoneFinish;
        if (leaving) BeginRestartLocked();
        restarting = m_restarting;
    }
    if (leaving) {
        LeaveBus();
        RecordEvent("pen restarting: off the bus, no second closing command came");
    }
    if (restarting) return ReturnFromRestart();
    bool back = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (OnBus()) return true;
        if (!m_switched || m_unplugged || m_faults.neverReappears) return false;
        ++m_listingsSinceSwitch;
        back = m_setup.reappearAfterListings != 0
                   ? m_listingsSinceSwitch >= m_setup.reappearAfterListings
                   : std::chrono::steady_clock::now() - m_switchTime >= m_setup.reappearDelay;
        if (back) {
            m_updateMode = true;
            m_phase = Phase::Idle;
        }
    }
    if (back) {
        ReturnToBus(m_setup.updateProductId, PenName(m_setup, true));
        RecordEvent("pen back on the bus in firmware-update mode");
    }
    return back;
}

std::vector<uint8_t> EmulatedPen::ReceivedImage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_image;
}

bool EmulatedPen::ImageComplete() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_phase == Phase::Complete;
}

unsigned EmulatedPen::BlocksReceived() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks;
}

unsigned EmulatedPen::FinishCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finishes;
}

bool EmulatedPen::InUpdateMode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_updateMode;
}

IoStatus EmulatedPen::OnReport(const uint8_t* report, SysError& err) {
    bool updateMode;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        updateMode = m_updateMode;
    }
    return updateMode ? OnUpdateReport(report, err) : OnNormalReport(report, err);
}

bool EmulatedPen::IsCommand(const uint8_t* report, const uint8_t* command, size_t count) const {
    const size_t length = OutputLength();
    return std::memcmp(report, command, count) == 0 &&
           std::all_of(report + count, report + length, [](uint8_t b) { return b == 0; });
}

std::vector<uint8_t> EmulatedPen::CommandReport(const uint8_t* command, size_t count) const {
    std::vector<uint8_t> expected(OutputLength(), 0);
    std::memcpy(expected.data(), command, std::min(count, expected.size()));
    return expected;
}

IoStatus EmulatedPen::Unexpected(const std::string& why, const uint8_t* report,
                                 const std::vector<uint8_t>& expected, SysError& err) {
    return Violation(why, report, OutputLength(), expected, err);
}

IoStatus EmulatedPen::OnNormalReport(const uint8_t* report, SysError& err) {
    if (IsCommand(report, kCmdIdentify, sizeof kCmdIdentify)) {
        if (m_faults.noIdentityReply) return IoStatus::Ok;
        for (unsigned i = 0; i < m_faults.dataReportsBeforeIdentity; ++i) {
            std::vector<uint8_t> data(std::begin(kPenDataReport), std::end(kPenDataReport));
            data[2] = static_cast<uint8_t>(data[2] + i);
            QueueInput(data);
        }
        std::vector<uint8_t> identity(m_setup.identityOffset, 0x00);
        const uint8_t block[kIdentityBlockLength] = {
            0x00, 0x80, 0xA9, m_setup.productCode, m_setup.firmware[0], m_setup.firmware[1],
            m_setup.version2[0], m_setup.version2[1], m_setup.version3[0], m_setup.version3[1],
            m_setup.extraInfo};
        identity.insert(identity.end(), std::begin(block), std::end(block));
        QueueInput(identity);
        return IoStatus::Ok;
    }
    if (IsCommand(report, kCmdEnterUpdateMode, sizeof kCmdEnterUpdateMode)) {
        switch (m_faults.switchWrite) {
            case SwitchWrite::OtherError:
                RecordEvent("switch command refused by the platform");
                err = {"WriteFile", 1167};  // ERROR_DEVICE_NOT_CONNECTED
                return IoStatus::Failed;
            case SwitchWrite::DeviceStopped:
                Switch();
                err = {"WriteFile", 31};  // ERROR_GEN_FAILURE
                return IoStatus::DeviceStopped;
            case SwitchWrite::Ok:
                Switch();
                return IoStatus::Ok;
        }
    }
    const bool looksLikeSwitch = report[3] == kCmdEnterUpdateMode[3];
    return Unexpected("normal mode takes only the identify and the switch command", report,
                      looksLikeSwitch ? CommandReport(kCmdEnterUpdateMode, sizeof kCmdEnterUpdateMode)
                                      : CommandReport(kCmdIdentify, sizeof kCmdIdentify),
                      err);
}

void EmulatedPen::BeginRestartLocked() {
    m_restarting = true;
    m_restartTime = std::chrono::steady_clock::now();
}

bool EmulatedPen::ReturnFromRestart() {
    bool updateMode;
    std::string firmware;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::chrono::steady_clock::now() - m_restartTime < m_setup.restartDelay) return false;
        m_restarting = false;
        m_switched = false;
        m_finishes = 0;
        // What the pen restarts into: the image it took whole, the firmware
        // it had when no image began, its loader when an image was cut short.
        const bool whole = m_phase == Phase::Complete;
        const bool begun = m_phase == Phase::Receiving || whole;
        if (whole) std::copy(std::begin(m_setup.returnVersion), std::end(m_setup.returnVersion),
                             std::begin(m_setup.firmware));
        updateMode = whole ? m_setup.returnsInUpdateMode : begun;
        m_updateMode = updateMode;
        m_phase = Phase::Idle;
        firmware = std::to_string(m_setup.firmware[0]) + "." +
                   (m_setup.firmware[1] < 10 ? "0" : "") + std::to_string(m_setup.firmware[1]);
    }
    ReturnToBus(updateMode ? m_setup.updateProductId : m_setup.normalProductId,
                PenName(m_setup, updateMode));
    RecordEvent(updateMode ? "pen back on the bus in firmware-update mode after its restart"
                           : "pen back on the bus in normal mode, running firmware " + firmware);
    return true;
}

void EmulatedPen::Switch() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_switched = true;
        m_switchTime = std::chrono::steady_clock::now();
        m_listingsSinceSwitch = 0;
    }
    LeaveBus();
    RecordEvent("pen left the bus to switch to firmware-update mode");
}

void EmulatedPen::QueueAck(uint8_t kind, bool good, std::chrono::milliseconds delay) {
    if (m_faults.noAcks) return;
    QueueInput({0x00, 0x01, kind, static_cast<uint8_t>(good ? 0x01 : 0x00)}, delay);
}

IoStatus EmulatedPen::OnUpdateReport(const uint8_t* report, SysError& err) {
    Phase phase;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        phase = m_phase;
    }
    const bool block = std::memcmp(report, kCmdImageBlock, sizeof kCmdImageBlock) == 0;
    if (phase == Phase::Receiving && !block) {
        return Unexpected("command in the middle of an image", report,
                          CommandReport(kCmdImageBlock, sizeof kCmdImageBlock), err);
    }
    if (IsCommand(report, kCmdUpdateIdentify, sizeof kCmdUpdateIdentify)) {
        if (!m_faults.noUpdateReply) {
            QueueInput({0x00, static_cast<uint8_t>(m_faults.wrongUpdateReply ? 0x02 : 0x01), 0x80,
                        0x93, 0x00, m_setup.updateModeVersion[0], m_setup.updateModeVersion[1]});
        }
        return IoStatus::Ok;
    }
    if (IsCommand(report, kCmdFinish, sizeof kCmdFinish)) {
        bool restart = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (++m_finishes == 1) m_firstFinishTime = std::chrono::steady_clock::now();
            restart = m_finishes == 2 && !m_restarting;
            if (restart) BeginRestartLocked();
        }
        RecordEvent("closing command");
        if (restart) LeaveBus();
        if (restart) RecordEvent("pen restarting: off the bus after the second closing command");
        return IoStatus::Ok;
    }
    if (IsCommand(report, kCmdStartUpdate, sizeof kCmdStartUpdate)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_phase = Phase::Started;
        }
        QueueAck(0x01, !m_faults.badStartAck);
        return IoStatus::Ok;
    }
    if (std::memcmp(report, kCmdBeginImage, sizeof kCmdBeginImage) == 0) {
        const uint32_t length = ReadLe32(report + 3);
        std::vector<uint8_t> expected(OutputLength());
        BuildBeginImageReport(expected.data(), expected.size(), length);
        if (phase != Phase::Started) {
            return Unexpected("begin-image report before the start command", report,
                              CommandReport(kCmdStartUpdate, sizeof kCmdStartUpdate), err);
        }
        if (!std::equal(expected.begin(), expected.end(), report)) {
            return Unexpected("begin-image report not zero after its length", report, expected, err);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_imageLength = length;
            m_nextOffset = 0;
            m_image.clear();
            m_blocks = 0;
            m_phase = length == 0 ? Phase::Complete : Phase::Receiving;
        }
        RecordEvent("image of " + std::to_string(length) + " bytes announced");
        if (length == 0) QueueAck(0x02, !m_faults.badImageAck, m_faults.imageAckDelay);
        return IoStatus::Ok;
    }
    if (block) {
        if (phase != Phase::Receiving) {
            return Unexpected("image block outside an announced image", report,
                              CommandReport(kCmdBeginImage, sizeof kCmdBeginImage), err);
        }
        return OnBlock(report, err);
    }
    return Unexpected("not a command of firmware-update mode", report,
                      CommandReport(kCmdFinish, sizeof kCmdFinish), err);
}

IoStatus EmulatedPen::OnBlock(const uint8_t* report, SysError& err) {
    const size_t length = OutputLength();
    uint32_t expectedOffset;
    uint32_t remaining;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        expectedOffset = m_nextOffset;
        remaining = m_imageLength - m_nextOffset;
    }
    const size_t block = BlockLength(remaining, length);
    std::vector<uint8_t> expected(length);
    BuildImageBlockReport(expected.data(), length, expectedOffset, report + kBlockHeaderLength,
                          block);
    if (!std::equal(expected.begin(), expected.end(), report)) {
        return Unexpected("image block with a wrong offset, length or fill (next offset " +
                              std::to_string(expectedOffset) + ", " + std::to_string(block) +
                              " bytes)",
                          report, expected, err);
    }
    bool complete;
    bool unplug;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_image.insert(m_image.end(), report + kBlockHeaderLength,
                       report + kBlockHeaderLength + block);
        m_nextOffset += static_cast<uint32_t>(block);
        ++m_blocks;
        complete = m_nextOffset == m_imageLength;
        if (complete) m_phase = Phase::Complete;
        unplug = m_faults.unplugAfterBlocks >= 0 &&
                 m_blocks == static_cast<unsigned>(m_faults.unplugAfterBlocks);
        if (unplug) m_unplugged = true;
    }
    if (unplug) {
        LeaveBus();
        RecordEvent("pen unplugged after " + std::to_string(m_faults.unplugAfterBlocks) + " blocks");
    } else if (complete) {
        RecordEvent("image complete");
        QueueAck(0x02, !m_faults.badImageAck, m_faults.imageAckDelay);
    }
    return IoStatus::Ok;
}

}  // namespace penlink::emulator

#include "EmulatedPen.h"

#include <algorithm>

#include "PenSideCodec.h"

namespace penlink::emulator {

namespace {

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
        leaving =
            OnBus() && m_updateMode && m_finishes == 1 && !m_restarting &&
            std::chrono::steady_clock::now() - m_firstFinishTime >= m_setup.leaveAfterLoneFinish;
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

bool EmulatedPen::IsCommand(const uint8_t* report, const penside::Command& command) const {
    return penside::IsCommand(report, OutputLength(), command);
}

std::vector<uint8_t> EmulatedPen::CommandReport(const penside::Command& command) const {
    return penside::CommandReport(command, OutputLength());
}

IoStatus EmulatedPen::Unexpected(const std::string& why, const uint8_t* report,
                                 const std::vector<uint8_t>& expected, SysError& err) {
    return Violation(why, report, OutputLength(), expected, err);
}

IoStatus EmulatedPen::OnNormalReport(const uint8_t* report, SysError& err) {
    if (IsCommand(report, penside::kIdentify)) {
        if (m_faults.noIdentityReply) return IoStatus::Ok;
        for (unsigned i = 0; i < m_faults.dataReportsBeforeIdentity; ++i) {
            QueueInput(penside::PenDataReport(i));
        }
        penside::Identity identity;
        identity.productCode = m_setup.productCode;
        std::copy(std::begin(m_setup.firmware), std::end(m_setup.firmware), identity.firmware);
        std::copy(std::begin(m_setup.version2), std::end(m_setup.version2), identity.version2);
        std::copy(std::begin(m_setup.version3), std::end(m_setup.version3), identity.version3);
        identity.extraInfo = m_setup.extraInfo;
        QueueInput(penside::IdentityReport(identity, m_setup.identityOffset));
        return IoStatus::Ok;
    }
    if (IsCommand(report, penside::kEnterUpdateMode)) {
        switch (m_faults.switchWrite) {
            case SwitchWrite::OtherError:
                RecordEvent("switch command refused by the platform");
                err = {"WriteFile", 1167};  // ERROR_DEVICE_NOT_CONNECTED
                return IoStatus::Failed;
            case SwitchWrite::DeviceStopped:
                Switch();
                err = {"WriteFile", 31};  // ERROR_GEN_FAILURE
                return IoStatus::DeviceStopped;
            case SwitchWrite::Ok: Switch(); return IoStatus::Ok;
        }
    }
    const bool looksLikeSwitch = report[3] == penside::kEnterUpdateMode.bytes[3];
    return Unexpected(
        "normal mode takes only the identify and the switch command", report,
        CommandReport(looksLikeSwitch ? penside::kEnterUpdateMode : penside::kIdentify), err);
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
        if (whole)
            std::copy(std::begin(m_setup.returnVersion), std::end(m_setup.returnVersion),
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

void EmulatedPen::QueueAck(penside::Ack kind, bool good, std::chrono::milliseconds delay) {
    if (m_faults.noAcks) return;
    QueueInput(penside::Acknowledgement(kind, good), delay);
}

IoStatus EmulatedPen::OnUpdateReport(const uint8_t* report, SysError& err) {
    Phase phase;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        phase = m_phase;
    }
    const size_t reportLength = OutputLength();
    const bool block = penside::StartsWith(report, reportLength, penside::kImageBlock);
    if (phase == Phase::Receiving && !block) {
        return Unexpected("command in the middle of an image", report,
                          CommandReport(penside::kImageBlock), err);
    }
    if (IsCommand(report, penside::kUpdateIdentify)) {
        if (!m_faults.noUpdateReply) {
            QueueInput(
                penside::UpdateIdentityReply(m_setup.updateModeVersion, m_faults.wrongUpdateReply));
        }
        return IoStatus::Ok;
    }
    if (IsCommand(report, penside::kFinish)) {
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
    if (IsCommand(report, penside::kStartUpdate)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_phase = Phase::Started;
        }
        QueueAck(penside::Ack::Start, !m_faults.badStartAck);
        return IoStatus::Ok;
    }
    if (penside::StartsWith(report, reportLength, penside::kBeginImage)) {
        if (phase != Phase::Started) {
            return Unexpected("begin-image report before the start command", report,
                              CommandReport(penside::kStartUpdate), err);
        }
        if (reportLength < penside::kMinImageReportLength) {
            return Unexpected("begin-image report too short for a block of four bytes", report, {},
                              err);
        }
        const uint32_t length = penside::LengthOrOffset(report);
        const std::vector<uint8_t> expected = penside::BeginImageReport(reportLength, length);
        if (!std::equal(expected.begin(), expected.end(), report)) {
            return Unexpected("begin-image report not zero after its length", report, expected,
                              err);
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
        if (length == 0) {
            QueueAck(penside::Ack::Image, !m_faults.badImageAck, m_faults.imageAckDelay);
        }
        return IoStatus::Ok;
    }
    if (block) {
        if (phase != Phase::Receiving) {
            return Unexpected("image block outside an announced image", report,
                              CommandReport(penside::kBeginImage), err);
        }
        return OnBlock(report, err);
    }
    return Unexpected("not a command of firmware-update mode", report,
                      CommandReport(penside::kFinish), err);
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
    const size_t block = penside::BlockBytes(remaining, length);
    const std::vector<uint8_t> expected = penside::ImageBlockReport(
        length, expectedOffset, report + penside::kBlockDataOffset, block);
    if (expected.empty() || !std::equal(expected.begin(), expected.end(), report)) {
        return Unexpected("image block with a wrong offset, length or fill (next offset " +
                              std::to_string(expectedOffset) + ", " + std::to_string(block) +
                              " bytes)",
                          report, expected, err);
    }
    bool complete;
    bool unplug;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_image.insert(m_image.end(), report + penside::kBlockDataOffset,
                       report + penside::kBlockDataOffset + block);
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
        RecordEvent("pen unplugged after " + std::to_string(m_faults.unplugAfterBlocks) +
                    " blocks");
    } else if (complete) {
        RecordEvent("image complete");
        QueueAck(penside::Ack::Image, !m_faults.badImageAck, m_faults.imageAckDelay);
    }
    return IoStatus::Ok;
}

}  // namespace penlink::emulator

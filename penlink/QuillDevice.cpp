#include "QuillDevice.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "DebugLog.h"
#include "Penlink.h"
#include "PenlinkConfig.h"
#include "ReportCodec.h"
#include "Timing.h"

namespace penlink {

CQuillDevice::CQuillDevice(bool updateMode) : bUpdateMode(updateMode) {
    const uint16_t* productIds =
        updateMode ? config::kUpdateModeProductIds : config::kNormalModeProductIds;
    std::memcpy(wVendorID, config::kVendorIds, sizeof wVendorID);
    std::memcpy(wProductID, productIds, sizeof wProductID);
}

int CQuillDevice::Open() {
    const int opened = CHIDDevice::Open();
    if (opened != ORVANE_ERROR_NONE) return opened;
    if (!bUpdateMode) {
        if (!WriteReport(sizeof kCmdIdentify, kCmdIdentify)) return ORVANE_ERROR_WRITE_FAILED;
        return WaitForReply();
    }
    if (!WriteReport(sizeof kCmdUpdateIdentify, kCmdUpdateIdentify)) {
        return ORVANE_ERROR_REQUEST_FAILED;
    }
    uint8_t reply[kReportBufferSize];
    size_t got = 0;
    if (!ReadInput(reply, got, CurrentTiming().updateReplyTimeoutMs, "update-mode identity")) {
        return ORVANE_ERROR_READ_FAILED;
    }
    if (!ParseReply(got, reply)) {
        LogFailure("the update-mode identity reply was not recognised");
        return ORVANE_ERROR_READ_FAILED;
    }
    return ORVANE_ERROR_NONE;
}

bool CQuillDevice::WriteReport(size_t count, const uint8_t* bytes) {
    const size_t length = Caps.OutputReportByteLength;
    uint8_t report[kReportBufferSize];
    // A command needs room for its own bytes only; the transfer, which needs
    // more, checks its reports itself.
    if (!hDevice || length > kReportBufferSize ||
        !BuildCommandReport(report, length, bytes, count)) {
        LogFailure("refusing output report length " + std::to_string(length));
        m_lastWrite = IoStatus::Failed;
        return false;
    }
    SysError err;
    m_lastWrite = hDevice->Write(report, length, CurrentTiming().writeTimeoutMs, err);
    if (m_lastWrite != IoStatus::Ok) {
        LogFailure("writing a command report", err);
        return false;
    }
    return true;
}

bool CQuillDevice::ReadInput(uint8_t* buffer, size_t& got, unsigned timeoutMs, const char* what) {
    const size_t length = Caps.InputReportByteLength;
    if (!hDevice || length == 0 || length > kReportBufferSize) {
        LogFailure(std::string("refusing input report length ") + std::to_string(length));
        return false;
    }
    SysError err;
    const IoStatus status = hDevice->Read(buffer, length, got, timeoutMs, err);
    if (status == IoStatus::Ok) return true;
    if (status == IoStatus::Timeout) {
        LogFailure(std::string("no ") + what + " within " + std::to_string(timeoutMs) + " ms");
    } else if (status != IoStatus::Cancelled) {
        LogFailure(std::string("reading the ") + what, err);
    }
    return false;
}

void CQuillDevice::SetReplyState(int state) {
    {
        std::lock_guard<std::mutex> lock(m_replyMutex);
        nReplyState.store(state, std::memory_order_release);
    }
    m_replyChanged.notify_all();
}

void CQuillDevice::ReplyReader(CQuillDevice* device) {
    uint8_t report[kReportBufferSize];
    for (;;) {
        size_t got = 0;
        SysError err;
        const size_t length = device->Caps.InputReportByteLength;
        const IoStatus status =
            device->hDevice->Read(report, length, got, CurrentTiming().replyTimeoutMs, err);
        if (status == IoStatus::Cancelled) return;  // the waiter gave up
        if (status == IoStatus::Timeout) continue;   // the waiter decides when to stop
        if (status != IoStatus::Ok) {
            LogFailure("reading the identity reply", err);
            device->SetReplyState(REPLY_FAILED);
            return;
        }
        if (device->ParseReply(got, report)) {
            device->SetReplyState(REPLY_DONE);
            return;
        }
    }
}

int CQuillDevice::WaitForReply() {
    const size_t length = Caps.InputReportByteLength;
    if (!hDevice || length == 0 || length > kReportBufferSize) {
        LogFailure("refusing input report length " + std::to_string(length));
        return ORVANE_ERROR_READ_FAILED;
    }
    nReplyState.store(REPLY_WAITING, std::memory_order_release);
    std::thread reader;
    try {
        reader = std::thread(&CQuillDevice::ReplyReader, this);
    } catch (const std::exception& e) {
        LogFailure(std::string("starting the reply reader: ") + e.what());
        return ORVANE_ERROR_TIMEOUT;
    }
    const unsigned limit = CurrentTiming().replyTimeoutMs;
    HidBackend& backend = Backend();
    const uint32_t start = backend.TickCount();
    {
        std::unique_lock<std::mutex> lock(m_replyMutex);
        for (;;) {
            if (nReplyState.load(std::memory_order_acquire) != REPLY_WAITING) break;
            const uint32_t elapsed = backend.TickCount() - start;
            if (elapsed >= limit) break;
            m_replyChanged.wait_for(lock, std::chrono::milliseconds(limit - elapsed));
        }
    }
    if (nReplyState.load(std::memory_order_acquire) == REPLY_WAITING) {
        hDevice->CancelRead();
    }
    reader.join();
    switch (nReplyState.load(std::memory_order_acquire)) {
        case REPLY_DONE:
            return ORVANE_ERROR_NONE;
        case REPLY_FAILED:
            return ORVANE_ERROR_READ_FAILED;
        default:
            LogFailure("no identity reply within " + std::to_string(limit) + " ms");
            return ORVANE_ERROR_TIMEOUT;
    }
}

bool CQuillDevice::ParseReply(size_t count, const uint8_t* bytes) {
    if (bUpdateMode) return ParseUpdateIdentity(bytes, count, dwUpdateModeVersion);
    NormalIdentity id;
    if (!ParseNormalIdentity(bytes, count, id)) return false;
    dwProductCode = id.productCode;
    dwFirmwareVersion = id.firmwareVersion;
    dwVersion2 = id.version2;
    dwVersion3 = id.version3;
    dwExtraInfo = id.extraInfo;
    return true;
}

bool CQuillDevice::IsSupportedDevice() const {
    return bUpdateMode || IsAcceptedProductCode(dwProductCode);
}

int CQuillDevice::RequestUpdateMode() {
    if (!IsSupportedDevice()) {
        LogFailure("product code " + std::to_string(dwProductCode) + " is not one this library updates");
        return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    if (WriteReport(sizeof kCmdEnterUpdateMode, kCmdEnterUpdateMode)) return ORVANE_ERROR_NONE;
    // A pen that switches may drop off the bus before the write completes;
    // the write then counts as sent. Which system errors mean that is the
    // backend's rule (IoStatus::DeviceStopped): on Windows error 31 alone.
    if (m_lastWrite == IoStatus::DeviceStopped) return ORVANE_ERROR_NONE;
    return ORVANE_ERROR_WRITE_FAILED;
}

int CQuillDevice::ReadAck(const uint8_t (&ack)[2], unsigned timeoutMs, const char* what) {
    uint8_t reply[kReportBufferSize];
    size_t got = 0;
    if (!ReadInput(reply, got, timeoutMs, what)) return ORVANE_ERROR_BAD_ACK;
    if (!IsAcknowledgement(reply, got, ack)) {
        LogFailure(std::string("unexpected ") + what);
        return ORVANE_ERROR_BAD_ACK;
    }
    return ORVANE_ERROR_NONE;
}

int CQuillDevice::ReadStartAck() {
    return ReadAck(kStartAck, CurrentTiming().ackTimeoutMs, "start acknowledgement");
}

int CQuillDevice::ReadImageAck() {
    return ReadAck(kImageAck, CurrentTiming().imageAckTimeoutMs, "image acknowledgement");
}

int CQuillDevice::SendImage(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock) {
    size_t length = Caps.OutputReportByteLength;
    if (!hDevice || !IsUsableOutputLength(length)) {
        LogFailure("refusing output report length " + std::to_string(length));
        return ORVANE_ERROR_WRITE_FAILED;
    }
    if (nLength < 0 || (nLength > 0 && pImage == nullptr)) {
        LogFailure("refusing an image of " + std::to_string(nLength) + " bytes");
        return ORVANE_ERROR_WRITE_FAILED;
    }
    const unsigned writeLimit = CurrentTiming().writeTimeoutMs;
    uint8_t report[kReportBufferSize];
    SysError err;
    BuildBeginImageReport(report, length, static_cast<uint32_t>(nLength));
    if (hDevice->Write(report, length, writeLimit, err) != IoStatus::Ok) {
        LogFailure("writing the begin-image report", err);
        return ORVANE_ERROR_WRITE_FAILED;
    }
    const auto total = static_cast<uint32_t>(nLength);
    uint32_t offset = 0;
    while (offset < total) {
        length = Caps.OutputReportByteLength;
        const size_t block = BlockLength(total - offset, length);
        if (block == 0 || !BuildImageBlockReport(report, length, offset, pImage + offset, block)) {
            LogFailure("refusing output report length " + std::to_string(length));
            return ORVANE_ERROR_WRITE_FAILED;
        }
        if (hDevice->Write(report, length, writeLimit, err) != IoStatus::Ok) {
            LogFailure("writing the block at offset " + std::to_string(offset), err);
            return ORVANE_ERROR_WRITE_FAILED;
        }
        offset += static_cast<uint32_t>(block);
        if (onBlock) onBlock(offset, total);
    }
    return ORVANE_ERROR_NONE;
}

}  // namespace penlink

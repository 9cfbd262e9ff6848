#include "QuillDevice.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "DebugLog.h"
#include "PenlinkConfig.h"
#include "ReportCodec.h"
#include "SystemServices.h"
#include "Timing.h"

namespace penlink {

CQuillDevice::CQuillDevice(bool updateMode) : bUpdateMode(updateMode) {
    const uint16_t* productIds =
        updateMode ? config::kUpdateModeProductIds : config::kNormalModeProductIds;
    std::memcpy(wVendorID, config::kVendorIds, sizeof wVendorID);
    std::memcpy(wProductID, productIds, sizeof wProductID);
}

Result CQuillDevice::Open() {
    const Result opened = CHIDDevice::Open();
    if (opened != Result::Ok) return opened;
    if (!bUpdateMode) {
        if (!WriteReport(sizeof kCmdIdentify, kCmdIdentify)) return Result::WriteFailed;
        return WaitForReply();
    }
    if (!WriteReport(sizeof kCmdUpdateIdentify, kCmdUpdateIdentify)) {
        return Result::RequestFailed;
    }
    uint8_t reply[kReportBufferSize];
    size_t got = 0;
    if (!ReadInput(reply, got, CurrentTiming().updateReplyTimeoutMs, "update-mode identity")) {
        return Result::ReadFailed;
    }
    if (!ParseReply(got, reply)) {
        LogFailure("the update-mode identity reply was not recognised");
        return Result::ReadFailed;
    }
    return Result::Ok;
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
        if (status == IoStatus::Timeout) continue;  // the waiter decides when to stop
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

Result CQuillDevice::WaitForReply() {
    const size_t length = Caps.InputReportByteLength;
    if (!hDevice || length == 0 || length > kReportBufferSize) {
        LogFailure("refusing input report length " + std::to_string(length));
        return Result::ReadFailed;
    }
    nReplyState.store(REPLY_WAITING, std::memory_order_release);
    std::thread reader;
    try {
        reader = std::thread(&CQuillDevice::ReplyReader, this);
    } catch (const std::exception& e) {
        LogFailure(std::string("starting the reply reader: ") + e.what());
        return Result::Timeout;
    }
    const unsigned limit = CurrentTiming().replyTimeoutMs;
    SystemServices& services = Services();
    const uint32_t start = services.TickCount();
    {
        std::unique_lock<std::mutex> lock(m_replyMutex);
        for (;;) {
            if (nReplyState.load(std::memory_order_acquire) != REPLY_WAITING) break;
            const uint32_t elapsed = services.TickCount() - start;
            if (elapsed >= limit) break;
            m_replyChanged.wait_for(lock, std::chrono::milliseconds(limit - elapsed));
        }
    }
    if (nReplyState.load(std::memory_order_acquire) == REPLY_WAITING) {
        hDevice->CancelRead();
    }
    reader.join();
    switch (nReplyState.load(std::memory_order_acquire)) {
        case REPLY_DONE: return Result::Ok;
        case REPLY_FAILED: return Result::ReadFailed;
        default:
            LogFailure("no identity reply within " + std::to_string(limit) + " ms");
            return Result::Timeout;
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

PenInfo CQuillDevice::Identity() const {
    PenInfo info;
    if (bUpdateMode) {
        info.dwUpdateModeVersion = dwUpdateModeVersion;
        return info;
    }
    info.dwProductCode = dwProductCode;
    info.dwFirmwareVersion = dwFirmwareVersion;
    info.dwVersion2 = dwVersion2;
    info.dwVersion3 = dwVersion3;
    info.dwExtraInfo = dwExtraInfo;
    return info;
}

bool CQuillDevice::IsSupportedDevice() const {
    return bUpdateMode || IsAcceptedProductCode(dwProductCode);
}

Result CQuillDevice::RequestUpdateMode() {
    if (!IsSupportedDevice()) {
        LogFailure("product code " + std::to_string(dwProductCode) +
                   " is not one this library updates");
        return Result::ModeChangeFailed;
    }
    if (WriteReport(sizeof kCmdEnterUpdateMode, kCmdEnterUpdateMode)) return Result::Ok;
    // A pen that switches may drop off the bus before the write completes;
    // the write then counts as sent. Which system errors mean that is the
    // backend's rule (IoStatus::DeviceStopped): on Windows error 31 alone.
    if (m_lastWrite == IoStatus::DeviceStopped) return Result::Ok;
    return Result::WriteFailed;
}

Result CQuillDevice::ReadAck(const uint8_t (&ack)[2], unsigned timeoutMs, const char* what) {
    uint8_t reply[kReportBufferSize];
    size_t got = 0;
    if (!ReadInput(reply, got, timeoutMs, what)) return Result::BadAck;
    if (!IsAcknowledgement(reply, got, ack)) {
        LogFailure(std::string("unexpected ") + what);
        return Result::BadAck;
    }
    return Result::Ok;
}

Result CQuillDevice::ReadStartAck() {
    return ReadAck(kStartAck, CurrentTiming().ackTimeoutMs, "start acknowledgement");
}

Result CQuillDevice::ReadImageAck() {
    return ReadAck(kImageAck, CurrentTiming().imageAckTimeoutMs, "image acknowledgement");
}

Result CQuillDevice::SendImage(const uint8_t* pImage, int nLength,
                               const BlockSentCallback& onBlock) {
    size_t length = Caps.OutputReportByteLength;
    if (!hDevice || !IsUsableOutputLength(length)) {
        LogFailure("refusing output report length " + std::to_string(length));
        return Result::WriteFailed;
    }
    if (nLength < 0 || (nLength > 0 && pImage == nullptr)) {
        LogFailure("refusing an image of " + std::to_string(nLength) + " bytes");
        return Result::WriteFailed;
    }
    const unsigned writeLimit = CurrentTiming().writeTimeoutMs;
    uint8_t report[kReportBufferSize];
    SysError err;
    BuildBeginImageReport(report, length, static_cast<uint32_t>(nLength));
    if (hDevice->Write(report, length, writeLimit, err) != IoStatus::Ok) {
        LogFailure("writing the begin-image report", err);
        return Result::WriteFailed;
    }
    const auto total = static_cast<uint32_t>(nLength);
    uint32_t offset = 0;
    while (offset < total) {
        length = Caps.OutputReportByteLength;
        const size_t block = BlockLength(total - offset, length);
        if (block == 0 || !BuildImageBlockReport(report, length, offset, pImage + offset, block)) {
            LogFailure("refusing output report length " + std::to_string(length));
            return Result::WriteFailed;
        }
        if (hDevice->Write(report, length, writeLimit, err) != IoStatus::Ok) {
            LogFailure("writing the block at offset " + std::to_string(offset), err);
            return Result::WriteFailed;
        }
        offset += static_cast<uint32_t>(block);
        if (onBlock) onBlock(offset, total);
    }
    return Result::Ok;
}

}  // namespace penlink

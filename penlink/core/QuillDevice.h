// The pen as the library sees it: a HID device with two modes (normal and
// firmware-update) that speaks the pen's report protocol.
#ifndef PENLINK_QUILLDEVICE_H
#define PENLINK_QUILLDEVICE_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "HIDDevice.h"
#include "PenInfo.h"

namespace penlink {

enum ReplyState { REPLY_WAITING = 1, REPLY_DONE = 2, REPLY_FAILED = 3 };

// Called after each block report with the image bytes sent so far and the
// image length.
using BlockSentCallback = std::function<void(uint32_t sent, uint32_t total)>;

class CQuillDevice : public CHIDDevice {
public:
    // Makes an object for the pen in normal mode (bUpdateMode false) or in
    // firmware-update mode; the ID table comes from the configuration.
    explicit CQuillDevice(bool updateMode);

    // Finds, opens and identifies the pen in the object's mode. Returns
    // Result::Ok or the first failure: DeviceNotFound or OpenFailed
    // from the walk; in normal mode WriteFailed, ReadFailed or Timeout; in
    // firmware-update mode RequestFailed or ReadFailed (also when the reply
    // does not come within the time limit). Output reports too short for the
    // command or over 128 bytes, and input reports over 128 bytes, are refused
    // as WriteFailed (RequestFailed in firmware-update mode) and ReadFailed.
    // One thread.
    Result Open() override;

    // Writes one whole output report that starts with the count command
    // bytes, zero after them. Returns true when written; false when the write
    // failed, or the report is shorter than count bytes or longer than the
    // report buffer.
    bool WriteReport(size_t count, const uint8_t* bytes);

    // Starts the reply reader and waits for the identity block, at most the
    // reply time limit. Returns Result::Ok, ReadFailed (a read
    // failed) or Timeout (the reader is then cancelled and joined).
    Result WaitForReply();

    // Looks for the identity reply of the object's mode in count bytes; sets
    // the identity members and returns true, or changes nothing and returns
    // false. Any thread that owns the object.
    bool ParseReply(size_t count, const uint8_t* bytes);

    // True in firmware-update mode; in normal mode when the product code is
    // accepted.
    bool IsSupportedDevice() const;

    // Tells a supported pen to switch to firmware-update mode. Returns
    // Result::Ok (written, or the pen stopped working during the
    // write, as it does when it switches), ModeChangeFailed (not supported;
    // nothing written) or WriteFailed.
    Result RequestUpdateMode();

    // Read one acknowledgement within its time limit (the image's is the
    // longer: the pen writes its flash first). Return Result::Ok or
    // Result::BadAck.
    Result ReadStartAck();
    Result ReadImageAck();

    // Writes the begin report and the image in blocks. Returns
    // Result::Ok or Result::WriteFailed (a write failed, or the
    // length is negative or the report length outside 11 to 128 bytes). onBlock, when set,
    // is called on this thread after each block.
    Result SendImage(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock = {});

    // What the pen told in the object's mode: in normal mode its identity
    // (dwUpdateModeVersion zero), in firmware-update mode its loader version
    // only. Any thread that owns the object.
    PenInfo Identity() const;

    uint32_t dwProductCode = 0;
    uint32_t dwVersion2 = 0;
    uint32_t dwFirmwareVersion = 0;
    uint32_t dwVersion3 = 0;
    uint32_t dwExtraInfo = 0;
    uint32_t dwUpdateModeVersion = 0;
    bool bUpdateMode = false;
    std::atomic<int> nReplyState{REPLY_WAITING};

private:
    static void ReplyReader(CQuillDevice* device);
    void SetReplyState(int state);
    // Reads one input report into buffer (kReportBufferSize bytes). Returns
    // false when the read fails or the input length is unusable.
    bool ReadInput(uint8_t* buffer, size_t& got, unsigned timeoutMs, const char* what);
    Result ReadAck(const uint8_t (&ack)[2], unsigned timeoutMs, const char* what);

    // How the last write ended: RequestUpdateMode takes a pen that stopped
    // during the switch command for one that switched.
    IoStatus m_lastWrite = IoStatus::Ok;
    std::mutex m_replyMutex;
    std::condition_variable m_replyChanged;
};

}  // namespace penlink

#endif  // PENLINK_QUILLDEVICE_H

// The update calls: start, send the image, close.
#include "DebugLog.h"
#include "ExportGate.h"
#include "FWUState.h"
#include "ReportCodec.h"
#include "SearchThread.h"
#include "Timing.h"
#include "Transfer.h"

namespace penlink {

namespace {

// The device object for the update calls: null when none is held, or while a
// search still owns it.
CQuillDevice* ReadyDevice() {
    if (Search().Busy()) {
        LogFailure("the search for the pen is still running");
        return nullptr;
    }
    CQuillDevice* device = g_FWUState.pQuillDev.load();
    if (device == nullptr) LogFailure("no pen is open");
    return device;
}

}  // namespace

ORVANE_ERROR SendFirmware(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock) {
    CQuillDevice* device = ReadyDevice();
    if (device == nullptr) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    const int sent = device->SendImage(pImage, nLength, onBlock);
    if (sent != ORVANE_ERROR_NONE) return static_cast<ORVANE_ERROR>(sent);
    if (device->ReadImageAck() != ORVANE_ERROR_NONE) return ORVANE_ERROR_BAD_ACK;
    if (!device->IsSupportedDevice() || !device->WriteReport(sizeof kCmdFinish, kCmdFinish)) {
        return ORVANE_ERROR_FINISH_FAILED;
    }
    return ORVANE_ERROR_NONE;
}

}  // namespace penlink

using namespace penlink;

ORVANE_ERROR FWUStartFirmwareUpdate() {
    const ExportGate gate("FWUStartFirmwareUpdate");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    CQuillDevice* device = ReadyDevice();
    if (device == nullptr || !device->IsSupportedDevice()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    if (!device->WriteReport(sizeof kCmdStartUpdate, kCmdStartUpdate)) {
        return ORVANE_ERROR_WRITE_FAILED;
    }
    return static_cast<ORVANE_ERROR>(device->ReadStartAck());
}

ORVANE_ERROR FWUSendFirmware(unsigned char* pImage, int nLength) {
    const ExportGate gate("FWUSendFirmware");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    return SendFirmwareWithProgress(pImage, nLength);
}

ORVANE_ERROR FWUCloseDevice() {
    const ExportGate gate("FWUCloseDevice");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    g_FWUState.bStopSearch.store(true);
    Backend().Sleep(CurrentTiming().closePauseMs);
    Search().Stop(false);  // a running search ends after its current try
    CQuillDevice* device = g_FWUState.pQuillDev.load();
    if (device == nullptr) return ORVANE_ERROR_NONE;
    if (!device->IsSupportedDevice() || !device->WriteReport(sizeof kCmdFinish, kCmdFinish)) {
        return ORVANE_ERROR_FINISH_FAILED;
    }
    return ORVANE_ERROR_NONE;
}

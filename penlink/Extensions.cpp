// The calls beyond the six: progress during the transfer, identification
// without switching, and the list of matching interfaces.
#include <mutex>

#include "DebugLog.h"
#include "ExportGate.h"
#include "FWUState.h"
#include "ReportCodec.h"
#include "SearchThread.h"
#include "Transfer.h"

namespace penlink {

namespace {

std::mutex g_progressMutex;
FWU_PROGRESS_CALLBACK g_progress = nullptr;
void* g_progressContext = nullptr;

}  // namespace

ORVANE_ERROR SendFirmwareWithProgress(const uint8_t* pImage, int nLength) {
    FWU_PROGRESS_CALLBACK callback;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_progressMutex);
        callback = g_progress;
        context = g_progressContext;
    }
    if (callback == nullptr) return SendFirmware(pImage, nLength, {});
    return SendFirmware(pImage, nLength, [callback, context](uint32_t sent, uint32_t total) {
        callback(context, sent, total);
    });
}

}  // namespace penlink

using namespace penlink;

ORVANE_ERROR FWUSetProgressCallback(FWU_PROGRESS_CALLBACK callback, void* context) {
    const ExportGate gate("FWUSetProgressCallback");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    std::lock_guard<std::mutex> lock(g_progressMutex);
    g_progress = callback;
    g_progressContext = context;
    return ORVANE_ERROR_NONE;
}

ORVANE_ERROR FWUIdentifyDevice(tagFWUDEVICEINFO* pInfo) {
    if (pInfo == nullptr) return ORVANE_ERROR_READ_FAILED;
    *pInfo = tagFWUDEVICEINFO{};
    const ExportGate gate("FWUIdentifyDevice");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    if (Search().Busy()) {
        LogFailure("identification refused: the search for the pen is running");
        return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    CQuillDevice device(false);
    const int opened = device.Open();
    if (opened != ORVANE_ERROR_NONE) return static_cast<ORVANE_ERROR>(opened);
    pInfo->dwProductCode = device.dwProductCode;
    pInfo->dwFirmwareVersion = device.dwFirmwareVersion;
    pInfo->dwVersion2 = device.dwVersion2;
    pInfo->dwVersion3 = device.dwVersion3;
    pInfo->dwExtraInfo = device.dwExtraInfo;
    return device.IsSupportedDevice() ? ORVANE_ERROR_NONE : ORVANE_ERROR_MODE_CHANGE_FAILED;
}

ORVANE_ERROR FWUIdentifyUpdateModeDevice(tagFWUDEVICEINFO* pInfo) {
    if (pInfo == nullptr) return ORVANE_ERROR_READ_FAILED;
    *pInfo = tagFWUDEVICEINFO{};
    const ExportGate gate("FWUIdentifyUpdateModeDevice");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    if (Search().Busy()) {
        LogFailure("update-mode identification refused: the search for the pen is running");
        return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    CQuillDevice device(true);
    const int opened = device.Open();
    if (opened != ORVANE_ERROR_NONE) return static_cast<ORVANE_ERROR>(opened);
    pInfo->dwUpdateModeVersion = device.dwUpdateModeVersion;
    return ORVANE_ERROR_NONE;
}

ORVANE_ERROR FWUEnumDevices(FWU_DEVICE_CALLBACK callback, void* context) {
    if (callback == nullptr) return ORVANE_ERROR_DEVICE_NOT_FOUND;
    HidBackend& backend = Backend();
    std::vector<HidInterface> list;
    SysError err;
    if (!backend.ListInterfaces(list, err)) {
        LogFailure("listing the HID interfaces", err);
        return ORVANE_ERROR_DEVICE_NOT_FOUND;
    }
    const CQuillDevice normal(false);
    const CQuillDevice update(true);
    for (const HidInterface& entry : list) {
        HidProbe probe;
        if (!entry.pathOk || backend.Probe(entry.path, probe, err) != ProbeStatus::Ok) continue;
        FWUDEVICEENTRY out{};
        if (normal.Matches(probe.vendorId, probe.productId)) {
            out.dwMode = FWU_MODE_NORMAL;
        } else if (update.Matches(probe.vendorId, probe.productId)) {
            out.dwMode = FWU_MODE_UPDATE;
        } else {
            continue;
        }
        out.wVendorID = probe.vendorId;
        out.wProductID = probe.productId;
        out.wInputLength = probe.inputReportLength;
        out.wOutputLength = probe.outputReportLength;
        out.pszPath = entry.path.c_str();
        callback(context, &out);
    }
    return ORVANE_ERROR_NONE;
}

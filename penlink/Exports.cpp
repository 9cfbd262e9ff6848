// Every call the library exports, in one place. Each one checks its
// arguments, holds the gate where one call at a time is the rule, calls the
// core and turns the core's Result into ORVANE_ERROR. What each returns on
// each path and which thread may call it is documented in Penlink.h.
#include <cstring>

#include "Penlink.h"
#include "core/ExportGate.h"
#include "core/FWUState.h"
#include "core/Library.h"
#include "core/SystemServices.h"
#ifdef PENLINK_EMULATED_LIBRARY
#include "emulator/OpeningDelay.h"
#endif
#ifndef _WIN32
#include "posix/NotifyTarget.h"
#endif

using namespace penlink;

static_assert(kSearchResultMessage == WM_DEVICE_SEARCH_RESULT && kSearchFound == SEARCH_FOUND &&
                  kSearchNotFound == SEARCH_NOT_FOUND &&
                  kNotFoundAfterSwitch == NOT_FOUND_AFTER_SWITCH &&
                  kNotFoundNoDevice == NOT_FOUND_NO_DEVICE,
              "the search result the core posts is the one Penlink.h documents");

namespace {

// The one mapping of the core's results to the library's error codes.
ORVANE_ERROR ToError(Result result) {
    switch (result) {
        case Result::Ok: return ORVANE_ERROR_NONE;
        case Result::NotInitialized: return ORVANE_ERROR_NOT_INITIALIZED;
        case Result::OpenFailed: return ORVANE_ERROR_OPEN_FAILED;
        case Result::DeviceNotFound: return ORVANE_ERROR_DEVICE_NOT_FOUND;
        case Result::WriteFailed: return ORVANE_ERROR_WRITE_FAILED;
        case Result::ReadFailed: return ORVANE_ERROR_READ_FAILED;
        case Result::BadAck: return ORVANE_ERROR_BAD_ACK;
        case Result::FinishFailed: return ORVANE_ERROR_FINISH_FAILED;
        case Result::ModeChangeFailed: return ORVANE_ERROR_MODE_CHANGE_FAILED;
        case Result::Timeout: return ORVANE_ERROR_TIMEOUT;
        case Result::RequestFailed: return ORVANE_ERROR_REQUEST_FAILED;
        // A call refused at the gate is told apart from the others by the
        // log line only: callers know 8 as "the library would not do it now".
        case Result::Busy: return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    return ORVANE_ERROR_MODE_CHANGE_FAILED;
}

// Runs call inside the gate named name and maps its Result; a call refused
// at the gate maps Result::Busy.
template <typename Call>
ORVANE_ERROR Gated(const char* name, Call call) {
    const ExportGate gate(name);
    const Result admitted = gate.Admission();
    return ToError(admitted == Result::Ok ? call() : admitted);
}

// Copies the core's record into the public one, reserved words zero.
void CopyInfo(const PenInfo& from, tagFWUDEVICEINFO* to) {
    tagFWUDEVICEINFO info{};
    info.dwProductCode = from.dwProductCode;
    info.dwFirmwareVersion = from.dwFirmwareVersion;
    info.dwUpdateModeVersion = from.dwUpdateModeVersion;
    info.dwExtraInfo = from.dwExtraInfo;
    info.dwVersion2 = from.dwVersion2;
    info.dwVersion3 = from.dwVersion3;
    std::memcpy(to, &info, sizeof info);
}

// FWUIdentifyDevice and FWUIdentifyUpdateModeDevice: the record is cleared
// first, then filled with what the pen told, whatever the result.
ORVANE_ERROR IdentifyExport(const char* name, bool updateMode, tagFWUDEVICEINFO* pInfo) {
    if (pInfo == nullptr) return ORVANE_ERROR_READ_FAILED;
    *pInfo = tagFWUDEVICEINFO{};
    return Gated(name, [&] {
        PenInfo info;
        const Result result = IdentifyDevice(updateMode, info);
        CopyInfo(info, pInfo);
        return result;
    });
}

}  // namespace

// The six calls.

ORVANE_ERROR FWUInit() {
    return Gated("FWUInit", [&] { return Init(); });
}

ORVANE_ERROR FWUOpenDevice(FWU_TARGET hWnd) {
#ifdef PENLINK_EMULATED_LIBRARY
    HoldOpeningForTests();
#endif
    return Gated("FWUOpenDevice", [&] { return OpenDevice(static_cast<void*>(hWnd)); });
}

ORVANE_ERROR FWUGetDeviceInfo(tagFWUDEVICEINFO* pInfo) {
    if (pInfo == nullptr) return ORVANE_ERROR_READ_FAILED;
    CopyInfo(ReadDeviceInfo(), pInfo);
    return ORVANE_ERROR_NONE;
}

ORVANE_ERROR FWUStartFirmwareUpdate() {
    return Gated("FWUStartFirmwareUpdate", [&] { return StartFirmwareUpdate(); });
}

ORVANE_ERROR FWUSendFirmware(unsigned char* pImage, int nLength) {
    return Gated("FWUSendFirmware", [&] { return SendFirmwareWithProgress(pImage, nLength); });
}

ORVANE_ERROR FWUCloseDevice() {
    return Gated("FWUCloseDevice", [&] { return CloseDevice(); });
}

// The calls beyond the six: progress, identification without switching and
// the list of matching interfaces.

ORVANE_ERROR FWUSetProgressCallback(FWU_PROGRESS_CALLBACK callback, void* context) {
    BlockSentCallback onBlock;
    if (callback != nullptr) {
        onBlock = [callback, context](uint32_t sent, uint32_t total) {
            callback(context, sent, total);
        };
    }
    return Gated("FWUSetProgressCallback", [&] { return SetProgressCallback(std::move(onBlock)); });
}

ORVANE_ERROR FWUIdentifyDevice(tagFWUDEVICEINFO* pInfo) {
    return IdentifyExport("FWUIdentifyDevice", false, pInfo);
}

ORVANE_ERROR FWUIdentifyUpdateModeDevice(tagFWUDEVICEINFO* pInfo) {
    return IdentifyExport("FWUIdentifyUpdateModeDevice", true, pInfo);
}

ORVANE_ERROR FWUEnumDevices(FWU_DEVICE_CALLBACK callback, void* context) {
    if (callback == nullptr) return ORVANE_ERROR_DEVICE_NOT_FOUND;
    return ToError(EnumDevices(
        [&](const std::string& path, const HidProbe& probe, bool update, bool heldElsewhere) {
            FWUDEVICEENTRY out{};
            out.wVendorID = probe.vendorId;
            out.wProductID = probe.productId;
            out.dwMode = update ? FWU_MODE_UPDATE : FWU_MODE_NORMAL;
            out.wInputLength = probe.inputReportLength;
            out.wOutputLength = probe.outputReportLength;
            out.pszPath = path.c_str();
            out.pszLocation = probe.location.c_str();
            out.dwFlags = heldElsewhere ? FWU_ENTRY_HELD : 0;
            callback(context, &out);
        }));
}

ORVANE_ERROR FWUSelectDevice(const char* pszLocation) {
    return Gated("FWUSelectDevice", [&] { return SelectLocation(pszLocation); });
}

ORVANE_ERROR FWUHoldPen(int hold) {
    return Gated("FWUHoldPen", [&] { return HoldPen(hold != 0); });
}

#ifndef _WIN32
// The notification targets that stand in for windows.

// FWU_TARGET is the public name of the posix layer's queue.
namespace {
NotifyQueue* QueueOf(FWU_TARGET target) { return reinterpret_cast<NotifyQueue*>(target); }
}  // namespace

FWU_TARGET FWUCreateNotifyTarget() { return reinterpret_cast<FWU_TARGET>(NotifyTarget::Create()); }

int FWUWaitNotification(FWU_TARGET target, unsigned int timeoutMs, FWUNOTIFICATION* msg) {
    if (target == nullptr || msg == nullptr) return 0;
    Notification taken{};
    if (!NotifyTarget::Wait(QueueOf(target), timeoutMs, taken)) return 0;
    *msg = FWUNOTIFICATION{taken.message, taken.wParam, taken.lParam};
    return 1;
}

void FWUDestroyNotifyTarget(FWU_TARGET target) {
    if (target == nullptr) return;
    ForgetTarget(target);
    NotifyTarget::Destroy(QueueOf(target));
}
#endif

#ifdef PENLINK_EMULATED_LIBRARY
// Present in the emulated build only, so that a program can tell at run time
// that it talks to the emulated pen (GetProcAddress or dlsym on the loaded
// library) without the real library having to carry anything for it.
// Returns 1. Any thread.
extern "C" PENLINK_API int PENLINK_CALL FWUIsEmulated() { return 1; }
#endif

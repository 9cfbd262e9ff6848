// The global state, FWUInit and FWUGetDeviceInfo.
#include "FWUState.h"

#include <cstring>

#include "ExportGate.h"
#include "Platform.h"
#include "SearchThread.h"

namespace penlink {

FWUState g_FWUState;

void DestroyDevice() { delete g_FWUState.pQuillDev.exchange(nullptr); }

tagFWUDEVICEINFO ReadDeviceInfo() {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    return g_FWUState.DeviceInfo;
}

void ClearDeviceInfo() {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    g_FWUState.DeviceInfo = tagFWUDEVICEINFO{};
}

void SetIdentity(const CQuillDevice& device) {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    tagFWUDEVICEINFO& info = g_FWUState.DeviceInfo;
    info.dwProductCode = device.dwProductCode;
    info.dwFirmwareVersion = device.dwFirmwareVersion;
    info.dwVersion2 = device.dwVersion2;
    info.dwVersion3 = device.dwVersion3;
    info.dwExtraInfo = device.dwExtraInfo;
}

void SetUpdateModeVersion(uint32_t version) {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    g_FWUState.DeviceInfo.dwUpdateModeVersion = version;
}

void ResetLibrary() {
    Search().Stop(true);
    DestroyDevice();
    ClearDeviceInfo();
    g_FWUState.hTargetWnd.store(nullptr);
    g_FWUState.bStopSearch.store(false);
    g_FWUState.bSwitchRequested.store(false);
    g_FWUState.bInitialized.store(false);
}

namespace {

// Releases what the library still holds when it is unloaded.
struct UnloadGuard {
    // The backend is made before the guard is complete, so that it is
    // destroyed after it: the guard still needs it (the search is never
    // destroyed).
    UnloadGuard() {
        Search();
        DefaultBackend();
    }
    UnloadGuard(const UnloadGuard&) = delete;
    UnloadGuard& operator=(const UnloadGuard&) = delete;
    ~UnloadGuard() {
        // At process exit the search thread may have been stopped anywhere,
        // even holding a lock: waiting for it could last for ever, and the
        // system releases the device anyway.
        if (platform::ProcessExiting()) return;
        Search().StopAtUnload();
        if (!Search().Busy()) DestroyDevice();
    }
};
UnloadGuard g_unloadGuard;

}  // namespace

}  // namespace penlink

using namespace penlink;

ORVANE_ERROR FWUInit() {
    const ExportGate gate("FWUInit");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    ResetLibrary();
    g_FWUState.bInitialized.store(true);
    return ORVANE_ERROR_NONE;
}

ORVANE_ERROR FWUGetDeviceInfo(tagFWUDEVICEINFO* pInfo) {
    if (pInfo == nullptr) return ORVANE_ERROR_READ_FAILED;
    const tagFWUDEVICEINFO info = ReadDeviceInfo();
    std::memcpy(pInfo, &info, sizeof info);
    return ORVANE_ERROR_NONE;
}

#include "FWUState.h"

#include "ExportGate.h"
#include "PenClaim.h"
#include "SearchThread.h"
#include "SystemServices.h"

namespace penlink {

FWUState g_FWUState;

void DestroyDevice() { delete g_FWUState.pQuillDev.exchange(nullptr); }

PenInfo ReadDeviceInfo() {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    return g_FWUState.DeviceInfo;
}

void ClearDeviceInfo() {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    g_FWUState.DeviceInfo = PenInfo{};
}

void SetIdentity(const CQuillDevice& device) {
    const PenInfo identity = device.Identity();
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    const uint32_t updateModeVersion = g_FWUState.DeviceInfo.dwUpdateModeVersion;
    g_FWUState.DeviceInfo = identity;
    g_FWUState.DeviceInfo.dwUpdateModeVersion = updateModeVersion;
}

void SetUpdateModeVersion(uint32_t version) {
    std::lock_guard<std::mutex> lock(g_FWUState.infoMutex);
    g_FWUState.DeviceInfo.dwUpdateModeVersion = version;
}

std::string ChosenLocation() {
    std::lock_guard<std::mutex> lock(g_FWUState.locationMutex);
    return g_FWUState.strChosenLocation;
}

void SetChosenLocation(std::string location) {
    std::lock_guard<std::mutex> lock(g_FWUState.locationMutex);
    g_FWUState.strChosenLocation = std::move(location);
}

std::string SearchLocation() {
    std::lock_guard<std::mutex> lock(g_FWUState.locationMutex);
    return g_FWUState.strSearchLocation;
}

void SetSearchLocation(std::string location) {
    std::lock_guard<std::mutex> lock(g_FWUState.locationMutex);
    g_FWUState.strSearchLocation = std::move(location);
}

BlockSentCallback ProgressCallback() {
    std::lock_guard<std::mutex> lock(g_FWUState.progressMutex);
    return g_FWUState.progress;
}

void SetProgress(BlockSentCallback callback) {
    std::lock_guard<std::mutex> lock(g_FWUState.progressMutex);
    g_FWUState.progress = std::move(callback);
}

void ResetLibrary() {
    Search().Stop(true);
    DestroyDevice();
    ClearDeviceInfo();
    g_FWUState.hTargetWnd.store(nullptr);
    g_FWUState.bStopSearch.store(false);
    g_FWUState.bSwitchRequested.store(false);
    g_FWUState.bUpdateStarted.store(false);
    SetChosenLocation({});
    SetSearchLocation({});
    PenClaim().Release();
    PenClaim().SetKeepAfterClose(false);
    g_FWUState.bInitialized.store(false);
}

namespace {

// Releases what the library still holds when it is unloaded. The search, the
// backend and the services are never destroyed, so that a call still running
// when the process ends never finds them gone.
struct UnloadGuard {
    UnloadGuard() = default;
    UnloadGuard(const UnloadGuard&) = delete;
    UnloadGuard& operator=(const UnloadGuard&) = delete;
    ~UnloadGuard() {
        // At process exit the search thread may have been stopped anywhere,
        // even holding a lock: waiting for it could last for ever, and the
        // system releases the device anyway.
        if (Services().ProcessExiting()) return;
        // The process ends (exit() or the end of main) while another thread
        // is inside a call: the call may be cut when the process goes, but
        // nothing it uses is freed under it, and nothing waits for it.
        if (!ExportGate::CloseForUnload()) return;
        Search().StopAtUnload();
        if (!Search().Busy()) DestroyDevice();
    }
};
UnloadGuard g_unloadGuard;

}  // namespace

}  // namespace penlink

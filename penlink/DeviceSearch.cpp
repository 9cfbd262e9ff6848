// FWUOpenDevice and the search for the pen in firmware-update mode.
#include <new>

#include "DebugLog.h"
#include "ExportGate.h"
#include "FWUState.h"
#include "SearchThread.h"
#include "Timing.h"

namespace penlink {

namespace {

// Ends an abandoned search: its object goes, nothing is posted.
void EndAbandoned() {
    DestroyDevice();
    Search().FinishSilently();
}

}  // namespace

void FindFWUDevice() {
    FWUState& state = g_FWUState;
    CSearchThread& search = Search();
    DebugLine(u"FindFWUDevice :\tStart\n\n");
    const unsigned tries = state.bSwitchRequested.load() ? CurrentTiming().longSearchTries : 1;
    if (state.pQuillDev.load() != nullptr) {
        DestroyDevice();
        DebugLine(u"FindFWUDevice :\tg_FWUState.pQuillDev deleted\n");
    }
    for (unsigned attempt = 0; attempt < tries; ++attempt) {
        if (search.Abandoned()) return EndAbandoned();
        auto* device = new (std::nothrow) CQuillDevice(true);
        int result = ORVANE_ERROR_DEVICE_NOT_FOUND;
        if (device == nullptr) {
            LogFailure("out of memory for a device object");
        } else {
            state.pQuillDev.store(device);
            result = device->Open();
        }
        if (search.Abandoned()) return EndAbandoned();
        if (result == ORVANE_ERROR_NONE) {
            DebugLine(u"FindFWUDevice :\tDevice was Opened Succesfully\n");
            SetUpdateModeVersion(device->dwUpdateModeVersion);
            void* target = state.hTargetWnd.load();
            if (target != nullptr) {
                DebugLine(u"FindFWUDevice :\tThe target window is ok\n");
                search.Finish(target, SEARCH_FOUND, reinterpret_cast<intptr_t>(device));
                return;
            }
            DebugLine(u"FindFWUDevice :\tThe target window NULLLLL\n");
            DestroyDevice();
            search.FinishSilently();
            return;
        }
        DebugLine(u"FindFWUDevice :\tDevice Was not Opened\n");
        DestroyDevice();
        if (state.bStopSearch.load()) {
            DebugLine(u"FindFWUDevice :\tThread is going to close\n");
            search.FinishSilently();
            return;
        }
        if (search.Pause(CurrentTiming().searchPauseMs)) return EndAbandoned();
    }
    DebugLine(u"FindFWUDevice :\tDevice not found\n");
    const intptr_t reason =
        state.bSwitchRequested.load() ? NOT_FOUND_AFTER_SWITCH : NOT_FOUND_NO_DEVICE;
    search.Finish(state.hTargetWnd.load(), SEARCH_NOT_FOUND, reason);
}

}  // namespace penlink

using namespace penlink;

ORVANE_ERROR FWUOpenDevice(FWU_TARGET hWnd) {
    const ExportGate gate("FWUOpenDevice");
    if (!gate.Entered()) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    FWUState& state = g_FWUState;
    if (!state.bInitialized.load()) return ORVANE_ERROR_NOT_INITIALIZED;
    // A search still running from an earlier call ends here without posting,
    // so that two searches never share the device object.
    Search().Stop(true);
    ClearDeviceInfo();
    DestroyDevice();
    auto* device = new (std::nothrow) CQuillDevice(false);
    if (device == nullptr) {
        LogFailure("out of memory for a device object");
        return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    state.pQuillDev.store(device);
    state.hTargetWnd.store(static_cast<void*>(hWnd));
    const int opened = device->Open();
    if (opened == ORVANE_ERROR_NONE) {
        SetIdentity(*device);
        if (device->RequestUpdateMode() != ORVANE_ERROR_NONE) {
            return ORVANE_ERROR_MODE_CHANGE_FAILED;  // the object stays for inspection
        }
        state.bSwitchRequested.store(true);
    } else if (opened != ORVANE_ERROR_DEVICE_NOT_FOUND) {
        DestroyDevice();
        return ORVANE_ERROR_MODE_CHANGE_FAILED;
    }
    DestroyDevice();
    if (!Search().Start(&FindFWUDevice)) return ORVANE_ERROR_MODE_CHANGE_FAILED;
    return ORVANE_ERROR_NONE;
}

#include "Library.h"

#include <new>

#include "DebugLog.h"
#include "FWUState.h"
#include "PenClaim.h"
#include "ReportCodec.h"
#include "SearchThread.h"
#include "SystemServices.h"
#include "Timing.h"

namespace penlink {

namespace {

// Ends an abandoned search: its object goes, nothing is posted.
void EndAbandoned() {
    DestroyDevice();
    Search().FinishSilently();
}

// The device object for the update calls: the pen that the current
// FWUOpenDevice's search found in firmware-update mode and posted to the
// caller. Null (logged) while the search runs, and when no search has posted
// kSearchFound since the last FWUOpenDevice or FWUInit: whatever object is
// held then (a refused pen, one that did not switch) gets no update command.
CQuillDevice* FoundDevice() {
    if (Search().Busy()) {
        LogFailure("the search for the pen is still running");
        return nullptr;
    }
    CQuillDevice* device = g_FWUState.pQuillDev.load();
    if (device == nullptr) {
        LogFailure("no pen is open");
    } else if (!Search().Found()) {
        LogFailure("the pen was not found in firmware-update mode");
        device = nullptr;
    }
    return device;
}

// True when the object held is a normal-mode pen whose product code is not
// accepted (FWUOpenDevice refused it). Caller thread, no search running.
bool HoldsRefusedPen() {
    const CQuillDevice* device = g_FWUState.pQuillDev.load();
    return device != nullptr && !Search().Busy() && !device->IsSupportedDevice();
}

// True when the first pen in firmware-update mode at location (empty: any) is
// one that another updater holds: a second updater that comes after the
// first one's switch. Nothing is opened.
bool UpdateModePenHeldElsewhere(const std::string& location) {
    CQuillDevice look(true);
    look.strWantedLocation = location;
    std::string path;
    return look.FindDevice(path) == Result::Ok && PenClaim().HeldElsewhere(look.strLocation);
}

// Sends the closing command to device. Returns Ok or FinishFailed.
Result SendFinish(CQuillDevice& device) {
    if (!device.IsSupportedDevice() || !device.WriteReport(sizeof kCmdFinish, kCmdFinish)) {
        return Result::FinishFailed;
    }
    return Result::Ok;
}

}  // namespace

Result Init() {
    // The caller's choices and the pen's lock outlive FWUInit: a caller that
    // identified the pen and initialises before it opens it keeps the pen.
    std::string chosen = ChosenLocation();
    const bool hold = PenClaim().KeepAfterClose();
    std::unique_ptr<PenLock> lock;
    std::string lockedAt;
    PenClaim().Hand(lock, lockedAt);
    ResetLibrary();
    SetChosenLocation(std::move(chosen));
    PenClaim().SetKeepAfterClose(hold);
    PenClaim().Take(std::move(lock), std::move(lockedAt));
    g_FWUState.bInitialized.store(true);
    return Result::Ok;
}

Result OpenDevice(void* target) {
    FWUState& state = g_FWUState;
    if (!state.bInitialized.load()) return Result::NotInitialized;
    // A search still running from an earlier call ends here without posting,
    // so that two searches never share the device object.
    Search().Stop(true);
    ClearDeviceInfo();
    DestroyDevice();
    state.bUpdateStarted.store(false);
    auto* device = new (std::nothrow) CQuillDevice(false);
    if (device == nullptr) {
        LogFailure("out of memory for a device object");
        return Result::ModeChangeFailed;
    }
    state.pQuillDev.store(device);
    state.hTargetWnd.store(target);
    const std::string chosen = ChosenLocation();
    device->strWantedLocation = chosen;
    // The pen's lock is taken before anything is written to it; a pen that
    // another updater holds ends the call.
    bool heldElsewhere = false;
    device->admit = [&heldElsewhere](const std::string& location) {
        heldElsewhere = heldElsewhere || PenClaim().Claim(location) != Result::Ok;
        return !heldElsewhere;
    };
    const Result opened = device->Open();
    // The search takes only the pen at the switched pen's location, so that
    // the image goes to the pen whose versions the caller read.
    const std::string searchLocation =
        opened == Result::Ok && !device->strLocation.empty() ? device->strLocation : chosen;
    SetSearchLocation(searchLocation);
    if (opened == Result::Ok) {
        SetIdentity(*device);
        const Result switched = device->RequestUpdateMode();
        if (switched != Result::Ok) {
            LogFailure(std::string("the switch to firmware-update mode: ") + ResultName(switched));
            PenClaim().Release();
            return Result::ModeChangeFailed;  // the object stays for inspection
        }
        state.bSwitchRequested.store(true);
    } else if (opened != Result::DeviceNotFound || heldElsewhere ||
               UpdateModePenHeldElsewhere(searchLocation)) {
        LogFailure(std::string("opening the pen in normal mode: ") + ResultName(opened));
        DestroyDevice();
        PenClaim().Release();
        return Result::ModeChangeFailed;
    }
    DestroyDevice();
    if (!Search().Start(&FindFWUDevice, target)) {
        PenClaim().Release();
        return Result::ModeChangeFailed;
    }
    return Result::Ok;
}

void FindFWUDevice() {
    FWUState& state = g_FWUState;
    CSearchThread& search = Search();
    DebugLine(u"FindFWUDevice :\tStart\n\n");
    const unsigned tries = state.bSwitchRequested.load() ? CurrentTiming().longSearchTries : 1;
    const std::string location = SearchLocation();
    if (state.pQuillDev.load() != nullptr) {
        DestroyDevice();
        DebugLine(u"FindFWUDevice :\tg_FWUState.pQuillDev deleted\n");
    }
    for (unsigned attempt = 0; attempt < tries; ++attempt) {
        if (search.Abandoned()) return EndAbandoned();
        auto* device = new (std::nothrow) CQuillDevice(true);
        Result result = Result::DeviceNotFound;
        if (device == nullptr) {
            LogFailure("out of memory for a device object");
        } else {
            device->strWantedLocation = location;
            // A pen that another updater holds is passed over.
            device->admit = [](const std::string& at) {
                return PenClaim().Claim(at) == Result::Ok;
            };
            state.pQuillDev.store(device);
            result = device->Open();
        }
        if (search.Abandoned()) return EndAbandoned();
        if (result == Result::Ok) {
            DebugLine(u"FindFWUDevice :\tDevice was Opened Succesfully\n");
            SetUpdateModeVersion(device->dwUpdateModeVersion);
            void* target = state.hTargetWnd.load();
            if (target != nullptr) {
                DebugLine(u"FindFWUDevice :\tThe target window is ok\n");
                search.Finish(target, kSearchFound, reinterpret_cast<intptr_t>(device));
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
        state.bSwitchRequested.load() ? kNotFoundAfterSwitch : kNotFoundNoDevice;
    search.Finish(state.hTargetWnd.load(), kSearchNotFound, reason);
}

Result StartFirmwareUpdate() {
    CQuillDevice* device = FoundDevice();
    if (device == nullptr) return Result::ModeChangeFailed;
    g_FWUState.bUpdateStarted.store(false);
    if (!device->WriteReport(sizeof kCmdStartUpdate, kCmdStartUpdate)) {
        return Result::WriteFailed;
    }
    const Result acknowledged = device->ReadStartAck();
    g_FWUState.bUpdateStarted.store(acknowledged == Result::Ok);
    return acknowledged;
}

Result SendFirmware(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock) {
    CQuillDevice* device = FoundDevice();
    if (device == nullptr) {
        return HoldsRefusedPen() ? Result::FinishFailed : Result::ModeChangeFailed;
    }
    // Each image needs its own start: a second one would reach a pen that
    // is not receiving.
    const bool started = g_FWUState.bUpdateStarted.exchange(false);
    if (!started || pImage == nullptr || nLength <= 0) {
        LogFailure(!started ? "refusing an image: the update was not started"
                            : "refusing an image of " + std::to_string(nLength) + " bytes" +
                                  (pImage == nullptr ? " at a null address" : ""));
        return Result::WriteFailed;
    }
    const Result sent = device->SendImage(pImage, nLength, onBlock);
    if (sent != Result::Ok) return sent;
    if (device->ReadImageAck() != Result::Ok) return Result::BadAck;
    return SendFinish(*device);
}

Result SendFirmwareWithProgress(const uint8_t* pImage, int nLength) {
    return SendFirmware(pImage, nLength, ProgressCallback());
}

Result SetProgressCallback(BlockSentCallback callback) {
    SetProgress(std::move(callback));
    return Result::Ok;
}

namespace {

// The closing command to the object held, if any. Only a pen in
// firmware-update mode takes it; a normal-mode object left by an opening
// that failed gets nothing. Returns Ok or FinishFailed.
Result CloseHeldDevice() {
    CQuillDevice* device = g_FWUState.pQuillDev.load();
    if (device == nullptr) return Result::Ok;
    if (!device->bUpdateMode)
        return device->IsSupportedDevice() ? Result::Ok : Result::FinishFailed;
    return SendFinish(*device);
}

}  // namespace

Result CloseDevice() {
    g_FWUState.bStopSearch.store(true);
    Services().Sleep(CurrentTiming().closePauseMs);
    Search().Stop(false);  // a running search ends after its current try
    g_FWUState.bUpdateStarted.store(false);
    const Result closed = CloseHeldDevice();
    if (!PenClaim().KeepAfterClose()) PenClaim().Release();
    return closed;
}

Result HoldPen(bool hold) {
    PenClaim().SetKeepAfterClose(hold);
    if (!hold && g_FWUState.bStopSearch.load()) PenClaim().Release();  // closed already
    return Result::Ok;
}

void ForgetTarget(void* target) { Search().Forget(target); }

Result SelectLocation(const char* location) {
    SetChosenLocation(location != nullptr ? location : "");
    return Result::Ok;
}

Result IdentifyDevice(bool updateMode, PenInfo& info) {
    if (Search().Busy()) {
        LogFailure(std::string(updateMode ? "update-mode " : "") +
                   "identification refused: the search for the pen is running");
        return Result::ModeChangeFailed;
    }
    CQuillDevice device(updateMode);
    device.strWantedLocation = ChosenLocation();
    // The pen's lock is taken before the identify command is written, and
    // kept, as FWUOpenDevice keeps it: an updater that identifies first and
    // opens next holds the pen from its first word to it.
    bool heldElsewhere = false;
    device.admit = [&heldElsewhere](const std::string& location) {
        heldElsewhere = heldElsewhere || PenClaim().Claim(location) != Result::Ok;
        return !heldElsewhere;
    };
    const Result opened = device.Open();
    if (heldElsewhere) {
        LogFailure("identification refused: another updater holds the pen");
        return Result::ModeChangeFailed;
    }
    if (opened != Result::Ok) return opened;
    info = device.Identity();
    return device.IsSupportedDevice() ? Result::Ok : Result::ModeChangeFailed;
}

Result EnumDevices(const InterfaceVisitor& visit) {
    // Whether another updater holds each pen is told beside it.
    HidBackend& backend = Backend();
    std::vector<HidInterface> list;
    SysError err;
    if (!backend.ListInterfaces(list, err)) {
        LogFailure("listing the HID interfaces", err);
        return Result::DeviceNotFound;
    }
    const CQuillDevice normal(false);
    const CQuillDevice update(true);
    for (const HidInterface& entry : list) {
        HidProbe probe;
        if (!entry.pathOk || backend.Probe(entry.path, probe, err) != ProbeStatus::Ok) continue;
        const bool isNormal = normal.Matches(probe.vendorId, probe.productId);
        if (isNormal || update.Matches(probe.vendorId, probe.productId)) {
            visit(entry.path, probe, !isNormal, PenClaim().HeldElsewhere(probe.location));
        }
    }
    return Result::Ok;
}

}  // namespace penlink

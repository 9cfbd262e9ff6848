// The library's one global state record and the helpers that guard it.
#ifndef PENLINK_FWUSTATE_H
#define PENLINK_FWUSTATE_H

#include <atomic>
#include <mutex>
#include <string>

#include "PenInfo.h"
#include "QuillDevice.h"

namespace penlink {

// Shared between the caller's thread and the search thread. The flags and
// the device pointer are atomics; DeviceInfo is read and written under
// infoMutex only, so FWUGetDeviceInfo always sees a consistent record. The
// device object itself is used by one thread at a time: the search thread
// while it runs, the caller's thread after the search has been waited for.
struct FWUState {
    std::atomic<bool> bInitialized{false};
    std::atomic<CQuillDevice*> pQuillDev{nullptr};
    PenInfo DeviceInfo{};
    std::atomic<void*> hTargetWnd{nullptr};
    std::atomic<bool> bStopSearch{false};
    std::atomic<bool> bSwitchRequested{false};
    // Set by a successful FWUStartFirmwareUpdate on the pen the search
    // found; taken by the FWUSendFirmware after it, cleared by FWUOpenDevice
    // and FWUCloseDevice: an image goes only to a pen told to receive one.
    std::atomic<bool> bUpdateStarted{false};
    std::mutex infoMutex;
    // Where the library works, under locationMutex: the location the caller
    // chose (FWUSelectDevice; FWUInit keeps it), and the one the search of
    // the last FWUOpenDevice takes its pen at (the switched pen's, else the
    // chosen one; empty: the first pen found).
    std::string strChosenLocation;
    std::string strSearchLocation;
    std::mutex locationMutex;
    // The progress callback FWUSendFirmware calls after each block
    // (FWUSetProgressCallback; FWUInit keeps it), under progressMutex.
    BlockSentCallback progress;
    std::mutex progressMutex;
};

extern FWUState g_FWUState;

// Destroys the device object held, if any, and clears pQuillDev.
void DestroyDevice();

// Copies of DeviceInfo and changes to it, under its lock.
PenInfo ReadDeviceInfo();
void ClearDeviceInfo();
void SetIdentity(const CQuillDevice& device);
void SetUpdateModeVersion(uint32_t version);

// Copies of the two locations and changes to them, under their lock.
std::string ChosenLocation();
void SetChosenLocation(std::string location);
std::string SearchLocation();
void SetSearchLocation(std::string location);

// A copy of the progress callback and a change of it, under its lock.
BlockSentCallback ProgressCallback();
void SetProgress(BlockSentCallback callback);

// Back to the state of a freshly loaded library: a running search is
// abandoned, the device object destroyed, everything cleared, FWUInit not
// yet called. FWUInit starts from here; tests use it between cases. Caller
// thread.
void ResetLibrary();

}  // namespace penlink

#endif  // PENLINK_FWUSTATE_H

// What the library does, one operation behind each exported call: the
// exports (Exports.cpp) check their arguments, hold the gate, call in here
// and turn the Result into ORVANE_ERROR. Each operation returns what its
// export documents in Penlink.h, in the core's own terms. Caller thread
// unless said otherwise.
#ifndef PENLINK_LIBRARY_H
#define PENLINK_LIBRARY_H

#include <cstdint>
#include <functional>
#include <string>

#include "HidBackend.h"
#include "PenInfo.h"
#include "QuillDevice.h"
#include "Result.h"

namespace penlink {

// FWUInit: abandons a running search, frees the device object, clears all
// state and marks the library initialised. Returns Result::Ok.
Result Init();

// FWUOpenDevice: takes the pen's lock, identifies the pen in normal mode (at
// the chosen location, if any), tells it to switch and starts the search
// (FindFWUDevice) that posts to target and takes only the pen at the
// switched pen's location. ModeChangeFailed also when another updater holds
// the pen (nothing written); the lock is let go on every failure. Returns Ok when the
// search runs, NotInitialized before Init, ModeChangeFailed when the pen
// could not be identified, is not supported or refused the switch, or when
// the search could not be started.
Result OpenDevice(void* target);

// The search routine, on the search thread: one try, or the long search
// after a switch. Posts kSearchFound with the device object, or
// kSearchNotFound with the reason, to the target given to OpenDevice, unless
// the search was abandoned.
void FindFWUDevice();

// FWUStartFirmwareUpdate: the start command and its acknowledgement, to the
// pen the current search found and posted. Returns Ok, WriteFailed, BadAck,
// or ModeChangeFailed (nothing written) when there is no such pen: none
// held, the search still runs, or the object held is a pen that was refused
// or did not switch.
Result StartFirmwareUpdate();

// FWUSendFirmware: sends the image to the pen the current search found,
// reads its acknowledgement and sends the closing command; onBlock is called
// after each block. Returns Ok, WriteFailed, BadAck or FinishFailed. Refuses
// before writing anything: with FinishFailed when the object held is a
// refused pen, ModeChangeFailed when there is no found pen otherwise (as
// StartFirmwareUpdate), then WriteFailed for a null image, a length of 0 or
// less, or no successful StartFirmwareUpdate since the search found the pen
// or since the last image.
Result SendFirmware(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock);

// SendFirmware with the progress callback set by SetProgressCallback.
Result SendFirmwareWithProgress(const uint8_t* pImage, int nLength);

// FWUSetProgressCallback: the callback for SendFirmwareWithProgress (empty:
// none). Returns Ok.
Result SetProgressCallback(BlockSentCallback callback);

// FWUCloseDevice: stops a running search after its current try, pauses and
// sends the closing command to a pen held in firmware-update mode, then lets
// go of the pen's lock unless HoldPen asked to keep it. Returns Ok (also with
// no pen, and with a normal-mode pen that did not switch, which gets
// nothing) or FinishFailed (the write failed, or the pen held was refused).
Result CloseDevice();

// FWUHoldPen: with hold, CloseDevice keeps the pen's lock; without, a lock
// kept after CloseDevice is let go now. Returns Ok.
Result HoldPen(bool hold);

// FWUDestroyNotifyTarget, before the target goes: a search started for it
// posts nothing, even to a new target that gets the same handle. Any thread.
void ForgetTarget(void* target);

// FWUSelectDevice: the location that FWUOpenDevice, its search and the
// identify calls consider from now on (null or empty: any). Kept by Init.
// Returns Ok.
Result SelectLocation(const char* location);

// FWUIdentifyDevice (updateMode false) and FWUIdentifyUpdateModeDevice:
// take the pen's lock (kept, as FWUOpenDevice keeps it) and identify the pen
// in the given mode without switching it and without touching the rest of
// the library's state. Fills info with what the pen told
// (CQuillDevice::Identity); returns Ok, ModeChangeFailed (the search runs, or
// a normal-mode pen is not supported) or the failure of CQuillDevice::Open.
Result IdentifyDevice(bool updateMode, PenInfo& info);

// FWUEnumDevices: calls visit for each interface that matches the pen's IDs
// in either mode (updateMode says which; heldElsewhere, whether another
// updater holds its lock), in the platform's order. Returns
// Ok, or DeviceNotFound when the list cannot be made. Any thread.
using InterfaceVisitor = std::function<void(const std::string& path, const HidProbe& probe,
                                            bool updateMode, bool heldElsewhere)>;
Result EnumDevices(const InterfaceVisitor& visit);

}  // namespace penlink

#endif  // PENLINK_LIBRARY_H

// Penlink: the device library of the digital pen.
//
// The library finds the pen among the HID devices, reads its identity and
// firmware version, switches it into its firmware-update mode, finds it again
// there on a background thread and sends it a firmware image. It serves one
// caller and one device at a time; all state lives inside the library.
//
// Calling order:
//   1. FWUInit, once, before anything else.
//   2. FWUOpenDevice with the window that is to hear the search result.
//   3. Wait for WM_DEVICE_SEARCH_RESULT. Only SEARCH_FOUND means that a pen in
//      firmware-update mode is open and the update calls may follow.
//   4. FWUGetDeviceInfo at any time after step 2, to read the versions.
//   5. FWUStartFirmwareUpdate, then FWUSendFirmware with the whole image.
//   6. FWUCloseDevice at the end, and on cancel at any step.
//
// The calls may come from any thread, one thread at a time: "caller thread"
// below means whichever thread makes the call, and a program may make each
// call on another thread (a user-interface thread may run the long update
// calls on a worker of its own and keep answering its windows). The library
// keeps nothing per thread: no thread-local state, no thread identity, no
// message to a thread's queue; the search result goes to the window or
// target given to FWUOpenDevice, whichever thread reads it. The calls never
// throw and every result is a value of ORVANE_ERROR. One call runs at a
// time: the call gate refuses a call that starts while another one runs,
// from another thread or from the progress callback inside FWUSendFirmware,
// at once with ORVANE_ERROR_MODE_CHANGE_FAILED, and it changes nothing, so
// that it can neither free the pen under the running call nor write into
// the middle of an image. A program that moves its calls between threads
// must therefore let each call return before it makes the next. FWUGetDeviceInfo, FWUEnumDevices
// and the notification target calls are not held back and may run at any time.
//
// On Linux there are no windows: FWUOpenDevice takes a notification target
// made by FWUCreateNotifyTarget, and the caller waits for the result with
// FWUWaitNotification. The message, its wParam and its lParam are the same.
#ifndef PENLINK_PENLINK_H
#define PENLINK_PENLINK_H

// The calls are C++ functions: their linker names carry the types of their
// arguments and result, and only a C++ compiler makes those names. The rest of
// the header is left out for a C compiler, so that it sees this one message.
#ifndef __cplusplus
#error "Penlink.h is a C++ header: include it from C++ (the library's calls have C++ linkage)"
#else

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#define PENLINK_CALL __cdecl
#else
#define PENLINK_CALL
#endif

#if defined(PENLINK_BUILDING_LIBRARY)
#if defined(_WIN32)
#define PENLINK_API __declspec(dllexport)
#else
#define PENLINK_API __attribute__((visibility("default")))
#endif
#elif defined(PENLINK_STATIC)
#define PENLINK_API
#elif defined(_WIN32)
#define PENLINK_API __declspec(dllimport)
#else
#define PENLINK_API
#endif

// Result of every call. 0 is success, every error is positive.
enum ORVANE_ERROR {
    ORVANE_ERROR_NONE = 0,
    ORVANE_ERROR_NOT_INITIALIZED = 1,     // FWUOpenDevice before FWUInit
    ORVANE_ERROR_OPEN_FAILED = 2,         // a matching device refused to be opened
    ORVANE_ERROR_DEVICE_NOT_FOUND = 3,    // no HID interface matched
    ORVANE_ERROR_WRITE_FAILED = 4,        // an output report could not be written
    ORVANE_ERROR_READ_FAILED = 5,         // the identity reply failed or was not recognised
    ORVANE_ERROR_BAD_ACK = 6,             // an acknowledgement was missing or wrong
    ORVANE_ERROR_FINISH_FAILED = 7,       // the closing command failed or was refused
    ORVANE_ERROR_MODE_CHANGE_FAILED = 8,  // identify, accept or switch failed
    ORVANE_ERROR_TIMEOUT = 9,             // no identity reply within the time limit
    ORVANE_ERROR_REQUEST_FAILED = 10      // the update-mode identity request failed
};

// The pen's identity and versions. A version is packed with the major number
// in bits 31-24 and the minor number in bits 23-16 (1.30 is 0x011E0000).
typedef struct tagFWUDEVICEINFO {
    uint32_t dwProductCode;        // one-byte product code of the identity block
    uint32_t dwFirmwareVersion;    // firmware the pen runs now
    uint32_t dwUpdateModeVersion;  // version reported in firmware-update mode
    uint32_t dwExtraInfo;          // last byte of the identity block
    uint32_t dwVersion2;           // second version of the identity block
    uint32_t dwVersion3;           // third version of the identity block
    uint32_t dwReserved[4];        // always zero
} FWUDEVICEINFO;

#ifdef __cplusplus
static_assert(sizeof(tagFWUDEVICEINFO) == 40, "tagFWUDEVICEINFO is forty bytes");
#endif

// Posted to the caller's window when the search for the pen in
// firmware-update mode ends.
//   wParam SEARCH_FOUND:     lParam is the library's device object; the
//                            caller must neither use nor free it.
//   wParam SEARCH_NOT_FOUND: lParam NOT_FOUND_AFTER_SWITCH (the pen was told
//                            to switch but did not come back) or
//                            NOT_FOUND_NO_DEVICE (no pen at all).
#define WM_DEVICE_SEARCH_RESULT 0x0501
#define SEARCH_FOUND            1
#define SEARCH_NOT_FOUND        2
#define NOT_FOUND_AFTER_SWITCH  1
#define NOT_FOUND_NO_DEVICE     2

#ifdef _WIN32
typedef HWND FWU_TARGET;
#else
// A queue on which the search result is delivered, standing in for a window.
typedef struct FWUNotifyTarget* FWU_TARGET;

// One delivered message: the same values as the window message would carry.
typedef struct tagFWUNOTIFICATION {
    unsigned int message;  // WM_DEVICE_SEARCH_RESULT
    uintptr_t wParam;
    intptr_t lParam;
} FWUNOTIFICATION;
#endif

// Resets the library: destroys a device object still held, stops and waits
// for a search that is still running (it then posts nothing), clears all state
// and marks the library initialised. Returns ORVANE_ERROR_NONE, or
// ORVANE_ERROR_MODE_CHANGE_FAILED while another call runs (nothing changes).
// Caller thread only.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUInit();

// Identifies a pen in normal mode, tells it to switch to firmware-update mode
// and starts the search for it in that mode; the outcome is posted later to
// hWnd as WM_DEVICE_SEARCH_RESULT, at most once per search. A search still
// running from an earlier call is stopped first and posts nothing.
// Returns ORVANE_ERROR_NOT_INITIALIZED before FWUInit (nothing changes),
// ORVANE_ERROR_MODE_CHANGE_FAILED when a pen was found but could not be
// identified, is not one this library updates, or refused the switch (no
// search starts and no message follows; the identity read so far is kept),
// when the search could not be started, or while another call runs (nothing
// changes), and ORVANE_ERROR_NONE when the search
// runs (a missing pen is reported through the message). Blocks for up to about
// three seconds while the pen's identity reply is awaited. Caller thread only.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUOpenDevice(FWU_TARGET hWnd);

// Copies the pen's identity and versions into *pInfo. Returns
// ORVANE_ERROR_NONE, or ORVANE_ERROR_READ_FAILED when pInfo is null (nothing
// is written). Before any identification the record is all zero. Any thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUGetDeviceInfo(tagFWUDEVICEINFO* pInfo);

// The three update calls write to a pen only when the search of the current
// FWUOpenDevice has found it in firmware-update mode and posted SEARCH_FOUND
// for it. Otherwise (no pen, the search still runs or found nothing, a pen
// that was refused or did not switch) they write nothing, whatever their
// arguments, and return what each says below.

// Puts the pen found in firmware-update mode into its receiving state.
// Returns ORVANE_ERROR_NONE, ORVANE_ERROR_WRITE_FAILED (the start command was
// not written), ORVANE_ERROR_BAD_ACK (no or a wrong acknowledgement within the
// time limit) or ORVANE_ERROR_MODE_CHANGE_FAILED (no pen was found in
// firmware-update mode, or another call runs; nothing is written). Caller
// thread only, after SEARCH_FOUND.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUStartFirmwareUpdate();

// Sends the nLength bytes at pImage to the pen and ends the update; the
// library only reads the buffer and keeps no copy. Returns ORVANE_ERROR_NONE,
// ORVANE_ERROR_WRITE_FAILED (a report was not written, or the pen's report
// length is outside 11 to 128 bytes), ORVANE_ERROR_BAD_ACK (no or a wrong
// image acknowledgement), ORVANE_ERROR_FINISH_FAILED (the closing command
// failed). Refused before anything is written, in this order:
// ORVANE_ERROR_FINISH_FAILED when the pen held was refused by FWUOpenDevice,
// ORVANE_ERROR_MODE_CHANGE_FAILED when no pen was found in firmware-update
// mode otherwise, or another call runs; then ORVANE_ERROR_WRITE_FAILED for a
// null pImage, an nLength of 0 or less, or when no FWUStartFirmwareUpdate has
// succeeded since the pen was found or since the last image (each image
// needs its own start). Caller thread only, after FWUStartFirmwareUpdate
// succeeded.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUSendFirmware(unsigned char* pImage, int nLength);

// Stops a running search (waiting for it to end), pauses 700 ms and sends the
// closing command to a pen open in firmware-update mode. Returns
// ORVANE_ERROR_NONE (also when no pen is open, and for a pen that was
// identified but did not switch, which gets nothing),
// ORVANE_ERROR_FINISH_FAILED (the command failed, or the pen was refused by
// FWUOpenDevice: nothing is sent) or ORVANE_ERROR_MODE_CHANGE_FAILED while
// another call runs (nothing is sent; a transfer in progress is not cut). The
// pen stays open in the library. Caller thread only; also on cancel, while a
// search runs.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUCloseDevice();

// ---------------------------------------------------------------------------
// Beyond the six calls above: progress, identification without switching,
// and the list of pens. None of them changes what the six calls do.

// Called after each block report of FWUSendFirmware with the image bytes sent
// so far and the image length, on the thread that called FWUSendFirmware.
// The transfer is still running: every call of the library made from here is
// refused with ORVANE_ERROR_MODE_CHANGE_FAILED, except the ones that may run
// at any time (see the top of this file).
typedef void(PENLINK_CALL* FWU_PROGRESS_CALLBACK)(void* context, unsigned int sent,
                                                  unsigned int total);

// Registers callback (null: none) with the context handed back to it.
// Returns ORVANE_ERROR_NONE, or ORVANE_ERROR_MODE_CHANGE_FAILED while another
// call runs, FWUSendFirmware included (nothing changes). Caller thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUSetProgressCallback(FWU_PROGRESS_CALLBACK callback,
                                                             void* context);

// Identifies a pen in normal mode and checks its product code, leaving it in
// normal mode; the library's own state is not touched. Fills *pInfo (all zero
// but what the pen told) and returns ORVANE_ERROR_NONE for a pen this library
// updates, ORVANE_ERROR_MODE_CHANGE_FAILED for one it does not (its identity
// is filled in), while a search runs or while another call runs,
// ORVANE_ERROR_DEVICE_NOT_FOUND when no
// pen in normal mode is connected, ORVANE_ERROR_OPEN_FAILED when it cannot be
// opened, ORVANE_ERROR_WRITE_FAILED, ORVANE_ERROR_READ_FAILED or
// ORVANE_ERROR_TIMEOUT when it does not answer, and ORVANE_ERROR_READ_FAILED
// for a null pInfo (nothing written). Blocks up to about three seconds.
// Caller thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUIdentifyDevice(tagFWUDEVICEINFO* pInfo);

// Reads the loader version of a pen in firmware-update mode with the
// update-mode identify command, leaving the pen in that mode; the library's
// own state is not touched. Fills *pInfo (all zero but dwUpdateModeVersion)
// and returns ORVANE_ERROR_NONE, ORVANE_ERROR_MODE_CHANGE_FAILED while a
// search or another call runs, ORVANE_ERROR_DEVICE_NOT_FOUND when no pen in firmware-update
// mode is connected, ORVANE_ERROR_OPEN_FAILED when it cannot be opened,
// ORVANE_ERROR_REQUEST_FAILED or ORVANE_ERROR_READ_FAILED when it does not
// answer, and ORVANE_ERROR_READ_FAILED for a null pInfo (nothing written).
// Blocks up to about three seconds. Caller thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUIdentifyUpdateModeDevice(tagFWUDEVICEINFO* pInfo);

#define FWU_MODE_NORMAL 1
#define FWU_MODE_UPDATE 2

// dwFlags of FWUDEVICEENTRY.
#define FWU_ENTRY_HELD  1  // another updater holds this pen: this process writes nothing to it

// One HID interface that matches the pen's IDs.
typedef struct tagFWUDEVICEENTRY {
    uint16_t wVendorID;
    uint16_t wProductID;
    uint32_t dwMode;         // FWU_MODE_NORMAL or FWU_MODE_UPDATE
    uint16_t wInputLength;   // longest input report, report ID included
    uint16_t wOutputLength;  // longest output report, report ID included
    const char* pszPath;     // UTF-8; valid during the callback only
    // Where the pen is plugged in (UTF-8; valid during the callback only):
    // the same in both of its modes, the value FWUSelectDevice takes. Empty,
    // never null, where the platform tells none.
    const char* pszLocation;
    uint32_t dwFlags;  // FWU_ENTRY_* bits
} FWUDEVICEENTRY;

typedef void(PENLINK_CALL* FWU_DEVICE_CALLBACK)(void* context, const FWUDEVICEENTRY* entry);

// Calls callback once for each HID interface that matches the pen's IDs in
// either mode, in the platform's order; nothing is opened for I/O. Returns
// ORVANE_ERROR_NONE (also when nothing matches), or
// ORVANE_ERROR_DEVICE_NOT_FOUND when the platform's list cannot be made or
// callback is null. Any thread, also while another call runs.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUEnumDevices(FWU_DEVICE_CALLBACK callback, void* context);

// Chooses the pen that the library works on by its location (pszLocation of
// its FWUDEVICEENTRY, UTF-8): from now on FWUOpenDevice, its search,
// FWUIdentifyDevice and FWUIdentifyUpdateModeDevice consider only the pen
// there. Null or empty clears the choice: the first pen found, as without
// this call. FWUInit keeps the choice. Whatever was chosen, the search after
// a switch takes only the pen at the switched pen's location, where the
// platform tells one. Returns ORVANE_ERROR_NONE, or
// ORVANE_ERROR_MODE_CHANGE_FAILED while another call runs (nothing changes).
// Caller thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUSelectDevice(const char* pszLocation);

// The pen's lock. FWUOpenDevice and the identify calls take it before they
// write anything to a pen, keyed on the pen's location (on the whole computer
// where no location is known); it holds across the pen's switch and across
// FWUInit, and is let go when FWUCloseDevice returns, when FWUOpenDevice
// fails, or by the system when the process ends. A pen whose lock another updater (any process, any
// user) holds gets nothing from this one: FWUOpenDevice and the identify calls return
// ORVANE_ERROR_MODE_CHANGE_FAILED, the search passes over it, and its FWUDEVICEENTRY carries
// FWU_ENTRY_HELD.
//
// With hold nonzero, FWUCloseDevice keeps the lock (so that no other updater
// starts on the pen while it restarts); FWUHoldPen(0) then lets it go.
// FWUInit keeps this setting. Returns ORVANE_ERROR_NONE, or
// ORVANE_ERROR_MODE_CHANGE_FAILED while another call runs (nothing changes).
// Caller thread.
PENLINK_API ORVANE_ERROR PENLINK_CALL FWUHoldPen(int hold);

#ifndef _WIN32
// Makes a notification target for FWUOpenDevice. Returns null when out of
// memory. Any thread.
PENLINK_API FWU_TARGET PENLINK_CALL FWUCreateNotifyTarget();

// Waits up to timeoutMs for the next message delivered to target and takes it
// off the queue. Returns 1 with *msg filled, or 0 on time-out, when the target
// is destroyed meanwhile (at once), for a target already destroyed, or for a
// null argument; *msg is then untouched. Any thread; several may wait.
PENLINK_API int PENLINK_CALL FWUWaitNotification(FWU_TARGET target, unsigned int timeoutMs,
                                                 FWUNOTIFICATION* msg);

// Destroys a target. A search started for it posts nothing from now on, not
// even to a new target that gets the same handle value. Threads waiting on it return 0 at once;
// the target is freed when the last of them has left. Returns at once. Any
// thread; target may be null.
PENLINK_API void PENLINK_CALL FWUDestroyNotifyTarget(FWU_TARGET target);
#endif

#endif  // __cplusplus
#endif  // PENLINK_PENLINK_H

// The first seam between the core and the platform: access to HID devices,
// and nothing more (the system services are the second seam, in
// SystemServices.h). One backend serves a process; the real ones talk to
// SetupAPI/HID (windows/) or hidraw (hidraw/), the null one has no devices
// (null/, the smallest complete example of this contract, with a connection
// to show the other half, HidConnection.h), the emulated one holds
// in-process devices (emulator/), and emulator/RecordingBus passes every
// call on to another backend and keeps the same rules.
//
// Rules every backend keeps (tests/penlink/HidContract.h checks them on
// every backend):
//
// - Nothing throws. Each call reports failure by its result and fills err
//   only then, with the failing call and its code: GetLastError on Windows,
//   errno on Linux, Windows' codes in the emulator. A path that names no
//   device fails with "CreateFileW" and ERROR_FILE_NOT_FOUND, or with "stat"
//   (probing) or "open" (opening) and ENOENT on hidraw, for example.
// - Every call may run on any thread, and at the same time as the others:
//   the search thread lists and probes while a caller enumerates.
// - A path is whatever ListInterfaces gave, opaque to the core; a path the
//   platform does not know fails Probe with OpenFailed and Open with null,
//   and neither waits for a device.
// - No call holds the device: Probe lets it go again before it returns, and
//   a connection lets it go when it is destroyed.
#ifndef PENLINK_HIDBACKEND_H
#define PENLINK_HIDBACKEND_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HidConnection.h"

namespace penlink {

// One HID interface as the platform lists it. pathOk is false where the
// platform listed an interface but could not give its path; such an entry is
// skipped by the walk.
struct HidInterface {
    std::string path;  // UTF-8; opaque to the core
    bool pathOk = true;
};

// What a query open learns without claiming the device: the USB IDs, the
// longest input and output report in bytes, report ID byte included, and
// where the device is plugged in.
struct HidProbe {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    // The port the device is plugged into, as the platform names it (UTF-8):
    // the same for the pen in both of its modes, different for two pens
    // plugged in at once. Empty where the platform tells none.
    std::string location;
};

// Why a probe failed: the walk skips the interface in every case, the reason
// only goes to the log.
enum class [[nodiscard]] ProbeStatus{Ok, OpenFailed, AttributesFailed, CapsFailed};

// HID access: the list of interfaces, probing and opening.
class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Lists the HID interfaces present now, in the platform's order (the
    // walk takes the first match). Returns true with out filled, empty when
    // there is none; false with out empty and err filled when the list cannot
    // be made (the walk then finds nothing). Any thread.
    virtual bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) = 0;

    // Reads the IDs, report lengths and location of path without claiming
    // it (Windows: a query-only open; hidraw: sysfs; the emulator: its
    // records). Returns Ok with probe filled; otherwise the step that failed
    // (OpenFailed: the path names no device that is there now), with probe
    // all zero and err filled. Any thread.
    virtual ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) = 0;

    // Opens path for shared reading and writing. Returns the connection, or
    // null with err filled (the path names no device, another program holds
    // it exclusively, access is denied). Any thread.
    virtual std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) = 0;
};

// The backend of this build of the library (real, null or emulated). Defined,
// with DefaultServices(), by the one "Default" file of the backend linked into
// the build (windows/WinHidDefault.cpp, hidraw/HidrawDefault.cpp,
// null/NullDefault.cpp, emulator/EmulatedDefault.cpp).
HidBackend& DefaultBackend();

// The backend the core uses now: DefaultBackend() unless a test has put
// another one in place. Any thread.
HidBackend& Backend();

// Puts backend in place of the default one (null: back to the default), for
// tests and for programs that run the emulated pen in their own process.
// Only while no library call runs; backend must outlive its use.
void UseBackend(HidBackend* backend);

}  // namespace penlink

#endif  // PENLINK_HIDBACKEND_H

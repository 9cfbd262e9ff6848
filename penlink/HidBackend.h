// The seam between the device library and the platform: everything the core
// needs from the operating system, and nothing more. One backend serves a
// process; the real ones talk to SetupAPI/HID (Windows) or hidraw (Linux), the
// emulated one to an in-process pen. The core includes no platform header.
//
// Contract common to every operation: it never throws, it reports failure by
// its result, and where a system call failed it names that call and its error
// code in a SysError, so that the cause reaches the debug log.
#ifndef PENLINK_HIDBACKEND_H
#define PENLINK_HIDBACKEND_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace penlink {

// The failing system call and its code (GetLastError or errno). code 0 with
// an empty call means "no system error".
struct SysError {
    std::string call;
    long code = 0;

    bool Empty() const { return call.empty() && code == 0; }
    std::string Describe() const;  // "CreateFileW failed: 5" or "ok"
};

// One HID interface as the platform lists it. pathOk is false where the
// platform listed an interface but could not give its path; such an entry is
// skipped by the walk.
struct HidInterface {
    std::string path;  // UTF-8; opaque to the core
    bool pathOk = true;
};

// What a query open learns without claiming the device: the USB IDs and the
// longest input and output report in bytes, report ID byte included.
struct HidProbe {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
};

// Why a probe failed: the walk skips the interface in every case, the reason
// only goes to the log.
enum class ProbeStatus { Ok, OpenFailed, AttributesFailed, CapsFailed };

enum class IoStatus {
    Ok,
    Timeout,        // the time limit ran out; nothing was transferred
    Cancelled,      // CancelRead was called from another thread
    DeviceStopped,  // the device went away during the transfer. Windows:
                    // ERROR_GEN_FAILURE (31) only; ERROR_DEVICE_NOT_CONNECTED
                    // (1167), a device gone before the write, is Failed.
                    // Linux: ENODEV, ESHUTDOWN, EPIPE or EIO, since hidraw
                    // does not tell a device that left during the write
                    // from one gone just before it.
    Failed          // any other failure; SysError says which
};

// An interface opened for shared reading and writing of whole reports.
// Closing (destruction) cancels a read still pending and waits for it.
class HidConnection {
public:
    virtual ~HidConnection() = default;

    // Writes one whole output report (report ID byte first) within timeoutMs.
    // Returns Ok, DeviceStopped, Timeout or Failed (with err filled).
    // One thread at a time.
    virtual IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                           SysError& err) = 0;

    // Reads one input report of at most capacity bytes into buffer within
    // timeoutMs, setting got to its length. Returns Ok, Timeout, Cancelled,
    // DeviceStopped or Failed (with err filled). One reader at a time; the
    // buffer is not touched after the call returns, whatever the outcome.
    virtual IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                          SysError& err) = 0;

    // Makes a Read in progress on another thread return Cancelled at once,
    // and the next Read too if none is in progress. Any thread.
    virtual void CancelRead() = 0;
};

// The platform: HID access plus the few system services the core uses.
class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Lists the HID interfaces present now, in the platform's order. Returns
    // false with err filled when the list cannot be made (the walk then finds
    // nothing). Any thread.
    virtual bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) = 0;

    // Opens path for query only (no access rights, no sharing), reads its IDs
    // and report lengths and closes it again. Returns Ok with probe filled,
    // or the step that failed with err filled. Any thread.
    virtual ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) = 0;

    // Opens path for shared reading and writing. Returns the connection, or
    // null with err filled (for example when another program holds the device
    // exclusively, or access is denied). Any thread.
    virtual std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) = 0;

    // A millisecond tick count that wraps at 2^32. Any thread.
    virtual uint32_t TickCount() = 0;

    // Sleeps for ms milliseconds. Any thread.
    virtual void Sleep(unsigned ms) = 0;

    // Writes one line of UTF-16 text to the platform's debug output (the text
    // carries its own line breaks). Any thread.
    virtual void DebugOutput(const std::u16string& text) = 0;

    // Delivers WM_DEVICE_SEARCH_RESULT with wParam and lParam to target
    // without waiting for it to be handled (PostMessageW on Windows, the
    // notification queue elsewhere). Returns false with err filled when the
    // message could not be queued. Any thread.
    virtual bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                                  SysError& err) = 0;
};

// The backend of this build of the library (real or emulated). Defined by the
// one backend file linked into the build.
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

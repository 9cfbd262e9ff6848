// The connection half of the HID seam: one opened interface that reads and
// writes whole reports. Made by HidBackend::Open; null/NullConnection is the
// smallest complete example.
//
// Rules every connection keeps (tests/penlink/HidContract.h checks them on
// every backend):
//
// - Nothing throws. Each call reports its outcome as an IoStatus; err is
//   written only for DeviceStopped and Failed, and then names the call that
//   failed and its code (see SysError.h), so that the cause reaches the log.
// - Threads: one Write at a time and one Read at a time; a Write and a
//   Read may run at once on two threads; CancelRead from any thread at any
//   time while the connection lives. Destruction is the owner's, once no Write runs and no new call
//   can start: it ends a Read still waiting on another thread with
//   Cancelled, waits for it to return, then closes the interface.
// - Time limits: a Read returns within about timeoutMs (0: only a report
//   already waiting). A Write returns within about timeoutMs wherever the
//   platform lets it wait (Windows, a hidraw descriptor that would block);
//   a hidraw node takes its report synchronously in the kernel, and the
//   emulator takes it at once. A transfer that runs out of time is withdrawn, and no
//   call touches the caller's buffer after it returns.
//
// The report ID rule, both ways:
//
// - Write: the buffer is the whole output report, its report ID first. The
//   pen does not number its reports, so the core writes 0x00 there and sends
//   exactly the probe's outputReportLength bytes; the emulated devices call
//   any other length or ID a protocol violation. Windows passes the buffer to
//   the HID class driver as it is; hidraw takes byte 0 as the report number
//   and, for a device without numbered reports, sends the bytes after it.
// - Read: every report read starts with its report ID byte, 0x00 for a
//   device without numbered reports, so that offsets in a report count from
//   that byte on every platform. Windows' ReadFile puts it first itself; the
//   emulated devices queue their reports with it. hidraw hands out only the
//   data bytes of a device whose report descriptor has no Report ID items,
//   so its connection learns from the descriptor at Open whether the device
//   numbers its reports and, where it does not, puts 0x00 in front of each
//   report read (the fix that made the pen's update-mode reply readable on
//   Linux). Buffers are at least the probe's inputReportLength, which
//   counts the ID byte; a report that does not fit is cut to capacity by
//   hidraw and the emulator and refused (Failed) by Windows.
#ifndef PENLINK_HIDCONNECTION_H
#define PENLINK_HIDCONNECTION_H

#include <cstddef>
#include <cstdint>

#include "SysError.h"

namespace penlink {

// The outcome of a transfer. What each platform's errors become:
//
// - Timeout: the limit ran out and the transfer was withdrawn. Windows: the
//   wait ran out and CancelIoEx ended the transfer; hidraw: poll ran out;
//   the emulator: nothing was queued in time.
// - DeviceStopped: Windows: ERROR_GEN_FAILURE only. hidraw: errno ENODEV,
//   ESHUTDOWN, EPIPE or EIO, or end of file or a hang-up on the descriptor
//   (code 0). The emulator: its device left the bus ("WriteFile" or
//   "ReadFile" with ERROR_GEN_FAILURE).
// - Failed: every other code. Windows: ERROR_DEVICE_NOT_CONNECTED among
//   them, and a broken pipe standing in for a device in tests; hidraw: every
//   other errno; the emulator: a protocol violation, or the failure that a
//   pen's fault or a replayed recording injects.
//
// DeviceStopped says that the device is gone, a pen that leaves the bus on
// the switch command among them (the core takes that write as done). Windows
// tells a device that left during the transfer (ERROR_GEN_FAILURE) from one
// gone before it (ERROR_DEVICE_NOT_CONNECTED, Failed); hidraw and the
// emulator cannot, and stop both. Once a device is gone, no transfer on its
// connection is Ok or Timeout again. A null or empty buffer fails every
// backend's Write and Read with an invalid-parameter code (EINVAL,
// ERROR_INVALID_PARAMETER), a write that sends fewer bytes than given with
// "<call> (short)" and code 0.
enum class [[nodiscard]] IoStatus{
    Ok,             // the whole report went, or one report came
    Timeout,        // the time limit ran out; nothing was transferred
    Cancelled,      // Read only: CancelRead was called
    DeviceStopped,  // the device is gone (see above); err says how
    Failed          // any other failure; err says which
};

// The status's name for log lines and recordings: "ok", "timeout",
// "cancelled", "device-stopped" or "failed". Any thread.
const char* IoStatusName(IoStatus status);

// An interface opened for shared reading and writing of whole reports.
class HidConnection {
public:
    // Ends a waiting Read with Cancelled, waits for it, closes the interface.
    // The owner's thread, once no Write runs.
    virtual ~HidConnection() = default;

    // Writes the length bytes at report, report ID first, as one output
    // report. Returns Ok when all of them went; Timeout when the device took
    // nothing within timeoutMs; DeviceStopped or Failed with err filled.
    // One writer at a time; may run beside a Read.
    virtual IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                           SysError& err) = 0;

    // Reads one input report, report ID first, into buffer (at most capacity
    // bytes). Returns Ok with got its length; Cancelled at once when a
    // cancel is pending or comes while it waits, even with a report waiting
    // (the report stays for the next Read), and a cancel wins over a report
    // that comes at the same moment; Timeout when no report came within
    // timeoutMs; DeviceStopped or Failed with err filled. got is 0 on every
    // path but Ok, and the buffer is not touched after the call returns.
    // One reader at a time; may run beside a Write.
    virtual IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                          SysError& err) = 0;

    // Makes a Read waiting on another thread return Cancelled at once; with
    // none waiting, the next Read returns Cancelled instead. Cancels that no
    // Read has taken yet count as one. Writes are not affected. Any thread.
    virtual void CancelRead() = 0;
};

}  // namespace penlink

#endif  // PENLINK_HIDCONNECTION_H

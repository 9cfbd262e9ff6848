// The connection half of the HID seam: one opened interface that reads and
// writes whole reports. Made by HidBackend::Open.
//
// Contract common to every operation: it never throws, it reports failure by
// its result, and where a system call failed it names that call and its error
// code in a SysError, so that the cause reaches the debug log.
#ifndef PENLINK_HIDCONNECTION_H
#define PENLINK_HIDCONNECTION_H

#include <cstddef>
#include <cstdint>

#include "SysError.h"

namespace penlink {

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

}  // namespace penlink

#endif  // PENLINK_HIDCONNECTION_H

// One hidraw node (or anything that behaves like one: a socket or pipe in
// tests) opened non-blocking, with reads and writes bounded by poll and a
// read that an eventfd can cancel. Made by HidrawBackend::Open and
// HidrawBackend::AdoptDescriptor.
#ifndef PENLINK_HIDRAWCONNECTION_H
#define PENLINK_HIDRAWCONNECTION_H

#include <mutex>

#include "FileDescriptor.h"
#include "core/HidConnection.h"

namespace penlink {

class HidrawConnection final : public HidConnection {
public:
    // Takes over fd (non-blocking) and wakeFd (an eventfd), which close at
    // the end. numberedReports says whether the device's reports carry their
    // ID byte on reads; otherwise 0x00 is put in front of each report read.
    HidrawConnection(FileDescriptor fd, FileDescriptor wakeFd, bool numberedReports);

    // Cancels a pending read and waits for it and for a write still running.
    ~HidrawConnection() override;

    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    // Writes first and polls only where the descriptor would block. errno
    // ENODEV, ESHUTDOWN, EPIPE and EIO are DeviceStopped. See HidConnection.
    IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                   SysError& err) override;

    // One report per read, cut to capacity; a cancel wins over data that came
    // at the same time. See HidConnection.
    IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                  SysError& err) override;

    void CancelRead() override;

    // What a read, write or poll that failed with errno code means. Returns
    // DeviceStopped for ENODEV, ESHUTDOWN, EPIPE and EIO (the device is
    // gone: a pen that leaves the bus on the switch command), Failed for any
    // other code; err names call and code either way. Any thread.
    static IoStatus StatusFromErrno(const char* call, int code, SysError& err);

private:
    void ConsumeCancel();

    const FileDescriptor m_fd;
    const FileDescriptor m_wakeFd;
    const bool m_numberedReports;
    std::mutex m_readMutex;
    std::mutex m_writeMutex;
};

}  // namespace penlink

#endif  // PENLINK_HIDRAWCONNECTION_H

// One HID interface opened for overlapped I/O on Windows. Every transfer is
// an overlapped ReadFile or WriteFile that is waited for with a time limit;
// a transfer that runs out of time or is cancelled is withdrawn with
// CancelIoEx and waited for until the system has let go of the caller's
// buffer, so nothing is ever written into memory after a call returns.
#ifndef PENLINK_WINHIDCONNECTION_H
#define PENLINK_WINHIDCONNECTION_H

#include <windows.h>

#include <memory>
#include <mutex>

#include "core/HidConnection.h"

namespace penlink {

class WinHidConnection final : public HidConnection {
public:
    // Takes over handle, which must have been opened with
    // FILE_FLAG_OVERLAPPED (a HID interface, or a pipe or file in tests), and
    // makes the connection's events. Returns the connection, which owns the
    // handle from then on; or null with err naming CreateEventW and its code,
    // the handle then being closed. Any thread.
    static std::unique_ptr<WinHidConnection> Adopt(HANDLE handle, SysError& err);

    // Cancels a Read still running on another thread, waits for it and for a
    // Write still running to return, then closes the handle and the events.
    // The owner's thread; nothing may call the connection afterwards.
    ~WinHidConnection() override;

    WinHidConnection(const WinHidConnection&) = delete;
    WinHidConnection& operator=(const WinHidConnection&) = delete;

    // Writes the length bytes at report as one output report. Returns Ok when
    // all of them went; Timeout when the write did not complete within
    // timeoutMs (it is withdrawn first); DeviceStopped when the device left
    // during the write (ERROR_GEN_FAILURE only);
    // Failed otherwise (also for a null or empty report), with err naming
    // WriteFile, whether it failed at once or later, or
    // WaitForMultipleObjects, and the code ("WriteFile (short)" with code 0
    // when fewer bytes went). A write that completes just as its time runs
    // out counts as Ok. One writer thread at a time; may run beside a Read.
    IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                   SysError& err) override;

    // Reads one input report of at most capacity bytes into buffer. Returns
    // Ok with got set; Cancelled at once when a cancel is pending or arrives
    // during the wait (it is consumed); Timeout when nothing came within
    // timeoutMs (the read is withdrawn first); DeviceStopped or Failed as for
    // Write, err naming ReadFile or WaitForMultipleObjects. got is 0 on every
    // path but Ok, and buffer is not touched after the call returns. One
    // reader thread at a time; may run beside a Write.
    IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                  SysError& err) override;

    // Makes a Read waiting on another thread return Cancelled at once; with
    // no Read waiting, the next Read returns Cancelled instead. Cancels that
    // no Read has consumed yet count as one. Any thread.
    void CancelRead() override;

    // The outcome that a system error code of a transfer means: DeviceStopped
    // for ERROR_GEN_FAILURE (31), the device leaving during the transfer;
    // Failed for every other code, ERROR_DEVICE_NOT_CONNECTED (1167), a
    // device already gone, among them. Any thread.
    static IoStatus StatusOfError(DWORD code);

private:
    WinHidConnection(HANDLE device, HANDLE cancelEvent, HANDLE readEvent, HANDLE writeEvent);

    // Starts one overlapped ReadFile (reading) or WriteFile of length bytes
    // at buffer and waits for it within timeoutMs, a read also for a cancel.
    // Returns Ok with transferred set; Cancelled, Timeout, DeviceStopped or
    // Failed as described for Read and Write. The transfer is over, one way
    // or the other, when this returns.
    IoStatus Transfer(bool reading, void* buffer, DWORD length, DWORD& transferred,
                      unsigned timeoutMs, SysError& err);

    const HANDLE m_device;
    const HANDLE m_cancelEvent;  // auto-reset: one pending cancel, consumed by a Read
    const HANDLE m_readEvent;
    const HANDLE m_writeEvent;
    std::mutex m_readMutex;
    std::mutex m_writeMutex;
};

}  // namespace penlink

#endif  // PENLINK_WINHIDCONNECTION_H

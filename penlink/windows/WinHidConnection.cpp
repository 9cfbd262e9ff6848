#include "WinHidConnection.h"

#include <new>

namespace penlink {

namespace {

// Fills err with call and code and tells which outcome the code means.
IoStatus Failure(const char* call, DWORD code, SysError& err) {
    err = {call, static_cast<long>(code)};
    return WinHidConnection::StatusOfError(code);
}

void CloseIfValid(HANDLE handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

}  // namespace

std::unique_ptr<WinHidConnection> WinHidConnection::Adopt(HANDLE handle, SysError& err) {
    // The cancel event is auto-reset, so that a Read consumes the cancel it
    // returns for; the transfer events are manual-reset, as overlapped I/O
    // wants them.
    HANDLE cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (cancelEvent == nullptr || readEvent == nullptr || writeEvent == nullptr) {
        err = {"CreateEventW", static_cast<long>(GetLastError())};
    } else {
        auto* connection =
            new (std::nothrow) WinHidConnection(handle, cancelEvent, readEvent, writeEvent);
        if (connection != nullptr) return std::unique_ptr<WinHidConnection>(connection);
        err = {"operator new", ERROR_NOT_ENOUGH_MEMORY};
    }
    CloseIfValid(cancelEvent);
    CloseIfValid(readEvent);
    CloseIfValid(writeEvent);
    CloseIfValid(handle);
    return nullptr;
}

WinHidConnection::WinHidConnection(HANDLE device, HANDLE cancelEvent, HANDLE readEvent,
                                   HANDLE writeEvent)
    : m_device(device),
      m_cancelEvent(cancelEvent),
      m_readEvent(readEvent),
      m_writeEvent(writeEvent) {}

WinHidConnection::~WinHidConnection() {
    SetEvent(m_cancelEvent);
    {
        // Both transfers end before their handles go: a Read woken by the
        // cancel at once, a Write within its time limit.
        std::lock_guard<std::mutex> readLock(m_readMutex);
        std::lock_guard<std::mutex> writeLock(m_writeMutex);
    }
    CloseHandle(m_device);
    CloseHandle(m_cancelEvent);
    CloseHandle(m_readEvent);
    CloseHandle(m_writeEvent);
}

IoStatus WinHidConnection::Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                                 SysError& err) {
    if (report == nullptr || length == 0 || length > MAXDWORD) {
        err = {"WriteFile", ERROR_INVALID_PARAMETER};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> lock(m_writeMutex);
    DWORD written = 0;
    // WriteFile only reads the buffer; the cast serves the shared helper.
    const IoStatus status = Transfer(false, const_cast<uint8_t*>(report),
                                     static_cast<DWORD>(length), written, timeoutMs, err);
    if (status == IoStatus::Ok && written != length) {
        err = {"WriteFile (short)", 0};
        return IoStatus::Failed;
    }
    return status;
}

IoStatus WinHidConnection::Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                                SysError& err) {
    got = 0;
    if (buffer == nullptr || capacity == 0 || capacity > MAXDWORD) {
        err = {"ReadFile", ERROR_INVALID_PARAMETER};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> lock(m_readMutex);
    // A cancel that came while no Read ran is meant for this one.
    if (WaitForSingleObject(m_cancelEvent, 0) == WAIT_OBJECT_0) return IoStatus::Cancelled;
    DWORD read = 0;
    const IoStatus status =
        Transfer(true, buffer, static_cast<DWORD>(capacity), read, timeoutMs, err);
    if (status == IoStatus::Ok) got = read;
    return status;
}

void WinHidConnection::CancelRead() { SetEvent(m_cancelEvent); }

IoStatus WinHidConnection::StatusOfError(DWORD code) {
    // The HID class driver answers ERROR_GEN_FAILURE when the device left the
    // bus during the transfer, as a pen switching mode does on purpose.
    // ERROR_DEVICE_NOT_CONNECTED means that it had gone before: a switch
    // command that meets it was never sent.
    return code == ERROR_GEN_FAILURE ? IoStatus::DeviceStopped : IoStatus::Failed;
}

IoStatus WinHidConnection::Transfer(bool reading, void* buffer, DWORD length, DWORD& transferred,
                                    unsigned timeoutMs, SysError& err) {
    const char* call = reading ? "ReadFile" : "WriteFile";
    OVERLAPPED overlapped{};
    overlapped.hEvent = reading ? m_readEvent : m_writeEvent;
    ResetEvent(overlapped.hEvent);
    const BOOL started = reading ? ReadFile(m_device, buffer, length, nullptr, &overlapped)
                                 : WriteFile(m_device, buffer, length, nullptr, &overlapped);
    if (!started) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) return Failure(call, code, err);
    }

    // A transfer that completed at once has signalled its event already, so
    // both cases meet here. The cancel event comes first: a cancel wins over
    // a report that arrived at the same moment.
    const HANDLE waits[2] = {m_cancelEvent, overlapped.hEvent};
    const DWORD count = reading ? 2 : 1;
    const DWORD wait = WaitForMultipleObjects(count, waits + (2 - count), FALSE, timeoutMs);
    const DWORD waitCode = wait == WAIT_FAILED ? GetLastError() : ERROR_SUCCESS;

    if (wait != WAIT_OBJECT_0 + count - 1) {
        // Timed out, cancelled or the wait failed: withdraw the transfer and
        // wait until the system has let go of the buffer. CancelIoEx fails
        // with ERROR_NOT_FOUND when the transfer has just completed.
        CancelIoEx(m_device, &overlapped);
    }
    DWORD done = 0;
    const bool ok = GetOverlappedResult(m_device, &overlapped, &done, TRUE) != FALSE;
    const DWORD code = ok ? ERROR_SUCCESS : GetLastError();

    if (reading && wait == WAIT_OBJECT_0) return IoStatus::Cancelled;
    if (wait == WAIT_FAILED) return Failure("WaitForMultipleObjects", waitCode, err);
    if (ok) {
        // Also a transfer that completed just as its time ran out.
        transferred = done;
        return IoStatus::Ok;
    }
    if (wait == WAIT_TIMEOUT && code == ERROR_OPERATION_ABORTED) return IoStatus::Timeout;
    return Failure(call, code, err);
}

}  // namespace penlink

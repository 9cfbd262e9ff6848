// The smallest complete connection (core/HidConnection.h): a device that
// takes every report and never sends one. It shows what each operation owes
// the core: whole-report writes, reads bounded by their time limit, a cancel
// that wins at once or waits for the next Read, and a destructor that ends
// a waiting Read. The null backend lists no device, so nothing opens one;
// it is made directly where a connection to nothing is wanted.
#ifndef PENLINK_NULLCONNECTION_H
#define PENLINK_NULLCONNECTION_H

#include <condition_variable>
#include <mutex>

#include "core/HidConnection.h"

namespace penlink {

class NullConnection final : public HidConnection {
public:
    NullConnection() = default;

    // Ends a waiting Read with Cancelled and waits for it to return. The
    // owner's thread.
    ~NullConnection() override;

    NullConnection(const NullConnection&) = delete;
    NullConnection& operator=(const NullConnection&) = delete;

    // Returns Ok and drops the report; Failed with err {"write", EINVAL} for
    // a null or empty one. One writer at a time.
    IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                   SysError& err) override;

    // Returns Cancelled when a cancel is pending or comes within timeoutMs,
    // else Timeout once timeoutMs have passed; Failed with err {"read",
    // EINVAL} for a null or empty buffer. got is always 0. One reader at a
    // time.
    IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                  SysError& err) override;

    // Ends the waiting Read, or the next one. Any thread.
    void CancelRead() override;

private:
    std::mutex m_readMutex;  // held by the one Read, so that the end can wait for it
    std::mutex m_mutex;
    std::condition_variable m_cancelled;
    bool m_cancel = false;  // under m_mutex
};

}  // namespace penlink

#endif  // PENLINK_NULLCONNECTION_H

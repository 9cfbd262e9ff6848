// An open connection to an emulated device. It stops working when the device
// leaves the bus, as a handle to a real device does when it is unplugged.
#ifndef PENLINK_EMULATOR_EMULATEDCONNECTION_H
#define PENLINK_EMULATOR_EMULATEDCONNECTION_H

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "EmulatedDevice.h"
#include "core/HidBackend.h"

namespace penlink::emulator {

class EmulatedConnection : public HidConnection {
public:
    // paced: take one output report a millisecond, as a full-speed interrupt
    // endpoint does.
    EmulatedConnection(std::shared_ptr<EmulatedDevice> device, bool paced);

    // Ends a Read waiting on another thread with Cancelled, waits for it to
    // return and notes the close in the transcript. The owner's thread.
    ~EmulatedConnection() override;

    IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                   SysError& err) override;
    IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                  SysError& err) override;
    void CancelRead() override;

private:
    std::shared_ptr<EmulatedDevice> m_device;
    uint64_t m_generation;
    bool m_paced;
    std::chrono::steady_clock::time_point m_nextSlot;
    std::atomic<bool> m_cancel{false};
    std::mutex m_readMutex;  // held by the one Read, so that the end can wait for it
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATEDCONNECTION_H

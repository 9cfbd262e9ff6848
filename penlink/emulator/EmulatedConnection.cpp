#include "EmulatedConnection.h"

#include <thread>

namespace penlink::emulator {

namespace {
// The emulator answers with Windows' codes: ERROR_GEN_FAILURE for a device
// that is gone, ERROR_INVALID_PARAMETER for a null or empty buffer.
constexpr long kGenFailure = 31;
constexpr long kInvalidParameter = 87;
}  // namespace

EmulatedConnection::EmulatedConnection(std::shared_ptr<EmulatedDevice> device, bool paced)
    : m_device(std::move(device)),
      m_generation(m_device->Generation()),
      m_paced(paced),
      m_nextSlot(std::chrono::steady_clock::now()) {
    m_device->RecordEvent("opened " + m_device->Path());
}

EmulatedConnection::~EmulatedConnection() {
    CancelRead();
    { std::lock_guard<std::mutex> waitForRead(m_readMutex); }
    m_device->RecordEvent("closed " + m_device->Path());
}

IoStatus EmulatedConnection::Write(const uint8_t* report, size_t length, unsigned, SysError& err) {
    if (report == nullptr || length == 0) {
        err = {"WriteFile", kInvalidParameter};
        return IoStatus::Failed;
    }
    if (m_device->Generation() != m_generation) {
        err = {"WriteFile", kGenFailure};
        return IoStatus::DeviceStopped;
    }
    if (m_paced) {
        // Absolute slots, so that oversleeping one report does not delay the
        // next ones.
        const auto now = std::chrono::steady_clock::now();
        if (m_nextSlot < now - std::chrono::milliseconds(1)) m_nextSlot = now;
        m_nextSlot += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(m_nextSlot);
    }
    return m_device->Receive(report, length, err);
}

IoStatus EmulatedConnection::Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                                  SysError& err) {
    got = 0;
    if (buffer == nullptr || capacity == 0) {
        err = {"ReadFile", kInvalidParameter};
        return IoStatus::Failed;
    }
    std::lock_guard<std::mutex> reading(m_readMutex);
    const IoStatus status =
        m_device->Deliver(m_generation, buffer, capacity, got, timeoutMs, m_cancel);
    if (status == IoStatus::DeviceStopped) err = {"ReadFile", kGenFailure};
    return status;
}

void EmulatedConnection::CancelRead() {
    m_cancel.store(true);
    m_device->Wake();
}

}  // namespace penlink::emulator

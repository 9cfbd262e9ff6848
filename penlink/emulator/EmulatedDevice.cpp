#include "EmulatedDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace penlink::emulator {

EmulatedDevice::EmulatedDevice(std::string name, uint16_t vendorId, uint16_t productId,
                               uint16_t inputLength, uint16_t outputLength, std::string location)
    : m_name(std::move(name)),
      m_vendorId(vendorId),
      m_productId(productId),
      m_inputLength(inputLength),
      m_outputLength(outputLength),
      m_location(std::move(location)) {}

std::string EmulatedDevice::Path() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return "emu://" + m_name;
}

uint16_t EmulatedDevice::ProductId() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_productId;
}

IoStatus EmulatedDevice::Receive(const uint8_t* report, size_t length, SysError& err) {
    if (m_transcript != nullptr) m_transcript->Out(report, length);
    if (length != m_outputLength) {
        std::vector<uint8_t> expected(m_outputLength, 0);
        std::memcpy(expected.data(), report, std::min<size_t>(length, m_outputLength));
        return Violation("an output report must be " + std::to_string(m_outputLength) +
                             " bytes long, not " + std::to_string(length),
                         report, length, expected, err);
    }
    if (report[0] != 0x00) {
        std::vector<uint8_t> expected(report, report + length);
        expected[0] = 0x00;
        return Violation("report ID must be 0x00", report, length, expected, err);
    }
    return OnReport(report, err);
}

IoStatus EmulatedDevice::OnReport(const uint8_t*, SysError&) { return IoStatus::Ok; }

IoStatus EmulatedDevice::Deliver(uint64_t generation, uint8_t* buffer, size_t capacity, size_t& got,
                                 unsigned timeoutMs, std::atomic<bool>& cancel) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel.exchange(false)) return IoStatus::Cancelled;
        if (m_generation.load() != generation) return IoStatus::DeviceStopped;
        const auto now = std::chrono::steady_clock::now();
        if (!m_input.empty() && m_input.front().due <= now) break;
        if (now >= deadline) return IoStatus::Timeout;
        const auto until = m_input.empty() ? deadline : std::min(deadline, m_input.front().due);
        m_inputArrived.wait_until(lock, until);
    }
    std::vector<uint8_t> report = std::move(m_input.front().bytes);
    m_input.pop_front();
    lock.unlock();
    got = std::min(capacity, report.size());
    std::memcpy(buffer, report.data(), got);
    if (m_transcript != nullptr) m_transcript->In(report.data(), report.size());
    return IoStatus::Ok;
}

void EmulatedDevice::Wake() {
    { std::lock_guard<std::mutex> lock(m_mutex); }
    m_inputArrived.notify_all();
}

std::vector<std::string> EmulatedDevice::Violations() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_violations;
}

void EmulatedDevice::RecordEvent(const std::string& text) {
    if (m_transcript != nullptr) m_transcript->Event(text);
}

void EmulatedDevice::QueueInput(const std::vector<uint8_t>& bytes,
                                std::chrono::milliseconds delay) {
    std::vector<uint8_t> report(m_inputLength, 0);
    std::memcpy(report.data(), bytes.data(), std::min(bytes.size(), report.size()));
    const auto due = std::chrono::steady_clock::now() + delay;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_input.push_back(
            {m_input.empty() ? due : std::max(due, m_input.back().due), std::move(report)});
    }
    m_inputArrived.notify_all();
}

void EmulatedDevice::LeaveBus() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_input.clear();
        m_onBus.store(false);
        m_generation.fetch_add(1);
    }
    m_inputArrived.notify_all();
}

void EmulatedDevice::ReturnToBus(uint16_t productId, std::string name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_productId = productId;
    m_name = std::move(name);
    m_onBus.store(true);
}

IoStatus EmulatedDevice::Violation(const std::string& why, const uint8_t* got, size_t gotLength,
                                   const std::vector<uint8_t>& expected, SysError& err) {
    std::string text = "protocol violation on " + Path() + ": " + why + "\ngot:\n" +
                       HexDump(got, gotLength) + "expected:\n" +
                       HexDump(expected.data(), expected.size());
    std::fprintf(stderr, "emulated pen: %s", text.c_str());
    RecordEvent("VIOLATION " + why);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_violations.push_back(text);
    }
    err = {"emulated device: protocol violation", 0};
    return IoStatus::Failed;
}

}  // namespace penlink::emulator

// A HID device on the emulated bus. By itself it is a foreign device (a mouse
// or a keyboard, say): it takes output reports and never answers. The pen
// derives from it.
#ifndef PENLINK_EMULATOR_EMULATEDDEVICE_H
#define PENLINK_EMULATOR_EMULATEDDEVICE_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/HidBackend.h"
#include "Transcript.h"

namespace penlink::emulator {

// Ways in which the platform may fail to tell the library about a device.
struct ListingFaults {
    bool pathFails = false;             // listed, but its path cannot be had
    bool queryOpenFails = false;        // listed but not plugged in
    bool attributesFail = false;        // IDs cannot be read
    bool capsFail = false;              // report lengths cannot be read
    bool heldExclusively = false;       // another program holds it: the read/write open fails
    bool lockedByOtherUpdater = false;  // another updater holds the lock of its location
};

class EmulatedDevice {
public:
    EmulatedDevice(std::string name, uint16_t vendorId, uint16_t productId, uint16_t inputLength,
                   uint16_t outputLength, std::string location = {});
    virtual ~EmulatedDevice() = default;
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    // Called once for each listing of the bus; returns whether the device is
    // on the bus for that listing. Any thread.
    virtual bool OnListing() { return true; }

    // The path and USB IDs as the bus shows them now. Any thread.
    std::string Path() const;
    uint16_t VendorId() const { return m_vendorId; }
    uint16_t ProductId() const;
    uint16_t InputLength() const { return m_inputLength; }
    uint16_t OutputLength() const { return m_outputLength; }
    // Where the device is plugged in; it keeps it when it leaves and comes
    // back. Any thread.
    const std::string& Location() const { return m_location; }

    // Bumped each time the device leaves the bus: connections opened before
    // then fail with DeviceStopped. Any thread.
    uint64_t Generation() const { return m_generation.load(); }
    bool OnBus() const { return m_onBus.load(); }

    // An output report from the host. Returns the write's outcome. Called by
    // a connection, one writer at a time.
    IoStatus Receive(const uint8_t* report, size_t length, SysError& err);

    // Hands the next input report to a connection opened at generation,
    // waiting up to timeoutMs. Returns Ok, Timeout, Cancelled (cancel was set;
    // it is cleared) or DeviceStopped. Any thread.
    IoStatus Deliver(uint64_t generation, uint8_t* buffer, size_t capacity, size_t& got,
                     unsigned timeoutMs, std::atomic<bool>& cancel);

    // Wakes a Deliver waiting on this device (after setting a cancel flag).
    void Wake();

    // Every protocol mismatch seen so far, each with its hex dump.
    std::vector<std::string> Violations() const;

    void AttachTranscript(Transcript* transcript) { m_transcript = transcript; }
    void RecordEvent(const std::string& text);

    ListingFaults faults;
    // Takes output reports at one a millisecond, like a full-speed endpoint.
    bool paced = false;

protected:
    // Reacts to one output report of the right length; the default ignores
    // it. Returns the write's outcome.
    virtual IoStatus OnReport(const uint8_t* report, SysError& err);

    // Queues an input report of InputLength bytes made of bytes and zeros,
    // to be handed out no sooner than delay from now (and after the reports
    // queued before it).
    void QueueInput(const std::vector<uint8_t>& bytes,
                    std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    // The device leaves the bus: queued input is dropped, open connections
    // stop working.
    void LeaveBus();
    void ReturnToBus(uint16_t productId, std::string name);

    // Records a protocol mismatch: what came, what was expected, and why.
    // Returns Failed with err filled, for the write to report.
    IoStatus Violation(const std::string& why, const uint8_t* got, size_t gotLength,
                       const std::vector<uint8_t>& expected, SysError& err);

    mutable std::mutex m_mutex;

private:
    std::string m_name;
    uint16_t m_vendorId;
    uint16_t m_productId;
    uint16_t m_inputLength;
    uint16_t m_outputLength;
    const std::string m_location;
    std::atomic<uint64_t> m_generation{0};
    std::atomic<bool> m_onBus{true};
    std::condition_variable m_inputArrived;
    struct PendingInput {
        std::chrono::steady_clock::time_point due;
        std::vector<uint8_t> bytes;
    };
    std::deque<PendingInput> m_input;
    std::vector<std::string> m_violations;
    Transcript* m_transcript = nullptr;
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATEDDEVICE_H

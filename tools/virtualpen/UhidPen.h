// The emulated pen put on the kernel's HID stack through /dev/uhid: the same
// pen model as the in-process emulator (EmulatedPen), on another transport.
// The kernel sees a USB HID device with the pen's IDs and the pen's report
// descriptor (a vendor page, no report IDs, the model's report lengths less
// the report ID byte: 64-byte reports for the default pen). When
// the model leaves the bus (the switch, an unplug) the device is destroyed,
// and created again under the model's new product ID once the model is back.
//
// uhid keeps only 32 events for its reader and drops the rest without notice,
// and the host's hidraw writes do not wait for the device. So one thread does
// nothing but drain /dev/uhid into memory; another feeds the events to the
// model; a third hands the model's input reports to the kernel.
#ifndef PENLINK_TOOLS_VIRTUALPEN_UHIDPEN_H
#define PENLINK_TOOLS_VIRTUALPEN_UHIDPEN_H

#include <linux/uhid.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/EmulatedPen.h"

namespace penlink::virtualpen {

class UhidPen {
public:
    // The physical path a device gets unless it is given another one.
    static constexpr const char* kDefaultPhys = "virtualpen/uhid";
    // The longest physical path the kernel takes, in bytes.
    static constexpr size_t kMaxPhys = sizeof(uhid_create2_req::phys) - 1;

    // pen is the model (from ConfigureScenario); announce is called, on the
    // pen's own thread, with a line each time the device is ready on the
    // kernel's side ("normal /dev/hidraw3", "update /dev/hidraw4"). phys is
    // the physical path of the device in both of the pen's modes (the
    // kernel's HID_PHYS, the library's location), at most kMaxPhys bytes.
    UhidPen(std::shared_ptr<emulator::EmulatedPen> pen,
            std::function<void(const std::string&)> announce, std::string phys = kDefaultPhys);
    ~UhidPen();
    UhidPen(const UhidPen&) = delete;
    UhidPen& operator=(const UhidPen&) = delete;

    // Opens /dev/uhid and creates the device. Returns true, or false with
    // error naming the failing call and errno. Main thread, once.
    bool Start(std::string& error);

    // Runs until Stop is called (from a signal handler too) or /dev/uhid
    // fails; then destroys the device. Returns true on a clean stop, false
    // with error set when /dev/uhid failed. Main thread, after Start.
    bool Run(std::string& error);

    // Makes Run return. Async-signal-safe; any thread.
    void Stop();

    // Output reports that came while no device was up (after the pen left
    // the bus), which the model never saw. Any thread.
    unsigned Dropped() const { return m_dropped.load(); }

    // Times the reader thread found its ring full and had to wait (uhid may
    // then have dropped events). Any thread.
    unsigned RingFull() const { return m_ringFull.load(); }

private:
    void ReadLoop();
    void InputLoop();
    bool Create(std::string& error);
    void Destroy();
    bool WriteEvent(const uhid_event& event, std::string& error);
    void HandleEvent(const uhid_event& event);
    // The hidraw node the kernel made for the current device, waiting a
    // while for it; empty when none appeared.
    std::string FindNode() const;

    std::shared_ptr<emulator::EmulatedPen> m_pen;
    std::function<void(const std::string&)> m_announce;
    int m_fd = -1;
    int m_stopFd = -1;
    std::atomic<bool> m_stopping{false};
    std::atomic<unsigned> m_dropped{0};
    unsigned m_incarnation = 0;
    std::string m_uniq;
    const std::string m_phys;

    // Events read from /dev/uhid, waiting for the model: a ring with one
    // writer (the reader thread) and one reader (Run), so that the reader
    // thread never waits for a lock that a slower thread holds. m_readHead
    // counts events read, m_readTail events handled; m_wakeFd tells Run that
    // the head moved.
    static constexpr size_t kRingSize = 4096;
    std::vector<uhid_event> m_ring;
    std::atomic<uint64_t> m_readHead{0};
    std::atomic<uint64_t> m_readTail{0};
    int m_wakeFd = -1;
    std::atomic<bool> m_readFailed{false};
    std::atomic<int> m_readErrno{0};
    std::atomic<unsigned> m_ringFull{0};

    // Whether the device is up, and the model's generation it serves.
    std::mutex m_stateMutex;
    std::condition_variable m_stateChanged;
    bool m_up = false;       // created and started by the kernel
    bool m_created = false;  // created, START not yet seen
    uint64_t m_generation = 0;

    std::thread m_reader;
    std::thread m_inputPump;
    std::atomic<bool> m_cancelDeliver{false};
};

}  // namespace penlink::virtualpen

#endif  // PENLINK_TOOLS_VIRTUALPEN_UHIDPEN_H

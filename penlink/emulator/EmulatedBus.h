// The emulated HID bus: a backend of the library that holds zero or more
// emulated devices instead of real ones, and the system services in front of
// the operating system's own (OsServices): ticks, sleep and the delivery of
// the search result are passed on, the result also noted in the transcript;
// debug lines are also kept here so that tests can read them (the last few,
// or all of them once KeepFullRecord asks for it). A program puts it in place
// with UseBackend(&bus) and UseServices(&bus).
#ifndef PENLINK_EMULATOR_EMULATEDBUS_H
#define PENLINK_EMULATOR_EMULATEDBUS_H

#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EmulatedDevice.h"
#include "Transcript.h"
#include "core/HidBackend.h"
#include "core/SystemServices.h"

namespace penlink::emulator {

class EmulatedBus : public HidBackend, public SystemServices {
public:
    EmulatedBus() = default;

    // Puts a device on the bus, after those already there. Not while the
    // library runs a call.
    void Add(std::shared_ptr<EmulatedDevice> device);

    // Protocol mismatches of all devices. Any thread.
    std::vector<std::string> Violations() const;

    // With keep, every debug line and every transcript line from now on
    // stays in memory, for a test that reads DebugLines() or Log().Lines();
    // without it (at first) only the last Transcript::kRecentLines of each
    // do. Any thread.
    void KeepFullRecord(bool keep);

    // Debug lines written by the library and kept so far (see
    // KeepFullRecord). Any thread.
    std::vector<std::u16string> DebugLines() const;

    Transcript& Log() { return m_transcript; }

    // Whether debug lines also go to the platform's debug output.
    void ForwardDebugOutput(bool forward) { m_forwardDebug = forward; }

    // The HID seam (core/HidBackend.h) over the devices on the bus, failing
    // with Windows' codes: a path not on the bus or a device whose query
    // open fails is {"CreateFileW", ERROR_FILE_NOT_FOUND}, one held
    // exclusively {"CreateFileW", ERROR_SHARING_VIOLATION}, the listing
    // faults of ListingFaults {"HidD_GetAttributes" or
    // "HidD_GetPreparsedData", 1}. Any thread.
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
    uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
    void DebugOutput(const std::u16string& text) override;
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override;
    bool ProcessExiting() override;
    // The locks of this process, kept in the bus: a location's lock is
    // HeldElsewhere while this process holds it or the computer's lock, or a
    // device there is lockedByOtherUpdater; the computer's lock while any is
    // held. Never the system's own locks, so that processes that emulate
    // pens side by side do not hold each other up.
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override;

private:
    std::shared_ptr<EmulatedDevice> Find(const std::string& path) const;

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<EmulatedDevice>> m_devices;
    std::deque<std::u16string> m_debugLines;
    bool m_keepAllDebugLines = false;
    // The locations whose locks this process holds; shared with the locks,
    // which may outlive the bus.
    struct LockTable {
        std::mutex mutex;
        std::multiset<std::string> held;
    };
    std::shared_ptr<LockTable> m_locks = std::make_shared<LockTable>();
    bool m_forwardDebug = true;
    Transcript m_transcript;
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATEDBUS_H

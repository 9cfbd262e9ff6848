// The recording of a run on a real pen: a backend and system services that
// sit in front of the real ones, pass every call on, and write what crossed
// to a file in the transcript's format, each line after an "AT <ms>" line
// that says when it happened (milliseconds since the recording began; a
// reader of transcripts that does not know the line passes over it):
//
//   EVENT device up <vid> <pid> <in> <out> <location or -> <path>
//                                      (in the location %, space and tab as %XX)
//                                      a pen's interface seen on the bus
//   EVENT device down <path>           gone from the bus
//   EVENT opened <path> / EVENT open failed <path>: <call> <code>
//   EVENT closed <path>
//   OUT <hex> / EVENT write failed: <status> <call> <code>
//   IN <hex>  / EVENT read failed: <status> <call> <code>
//   EVENT search result <wParam> <lParam or (device)>
//   EVENT debug <the library's debug line>
//
// Only the interfaces with the pen's IDs are written; `--emulate
// replay:FILE` plays the pen's side back (ReplayPen).
#ifndef PENLINK_EMULATOR_RECORDINGBUS_H
#define PENLINK_EMULATOR_RECORDINGBUS_H

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "core/HidBackend.h"
#include "core/SystemServices.h"

namespace penlink::emulator {

class RecordingBus : public HidBackend, public SystemServices {
public:
    // Passes every call on to backend and services, which must outlive it.
    RecordingBus(HidBackend& backend, SystemServices& services);
    ~RecordingBus() override;
    RecordingBus(const RecordingBus&) = delete;
    RecordingBus& operator=(const RecordingBus&) = delete;

    // Starts the file at path (replacing it). Returns false with errno kept
    // when it cannot be made. Main thread, before the bus is put in place.
    bool WriteTo(const std::string& path);

    // Writes one line after its time. Any thread.
    void Line(const std::string& line);
    void Event(const std::string& text) { Line("EVENT " + text); }

    // Returns 0 while every line reached the file, else the errno of the
    // first write that failed. Any thread.
    int WriteError() const;

    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
    uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
    void DebugOutput(const std::u16string& text) override;
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override;
    bool ProcessExiting() override;
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override;

private:
    HidBackend& m_backend;
    SystemServices& m_services;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    int m_writeError = 0;
    // The pen's interfaces seen, by path, with their "up" line.
    std::map<std::string, std::string> m_seen;
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_RECORDINGBUS_H

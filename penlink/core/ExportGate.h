// Lets one call of the library run at a time. The calls share one device
// object and one search, so a call that overlaps another one, from another
// thread or from the progress callback inside FWUSendFirmware, could free the
// device under the running call or write a command into the middle of an
// image. Such a call is refused at once instead of waiting: waiting on the
// progress callback's own thread could never end.
#ifndef PENLINK_EXPORTGATE_H
#define PENLINK_EXPORTGATE_H

#include <atomic>

#include "Result.h"

namespace penlink {

class ExportGate {
public:
    // Enters the gate when no other call holds it; otherwise logs that name
    // was refused and stays outside. Any thread.
    explicit ExportGate(const char* name);

    // Leaves the gate if this object entered it.
    ~ExportGate();

    ExportGate(const ExportGate&) = delete;
    ExportGate& operator=(const ExportGate&) = delete;

    // Result::Ok when this call may go on; Result::Busy when another call
    // held the gate (Exports.cpp turns it into the caller's error code).
    Result Admission() const { return m_entered ? Result::Ok : Result::Busy; }

    // At library unload: closes the gate for good when no call holds it, so
    // that no call can start on what the unload frees, and returns true.
    // Returns false, and closes nothing, while a call runs (on another
    // thread, at process exit): what it uses must then not be freed. Any
    // thread.
    static bool CloseForUnload();

private:
    static std::atomic<bool> s_busy;
    bool m_entered;
};

}  // namespace penlink

#endif  // PENLINK_EXPORTGATE_H

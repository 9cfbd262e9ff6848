// The backend of the Windows build of the library: the system's HID stack,
// and the system's own services.
#include "WinHidBackend.h"
#include "core/SystemServices.h"

namespace penlink {

// Returns the process's one Windows backend, made on first use and never
// destroyed (a call still running at process exit may use it). Any thread.
HidBackend& DefaultBackend() {
    static WinHidBackend* backend = new WinHidBackend;
    return *backend;
}

// Returns OsServices(). Any thread.
SystemServices& DefaultServices() { return OsServices(); }

}  // namespace penlink

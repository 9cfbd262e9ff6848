// The backend of the Linux build of the library: the kernel's hidraw nodes,
// and the system's own services.
#include "HidrawBackend.h"
#include "core/SystemServices.h"

namespace penlink {

// Returns the process's one hidraw backend on /sys and /dev, made on first
// use and never destroyed (a call still running at process exit may use it).
// Any thread.
HidBackend& DefaultBackend() {
    static HidrawBackend* backend = new HidrawBackend;
    return *backend;
}

// Returns OsServices(). Any thread.
SystemServices& DefaultServices() { return OsServices(); }

}  // namespace penlink

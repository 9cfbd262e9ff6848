// The backend of a build that has no real one for its platform, and of the
// test library, whose tests put their own backends in place: no devices, and
// the operating system's own services.
#include "NullBackend.h"
#include "core/SystemServices.h"

namespace penlink {

// Returns the process's one null backend, made on first use. Any thread.
HidBackend& DefaultBackend() {
    static NullBackend backend;
    return backend;
}

// Returns OsServices(). Any thread.
SystemServices& DefaultServices() { return OsServices(); }

}  // namespace penlink

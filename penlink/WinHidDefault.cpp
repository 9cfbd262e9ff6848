// The backend of the Windows build of the library: the system's HID stack.
#include "WinHidBackend.h"

namespace penlink {

// Returns the process's one Windows backend, made on first use. Any thread.
HidBackend& DefaultBackend() {
    static WinHidBackend backend;
    return backend;
}

}  // namespace penlink

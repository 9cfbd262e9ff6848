// The backend of a build that has no real one for its platform, and of the
// test library, whose tests put their own backends in place.
#include "NullBackend.h"

namespace penlink {

HidBackend& DefaultBackend() {
    static NullBackend backend;
    return backend;
}

}  // namespace penlink

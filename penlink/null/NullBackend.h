// A backend with no devices at all: the smallest complete example of the HID
// seam's contract (core/HidBackend.h). Listing succeeds with nothing in it;
// probing and opening fail as for a path that names no device. Its
// connection half is NullConnection.
#ifndef PENLINK_NULLBACKEND_H
#define PENLINK_NULLBACKEND_H

#include "core/HidBackend.h"

namespace penlink {

class NullBackend : public HidBackend {
public:
    // Returns true with out empty. Any thread.
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;

    // Returns OpenFailed with probe all zero and err {"open", ENOENT}. Any
    // thread.
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;

    // Returns null with err {"open", ENOENT}. Any thread.
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_NULLBACKEND_H

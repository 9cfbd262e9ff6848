// A backend with no devices at all: the smallest complete example of the HID
// seam's contract. Listing succeeds with nothing in it; probing and opening
// fail as for a path that does not exist.
#ifndef PENLINK_NULLBACKEND_H
#define PENLINK_NULLBACKEND_H

#include "core/HidBackend.h"

namespace penlink {

class NullBackend : public HidBackend {
public:
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_NULLBACKEND_H

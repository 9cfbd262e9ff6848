// A backend with no devices at all: the smallest complete example of the HID
// seam's contract. Listing succeeds with nothing in it; probing and opening
// fail as for a path that does not exist; the system services are the
// platform's own.
#ifndef PENLINK_NULLBACKEND_H
#define PENLINK_NULLBACKEND_H

#include "HidBackend.h"

namespace penlink {

class NullBackend : public HidBackend {
public:
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
    uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
    void DebugOutput(const std::u16string& text) override;
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_NULLBACKEND_H

#include "NullBackend.h"


namespace penlink {

bool NullBackend::ListInterfaces(std::vector<HidInterface>& out, SysError&) {
    out.clear();
    return true;
}

ProbeStatus NullBackend::Probe(const std::string&, HidProbe&, SysError& err) {
    err = {"open", 2};  // no such device
    return ProbeStatus::OpenFailed;
}

std::unique_ptr<HidConnection> NullBackend::Open(const std::string&, SysError& err) {
    err = {"open", 2};
    return nullptr;
}

}  // namespace penlink

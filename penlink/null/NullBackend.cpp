#include "NullBackend.h"

#include <cerrno>

namespace penlink {

bool NullBackend::ListInterfaces(std::vector<HidInterface>& out, SysError&) {
    out.clear();
    return true;
}

ProbeStatus NullBackend::Probe(const std::string&, HidProbe& probe, SysError& err) {
    probe = HidProbe{};
    err = {"open", ENOENT};
    return ProbeStatus::OpenFailed;
}

std::unique_ptr<HidConnection> NullBackend::Open(const std::string&, SysError& err) {
    err = {"open", ENOENT};
    return nullptr;
}

}  // namespace penlink

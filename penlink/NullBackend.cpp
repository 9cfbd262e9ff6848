#include "NullBackend.h"

#include "Platform.h"

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

uint32_t NullBackend::TickCount() { return platform::TickCount(); }

void NullBackend::Sleep(unsigned ms) { platform::Sleep(ms); }

void NullBackend::DebugOutput(const std::u16string& text) { platform::DebugOutput(text); }

bool NullBackend::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    return platform::PostSearchResult(target, wParam, lParam, err);
}

}  // namespace penlink

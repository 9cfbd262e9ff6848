// A backend whose system services (ticks, sleep, debug output and the
// delivery of the search result) are the operating system's own; the real
// backends and the null one only add the HID operations.
#ifndef PENLINK_PLATFORMBACKEND_H
#define PENLINK_PLATFORMBACKEND_H

#include "HidBackend.h"
#include "Platform.h"

namespace penlink {

class PlatformBackend : public HidBackend {
public:
    uint32_t TickCount() override { return platform::TickCount(); }
    void Sleep(unsigned ms) override { platform::Sleep(ms); }
    void DebugOutput(const std::u16string& text) override { platform::DebugOutput(text); }
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                          SysError& err) override {
        return platform::PostSearchResult(target, wParam, lParam, err);
    }
};

}  // namespace penlink

#endif  // PENLINK_PLATFORMBACKEND_H

// Windows system services shared by the real and the emulated backend.
#include <windows.h>

#include "Penlink.h"
#include "Platform.h"

namespace penlink::platform {

uint32_t TickCount() { return GetTickCount(); }

void Sleep(unsigned ms) { ::Sleep(ms); }

void DebugOutput(const std::u16string& text) {
    std::wstring wide(text.begin(), text.end());
    OutputDebugStringW(wide.c_str());
}

bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) {
    if (PostMessageW(static_cast<HWND>(target), WM_DEVICE_SEARCH_RESULT, static_cast<WPARAM>(wParam),
                     static_cast<LPARAM>(lParam))) {
        return true;
    }
    err = {"PostMessageW", static_cast<long>(GetLastError())};
    return false;
}

}  // namespace penlink::platform

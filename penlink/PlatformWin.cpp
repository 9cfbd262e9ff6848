// Windows system services shared by the real and the emulated backend.
#include <windows.h>

#include <atomic>

#include "Penlink.h"
#include "Platform.h"

namespace {
std::atomic<bool> g_processExiting{false};
}  // namespace

// The entry point of Penlink.dll. At process exit (DLL_PROCESS_DETACH with a
// non-null reserved argument) the system has stopped the other threads
// before it calls here, and it calls here before the library's static
// objects are destroyed; they learn from the flag that nothing is left to
// wait for. Returns TRUE. Linked into programs that use the library
// statically too, where nothing calls it.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) g_processExiting.store(true);
    return TRUE;
}

namespace penlink::platform {

bool ProcessExiting() { return g_processExiting.load(); }

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

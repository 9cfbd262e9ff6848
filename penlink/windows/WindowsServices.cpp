#include "WindowsServices.h"

#include <windows.h>

#include <atomic>

#include "WinPenLock.h"

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

namespace penlink {

uint32_t WindowsServices::TickCount() { return GetTickCount(); }

void WindowsServices::Sleep(unsigned ms) { ::Sleep(ms); }

void WindowsServices::DebugOutput(const std::u16string& text) {
    std::wstring wide(text.begin(), text.end());
    OutputDebugStringW(wide.c_str());
}

bool WindowsServices::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                                       SysError& err) {
    if (PostMessageW(static_cast<HWND>(target), kSearchResultMessage, static_cast<WPARAM>(wParam),
                     static_cast<LPARAM>(lParam))) {
        return true;
    }
    err = {"PostMessageW", static_cast<long>(GetLastError())};
    return false;
}

bool WindowsServices::ProcessExiting() { return g_processExiting.load(); }

std::unique_ptr<PenLock> WindowsServices::LockPen(const std::string& location,
                                                  PenLockStatus& status, SysError& err) {
    const std::wstring folder = WinPenLock::SharedFolder(err);
    if (folder.empty()) {
        status = PenLockStatus::Unavailable;
        return nullptr;
    }
    return WinPenLock::Take(folder, location, status, err);
}

SystemServices& OsServices() {
    // Never destroyed: a call still running at process exit may use it.
    static WindowsServices* services = new WindowsServices;
    return *services;
}

}  // namespace penlink

// A caller built the way a program of Microsoft's toolchain is: the MSVC
// target's name decoration, Microsoft's import libraries, no C runtime at all
// (its own entry point, Win32 calls only). It updates the pen that Penlink.dll
// finds: FWUInit, FWUOpenDevice with a message-only window, the search result
// from that window's queue, the start, the image and the close. Prints one
// line and exits 0 when the update is complete, 1 to 5 at the step that
// failed.
#include <windows.h>

#include "Penlink.h"

namespace {

unsigned char g_image[4096];

void Say(const char* text) {
    DWORD length = 0;
    while (text[length] != 0) ++length;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
}

// Waits up to ms for WM_DEVICE_SEARCH_RESULT in window's queue. Returns its
// wParam, or 0 when none came.
WPARAM WaitForSearch(HWND window, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_DEVICE_SEARCH_RESULT) return msg.wParam;
            DispatchMessageW(&msg);
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= ms) return 0;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
    }
}

UINT Run() {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (window == nullptr || FWUInit() != ORVANE_ERROR_NONE) return 1;
    if (FWUOpenDevice(window) != ORVANE_ERROR_NONE) return 2;
    if (WaitForSearch(window, 60000) != SEARCH_FOUND) {
        FWUCloseDevice();
        return 3;
    }
    for (unsigned i = 0; i < sizeof g_image; ++i) g_image[i] = static_cast<unsigned char>(i * 7);
    ORVANE_ERROR result = FWUStartFirmwareUpdate();
    if (result == ORVANE_ERROR_NONE) result = FWUSendFirmware(g_image, sizeof g_image);
    const ORVANE_ERROR closed = FWUCloseDevice();
    DestroyWindow(window);
    if (result != ORVANE_ERROR_NONE) return 4;
    return closed == ORVANE_ERROR_NONE ? 0 : 5;
}

}  // namespace

extern "C" void Start() {
    const UINT code = Run();
    Say(code == 0 ? "msvc caller: update complete\n" : "msvc caller: update failed\n");
    ExitProcess(code);
}

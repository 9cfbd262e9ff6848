// Updates the pen from a console program: the six calls in their order, with
// a hidden window that receives the search result.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "Penlink.h"

namespace {

// Waits up to ms for WM_DEVICE_SEARCH_RESULT on window; true with its wParam
// and lParam.
bool WaitForSearch(HWND window, DWORD ms, WPARAM& wParam, LPARAM& lParam) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_DEVICE_SEARCH_RESULT) {
                wParam = msg.wParam;
                lParam = msg.lParam;
                return true;
            }
            DispatchMessageW(&msg);
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
    }
}

}  // namespace

int main() {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    FWUInit();
    ORVANE_ERROR result = FWUOpenDevice(window);
    if (result != ORVANE_ERROR_NONE) {
        std::printf("the pen could not be switched to its update mode (error %d)\n", result);
        return 1;
    }
    WPARAM found = 0;
    LPARAM reason = 0;
    if (!WaitForSearch(window, 120000, found, reason) || found != SEARCH_FOUND) {
        std::printf("no pen in update mode (reason %ld)\n", static_cast<long>(reason));
        FWUCloseDevice();
        return 2;
    }
    tagFWUDEVICEINFO info = {};
    FWUGetDeviceInfo(&info);
    std::printf("pen found: firmware %u.%02u\n", info.dwFirmwareVersion >> 24,
                (info.dwFirmwareVersion >> 16) & 0xFF);

    // A real program sends the firmware image it carries; this one sends a
    // small pattern.
    std::vector<unsigned char> image(4096);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i);
    result = FWUStartFirmwareUpdate();
    if (result == ORVANE_ERROR_NONE) {
        result = FWUSendFirmware(image.data(), static_cast<int>(image.size()));
    }
    FWUCloseDevice();
    std::printf(result == ORVANE_ERROR_NONE ? "update complete\n" : "update failed (error %d)\n",
                result);
    DestroyWindow(window);
    return result == ORVANE_ERROR_NONE ? 0 : 3;
}

// A program that ends while the library is busy, without closing it:
//   ExitDuringCall EVENT search  returns from main while the search runs, as
//                                a program quit during the search does;
//   ExitDuringCall EVENT send    calls ExitProcess while another thread is
//                                inside FWUSendFirmware.
// Linked against the emulated Penlink.dll; the caller picks the scenario
// (never-returns keeps the search going for a minute, update-mode finds the
// pen at once). Signals the event named by its first argument just before
// it leaves.
#include <windows.h>

#include <cwchar>
#include <vector>

#include "Penlink.h"

namespace {

volatile LONG g_blocks = 0;

void PENLINK_CALL CountBlocks(void*, unsigned, unsigned) { InterlockedIncrement(&g_blocks); }

DWORD WINAPI SendImage(void* image) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(image);
    FWUSendFirmware(bytes->data(), static_cast<int>(bytes->size()));
    return 0;
}

// Pumps window's messages until the search result arrives; returns its
// wParam, or 0 after ms.
WPARAM AwaitSearchResult(HWND window, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        if (PeekMessageW(&msg, window, WM_DEVICE_SEARCH_RESULT, WM_DEVICE_SEARCH_RESULT,
                         PM_REMOVE)) {
            return msg.wParam;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 10;
    const bool send = std::wcscmp(argv[2], L"send") == 0;
    HANDLE leaving = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HWND window = CreateWindowExW(0, L"STATIC", L"exit test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    if (leaving == nullptr || window == nullptr) return 11;
    if (FWUInit() != ORVANE_ERROR_NONE) return 12;
    if (FWUOpenDevice(window) != ORVANE_ERROR_NONE) return 13;
    if (!send) {
        Sleep(300);  // the search is under way
        SetEvent(leaving);
        return 0;
    }
    if (AwaitSearchResult(window, 30000) != SEARCH_FOUND) return 14;
    if (FWUStartFirmwareUpdate() != ORVANE_ERROR_NONE) return 15;
    FWUSetProgressCallback(&CountBlocks, nullptr);
    // About a second of blocks at the pen's pace; the process ends after a
    // few of them. The buffer stays, as the caller's own would.
    auto* image = new std::vector<unsigned char>(56 * 1000, 0x5A);
    HANDLE sender = CreateThread(nullptr, 0, &SendImage, image, 0, nullptr);
    if (sender == nullptr) return 16;
    const DWORD start = GetTickCount();
    while (InterlockedCompareExchange(&g_blocks, 0, 0) < 20) {
        if (GetTickCount() - start > 30000) return 17;
        Sleep(1);
    }
    SetEvent(leaving);
    ExitProcess(0);
}

// A program that ends while the library's search still runs, without closing
// the library, as one that is quit during the search does. Linked against
// the emulated Penlink.dll; the caller picks the scenario (never-returns
// keeps the search going for a minute). Signals the event named by its
// argument just before it returns from main.
#include <windows.h>

#include "Penlink.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 10;
    HANDLE leaving = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HWND window = CreateWindowExW(0, L"STATIC", L"exit test", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    if (leaving == nullptr || window == nullptr) return 11;
    if (FWUInit() != ORVANE_ERROR_NONE) return 12;
    if (FWUOpenDevice(window) != ORVANE_ERROR_NONE) return 13;
    Sleep(300);  // the search is under way
    SetEvent(leaving);
    return 0;
}

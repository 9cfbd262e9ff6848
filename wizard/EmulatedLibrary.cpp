#include "EmulatedLibrary.h"

#include <windows.h>

#include "Penlink.h"

bool IsEmulatedLibrary() {
    // The module that holds the library's calls, whatever its file is called
    // and wherever the loader found it; the reference count stays as it is.
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&FWUInit), &library)) {
        return false;
    }
    return GetProcAddress(library, "FWUIsEmulated") != nullptr;
}

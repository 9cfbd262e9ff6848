#include "TempFileName.h"

#include <cwchar>

std::wstring FormatTempFileName(int draw) {
    // "%ls" rather than "%s": it means a wide string on every C library.
    wchar_t name[16];
    std::swprintf(name, sizeof name / sizeof name[0], L"%ls%04x.%ls", L"res",
                  static_cast<unsigned>(draw) % 65536u, L"tmp");
    return name;
}

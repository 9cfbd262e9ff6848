#include "EscapedException.h"

#include <cwchar>
#include <exception>

void LogEscapedException(const wchar_t* where, UINT message) noexcept {
    const char* what = "unknown exception";
    try {
        throw;
    } catch (const std::exception& caught) {
        what = caught.what();
    } catch (...) {
    }
    // Fixed buffers: the exception may be std::bad_alloc.
    wchar_t widened[256];
    std::size_t length = 0;
    for (; what[length] != '\0' && length + 1 < sizeof widened / sizeof widened[0]; ++length) {
        widened[length] = static_cast<unsigned char>(what[length]);
    }
    widened[length] = L'\0';
    wchar_t line[512];
    std::swprintf(line, sizeof line / sizeof line[0], L"%ls: message 0x%04X: %ls\n", where, message,
                  widened);
    OutputDebugStringW(line);
}

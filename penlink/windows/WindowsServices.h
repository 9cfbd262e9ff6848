// The system services on Windows: GetTickCount, Sleep, OutputDebugStringW
// and PostMessageW to the caller's window. Shared by the real and the
// emulated build. WindowsServices.cpp also holds the DLL's entry point,
// which tells the library that the process is ending.
#ifndef PENLINK_WINDOWSSERVICES_H
#define PENLINK_WINDOWSSERVICES_H

#include "core/SystemServices.h"

namespace penlink {

class WindowsServices final : public SystemServices {
public:
    uint32_t TickCount() override;
    void Sleep(unsigned ms) override;
    void DebugOutput(const std::u16string& text) override;
    // PostMessageW to target, a window; err names PostMessageW on failure.
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override;
    // True after DLL_PROCESS_DETACH at process exit.
    bool ProcessExiting() override;
    // WinPenLock in WinPenLock::SharedFolder().
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_WINDOWSSERVICES_H

#include "PosixServices.h"

#include <syslog.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "FilePenLock.h"
#include "NotifyTarget.h"
#include "core/TextCodec.h"

namespace penlink {

uint32_t PosixServices::TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void PosixServices::Sleep(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void PosixServices::DebugOutput(const std::u16string& text) {
    syslog(LOG_DEBUG, "%s", Utf16ToUtf8(text).c_str());
}

bool PosixServices::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                                     SysError& err) {
    return NotifyTarget::Post(target, wParam, lParam, err);
}

std::unique_ptr<PenLock> PosixServices::LockPen(const std::string& location, PenLockStatus& status,
                                                SysError& err) {
    static const std::string folder = FilePenLock::SharedFolder();
    return FilePenLock::Take(folder, location, status, err);
}

SystemServices& OsServices() {
    // Never destroyed: a call still running at process exit may use it.
    static PosixServices* services = new PosixServices;
    return *services;
}

}  // namespace penlink

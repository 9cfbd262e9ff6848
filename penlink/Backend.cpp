// Selection of the backend in use, the time limits in force, and the debug
// log, all of which the core reaches through here.
#include <atomic>

#include "DebugLog.h"
#include "HidBackend.h"
#include "TextCodec.h"
#include "Timing.h"

namespace penlink {

namespace {
std::atomic<HidBackend*> g_testBackend{nullptr};
std::atomic<const Timing*> g_testTiming{nullptr};
const Timing kProductTiming{};
}  // namespace

std::string SysError::Describe() const {
    if (Empty()) return "ok";
    return call + " failed: " + std::to_string(code);
}

HidBackend& Backend() {
    HidBackend* test = g_testBackend.load(std::memory_order_acquire);
    return test != nullptr ? *test : DefaultBackend();
}

void UseBackend(HidBackend* backend) {
    g_testBackend.store(backend, std::memory_order_release);
}

const Timing& CurrentTiming() {
    const Timing* test = g_testTiming.load(std::memory_order_acquire);
    return test != nullptr ? *test : kProductTiming;
}

void SetTimingForTesting(const Timing* timing) {
    g_testTiming.store(timing, std::memory_order_release);
}

void DebugLine(const std::u16string& text) { Backend().DebugOutput(text); }

void LogFailure(const std::string& what, const SysError& err) {
    std::string line = "Penlink :\t" + what;
    if (!err.Empty()) line += ": " + err.Describe();
    line += "\n";
    DebugLine(Utf8ToUtf16(line));
}

}  // namespace penlink

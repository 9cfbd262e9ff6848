#include "Timing.h"

#include <atomic>

namespace penlink {

namespace {
std::atomic<const Timing*> g_testTiming{nullptr};
const Timing kProductTiming{};
}  // namespace

const Timing& CurrentTiming() {
    const Timing* test = g_testTiming.load(std::memory_order_acquire);
    return test != nullptr ? *test : kProductTiming;
}

void SetTimingForTesting(const Timing* timing) {
    g_testTiming.store(timing, std::memory_order_release);
}

}  // namespace penlink

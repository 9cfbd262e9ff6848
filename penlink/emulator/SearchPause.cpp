#include "SearchPause.h"

#include <cerrno>
#include <cstdlib>

#include "core/Timing.h"

namespace penlink::emulator {

bool ApplySearchPauseFromEnvironment() {
    const char* value = std::getenv("PENLINK_EMULATOR_SEARCH_PAUSE_MS");
    if (value == nullptr || *value == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long ms = std::strtoul(value, &end, 10);
    if (*end != '\0' || errno != 0 || *value == '-' || ms >= Timing{}.searchPauseMs) return false;
    // Made on the first call and never changed after: the search thread
    // reads it. The environment does not change in between.
    static const Timing shortened = [ms] {
        Timing timing;
        timing.searchPauseMs = static_cast<unsigned>(ms);
        return timing;
    }();
    SetTimingForTesting(&shortened);
    return true;
}

}  // namespace penlink::emulator

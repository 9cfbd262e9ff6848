// Runs N complete updates (default 30) on the emulated pen in one process and
// prints how much the heap grew with each: a program that updates many pens,
// or one pen many times, must not grow with them. Target: after the first
// update (which sets up what lives as long as the process), the heap grows by
// less than 1 MB over all the others together.
//
//   emulator_soak [N]
//
// The heap in use is glibc's count (mallinfo2); under a sanitizer, whose
// allocator glibc does not see, it reads 0 and the figures say nothing.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "ResultWaiter.h"
#include "core/FWUState.h"
#include "core/HidBackend.h"
#include "core/Timing.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

using namespace penlink;
using namespace penlink::emulator;

namespace {

constexpr long kTargetBytes = 1024 * 1024;

long HeapInUse() {
    malloc_trim(0);
    return static_cast<long>(mallinfo2().uordblks);
}

// One update as a program makes it, from FWUInit to FWUCloseDevice. Returns
// true when every call succeeded and the pen holds image.
bool Update(const EmulatedPen& pen, std::vector<unsigned char>& image) {
    ResultWaiter waiter;
    SearchMessage msg;
    return FWUInit() == ORVANE_ERROR_NONE && FWUOpenDevice(waiter.Target()) == ORVANE_ERROR_NONE &&
           waiter.Wait(5000, msg) && msg.wParam == SEARCH_FOUND &&
           FWUStartFirmwareUpdate() == ORVANE_ERROR_NONE &&
           FWUSendFirmware(image.data(), static_cast<int>(image.size())) == ORVANE_ERROR_NONE &&
           FWUCloseDevice() == ORVANE_ERROR_NONE &&
           pen.ReceivedImage() == std::vector<uint8_t>(image.begin(), image.end());
}

// Waits up to 5 s for the pen to come back from its restart in normal mode,
// as a program would before it updates the pen again. Returns true once back.
bool BackInNormalMode(EmulatedBus& bus, const EmulatedPen& pen) {
    for (int i = 0; i < 500; ++i) {
        std::vector<HidInterface> listed;
        SysError err;
        if (bus.ListInterfaces(listed, err) && !listed.empty() && !pen.InUpdateMode()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int updates = argc > 1 ? std::atoi(argv[1]) : 30;
    if (updates < 2) {
        std::fprintf(stderr, "usage: emulator_soak [N], N >= 2 updates\n");
        return 2;
    }
    // The product's pauses would only make the run longer.
    Timing timing;
    timing.searchPauseMs = 10;
    timing.closePauseMs = 10;
    SetTimingForTesting(&timing);

    // One bus for the whole process, as the emulated library has.
    EmulatedBus bus;
    bus.ForwardDebugOutput(false);
    PenSetup setup = DefaultPenSetup();
    setup.reappearDelay = std::chrono::milliseconds(50);
    // The pen restarts after each update; the next one finds it back.
    setup.restartDelay = std::chrono::milliseconds(50);
    auto pen = std::make_shared<EmulatedPen>(setup);
    bus.Add(pen);
    UseBackend(&bus);
    UseServices(&bus);

    std::vector<unsigned char> image(53256);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7 + i / 13);

    bool ok = true;
    long afterFirst = 0;
    long previous = HeapInUse();
    std::printf("heap in use at the start: %ld bytes\n", previous);
    if (previous == 0) std::printf("glibc does not see this heap (a sanitizer's?): no figures\n");
    for (int n = 1; n <= updates && ok; ++n) {
        ok = Update(*pen, image) && BackInNormalMode(bus, *pen);
        const long now = HeapInUse();
        std::printf("update %2d: heap %ld bytes, %+ld since the one before%s\n", n, now,
                    now - previous, ok ? "" : "  [UPDATE FAILED]");
        if (n == 1) afterFirst = now;
        previous = now;
    }
    ResetLibrary();
    for (const auto& v : bus.Violations()) std::printf("protocol violation: %s\n", v.c_str());
    ok = ok && bus.Violations().empty();
    UseBackend(nullptr);
    UseServices(nullptr);
    SetTimingForTesting(nullptr);

    const long growth = previous - afterFirst;
    std::printf("heap growth over updates 2 to %d: %ld bytes, %.0f bytes an update\n", updates,
                growth, static_cast<double>(growth) / (updates - 1));
    std::printf("growth / 1 MB: %.3f (target < 1)%s\n", static_cast<double>(growth) / kTargetBytes,
                ok ? "" : "  [FAILED]");
    return ok && growth < kTargetBytes ? 0 : 1;
}

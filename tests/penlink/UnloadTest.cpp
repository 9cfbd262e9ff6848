// A program that ends while the library still holds a finished search and a
// device object must end cleanly: the library releases them as it unloads.
// Exit code 0 is the test; an abort on the way out is the failure.
#include <cstdio>

#include "ResultWaiter.h"
#include "core/HidBackend.h"
#include "Penlink.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

// Never freed: the bus must outlive the library's unload, as a real backend
// does.
static penlink::emulator::EmulatedBus* g_bus = new penlink::emulator::EmulatedBus;

int main() {
    auto& bus = *g_bus;
    bus.ForwardDebugOutput(false);
    auto setup = penlink::emulator::DefaultPenSetup();
    setup.startInUpdateMode = true;
    bus.Add(std::make_shared<penlink::emulator::EmulatedPen>(setup));
    penlink::UseBackend(&bus);
    penlink::UseServices(&bus);

    ResultWaiter waiter;
    if (FWUInit() != ORVANE_ERROR_NONE) return 1;
    if (FWUOpenDevice(waiter.Target()) != ORVANE_ERROR_NONE) return 2;
    SearchMessage msg;
    if (!waiter.Wait(5000, msg) || msg.wParam != SEARCH_FOUND) return 3;
    std::puts("search ended; leaving without closing");
    return 0;  // no FWUCloseDevice, no FWUInit: the unload cleans up
}

// A program that ends while the library still holds something must end
// cleanly, with exit code 0 and no sanitizer report:
//   (no argument)   a finished search and a device object, never closed: the
//                   library releases them as it unloads;
//   exit-during-send / return-during-send
//                   the process ends (exit() on this thread, or the end of
//                   main) while another thread is inside FWUSendFirmware: the
//                   call may be cut, but nothing may be freed under it and
//                   the process must not wait for it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "ResultWaiter.h"
#include "core/HidBackend.h"
#include "Penlink.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatorScenario.h"

// Never freed: the bus must outlive the library's unload, as a real backend
// does.
static penlink::emulator::EmulatedBus* g_bus = new penlink::emulator::EmulatedBus;

static std::atomic<unsigned> g_blocks{0};
static std::atomic<bool> g_lingerAtExit{false};

// Runs after every static destructor, the library's included: the transfer
// thread goes on meanwhile, so that whatever the library freed under it is
// touched, and reported, before the process is gone.
__attribute__((destructor)) static void LingerAfterTheLibrary() {
    if (g_lingerAtExit.load()) std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

static void PENLINK_CALL CountBlocks(void*, unsigned, unsigned) { ++g_blocks; }

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    const bool exitDuringSend = std::strcmp(mode, "exit-during-send") == 0;
    const bool returnDuringSend = std::strcmp(mode, "return-during-send") == 0;
    if (*mode != '\0' && !exitDuringSend && !returnDuringSend) return 64;

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
    if (*mode == '\0') {
        std::puts("search ended; leaving without closing");
        return 0;  // no FWUCloseDevice, no FWUInit: the unload cleans up
    }

    if (FWUStartFirmwareUpdate() != ORVANE_ERROR_NONE) return 4;
    FWUSetProgressCallback(&CountBlocks, nullptr);
    // About a second of blocks at the pen's pace; the process ends after a
    // few of them. The buffer is the caller's and stays, as the bus does.
    static auto* image = new std::vector<unsigned char>(56 * 1000, 0x5A);
    std::thread([] { FWUSendFirmware(image->data(), static_cast<int>(image->size())); }).detach();
    while (g_blocks.load() < 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::printf("leaving by %s during the transfer\n", exitDuringSend ? "exit()" : "return");
    std::fflush(stdout);
    g_lingerAtExit.store(true);
    if (exitDuringSend) std::exit(0);
    return 0;
}

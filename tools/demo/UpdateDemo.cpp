// A complete firmware update of the emulated pen, printed step by step: the
// calls a program makes, in their order, with what each one returned.
// Runs against the emulated build of the library (PENLINK_EMULATOR chooses
// the scenario, "normal" by default).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Penlink.h"

#ifdef _WIN32
#error "The demo is for systems without windows; the wizard is the Windows program."
#endif

using Clock = std::chrono::steady_clock;

namespace {

Clock::time_point g_start;

void Step(const char* what, ORVANE_ERROR result) {
    const double s = std::chrono::duration<double>(Clock::now() - g_start).count();
    std::printf("[%6.2f s] %-34s -> %d%s\n", s, what, static_cast<int>(result),
                result == ORVANE_ERROR_NONE ? " (ok)" : " (error)");
    std::fflush(stdout);
}

std::string Version(uint32_t packed) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", packed >> 24, (packed >> 16) & 0xFF);
    return text;
}

}  // namespace

int main() {
    g_start = Clock::now();
    std::vector<unsigned char> image(53256);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<unsigned char>(i * 31 + i / 97);

    Step("FWUInit", FWUInit());
    FWU_TARGET target = FWUCreateNotifyTarget();
    const ORVANE_ERROR opened = FWUOpenDevice(target);
    Step("FWUOpenDevice (identify, switch)", opened);
    if (opened != ORVANE_ERROR_NONE) return 1;

    std::printf("           waiting for the pen in firmware-update mode...\n");
    FWUNOTIFICATION msg{};
    if (!FWUWaitNotification(target, 60000, &msg)) {
        std::printf("no search result within a minute\n");
        return 1;
    }
    std::printf(
        "           search result: wParam %lu, lParam %s\n", static_cast<unsigned long>(msg.wParam),
        msg.wParam == SEARCH_FOUND ? "(the library's device)" : std::to_string(msg.lParam).c_str());
    if (msg.wParam != SEARCH_FOUND) {
        Step("FWUCloseDevice", FWUCloseDevice());
        return 1;
    }
    tagFWUDEVICEINFO info{};
    Step("FWUGetDeviceInfo", FWUGetDeviceInfo(&info));
    std::printf("           product code 0x%02X, firmware %s, update mode %s\n",
                static_cast<unsigned>(info.dwProductCode), Version(info.dwFirmwareVersion).c_str(),
                Version(info.dwUpdateModeVersion).c_str());
    const ORVANE_ERROR started = FWUStartFirmwareUpdate();
    Step("FWUStartFirmwareUpdate", started);
    ORVANE_ERROR sent = started;
    if (started == ORVANE_ERROR_NONE) {
        sent = FWUSendFirmware(image.data(), static_cast<int>(image.size()));
        Step("FWUSendFirmware (53256 bytes)", sent);
    }
    Step("FWUCloseDevice", FWUCloseDevice());
    FWUDestroyNotifyTarget(target);
    std::printf(sent == ORVANE_ERROR_NONE ? "update complete\n" : "update failed\n");
    return sent == ORVANE_ERROR_NONE ? 0 : 1;
}

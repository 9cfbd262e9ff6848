// A program of someone else's that uses the installed library: a whole update
// of whatever pen the library finds (the emulated one, in the test).
#include <Penlink.h>

#include <cstdio>
#include <vector>

int main() {
    if (FWUInit() != ORVANE_ERROR_NONE) return 10;
    FWU_TARGET target = FWUCreateNotifyTarget();
    if (FWUOpenDevice(target) != ORVANE_ERROR_NONE) return 11;
    FWUNOTIFICATION msg{};
    if (!FWUWaitNotification(target, 10000, &msg) || msg.wParam != SEARCH_FOUND) return 12;
    std::vector<unsigned char> image(1000, 0x5A);
    if (FWUStartFirmwareUpdate() != ORVANE_ERROR_NONE) return 13;
    if (FWUSendFirmware(image.data(), static_cast<int>(image.size())) != ORVANE_ERROR_NONE)
        return 14;
    if (FWUCloseDevice() != ORVANE_ERROR_NONE) return 15;
    FWUDestroyNotifyTarget(target);
    std::puts("consumer: update complete");
    return 0;
}

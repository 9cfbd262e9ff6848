// The six calls in the wizard's order, on whichever libpenlink.so the loader
// finds (the real one in the kernel test, the emulated one for comparison),
// with the image in a file. Prints one line of results:
//   open=R search=W[/L] start=R send=R close=R
// (R: ORVANE_ERROR value, W/L: the search result's wParam/lParam, "none" when
// no result came within the wait, "-" for a call not made). Exit 0 when the
// whole update succeeded, 1 otherwise, 2 on a usage or file error.
//   kernel_library_client IMAGE SEARCH_WAIT_MS
#include <Penlink.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kernel_library_client IMAGE SEARCH_WAIT_MS\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (!file.eof() && file.fail()) {
        std::fprintf(stderr, "kernel_library_client: cannot read %s\n", argv[1]);
        return 2;
    }
    const auto waitMs = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));

    std::string line;
    bool ok = false;
    FWUInit();
    FWU_TARGET target = FWUCreateNotifyTarget();
    const ORVANE_ERROR opened = FWUOpenDevice(target);
    line = "open=" + std::to_string(opened);
    if (opened == ORVANE_ERROR_NONE) {
        FWUNOTIFICATION msg{};
        if (!FWUWaitNotification(target, waitMs, &msg)) {
            line += " search=none";
        } else {
            line += " search=" + std::to_string(msg.wParam);
            if (msg.wParam != SEARCH_FOUND) line += "/" + std::to_string(msg.lParam);
            if (msg.wParam == SEARCH_FOUND) {
                const ORVANE_ERROR started = FWUStartFirmwareUpdate();
                line += " start=" + std::to_string(started);
                if (started == ORVANE_ERROR_NONE) {
                    const ORVANE_ERROR sent =
                        FWUSendFirmware(image.data(), static_cast<int>(image.size()));
                    line += " send=" + std::to_string(sent);
                    ok = sent == ORVANE_ERROR_NONE;
                }
            }
        }
    }
    const ORVANE_ERROR closed = FWUCloseDevice();
    line += " close=" + std::to_string(closed);
    ok = ok && closed == ORVANE_ERROR_NONE;
    FWUDestroyNotifyTarget(target);
    std::printf("%s\n", line.c_str());
    return ok ? 0 : 1;
}

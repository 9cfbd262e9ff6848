// A sysfs and /dev tree in a temporary directory, laid out as the kernel
// does (class/hidraw/hidrawN/device is a link into the USB device's tree),
// with a FIFO standing in for each device node: the hidraw backend's fake
// system for its tests.
#ifndef PENLINK_TESTS_HIDRAW_SYSFSTREE_H
#define PENLINK_TESTS_HIDRAW_SYSFSTREE_H

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "hidraw/HidrawBackend.h"

namespace penlink {

class SysfsTree {
public:
    using Bytes = std::vector<uint8_t>;

    // A report descriptor with a 32-byte input and a 16-byte output report
    // and no report IDs.
    static const Bytes& VendorDescriptor() {
        static const Bytes descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
                                         0x95, 0x20, 0x81, 0x02, 0x95, 0x10, 0x91, 0x02, 0xC0};
        return descriptor;
    }

    // A HID device's uevent with the line hidId ("HID_ID=...").
    static std::string Uevent(const char* hidId) {
        return std::string("DRIVER=hid-generic\n") + hidId +
               "\nHID_NAME=Test Pen\nHID_PHYS=usb-1/input0\n";
    }

    static void WriteFile(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    SysfsTree() {
        char pattern[] = "/tmp/penlink-hidraw-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) std::abort();
        m_root = made;
        namespace fs = std::filesystem;
        fs::permissions(m_root, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
        fs::create_directories(Sys() / "class" / "hidraw");
        fs::create_directories(Dev());
    }
    ~SysfsTree() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    std::filesystem::path Sys() const { return m_root / "sys"; }
    std::filesystem::path Dev() const { return m_root / "dev"; }

    // Adds hidrawN: its HID device directory (under a USB device with
    // bcdDevice 0x0112) with uevent and report_descriptor, the class entry
    // linking to it, and a FIFO as its node. Returns the HID device directory.
    std::filesystem::path AddDevice(unsigned n, const std::string& uevent,
                                    const Bytes& descriptor) {
        namespace fs = std::filesystem;
        const std::string usb = "1-" + std::to_string(n);
        const fs::path usbDevice = Sys() / "devices" / "usb1" / usb;
        const fs::path hid = usbDevice / (usb + ":1.0") / "0003:1209:0001.0001";
        fs::create_directories(hid);
        WriteFile(usbDevice / "bcdDevice", "0112\n");
        WriteFile(hid / "uevent", uevent);
        WriteFile(hid / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
        const fs::path entry = Sys() / "class" / "hidraw" / Name(n);
        fs::create_directories(entry);
        fs::create_directory_symlink(hid, entry / "device");
        if (mkfifo(Node(n).c_str(), 0600) != 0) std::abort();
        return hid;
    }

    static std::string Name(unsigned n) { return "hidraw" + std::to_string(n); }
    std::string Node(unsigned n) const { return (Dev() / Name(n)).string(); }

    HidrawBackend Backend() const { return HidrawBackend(Sys().string(), Dev().string()); }

private:
    std::filesystem::path m_root;
};

}  // namespace penlink

#endif  // PENLINK_TESTS_HIDRAW_SYSFSTREE_H

// hidraw backend: sysfs for discovery, one non-blocking descriptor per open
// device (HidrawConnection).
#include "HidrawBackend.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "FileDescriptor.h"
#include "HidrawConnection.h"
#include "ReportDescriptor.h"
#include "core/DebugLog.h"

namespace penlink {

namespace {

// sysfs attributes are at most one page.
constexpr size_t kMaxAttributeSize = 4096;

// Bus number of USB in HID_ID (BUS_USB in <linux/input.h>).
constexpr uint32_t kBusUsb = 0x03;

// The sysfs directory name and device node name share this form.
constexpr char kHidrawPrefix[] = "hidraw";

// Parses "hidrawN" (N decimal, at most 9 digits). Returns true with number
// set, false for any other name.
bool ParseHidrawName(const std::string& name, unsigned& number) {
    const size_t prefixLen = sizeof kHidrawPrefix - 1;
    if (name.size() <= prefixLen || name.size() > prefixLen + 9) return false;
    if (name.compare(0, prefixLen, kHidrawPrefix) != 0) return false;
    unsigned n = 0;
    for (size_t i = prefixLen; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        n = n * 10 + static_cast<unsigned>(name[i] - '0');
    }
    number = n;
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Parses 1 to maxDigits hexadecimal digits at text[pos...], stopping at the
// first non-digit. Returns true with value set and pos past the digits.
bool ParseHex(const std::string& text, size_t& pos, size_t maxDigits, uint32_t& value) {
    uint32_t v = 0;
    size_t digits = 0;
    for (; pos < text.size() && digits < maxDigits; ++pos, ++digits) {
        const char c = text[pos];
        uint32_t d;
        if (c >= '0' && c <= '9') {
            d = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            d = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            d = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        v = (v << 4) | d;
    }
    if (digits == 0) return false;
    value = v;
    return true;
}

// Finds the line "HID_ID=bus:vendor:product" (hexadecimal, as the HID core
// writes it: %04X:%08X:%08X) in a uevent file. Returns true with vendor and
// product set when the line is there, complete, and both IDs fit 16 bits.
bool ParseHidId(const std::string& uevent, uint32_t& bus, uint16_t& vendor, uint16_t& product) {
    static const char kKey[] = "HID_ID=";
    size_t pos = 0;
    while (pos < uevent.size()) {
        const size_t end = std::min(uevent.find('\n', pos), uevent.size());
        if (uevent.compare(pos, sizeof kKey - 1, kKey) == 0) {
            size_t p = pos + sizeof kKey - 1;
            uint32_t v = 0, pr = 0, b = 0;
            if (!ParseHex(uevent, p, 8, b) || p >= end || uevent[p++] != ':') return false;
            if (!ParseHex(uevent, p, 8, v) || p >= end || uevent[p++] != ':') return false;
            if (!ParseHex(uevent, p, 8, pr) || p != end) return false;
            if (v > 0xFFFF || pr > 0xFFFF) return false;
            bus = b;
            vendor = static_cast<uint16_t>(v);
            product = static_cast<uint16_t>(pr);
            return true;
        }
        pos = end + 1;
    }
    return false;
}

// The location of a HID device from its uevent file: the line "HID_PHYS=",
// the physical path that the HID core keeps (the USB port path, such as
// "usb-0000:00:14.0-1.2/input0", or what a uhid device declared), without
// the "/inputN" of the interface, which the pen's two modes need not share.
// Empty when the line is missing or empty.
std::string ParseHidPhys(const std::string& uevent) {
    static const char kKey[] = "HID_PHYS=";
    size_t pos = 0;
    while (pos < uevent.size()) {
        const size_t end = std::min(uevent.find('\n', pos), uevent.size());
        if (uevent.compare(pos, sizeof kKey - 1, kKey) == 0) {
            std::string phys = uevent.substr(pos + sizeof kKey - 1, end - pos - (sizeof kKey - 1));
            const size_t slash = phys.rfind("/input");
            if (slash != std::string::npos && slash + 6 < phys.size() &&
                phys.find_first_not_of("0123456789", slash + 6) == std::string::npos) {
                phys.erase(slash);
            }
            return phys;
        }
        pos = end + 1;
    }
    return {};
}

// Reads the whole file at path, up to limit bytes. Returns true with out
// filled; false with err naming open or read and errno (EFBIG when the file
// holds more than limit bytes).
bool ReadSmallFile(const std::string& path, size_t limit, std::string& out, SysError& err) {
    out.clear();
    const FileDescriptor fd = FileDescriptor::Open(path, O_RDONLY | O_CLOEXEC);
    if (!fd.Valid()) {
        err = {"open", errno};
        return false;
    }
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = {"read", errno};
            return false;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > limit) {
            err = {"read", EFBIG};
            return false;
        }
        out.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

// Fetches the report descriptor through the node itself, for kernels whose
// sysfs lacks report_descriptor. The open is read-only and short; nothing is
// read from the device.
bool ReadDescriptorByIoctl(const std::string& node, std::string& out, SysError& err) {
    const FileDescriptor fd = FileDescriptor::Open(node, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (!fd.Valid()) {
        err = {"open", errno};
        return false;
    }
    int size = 0;
    if (::ioctl(fd.Get(), HIDIOCGRDESCSIZE, &size) < 0) {
        err = {"ioctl(HIDIOCGRDESCSIZE)", errno};
        return false;
    }
    if (size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
        err = {"ioctl(HIDIOCGRDESCSIZE)", EOVERFLOW};
        return false;
    }
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<__u32>(size);
    if (::ioctl(fd.Get(), HIDIOCGRDESC, descriptor.get()) < 0) {
        err = {"ioctl(HIDIOCGRDESC)", errno};
        return false;
    }
    out.assign(reinterpret_cast<const char*>(descriptor->value), static_cast<size_t>(size));
    return true;
}

// The report descriptor of node: from sysfs (deviceDir/report_descriptor),
// or through the node itself where sysfs lacks the file. Returns true with
// info filled; false with err naming the failing step.
bool ReadDescriptorInfo(const std::string& deviceDir, const std::string& node,
                        ReportDescriptorInfo& info, SysError& err) {
    std::string descriptor;
    SysError sysfsErr;
    if (!ReadSmallFile(deviceDir + "/report_descriptor", kMaxReportDescriptorSize, descriptor,
                       sysfsErr)) {
        if (sysfsErr.code != ENOENT) {
            err = sysfsErr;
            return false;
        }
        if (!ReadDescriptorByIoctl(node, descriptor, err)) return false;
    }
    size_t faultAt = 0;
    const DescriptorFault fault = ParseReportDescriptor(
        reinterpret_cast<const uint8_t*>(descriptor.data()), descriptor.size(), info, &faultAt);
    if (fault != DescriptorFault::None) {
        err = {std::string("report descriptor (") + DescriptorFaultText(fault) + " at byte " +
                   std::to_string(faultAt) + ")",
               EINVAL};
        return false;
    }
    return true;
}

// Where the HID device sits on USB, the USB device two levels up holds the
// release number. Returns 0 when there is none (another bus, or a tree
// without it).
uint16_t ReadReleaseNumber(const std::string& hidDeviceDir) {
    std::string text;
    SysError ignored;
    if (!ReadSmallFile(hidDeviceDir + "/../../bcdDevice", 16, text, ignored)) return 0;
    size_t pos = 0;
    uint32_t value = 0;
    if (!ParseHex(text, pos, 4, value)) return 0;
    if (pos != text.size() && text[pos] != '\n') return 0;
    return static_cast<uint16_t>(value);
}

}  // namespace

HidrawBackend::HidrawBackend(std::string sysRoot, std::string devRoot)
    : m_sysRoot(std::move(sysRoot)), m_devRoot(std::move(devRoot)) {}

bool HidrawBackend::ListInterfaces(std::vector<HidInterface>& out, SysError& err) {
    out.clear();
    try {
        const std::string classDir = m_sysRoot + "/class/hidraw";
        // Closed on every way out, a failed allocation among them.
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(classDir.c_str()), &::closedir);
        if (dir == nullptr) {
            if (errno == ENOENT) return true;
            err = {"opendir", errno};
            return false;
        }
        std::vector<std::pair<unsigned, std::string>> found;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (entry == nullptr) {
                const int code = errno;
                if (code != 0) {
                    err = {"readdir", code};
                    return false;
                }
                break;
            }
            unsigned number;
            if (ParseHidrawName(entry->d_name, number)) found.emplace_back(number, entry->d_name);
        }
        std::sort(found.begin(), found.end());
        for (const auto& node : found) out.push_back({m_devRoot + "/" + node.second, true});
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        err = {"operator new", ENOMEM};
        return false;
    }
}

ProbeStatus HidrawBackend::Probe(const std::string& path, HidProbe& probe, SysError& err) {
    probe = HidProbe{};
    try {
        const std::string name = BaseName(path);
        unsigned number;
        if (!ParseHidrawName(name, number)) {
            err = {"stat (not a hidraw node name)", EINVAL};
            return ProbeStatus::OpenFailed;
        }
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            err = {"stat", errno};
            return ProbeStatus::OpenFailed;
        }

        const std::string deviceDir = m_sysRoot + "/class/hidraw/" + name + "/device";
        std::string uevent;
        if (!ReadSmallFile(deviceDir + "/uevent", kMaxAttributeSize, uevent, err)) {
            return ProbeStatus::AttributesFailed;
        }
        uint32_t bus = 0;
        HidProbe result;
        if (!ParseHidId(uevent, bus, result.vendorId, result.productId)) {
            err = {"uevent (no well-formed HID_ID)", EINVAL};
            return ProbeStatus::AttributesFailed;
        }
        if (bus == kBusUsb) result.versionNumber = ReadReleaseNumber(deviceDir);
        result.location = ParseHidPhys(uevent);

        ReportDescriptorInfo info;
        if (!ReadDescriptorInfo(deviceDir, path, info, err)) return ProbeStatus::CapsFailed;
        result.inputReportLength = info.inputReportLength;
        result.outputReportLength = info.outputReportLength;
        probe = result;
        return ProbeStatus::Ok;
    } catch (const std::bad_alloc&) {
        err = {"operator new", ENOMEM};
        return ProbeStatus::OpenFailed;
    }
}

std::unique_ptr<HidConnection> HidrawBackend::Open(const std::string& path, SysError& err) {
    FileDescriptor fd = FileDescriptor::Open(path, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (!fd.Valid()) {
        const int code = errno;
        err = {"open", code};
        if (code == EACCES || code == EPERM) {
            try {
                LogFailure("permission denied opening " + path +
                           "; install 70-penlink.rules into /etc/udev/rules.d so that the "
                           "logged-in user may use the pen, then plug it in again");
            } catch (const std::bad_alloc&) {
            }
        }
        return nullptr;
    }
    // Whether reads come with the report ID byte depends on the descriptor.
    ReportDescriptorInfo info;
    try {
        const std::string deviceDir = m_sysRoot + "/class/hidraw/" + BaseName(path) + "/device";
        if (!ReadDescriptorInfo(deviceDir, path, info, err)) return nullptr;
    } catch (const std::bad_alloc&) {
        err = {"operator new", ENOMEM};
        return nullptr;
    }
    return AdoptDescriptor(std::move(fd), err, info.usesReportIds);
}

std::unique_ptr<HidConnection> HidrawBackend::AdoptDescriptor(FileDescriptor fd, SysError& err,
                                                              bool numberedReports) {
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK) < 0) {
        err = {"fcntl", errno};
        return nullptr;
    }
    FileDescriptor wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wakeFd.Valid()) {
        err = {"eventfd", errno};
        return nullptr;
    }
    std::unique_ptr<HidConnection> connection(
        new (std::nothrow) HidrawConnection(std::move(fd), std::move(wakeFd), numberedReports));
    if (connection == nullptr) err = {"operator new", ENOMEM};
    return connection;
}

}  // namespace penlink

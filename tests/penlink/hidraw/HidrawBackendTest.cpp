// The hidraw backend against sysfs and /dev trees made in a temporary
// directory (laid out as the kernel does: class/hidraw/hidrawN/device is a
// link into the USB device's tree), and its connections against sockets and
// FIFOs standing in for device nodes: the seam's contract (HidContract.h),
// then what is hidraw's own.
#include "HidContract.h"
#include "core/SystemServices.h"
#include "hidraw/HidrawBackend.h"
#include "hidraw/HidrawConnection.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace penlink {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// 32-byte input and 16-byte output report, no report IDs.
const Bytes kVendorDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
                                 0x95, 0x20, 0x81, 0x02, 0x95, 0x10, 0x91, 0x02, 0xC0};

std::string Uevent(const char* hidId) {
    return std::string("DRIVER=hid-generic\n") + hidId +
           "\nHID_NAME=Test Pen\nHID_PHYS=usb-1/input0\n";
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class SysfsTree {
public:
    SysfsTree() {
        char pattern[] = "/tmp/penlink-hidraw-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) std::abort();
        m_root = made;
        fs::permissions(m_root, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
        fs::create_directories(Sys() / "class" / "hidraw");
        fs::create_directories(Dev());
    }
    ~SysfsTree() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    fs::path Sys() const { return m_root / "sys"; }
    fs::path Dev() const { return m_root / "dev"; }

    // Adds hidrawN: its HID device directory (under a USB device with
    // bcdDevice 0x0112) with uevent and report_descriptor, the class entry
    // linking to it, and a FIFO as its node. Returns the HID device directory.
    fs::path AddDevice(unsigned n, const std::string& uevent, const Bytes& descriptor) {
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
    fs::path m_root;
};

TEST(HidrawList, ListsNodesInNumberOrder) {
    SysfsTree tree;
    for (unsigned n : {10u, 2u, 0u})
        tree.AddDevice(n, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    fs::create_directories(tree.Sys() / "class" / "hidraw" / "hidrawX");
    fs::create_directories(tree.Sys() / "class" / "hidraw" / "other");

    std::vector<HidInterface> list;
    SysError err;
    ASSERT_TRUE(tree.Backend().ListInterfaces(list, err));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, tree.Node(0));
    EXPECT_EQ(list[1].path, tree.Node(2));
    EXPECT_EQ(list[2].path, tree.Node(10));
    for (const HidInterface& i : list) EXPECT_TRUE(i.pathOk);
}

TEST(HidrawList, MissingClassIsAnEmptyListAndAnUnreadableOneAnError) {
    SysfsTree tree;
    fs::remove_all(tree.Sys() / "class" / "hidraw");
    std::vector<HidInterface> list{{"stale", true}};
    SysError err;
    EXPECT_TRUE(tree.Backend().ListInterfaces(list, err));
    EXPECT_TRUE(list.empty());

    WriteFile(tree.Sys() / "class" / "hidraw", "not a directory");
    list = {{"stale", true}};
    EXPECT_FALSE(tree.Backend().ListInterfaces(list, err));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(err.call, "opendir");
    EXPECT_EQ(err.code, ENOTDIR);
}

TEST(HidrawProbe, ReadsIdsReleaseAndReportLengths) {
    SysfsTree tree;
    tree.AddDevice(0, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    // A foreign vendor with the pen's product ID, lower-case hex: the probe
    // reports what is there; matching is not its business.
    tree.AddDevice(1, Uevent("HID_ID=0003:0000abcd:00000002"), kVendorDescriptor);
    // Bluetooth: no USB release number to read.
    tree.AddDevice(2, Uevent("HID_ID=0005:00001209:00000002"), kVendorDescriptor);
    // Locations: the USB port without the interface; a uhid device's own
    // name, kept whole; none.
    tree.AddDevice(3, "HID_ID=0003:00001209:00000001\nHID_PHYS=usb-0000:00:14.0-1.2/input12\n",
                   kVendorDescriptor);
    tree.AddDevice(4, "HID_ID=0003:00001209:00000001\nHID_PHYS=virtual/inputs\n",
                   kVendorDescriptor);
    tree.AddDevice(5, "HID_ID=0003:00001209:00000001\nHID_PHYS=\n", kVendorDescriptor);

    HidrawBackend backend = tree.Backend();
    HidProbe probe;
    SysError err;
    ASSERT_EQ(backend.Probe(tree.Node(0), probe, err), ProbeStatus::Ok) << err.call;
    EXPECT_EQ(probe.vendorId, 0x1209);
    EXPECT_EQ(probe.productId, 0x0001);
    EXPECT_EQ(probe.versionNumber, 0x0112);
    EXPECT_EQ(probe.inputReportLength, 33);
    EXPECT_EQ(probe.outputReportLength, 17);

    ASSERT_EQ(backend.Probe(tree.Node(1), probe, err), ProbeStatus::Ok) << err.call;
    EXPECT_EQ(probe.vendorId, 0xABCD);
    EXPECT_EQ(probe.productId, 0x0002);

    ASSERT_EQ(backend.Probe(tree.Node(2), probe, err), ProbeStatus::Ok) << err.call;
    EXPECT_EQ(probe.versionNumber, 0);

    const std::pair<unsigned, const char*> locations[] = {
        {0, "usb-1"}, {3, "usb-0000:00:14.0-1.2"}, {4, "virtual/inputs"}, {5, ""}};
    for (const auto& [node, location] : locations) {
        ASSERT_EQ(backend.Probe(tree.Node(node), probe, err), ProbeStatus::Ok) << err.call;
        EXPECT_EQ(probe.location, location) << "hidraw" << node;
    }
}

TEST(HidrawProbe, MissingNodeFailsTheOpenStep) {
    SysfsTree tree;
    tree.AddDevice(4, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    fs::remove(tree.Node(4));

    HidProbe probe;
    SysError err;
    EXPECT_EQ(tree.Backend().Probe(tree.Node(4), probe, err), ProbeStatus::OpenFailed);
    EXPECT_EQ(err.code, ENOENT);

    err = {};
    EXPECT_EQ(tree.Backend().Probe((tree.Dev() / "null").string(), probe, err),
              ProbeStatus::OpenFailed);
    EXPECT_EQ(err.code, EINVAL);
}

TEST(HidrawProbe, UnreadableOrMalformedUeventFailsTheAttributesStep) {
    struct Case {
        const char* what;
        const char* uevent;  // null: no uevent file at all
        int code;
    };
    const Case cases[] = {
        {"no uevent", nullptr, ENOENT},
        {"no HID_ID line", "DRIVER=hid-generic\nHID_NAME=x\n", EINVAL},
        {"not hexadecimal", "HID_ID=0003:0000zz09:00000001\n", EINVAL},
        {"vendor wider than 16 bits", "HID_ID=0003:00011209:00000001\n", EINVAL},
        {"product missing", "HID_ID=0003:00001209\n", EINVAL},
        {"trailing text", "HID_ID=0003:00001209:00000001x\n", EINVAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SysfsTree tree;
        const fs::path hid = tree.AddDevice(0, "", kVendorDescriptor);
        if (c.uevent == nullptr) {
            fs::remove(hid / "uevent");
        } else {
            WriteFile(hid / "uevent", c.uevent);
        }
        HidProbe probe;
        SysError err;
        EXPECT_EQ(tree.Backend().Probe(tree.Node(0), probe, err), ProbeStatus::AttributesFailed);
        EXPECT_EQ(err.code, c.code);
    }
}

TEST(HidrawProbe, BadOrMissingDescriptorFailsTheCapsStep) {
    SysfsTree tree;
    const fs::path hid =
        tree.AddDevice(0, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    HidrawBackend backend = tree.Backend();
    HidProbe probe;
    SysError err;

    // Cut inside the last item but one.
    WriteFile(hid / "report_descriptor",
              std::string(kVendorDescriptor.begin(), kVendorDescriptor.end() - 2));
    EXPECT_EQ(backend.Probe(tree.Node(0), probe, err), ProbeStatus::CapsFailed);
    EXPECT_EQ(err.code, EINVAL);
    EXPECT_NE(err.call.find("past the end"), std::string::npos) << err.call;

    // Longer than any descriptor the kernel accepts.
    WriteFile(hid / "report_descriptor", std::string(4097, '\0'));
    EXPECT_EQ(backend.Probe(tree.Node(0), probe, err), ProbeStatus::CapsFailed);
    EXPECT_EQ(err.call, "read");
    EXPECT_EQ(err.code, EFBIG);

    // Without the sysfs file the node itself is asked, and a FIFO does not
    // know the hidraw ioctls.
    fs::remove(hid / "report_descriptor");
    EXPECT_EQ(backend.Probe(tree.Node(0), probe, err), ProbeStatus::CapsFailed);
    EXPECT_EQ(err.call, "ioctl(HIDIOCGRDESCSIZE)");
    EXPECT_EQ(err.code, ENOTTY);
}

// Captures what the library logs while it is in place; the other services
// are the system's own.
class LogCapture : public SystemServices {
public:
    LogCapture() { UseServices(this); }
    ~LogCapture() override { UseServices(nullptr); }
    uint32_t TickCount() override { return OsServices().TickCount(); }
    void Sleep(unsigned ms) override { OsServices().Sleep(ms); }
    void DebugOutput(const std::u16string& text) override { log += text; }
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam, SysError& err) override {
        return OsServices().PostSearchResult(target, wParam, lParam, err);
    }
    bool ProcessExiting() override { return false; }
    std::unique_ptr<PenLock> LockPen(const std::string& location, PenLockStatus& status,
                                     SysError& err) override {
        return OsServices().LockPen(location, status, err);
    }
    std::u16string log;
};

TEST(HidrawOpen, PermissionDeniedIsLogged) {
    SysfsTree tree;
    tree.AddDevice(0, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    const std::string node = tree.Node(0);

    // Root passes every permission check, so a child drops to nobody first.
    auto attempt = [&]() -> int {
        LogCapture capture;
        HidrawBackend backend(tree.Sys().string(), tree.Dev().string());
        SysError err;
        if (backend.Open(node, err) != nullptr) return 1;
        if (err.call != "open" || err.code != EACCES) return 2;
        if (capture.log.find(u"permission denied") == std::u16string::npos) return 3;
        return 0;
    };
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(node.c_str(), 0), 0);
        EXPECT_EQ(attempt(), 0);
        return;
    }
    fflush(nullptr);  // the child must not print the parent's buffered output again
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(77);
        _exit(attempt());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop to an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, 2: wrong error, 3: not logged";
}

// The device at the other end of a packet socket pair, which keeps report
// boundaries as hidraw does; kNumbered says whether it numbers its reports
// (otherwise hidraw reads its data bytes only).
template <bool kNumbered>
class HidrawSubject {
public:
    HidrawSubject() {
        signal(SIGPIPE, SIG_IGN);
        m_tree.AddDevice(0, Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    }
    HidBackend& Backend() { return m_backend; }
    std::string PresentPath() { return m_tree.Node(0); }
    std::string MissingPath() { return m_tree.Node(9); }
    const char* MissingCall(bool opening) { return opening ? "open" : "stat"; }
    std::unique_ptr<HidConnection> Connect() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
        m_device = FileDescriptor(fds[1]);
        SysError err;
        return HidrawBackend::AdoptDescriptor(FileDescriptor(fds[0]), err, kNumbered);
    }
    bool HasDevice() { return true; }
    void DeviceSends(const Bytes& report) {
        const size_t skip = kNumbered ? 0 : 1;
        ASSERT_EQ(send(m_device.Get(), report.data() + skip, report.size() - skip, 0),
                  static_cast<ssize_t>(report.size() - skip));
    }
    Bytes DeviceReceived() {
        Bytes report(128);
        const ssize_t n = recv(m_device.Get(), report.data(), report.size(), MSG_DONTWAIT);
        report.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return report;
    }
    void DeviceLeaves() { m_device.Reset(); }
    IoStatus GoneStatus() { return IoStatus::DeviceStopped; }

private:
    SysfsTree m_tree;
    HidrawBackend m_backend = m_tree.Backend();
    FileDescriptor m_device;
};

using namespace contract;
INSTANTIATE_TYPED_TEST_SUITE_P(HidrawNumbered, HidContract, HidrawSubject<true>);
INSTANTIATE_TYPED_TEST_SUITE_P(HidrawUnnumbered, HidContract, HidrawSubject<false>);

TEST(HidrawConnection, UnnumberedReportsGetTheirIdByteBackWithinCapacity) {
    HidrawSubject<false> device;
    auto conn = device.Connect();
    device.DeviceSends({0x00, 0x01, 0x80, 0x93});
    device.DeviceSends({0x00, 0x01, 0x80, 0x93});
    uint8_t buffer[8];
    size_t got = 0;
    SysError err;
    ASSERT_EQ(conn->Read(buffer, 3, got, 1000, err), IoStatus::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{0x00, 0x01, 0x80}));
    ASSERT_EQ(conn->Read(buffer, 1, got, 1000, err), IoStatus::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + got), Bytes{0x00});
}

TEST(HidrawConnection, WriteTimesOutWhenTheDeviceTakesNothing) {
    HidrawSubject<true> device;
    auto conn = device.Connect();
    const Bytes report(64, 0xA5);
    SysError err;
    IoStatus status = IoStatus::Ok;
    for (int written = 0; written < 100000 && status == IoStatus::Ok; ++written) {
        status = conn->Write(report.data(), report.size(), 0, err);
    }
    ASSERT_EQ(status, IoStatus::Timeout) << "the socket never filled";
    const auto start = Clock::now();
    EXPECT_EQ(conn->Write(report.data(), report.size(), 60, err), IoStatus::Timeout);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
}

TEST(HidrawErrors, OnlyTheCodesOfAGoneDeviceStopTheTransfer) {
    // A pen that leaves the bus while it takes the switch command fails that
    // write with ENODEV, and has switched; a socket standing in for it can
    // only give EPIPE, so the codes are given here directly.
    const std::pair<int, IoStatus> cases[] = {
        {ENODEV, IoStatus::DeviceStopped},    {EPIPE, IoStatus::DeviceStopped},
        {ESHUTDOWN, IoStatus::DeviceStopped}, {EIO, IoStatus::DeviceStopped},
        {EACCES, IoStatus::Failed},           {EINVAL, IoStatus::Failed},
        {ENOSPC, IoStatus::Failed},           {EBADF, IoStatus::Failed},
        {ETIMEDOUT, IoStatus::Failed}};
    for (const auto& [code, status] : cases) {
        SysError err;
        EXPECT_EQ(HidrawConnection::StatusFromErrno("write", code, err), status) << strerror(code);
        EXPECT_EQ(err.call, "write");
        EXPECT_EQ(err.code, code);
    }
}

TEST(HidrawOpen, ReadsCarryTheReportIdWhateverTheDescriptorSays) {
    // A FIFO opened read-write is its own device: what is written comes back,
    // as hidraw hands it out. A device with Report ID items sends its ID byte
    // itself; one without sends its data bytes only, and the ID 0x00 is put
    // in front of them.
    SysfsTree tree;
    Bytes numbered = kVendorDescriptor;
    numbered.insert(numbered.begin() + 7, {0x85, 0x01});
    tree.AddDevice(3, Uevent("HID_ID=0003:00001209:00000002"), numbered);
    tree.AddDevice(4, Uevent("HID_ID=0003:00001209:00000002"), kVendorDescriptor);
    const Bytes report = {0x01, 0x02, 0x04, 0x93};
    for (unsigned n : {3u, 4u}) {
        SCOPED_TRACE(n);
        SysError err;
        auto conn = tree.Backend().Open(tree.Node(n), err);
        ASSERT_NE(conn, nullptr) << err.call << " " << err.code;
        ASSERT_EQ(conn->Write(report.data(), report.size(), 1000, err), IoStatus::Ok);
        uint8_t buffer[16];
        size_t got = 0;
        ASSERT_EQ(conn->Read(buffer, sizeof buffer, got, 1000, err), IoStatus::Ok);
        Bytes expected = report;
        if (n == 4) expected.insert(expected.begin(), 0x00);
        EXPECT_EQ(Bytes(buffer, buffer + got), expected);
    }
    // Without a readable descriptor the open fails: reads could not be framed.
    fs::remove(tree.Sys() / "class" / "hidraw" / "hidraw4" / "device" / "report_descriptor");
    SysError err;
    EXPECT_EQ(tree.Backend().Open(tree.Node(4), err), nullptr);
    EXPECT_EQ(err.call, "ioctl(HIDIOCGRDESCSIZE)");
}

}  // namespace
}  // namespace penlink

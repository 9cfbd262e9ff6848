// What is hidraw's own beyond the seam's contract (HidrawContractTest.cpp):
// sysfs parsing on fake trees (SysfsTree), the log of a denied open, the
// report descriptor deciding how reads are framed, write time limits and the
// errno table.
#include "SysfsTree.h"
#include "core/SystemServices.h"
#include "hidraw/HidrawConnection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace penlink {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

const Bytes& kVendorDescriptor = SysfsTree::VendorDescriptor();

TEST(HidrawList, ListsNodesInNumberOrder) {
    SysfsTree tree;
    for (unsigned n : {10u, 2u, 0u})
        tree.AddDevice(n, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
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

    SysfsTree::WriteFile(tree.Sys() / "class" / "hidraw", "not a directory");
    list = {{"stale", true}};
    EXPECT_FALSE(tree.Backend().ListInterfaces(list, err));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(err.call, "opendir");
    EXPECT_EQ(err.code, ENOTDIR);
}

TEST(HidrawProbe, ReadsIdsReleaseAndReportLengths) {
    SysfsTree tree;
    tree.AddDevice(0, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    // A foreign vendor with the pen's product ID, lower-case hex: the probe
    // reports what is there; matching is not its business.
    tree.AddDevice(1, SysfsTree::Uevent("HID_ID=0003:0000abcd:00000002"), kVendorDescriptor);
    // Bluetooth: no USB release number to read.
    tree.AddDevice(2, SysfsTree::Uevent("HID_ID=0005:00001209:00000002"), kVendorDescriptor);
    // Locations: the USB port without the interface; a uhid device's own
    // name, kept whole; none.
    tree.AddDevice(3, "HID_ID=0003:00001209:00000001\nHID_PHYS=usb-0000:00:14.0-1.2/input12\n",
                   kVendorDescriptor);
    tree.AddDevice(4, "HID_ID=0003:00001209:00000001\nHID_PHYS=virtual/inputs\n", kVendorDescriptor);
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
    tree.AddDevice(4, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    fs::remove(tree.Node(4));

    HidProbe probe;
    SysError err;
    EXPECT_EQ(tree.Backend().Probe(tree.Node(4), probe, err), ProbeStatus::OpenFailed);
    EXPECT_EQ(err.code, ENOENT);
    EXPECT_EQ(tree.Backend().Open(tree.Node(4), err), nullptr);
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
            SysfsTree::WriteFile(hid / "uevent", c.uevent);
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
        tree.AddDevice(0, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
    HidrawBackend backend = tree.Backend();
    HidProbe probe;
    SysError err;

    // Cut inside the last item but one.
    SysfsTree::WriteFile(hid / "report_descriptor",
              std::string(kVendorDescriptor.begin(), kVendorDescriptor.end() - 2));
    EXPECT_EQ(backend.Probe(tree.Node(0), probe, err), ProbeStatus::CapsFailed);
    EXPECT_EQ(err.code, EINVAL);
    EXPECT_NE(err.call.find("past the end"), std::string::npos) << err.call;

    // Longer than any descriptor the kernel accepts.
    SysfsTree::WriteFile(hid / "report_descriptor", std::string(4097, '\0'));
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
    bool PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                          SysError& err) override {
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
    tree.AddDevice(0, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"), kVendorDescriptor);
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

// A connection over one end of a packet socket pair; the test plays the
// device at the other end. Packets keep report boundaries as hidraw does.
class Connection : public ::testing::Test {
protected:
    void SetUp() override { Adopt(true); }

    void Adopt(bool numberedReports) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        m_device = FileDescriptor(fds[1]);
        SysError err;
        m_conn = HidrawBackend::AdoptDescriptor(FileDescriptor(fds[0]), err, numberedReports);
        ASSERT_NE(m_conn, nullptr) << err.call;
    }

    FileDescriptor m_device;
    std::unique_ptr<HidConnection> m_conn;
};

TEST_F(Connection, UnnumberedReportsGetTheirIdByteBackWithinCapacity) {
    Adopt(false);
    // The data bytes of a 64-byte report, as the kernel hands them out.
    Bytes data(64, 0x00);
    data[0] = 0x01;
    data[1] = 0x80;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(send(m_device.Get(), data.data(), data.size(), 0), 64);
    uint8_t buffer[8];
    size_t got = 0;
    SysError err;
    ASSERT_EQ(m_conn->Read(buffer, 3, got, 1000, err), IoStatus::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{0x00, 0x01, 0x80}));
    ASSERT_EQ(m_conn->Read(buffer, 1, got, 1000, err), IoStatus::Ok);
    EXPECT_EQ(Bytes(buffer, buffer + got), Bytes{0x00});
}

TEST_F(Connection, WriteTimesOutWhenTheDeviceTakesNothing) {
    const Bytes report(64, 0xA5);
    SysError err;
    IoStatus status = IoStatus::Ok;
    int written = 0;
    for (; written < 100000 && status == IoStatus::Ok; ++written) {
        status = m_conn->Write(report.data(), report.size(), 0, err);
    }
    ASSERT_EQ(status, IoStatus::Timeout) << "the socket never filled";
    const auto start = Clock::now();
    EXPECT_EQ(m_conn->Write(report.data(), report.size(), 60, err), IoStatus::Timeout);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
}

TEST(HidrawErrors, OnlyTheCodesOfAGoneDeviceStopTheTransfer) {
    // A pen that leaves the bus while it takes the switch command fails that
    // write with ENODEV, and has switched; a socket standing in for it can
    // only give EPIPE, so the codes are given here directly.
    const std::pair<int, IoStatus> cases[] = {
        {ENODEV, IoStatus::DeviceStopped}, {EPIPE, IoStatus::DeviceStopped},
        {ESHUTDOWN, IoStatus::DeviceStopped}, {EIO, IoStatus::DeviceStopped},
        {EACCES, IoStatus::Failed},         {EINVAL, IoStatus::Failed},
        {ENOSPC, IoStatus::Failed},         {EBADF, IoStatus::Failed},
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
    tree.AddDevice(3, SysfsTree::Uevent("HID_ID=0003:00001209:00000002"), numbered);
    tree.AddDevice(4, SysfsTree::Uevent("HID_ID=0003:00001209:00000002"), kVendorDescriptor);
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

// The HID seam's contract on the hidraw backend: listing and probing on a
// fake sysfs tree, the connection on a packet socket standing in for the
// node (it keeps report boundaries as hidraw does), once for a device with
// numbered reports and once for one without, whose reads hidraw gives
// without the ID byte.
#include <signal.h>
#include <sys/socket.h>

#include "HidContract.h"
#include "SysfsTree.h"

namespace penlink::contract {
namespace {

template <bool kNumbered>
class HidrawSubject {
public:
    static constexpr const char* kName = kNumbered ? "Numbered" : "Unnumbered";
    HidrawSubject() {
        signal(SIGPIPE, SIG_IGN);
        m_tree.AddDevice(0, SysfsTree::Uevent("HID_ID=0003:00001209:00000001"),
                         SysfsTree::VendorDescriptor());
    }

    HidBackend& Backend() { return m_backend; }
    std::string PresentPath() { return m_tree.Node(0); }
    std::string MissingPath() { return m_tree.Node(9); }
    const char* MissingCall(bool open) { return open ? "open" : "stat"; }
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
        Bytes report(kReportLength + 16);
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

using HidrawSubjects = ::testing::Types<HidrawSubject<true>, HidrawSubject<false>>;
INSTANTIATE_TYPED_TEST_SUITE_P(Hidraw, HidContract, HidrawSubjects, SubjectName);

}  // namespace
}  // namespace penlink::contract

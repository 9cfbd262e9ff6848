// The Linux backend: HID interfaces are the kernel's hidraw nodes. Listing
// and probing read sysfs only (class/hidraw/hidrawN/device/uevent and
// report_descriptor), so probing never opens a device for I/O; Open gives a
// non-blocking descriptor whose reads and writes are bounded with poll.
//
// Access to /dev/hidrawN is root-only by default; the udev rule that the
// build makes in penlink/udev gives the logged-in user access to the pen's nodes.
#ifndef PENLINK_HIDRAWBACKEND_H
#define PENLINK_HIDRAWBACKEND_H

#include <memory>
#include <string>
#include <vector>

#include "FileDescriptor.h"
#include "core/HidBackend.h"

namespace penlink {

class HidrawBackend : public HidBackend {
public:
    // sysRoot and devRoot are where sysfs and the device nodes live; tests
    // point them at a tree of their own. Does no I/O. Any thread.
    explicit HidrawBackend(std::string sysRoot = "/sys", std::string devRoot = "/dev");

    // Lists <sysRoot>/class/hidraw/hidrawN as <devRoot>/hidrawN, ascending
    // by N. Returns true with out filled (empty when the class directory does
    // not exist: no hidraw device, or the hidraw driver is not loaded), or
    // false with err naming opendir/readdir and errno, out then empty.
    // Any thread.
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;

    // Fills probe for <devRoot>/hidrawN from sysfs without opening the node
    // for I/O: vendor and product from HID_ID in the HID device's uevent,
    // versionNumber from the USB device's bcdDevice (0 where there is none),
    // report lengths from its report_descriptor (read through
    // HIDIOCGRDESC on a short read-only open of the node only where sysfs
    // lacks the file). Returns Ok; OpenFailed when path is not named hidrawN
    // or the node cannot be stat'ed (err: stat and errno); AttributesFailed
    // when uevent cannot be read or holds no well-formed HID_ID; CapsFailed
    // when the descriptor cannot be read or is malformed. Any thread.
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;

    // Opens path with O_RDWR | O_CLOEXEC | O_NONBLOCK and reads its report
    // descriptor as Probe does, to learn whether the device numbers its
    // reports. Returns the connection, or null with err naming open, the
    // descriptor step (as Probe's CapsFailed) or eventfd and errno; on
    // EACCES/EPERM it also logs that permission was denied and that the udev
    // rule is missing. Any thread.
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;

    // Wraps fd, an open descriptor of a hidraw node or anything that behaves
    // like one (a socket or pipe in tests), in a connection that owns it; fd
    // is made non-blocking. numberedReports says whether the device's
    // descriptor has Report ID items: hidraw then reads reports with their ID
    // byte; otherwise it reads the data bytes only, and the connection puts
    // the report ID 0x00 in front of them (writes always carry the ID byte).
    // Returns the connection, or null with err naming fcntl, eventfd or
    // operator new and errno (fd is closed then). Any thread.
    static std::unique_ptr<HidConnection> AdoptDescriptor(FileDescriptor fd, SysError& err,
                                                          bool numberedReports = true);

private:
    std::string m_sysRoot;
    std::string m_devRoot;
};

}  // namespace penlink

#endif  // PENLINK_HIDRAWBACKEND_H

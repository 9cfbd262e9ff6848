// What penflash doctor looks at in the system, each platform in its own
// file: whether the HID driver is there, each pen node's owner, group, mode
// and access list, who runs penflash, and which udev rules name the pen.
#ifndef PENFLASH_DOCTORPROBE_H
#define PENFLASH_DOCTORPROBE_H

#include <string>
#include <vector>

#include "Doctor.h"

namespace penflash {

// Where the probe looks; tests point it at trees of their own.
struct DoctorRoots {
    std::string sys = "/sys";
    // Searched in this order; the first is where the pen's rule belongs.
    std::vector<std::string> ruleDirs = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                         "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
};

// Fills facts' driver fields, and on Linux also a NodeFacts per entry of
// facts.entries (stat and the system.posix_acl_access attribute, with the
// names of owner, group and access list ids), the user (real uid and
// groups), the rules files under roots.ruleDirs that name the pen's IDs, the
// rule's install path and whether its group exists. On Windows only the HID
// class driver is looked at (SetupAPI); nodes stay empty. Never fails: what
// cannot be read is recorded as missing, with errno. Main thread.
void ProbeSystem(DoctorFacts& facts, const DoctorRoots& roots = DoctorRoots());

}  // namespace penflash

#endif  // PENFLASH_DOCTORPROBE_H

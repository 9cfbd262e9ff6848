// penflash doctor's verdicts: from what was found about the HID driver, the
// pens, their device nodes, the user and the udev rules, one check per line
// with a fix where one exists, and whether a pen can be updated now. Pure
// code: no I/O (DoctorProbe and the library's list gather the facts).
#ifndef PENFLASH_DOCTOR_H
#define PENFLASH_DOCTOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "ExitCode.h"
#include "NodeAccess.h"
#include "RunReport.h"

namespace penflash {

// A udev rules file that names the pen.
struct RuleFile {
    std::string path;
    bool normalMode = false;  // a rule matches the pen's normal-mode IDs
    bool updateMode = false;  // a rule matches its firmware-update-mode IDs
};

struct DoctorFacts {
    bool emulated = false;  // the pens are the emulated ones: no driver, no nodes
    bool driverPresent = false;
    std::string driverDetail;  // what shows the driver, or that it is missing
    std::string driverFix;     // how to load it; empty: nothing to do
    bool listed = true;        // the system's list of HID devices could be read
    std::vector<DeviceEntry> entries;
    // Device nodes with POSIX permissions (Linux): nodes[i] belongs to
    // entries[i]. Empty where the platform checks no permissions.
    std::vector<NodeFacts> nodes;
    UserFacts user;
    std::vector<RuleFile> rules;        // rules files that name the pen
    std::vector<std::string> ruleDirs;  // where rules were looked for
    std::string ruleInstallPath;        // where the pen's rule belongs
    std::string ruleGroup = "plugdev";  // the group the rule gives the nodes
    bool ruleGroupExists = true;
};

struct DoctorCheck {
    std::string name;    // "driver", "udev-rule", "pen", "access", "held"
    std::string status;  // "ok", "warning" or "problem"
    std::string message;
    std::string fix;  // empty where there is none or nothing to fix
};

struct Diagnosis {
    std::vector<DoctorCheck> checks;
    // Success when a pen can be updated now (connected, not held, and every
    // node of it opens for this user); otherwise NoPen (no pen, or no
    // driver), PenHeld (every pen held by another updater) or PenRefused
    // (a pen is there that this user may not open).
    ExitCode exit = ExitCode::NoPen;
};

// Returns the checks in order: driver, udev rule (where nodes are checked),
// then per pen its mode, whether it is held and per interface whether this
// user may open it. Any thread.
Diagnosis Diagnose(const DoctorFacts& facts);

// Returns which of the pen's modes the rules text (a udev rules file) names
// by the pen's IDs, in any of the forms a rule matches a HID device by: the
// USB attributes idVendor and idProduct, the HID device's name
// (KERNELS=="*:VVVV:PPPP.*"), its HID_ID or its modalias. Commented lines
// count for nothing. Any thread.
RuleFile RuleModesIn(const std::string& text, std::uint16_t vendor, std::uint16_t normalProduct,
                     std::uint16_t updateProduct);

}  // namespace penflash

#endif  // PENFLASH_DOCTOR_H

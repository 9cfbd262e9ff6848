#include "Doctor.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sstream>

#include "PenChoice.h"

namespace penflash {

namespace {

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool LineNames(const std::string& line, const std::string& vendor, const std::string& product) {
    const bool usb = line.find("idvendor}==\"" + vendor) != std::string::npos &&
                     line.find("idproduct}==\"" + product) != std::string::npos;
    return usb || line.find(":" + vendor + ":" + product) != std::string::npos ||
           line.find(vendor + ":0000" + product) != std::string::npos ||
           line.find("v0000" + vendor + "p0000" + product) != std::string::npos;
}

DoctorCheck Check(const char* name, const char* status, std::string message, std::string fix = {}) {
    return {name, status, std::move(message), std::move(fix)};
}

std::string Where(const Pen& pen) { return pen.location.empty() ? pen.path : "at " + pen.location; }

const RuleFile* RuleFor(const DoctorFacts& facts, const std::string& mode) {
    for (const RuleFile& rule : facts.rules) {
        if (mode == "update" ? rule.updateMode : rule.normalMode) return &rule;
    }
    return nullptr;
}

std::string InstallRule(const DoctorFacts& facts) {
    return "install the rule: sudo install -m 644 70-penlink.rules " + facts.ruleInstallPath +
           " && sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=hidraw "
           "(a build of the sources makes 70-penlink.rules in its udev folder)";
}

// What the user can do about a node they may not open.
std::string AccessFix(const DoctorFacts& facts, const DeviceEntry& entry, const NodeFacts& node) {
    const RuleFile* rule = RuleFor(facts, entry.mode);
    if (rule == nullptr) return InstallRule(facts);
    const bool ruleGroup = node.groupName == facts.ruleGroup;
    if (!ruleGroup && node.acl.empty()) {
        return "the rule in " + rule->path + " has not been applied to " + node.path +
               ": sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=hidraw, "
               "or unplug the pen and plug it in again";
    }
    const std::string user =
        facts.user.name.empty() ? std::to_string(facts.user.uid) : facts.user.name;
    if (!facts.ruleGroupExists) {
        return "the group " + facts.ruleGroup + " does not exist: sudo groupadd " +
               facts.ruleGroup + " && sudo usermod -aG " + facts.ruleGroup + " " + user +
               ", then log in again and plug the pen in again";
    }
    return "add yourself to group " + facts.ruleGroup + ": sudo usermod -aG " + facts.ruleGroup +
           " " + user +
           ", then log in again (a user logged in at the seat gets access "
           "without it)";
}

}  // namespace

RuleFile RuleModesIn(const std::string& text, std::uint16_t vendor, std::uint16_t normalProduct,
                     std::uint16_t updateProduct) {
    RuleFile found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line = Lower(line);
        found.normalMode = found.normalMode || LineNames(line, Hex4(vendor), Hex4(normalProduct));
        found.updateMode = found.updateMode || LineNames(line, Hex4(vendor), Hex4(updateProduct));
    }
    return found;
}

Diagnosis Diagnose(const DoctorFacts& facts) {
    Diagnosis d;
    if (facts.emulated) {
        d.checks.push_back(Check("driver", "ok", "the emulated pens' bus, in this process"));
    } else if (facts.driverPresent) {
        d.checks.push_back(Check("driver", "ok", facts.driverDetail));
    } else {
        d.checks.push_back(Check("driver", "problem", facts.driverDetail, facts.driverFix));
        return d;
    }

    const bool checkNodes =
        !facts.emulated && (!facts.nodes.empty() || !facts.ruleInstallPath.empty());
    if (checkNodes) {
        const RuleFile* normal = RuleFor(facts, "normal");
        const RuleFile* update = RuleFor(facts, "update");
        if (normal != nullptr && update != nullptr) {
            d.checks.push_back(Check("udev-rule", "ok",
                                     "the udev rule for the pen in both modes is in " +
                                         normal->path +
                                         (normal == update ? "" : " and " + update->path)));
        } else if (normal != nullptr || update != nullptr) {
            const RuleFile* one = normal != nullptr ? normal : update;
            d.checks.push_back(
                Check("udev-rule", "warning",
                      "the udev rule in " + one->path + " names the pen in " +
                          (normal != nullptr ? "normal mode only: the pen cannot be opened once it "
                                               "switches to firmware-update mode"
                                             : "firmware-update mode only"),
                      InstallRule(facts)));
        } else {
            std::string dirs;
            for (const std::string& dir : facts.ruleDirs) dirs += (dirs.empty() ? "" : ", ") + dir;
            d.checks.push_back(
                Check("udev-rule", "warning",
                      "no udev rule names the pen (looked in " + dirs +
                          "); without one, the pen's device nodes are usually root's alone",
                      InstallRule(facts)));
        }
    }

    if (!facts.listed) {
        d.checks.push_back(
            Check("pens", "problem", "the system's list of HID devices cannot be read"));
        return d;
    }
    const std::vector<Pen> pens = GroupPens(facts.entries);
    if (pens.empty()) {
        d.checks.push_back(Check("pens", "problem", "no pen is connected",
                                 "connect the pen with its USB cable (a cable that carries data, "
                                 "not one for charging only)"));
        return d;
    }
    bool anyHeldOnly = true;
    bool updatable = false;
    for (const Pen& pen : pens) {
        const std::string again =
            "penflash update" +
            (pens.size() > 1 && !pen.location.empty() ? " --pen " + pen.location : "");
        if (pen.mode == "update") {
            d.checks.push_back(
                Check("pen", "warning",
                      "pen " + Where(pen) + " is in firmware-update mode (" + pen.path +
                          "): an update did not end, so it waits for an image",
                      "run `" + again +
                          "` to complete the update; it finds the pen in this mode and "
                          "sends the image, after which the pen restarts in normal mode"));
        } else {
            d.checks.push_back(
                Check("pen", "ok", "pen " + Where(pen) + " is in normal mode (" + pen.path + ")"));
        }
        if (pen.held) {
            const PenChoice held = ChoosePen({pen}, "", false);
            d.checks.push_back(Check("held", "problem", held.message, held.details));
            continue;
        }
        anyHeldOnly = false;
        bool opens = true;
        for (std::size_t i = 0; i < facts.entries.size() && i < facts.nodes.size(); ++i) {
            const DeviceEntry& entry = facts.entries[i];
            const bool same =
                pen.location.empty() ? entry.path == pen.path : entry.location == pen.location;
            if (!same) continue;
            const NodeFacts& node = facts.nodes[i];
            const AccessVerdict verdict = JudgeAccess(node, facts.user);
            if (verdict.granted) {
                d.checks.push_back(Check(
                    "access", "ok", "you may open " + node.path + " (as " + verdict.how + ")"));
                continue;
            }
            opens = false;
            d.checks.push_back(
                Check("access", "problem", "you may not open " + node.path + ": " + verdict.why,
                      node.statError == 0 ? AccessFix(facts, entry, node) : std::string()));
        }
        updatable = updatable || opens;
    }
    d.exit = updatable ? ExitCode::Success : anyHeldOnly ? ExitCode::PenHeld : ExitCode::PenRefused;
    return d;
}

}  // namespace penflash

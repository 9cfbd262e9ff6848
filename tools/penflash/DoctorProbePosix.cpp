#include "DoctorProbe.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "PenIds.h"

namespace penflash {

namespace {

std::string UserName(uid_t uid) {
    const passwd* pw = getpwuid(uid);
    return pw != nullptr ? pw->pw_name : "";
}

std::string GroupName(gid_t gid) {
    const group* gr = getgrgid(gid);
    return gr != nullptr ? gr->gr_name : "";
}

NodeFacts ProbeNode(const std::string& path) {
    NodeFacts node;
    node.path = path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        node.statError = errno;
        return node;
    }
    node.uid = st.st_uid;
    node.gid = st.st_gid;
    node.mode = st.st_mode & 0777;
    node.ownerName = UserName(st.st_uid);
    node.groupName = GroupName(st.st_gid);
    // The access list as the kernel keeps it; ENODATA: none beyond the mode.
    std::uint8_t value[1024];
    const ssize_t got = getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    if (got > 0 && ParsePosixAcl(value, static_cast<std::size_t>(got), node.acl)) {
        for (AclEntry& e : node.acl) {
            if (e.tag == AclEntry::User) e.name = UserName(e.id);
            if (e.tag == AclEntry::Group) e.name = GroupName(e.id);
        }
    }
    return node;
}

UserFacts ProbeUser() {
    UserFacts user;
    user.uid = getuid();
    user.name = UserName(getuid());
    user.groups.push_back(getgid());
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = getgroups(count, groups.data());
        for (int i = 0; i < got; ++i) user.groups.push_back(groups[static_cast<std::size_t>(i)]);
    }
    return user;
}

std::vector<RuleFile> FindRules(const std::vector<std::string>& dirs) {
    std::vector<RuleFile> rules;
    for (const std::string& dir : dirs) {
        DIR* d = opendir(dir.c_str());
        if (d == nullptr) continue;
        std::vector<std::string> names;
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 6 && name.compare(name.size() - 6, 6, ".rules") == 0) {
                names.push_back(name);
            }
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::ifstream in(dir + "/" + name, std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
            RuleFile rule =
                RuleModesIn(text, penlink::kPenVendorId, penlink::kPenNormalModeProductId,
                            penlink::kPenUpdateModeProductId);
            if (!rule.normalMode && !rule.updateMode) continue;
            rule.path = dir + "/" + name;
            rules.push_back(rule);
        }
    }
    return rules;
}

}  // namespace

void ProbeSystem(DoctorFacts& facts, const DoctorRoots& roots) {
    const std::string classDir = roots.sys + "/class/hidraw";
    struct stat st {};
    facts.driverPresent = stat(classDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (facts.driverPresent) {
        facts.driverDetail = "the hidraw driver is loaded (" + classDir + ")";
    } else {
        facts.driverDetail = std::string("the hidraw driver is not loaded: ") + classDir + ": " +
                             std::strerror(errno);
        facts.driverFix =
            "sudo modprobe hidraw (a kernel without CONFIG_HIDRAW cannot reach the pen)";
    }
    facts.user = ProbeUser();
    facts.ruleDirs = roots.ruleDirs;
    facts.ruleInstallPath =
        roots.ruleDirs.empty() ? "" : roots.ruleDirs.front() + "/70-penlink.rules";
    facts.rules = FindRules(roots.ruleDirs);
    facts.ruleGroupExists = getgrnam(facts.ruleGroup.c_str()) != nullptr;
    facts.nodes.clear();
    if (facts.emulated) return;
    for (const DeviceEntry& entry : facts.entries) facts.nodes.push_back(ProbeNode(entry.path));
}

}  // namespace penflash

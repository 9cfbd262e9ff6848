// penflash doctor's judgement: access as the kernel grants it (mode bits,
// access lists with their mask), the udev rules that name the pen, and the
// verdict with its fix; the system probe against a tree made here.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Doctor.h"
#include "DoctorProbe.h"
#include "NodeAccess.h"

namespace fs = std::filesystem;
using namespace penflash;

namespace {

constexpr std::uint32_t kPlugdev = 46;
constexpr std::uint32_t kAnn = 1000;

NodeFacts Node(std::uint32_t gid, const char* group, std::uint32_t mode) {
    NodeFacts n;
    n.path = "/dev/hidraw3";
    n.ownerName = "root";
    n.gid = gid;
    n.groupName = group;
    n.mode = mode;
    return n;
}

UserFacts Ann(std::vector<std::uint32_t> groups = {kAnn}) { return {kAnn, "ann", groups}; }

std::string ShippedRule() {
    std::ifstream in(PENFLASH_TEST_UDEV_RULE);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DeviceEntry Entry(const char* mode, bool held = false) {
    DeviceEntry e;
    e.mode = mode;
    e.path = "/dev/hidraw3";
    e.location = "usb-1-2";
    e.held = held;
    return e;
}

const DoctorCheck* Find(const Diagnosis& d, const std::string& name, const std::string& status) {
    for (const DoctorCheck& c : d.checks) {
        if (c.name == name && c.status == status) return &c;
    }
    return nullptr;
}

}  // namespace

TEST(NodeAccess, JudgedAsTheKernelJudgesItAccessListsAndMasksIncluded) {
    EXPECT_TRUE(JudgeAccess(Node(kPlugdev, "plugdev", 0660), Ann({kAnn, kPlugdev})).granted);
    const AccessVerdict outside = JudgeAccess(Node(kPlugdev, "plugdev", 0660), Ann());
    EXPECT_FALSE(outside.granted);
    EXPECT_NE(outside.why.find("root:plugdev rw-rw----"), std::string::npos) << outside.why;
    EXPECT_NE(outside.why.find("not in group plugdev"), std::string::npos) << outside.why;
    EXPECT_TRUE(JudgeAccess(Node(0, "root", 0600), {0, "root", {0}}).granted);

    // The seat's access list as the kernel stores it: user::rw-, user:1000:rw-,
    // group::---, mask::rw-, other::---.
    const std::uint8_t stored[] = {
        2, 0,    0,    0,    1,    0,    6,    0, 0xFF, 0xFF, 0xFF, 0xFF, 2,    0,    6,
        0, 0xE8, 3,    0,    0,    4,    0,    0, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0,
        6, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0, 0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
    NodeFacts seat = Node(0, "root", 0660);
    ASSERT_TRUE(ParsePosixAcl(stored, sizeof stored, seat.acl));
    ASSERT_EQ(seat.acl.size(), 5u);
    EXPECT_EQ(seat.acl[1].id, kAnn);
    const AccessVerdict viaAcl = JudgeAccess(seat, Ann());
    EXPECT_TRUE(viaAcl.granted);
    EXPECT_EQ(viaAcl.how, "access list entry for ann");
    // A mask without write takes the entry's write away; the group bits of
    // the mode are the mask then, not the owning group's.
    seat.acl[3].perm = 4;
    EXPECT_FALSE(JudgeAccess(seat, Ann()).granted);
    EXPECT_FALSE(JudgeAccess(seat, Ann({kAnn, 0})).granted);
    EXPECT_FALSE(ParsePosixAcl(stored, sizeof stored - 1, seat.acl));
    const std::uint8_t version1[] = {1, 0, 0, 0};
    EXPECT_FALSE(ParsePosixAcl(version1, sizeof version1, seat.acl));
}

TEST(DoctorRules, TheShippedRuleNamesThePenInBothModesByItsHidDevice) {
    const RuleFile shipped = RuleModesIn(ShippedRule(), 0x1209, 0x0001, 0x0002);
    EXPECT_TRUE(shipped.normalMode && shipped.updateMode);
    // It must hold for a pen made through uhid, which has no USB parent.
    EXPECT_EQ(ShippedRule().find("ATTRS{idVendor}"), std::string::npos);
    EXPECT_NE(ShippedRule().find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(ShippedRule().find("GROUP=\"plugdev\""), std::string::npos);

    const RuleFile usbOnly = RuleModesIn(
        "# ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0002\"\n"
        "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0001\", TAG+=\"uaccess\"\n",
        0x1209, 0x0001, 0x0002);
    EXPECT_TRUE(usbOnly.normalMode);
    EXPECT_FALSE(usbOnly.updateMode) << "a commented line counted";
    EXPECT_FALSE(RuleModesIn("KERNELS==\"*:1209:0003.*\"\n", 0x1209, 0x0001, 0x0002).normalMode);
}

TEST(Doctor, NamesTheCauseAndTheFixAndExitsZeroOnlyWhenAPenCanBeUpdated) {
    DoctorFacts facts;
    facts.driverPresent = true;
    facts.entries = {Entry("normal")};
    facts.nodes = {Node(kPlugdev, "plugdev", 0660)};
    facts.user = Ann();
    facts.ruleDirs = {"/etc/udev/rules.d"};
    facts.ruleInstallPath = "/etc/udev/rules.d/70-penlink.rules";
    facts.rules = {{"/usr/lib/udev/rules.d/70-penlink.rules", true, true}};

    Diagnosis d = Diagnose(facts);
    EXPECT_EQ(d.exit, ExitCode::PenRefused);
    const DoctorCheck* denied = Find(d, "access", "problem");
    ASSERT_NE(denied, nullptr);
    EXPECT_NE(denied->fix.find("usermod -aG plugdev ann"), std::string::npos) << denied->fix;

    // No rule: the node is root's alone and the fix is the rule, where it belongs.
    facts.rules.clear();
    facts.nodes = {Node(0, "root", 0600)};
    d = Diagnose(facts);
    ASSERT_NE(Find(d, "udev-rule", "warning"), nullptr);
    denied = Find(d, "access", "problem");
    ASSERT_NE(denied, nullptr);
    EXPECT_NE(denied->fix.find("/etc/udev/rules.d/70-penlink.rules"), std::string::npos);

    // A rule that is there but did not reach the node.
    facts.rules = {{"/etc/udev/rules.d/70-penlink.rules", true, true}};
    EXPECT_NE(Find(Diagnose(facts), "access", "problem")->fix.find("udevadm trigger"),
              std::string::npos);

    facts.user = Ann({kAnn, kPlugdev});
    facts.nodes = {Node(kPlugdev, "plugdev", 0660)};
    EXPECT_EQ(Diagnose(facts).exit, ExitCode::Success);

    // Left in firmware-update mode: still updatable, with the way out.
    facts.entries = {Entry("update")};
    d = Diagnose(facts);
    EXPECT_EQ(d.exit, ExitCode::Success);
    const DoctorCheck* left = Find(d, "pen", "warning");
    ASSERT_NE(left, nullptr);
    EXPECT_NE(left->fix.find("penflash update"), std::string::npos);

    facts.entries = {Entry("normal", true)};
    EXPECT_EQ(Diagnose(facts).exit, ExitCode::PenHeld);
    facts.entries.clear();
    facts.nodes.clear();
    EXPECT_EQ(Diagnose(facts).exit, ExitCode::NoPen);
    facts.driverPresent = false;
    EXPECT_EQ(Find(Diagnose(facts), "driver", "problem") != nullptr, true);
}

TEST(DoctorProbe, ReadsNodesRulesAndDriverFromTheTreeGiven) {
    char pattern[] = "/tmp/penflash-doctor-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    fs::create_directories(root / "sys/class/hidraw");
    fs::create_directories(root / "rules");
    fs::copy_file(PENFLASH_TEST_UDEV_RULE, root / "rules/70-penlink.rules");
    std::ofstream(root / "rules/99-other.rules") << "SUBSYSTEM==\"usb\", MODE=\"0666\"\n";
    std::ofstream(root / "hidraw3") << "";
    ASSERT_EQ(chmod((root / "hidraw3").c_str(), 0640), 0);

    DoctorFacts facts;
    DeviceEntry entry = Entry("normal");
    entry.path = (root / "hidraw3").string();
    facts.entries = {entry};
    DoctorRoots roots;
    roots.sys = (root / "sys").string();
    roots.ruleDirs = {(root / "rules").string(), (root / "missing").string()};
    ProbeSystem(facts, roots);
    EXPECT_TRUE(facts.driverPresent);
    ASSERT_EQ(facts.rules.size(), 1u);
    EXPECT_EQ(facts.rules[0].path, (root / "rules/70-penlink.rules").string());
    EXPECT_EQ(facts.ruleInstallPath, (root / "rules/70-penlink.rules").string());
    ASSERT_EQ(facts.nodes.size(), 1u);
    EXPECT_EQ(facts.nodes[0].mode, 0640u);
    EXPECT_EQ(facts.nodes[0].uid, getuid());
    EXPECT_EQ(facts.user.uid, getuid());

    fs::remove_all(root / "sys");
    facts.entries[0].path = (root / "gone").string();
    ProbeSystem(facts, roots);
    EXPECT_FALSE(facts.driverPresent);
    EXPECT_NE(facts.driverFix.find("modprobe hidraw"), std::string::npos);
    EXPECT_EQ(facts.nodes[0].statError, ENOENT);
    fs::remove_all(root);
}

#include "NodeAccess.h"

#include <algorithm>
#include <cstring>

namespace penflash {

namespace {

constexpr std::uint32_t kAclVersion = 2;
constexpr std::uint16_t kReadWrite = 6;

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool HasGroup(const UserFacts& user, std::uint32_t gid) {
    return std::find(user.groups.begin(), user.groups.end(), gid) != user.groups.end();
}

std::string NameOr(const std::string& name, std::uint32_t id) {
    return name.empty() ? std::to_string(id) : name;
}

}  // namespace

bool ParsePosixAcl(const std::uint8_t* data, std::size_t size, std::vector<AclEntry>& entries) {
    entries.clear();
    if (size < 4 || (size - 4) % 8 != 0 || Le32(data) != kAclVersion) return false;
    for (std::size_t at = 4; at < size; at += 8) {
        AclEntry e;
        e.tag = static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
        e.perm = static_cast<std::uint16_t>(data[at + 2] | data[at + 3] << 8);
        e.id = Le32(data + at + 4);
        entries.push_back(e);
    }
    return true;
}

std::string ModeString(std::uint32_t mode) {
    std::string text = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (1u << (8 - bit))) == 0) text[static_cast<std::size_t>(bit)] = '-';
    }
    return text;
}

AccessVerdict JudgeAccess(const NodeFacts& node, const UserFacts& user) {
    AccessVerdict v;
    if (node.statError != 0) {
        v.why = node.path + " cannot be examined: " + std::strerror(node.statError);
        return v;
    }
    if (user.uid == 0) {
        v.granted = true;
        v.how = "root";
        return v;
    }
    const std::string owner = NameOr(node.ownerName, node.uid);
    const std::string group = NameOr(node.groupName, node.gid);
    const std::string you = "you (" + NameOr(user.name, user.uid) + ")";
    v.why = node.path + " is " + owner + ":" + group + " " + ModeString(node.mode);
    if (user.uid == node.uid) {
        v.granted = (node.mode >> 6 & kReadWrite) == kReadWrite;
        v.how = "owner";
        v.why += ", and its owner, " + you + ", may not read and write it";
        return v;
    }
    // Without an access list the mode's group bits are the owning group's;
    // with one they are its mask.
    std::uint16_t mask = 7;
    std::uint16_t groupObj = static_cast<std::uint16_t>(node.mode >> 3 & 7);
    bool hasMask = false;
    for (const AclEntry& e : node.acl) {
        if (e.tag == AclEntry::Mask) {
            mask = e.perm;
            hasMask = true;
        }
        if (e.tag == AclEntry::GroupObj) groupObj = e.perm;
    }
    if (hasMask) v.why += " with an access list";
    for (const AclEntry& e : node.acl) {
        if (e.tag != AclEntry::User || e.id != user.uid) continue;
        v.granted = (e.perm & mask & kReadWrite) == kReadWrite;
        v.how = "access list entry for " + NameOr(user.name, user.uid);
        v.why += ", whose entry for " + you + " does not give read and write";
        return v;
    }
    bool inAGroup = false;
    if (HasGroup(user, node.gid)) {
        inAGroup = true;
        if ((groupObj & mask & kReadWrite) == kReadWrite) {
            v.granted = true;
            v.how = "group " + group;
            return v;
        }
    }
    for (const AclEntry& e : node.acl) {
        if (e.tag != AclEntry::Group || !HasGroup(user, e.id)) continue;
        inAGroup = true;
        if ((e.perm & mask & kReadWrite) == kReadWrite) {
            v.granted = true;
            v.how = "access list entry for group " + NameOr(e.name, e.id);
            return v;
        }
    }
    if (inAGroup) {
        v.why += ", and the groups of " + you + " that it names may not read and write it";
        return v;
    }
    v.granted = (node.mode & kReadWrite) == kReadWrite;
    v.how = "everyone";
    v.why += "; " + you + " are not its owner, not in group " + group +
             (node.acl.empty() ? std::string() : " and not in its access list") +
             ", and others may not read and write it";
    return v;
}

}  // namespace penflash

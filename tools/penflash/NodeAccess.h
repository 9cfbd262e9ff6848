// Whether a user may open a device node for reading and writing, judged from
// the node's owner, group, mode bits and POSIX access list as the kernel
// judges them, and why not. Pure code: no I/O (the facts are read by
// DoctorProbe).
#ifndef PENFLASH_NODEACCESS_H
#define PENFLASH_NODEACCESS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace penflash {

// One entry of a POSIX access list, as the kernel stores it in the
// system.posix_acl_access attribute.
struct AclEntry {
    enum Tag : std::uint16_t {
        UserObj = 0x01,
        User = 0x02,
        GroupObj = 0x04,
        Group = 0x08,
        Mask = 0x10,
        Other = 0x20,
    };
    std::uint16_t tag = 0;
    std::uint16_t perm = 0;  // 4 read, 2 write, 1 execute
    std::uint32_t id = 0;    // uid for User, gid for Group; unused otherwise
    std::string name;        // the user's or group's name, where known
};

// What is known about a device node.
struct NodeFacts {
    std::string path;
    int statError = 0;  // errno of stat; 0: the fields below were read
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::uint32_t mode = 0;  // permission bits
    std::string ownerName;   // empty where the system names none
    std::string groupName;
    std::vector<AclEntry> acl;  // empty: no access list beyond the mode bits
};

// Who asks.
struct UserFacts {
    std::uint32_t uid = 0;
    std::string name;
    std::vector<std::uint32_t> groups;  // the primary group and the others
};

// The verdict on one node.
struct AccessVerdict {
    bool granted = false;
    std::string
        how;  // granted: through what ("owner", "group plugdev", "access list entry for ann", ...)
    std::string
        why;  // denied: owner, group, mode and access list, in a sentence without a final stop
};

// Returns the attribute value's entries, or false for a value that is not a
// version-2 access list (wrong length or version). Any thread.
bool ParsePosixAcl(const std::uint8_t* data, std::size_t size, std::vector<AclEntry>& entries);

// Returns whether user may open node for reading and writing: root always;
// the owner by the owner bits; a named user entry, the owning group and
// named groups through the mask when the access list has one; everyone else
// by the other bits. A node that could not be stat'ed is denied with the
// error in why. Any thread.
AccessVerdict JudgeAccess(const NodeFacts& node, const UserFacts& user);

// Returns mode as "rw-rw----". Any thread.
std::string ModeString(std::uint32_t mode);

}  // namespace penflash

#endif  // PENFLASH_NODEACCESS_H

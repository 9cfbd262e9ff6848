// The file name of a pen's lock, the same on every platform.
#ifndef PENLINK_LOCKNAME_H
#define PENLINK_LOCKNAME_H

#include <string>

namespace penlink {

// "penlink-" + the letters, digits, dots and dashes of location ('_' for any
// other byte) + "-" + eight hex digits of a hash of the whole location +
// ".lock", so that two locations never share a file and no location can
// leave the folder. Any thread.
std::string LockFileName(const std::string& location);

}  // namespace penlink

#endif  // PENLINK_LOCKNAME_H

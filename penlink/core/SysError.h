// The failing system call and its code, carried from a backend to the log.
#ifndef PENLINK_SYSERROR_H
#define PENLINK_SYSERROR_H

#include <string>

namespace penlink {

// call names the system call and code is its error (GetLastError or errno).
// code 0 with an empty call means "no system error".
struct SysError {
    std::string call;
    long code = 0;

    // True when no system error is recorded. Any thread.
    bool Empty() const { return call.empty() && code == 0; }

    // "CreateFileW failed: 5", or "ok" when empty. Any thread.
    std::string Describe() const {
        if (Empty()) return "ok";
        return call + " failed: " + std::to_string(code);
    }
};

}  // namespace penlink

#endif  // PENLINK_SYSERROR_H

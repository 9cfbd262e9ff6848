// The library's one way of logging, for the core and the real backends
// alike: lines for the platform's debug output (through SystemServices), the
// search thread's progress lines, and every system error with the call that
// failed and its code.
#ifndef PENLINK_DEBUGLOG_H
#define PENLINK_DEBUGLOG_H

#include <string>

#include "SysError.h"

namespace penlink {

// Writes text as it stands. Any thread.
void DebugLine(const std::u16string& text);

// Writes "Penlink :\t<what>: <call> failed: <code>\n", or
// "Penlink :\t<what>\n" when err is empty. Any thread.
void LogFailure(const std::string& what, const SysError& err = {});

}  // namespace penlink

#endif  // PENLINK_DEBUGLOG_H

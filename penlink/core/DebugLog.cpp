#include "DebugLog.h"

#include "SystemServices.h"
#include "TextCodec.h"

namespace penlink {

void DebugLine(const std::u16string& text) { Services().DebugOutput(text); }

void LogFailure(const std::string& what, const SysError& err) {
    std::string line = "Penlink :\t" + what;
    if (!err.Empty()) line += ": " + err.Describe();
    line += "\n";
    DebugLine(Utf8ToUtf16(line));
}

}  // namespace penlink

// UTF-8 and UTF-16 conversion for log lines and device paths.
#ifndef PENLINK_TEXTCODEC_H
#define PENLINK_TEXTCODEC_H

#include <string>

namespace penlink {

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// Converts UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace penlink

#endif  // PENLINK_TEXTCODEC_H

// Small text formats shared by the terminal output and the JSON report.
// Pure code: no I/O.
#ifndef PENFLASH_TEXTFORMAT_H
#define PENFLASH_TEXTFORMAT_H

#include <cstdint>
#include <string>

namespace penflash {

// Returns a packed version (major in bits 31-24, minor in bits 23-16) as
// "major.minor" with two minor digits: 0x02050000 gives "2.05". Any thread.
std::string FormatVersion(std::uint32_t packed);

// Returns value as "0x" and two upper-case hex digits at least ("0x21").
// Any thread.
std::string FormatHexByte(std::uint32_t value);

// Returns value as "0x" and four lower-case hex digits ("0x1209").
// Any thread.
std::string FormatHexWord(std::uint32_t value);

// Returns value with a comma between groups of three digits ("53,256").
// Any thread.
std::string GroupDigits(std::uint64_t value);

// Returns a duration in seconds with one decimal ("3.4 s"). Any thread.
std::string FormatSeconds(double seconds);

}  // namespace penflash

#endif  // PENFLASH_TEXTFORMAT_H

// The text of a packed firmware version, as the wizard shows it.
#ifndef FLASHWIZARD_FIRMWAREVERSION_H
#define FLASHWIZARD_FIRMWAREVERSION_H

#include <cstdint>
#include <string>

// The version packed in version (major in bits 31-24, minor in bits 23-16,
// bits 15-0 ignored) as "%d.%02d": the major in decimal, a point and the
// minor with at least two digits. 0x022F0000 gives "2.47", 0x03050000
// "3.05", 0 "0.00", 0x02640000 "2.100". Never fails. Any thread.
std::wstring FormatFirmwareVersion(std::uint32_t version);

#endif  // FLASHWIZARD_FIRMWAREVERSION_H

// The pen's side of the report protocol, free of any I/O: the host's
// commands as the pen recognises them, the layout it expects of the image's
// reports, the replies it sends and the report descriptor it shows. Used by
// the emulated pen (EmulatedPen, the model of the emulated library, of
// penflash --emulate and of the virtual pen) and by the virtual pen on
// /dev/uhid for its descriptor; the replay pen plays recorded bytes and needs
// none of it.
//
// It is written apart from the library's core/ReportCodec on purpose and
// includes nothing of it: the emulated pen checks every report of the
// library against this codec, and the library parses every reply built
// here, so a mistake in either codec shows as a failed test instead of
// passing on both sides.
#ifndef PENLINK_EMULATOR_PENSIDECODEC_H
#define PENLINK_EMULATOR_PENSIDECODEC_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace penlink::emulator::penside {

// A command of the host by its leading bytes (report ID first); in a command
// report every byte after them is zero.
struct Command {
    uint8_t bytes[5];
    uint8_t count;
};

inline constexpr Command kIdentify{{0x00, 0x02, 0x02, 0x95, 0x95}, 5};
inline constexpr Command kEnterUpdateMode{{0x00, 0x02, 0x02, 0x90, 0x87}, 5};
inline constexpr Command kUpdateIdentify{{0x00, 0x02, 0x04, 0x93}, 4};
inline constexpr Command kStartUpdate{{0x00, 0x02, 0x01}, 3};
inline constexpr Command kFinish{{0x00, 0x02, 0x08}, 3};
// The begin-image and block reports begin with these; bytes 3 to 6 hold the
// image's length or the block's offset (32-bit little-endian), and a block's
// image bytes follow from kBlockDataOffset, then 0xFF to the end.
inline constexpr Command kBeginImage{{0x00, 0x02, 0x03}, 3};
inline constexpr Command kImageBlock{{0x00, 0x02, 0x02}, 3};
inline constexpr size_t kBlockDataOffset = 7;
// The pen takes an image only on output reports with room for a block of
// four bytes.
inline constexpr size_t kMinImageReportLength = kBlockDataOffset + 4;

// What the pen tells of itself in its normal-mode identity block: product
// code, firmware, second and third version (major, minor), extra byte.
struct Identity {
    uint8_t productCode = 0;
    uint8_t firmware[2] = {0, 0};
    uint8_t version2[2] = {0, 0};
    uint8_t version3[2] = {0, 0};
    uint8_t extraInfo = 0;
};

// The two acknowledgements of the transfer, by their byte 2.
enum class Ack : uint8_t { Start = 0x01, Image = 0x02 };

// True when the length bytes of report are command followed by zeros only.
// Any thread; so are all the functions here.
bool IsCommand(const uint8_t* report, size_t length, const Command& command);

// True when report (length bytes) begins with the command's bytes, whatever
// follows them.
bool StartsWith(const uint8_t* report, size_t length, const Command& command);

// The command report the pen expects on reports of length bytes: the
// command's bytes (as many as fit), then zeros.
std::vector<uint8_t> CommandReport(const Command& command, size_t length);

// The number in bytes 3 to 6 of a begin-image or block report (the image's
// length, the block's offset). report holds at least 7 bytes.
uint32_t LengthOrOffset(const uint8_t* report);

// How many image bytes the pen expects in the next block when remaining
// bytes of the image are still to come on reports of length bytes: while a
// whole block's room (length - 7) remains, that room rounded down to a
// multiple of four; after that, the rest. 0 on reports shorter than
// kMinImageReportLength.
size_t BlockBytes(size_t remaining, size_t length);

// The begin-image report the pen expects for an image of imageLength bytes:
// its leading bytes, the length, zeros to the end. Empty on reports shorter
// than kMinImageReportLength.
std::vector<uint8_t> BeginImageReport(size_t length, uint32_t imageLength);

// The block report the pen expects at offset carrying the count bytes at
// data. Empty when they do not fit a report of length bytes.
std::vector<uint8_t> ImageBlockReport(size_t length, uint32_t offset, const uint8_t* data,
                                      size_t count);

// The input report that carries the identity block at byte offset, zeros in
// front of it (the host finds the block wherever it stands).
std::vector<uint8_t> IdentityReport(const Identity& identity, size_t offset);

// The n-th pen data report (a stroke) of a run, which the host skips while
// it waits for the identity block.
std::vector<uint8_t> PenDataReport(unsigned n);

// The firmware-update-mode identity reply with the pen's version there
// (major, minor); a faulty pen's has 0x02 in byte 1.
std::vector<uint8_t> UpdateIdentityReply(const uint8_t (&version)[2], bool faulty);

// An acknowledgement: 00 01, the kind, then 01 (good) or 00 (refused).
std::vector<uint8_t> Acknowledgement(Ack kind, bool good);

// The HID report descriptor of the pen's interface: a vendor page, no report
// IDs, one input and one output report of the given lengths, which count the
// report ID byte (0x00) in front of the data, as the pen model's lengths do.
// Lengths from 2 to 65536.
std::vector<uint8_t> ReportDescriptor(size_t inputLength, size_t outputLength);

}  // namespace penlink::emulator::penside

#endif  // PENLINK_EMULATOR_PENSIDECODEC_H

// The pen's report formats, free of any I/O: command reports, the cutting of
// the image into block reports, and the parsing of replies. Shared by the
// device object and the emulated pen, so both sides agree byte for byte.
#ifndef PENLINK_REPORTCODEC_H
#define PENLINK_REPORTCODEC_H

#include <cstddef>
#include <cstdint>

namespace penlink {

// Report buffers hold this many bytes; longer reports are refused.
inline constexpr size_t kReportBufferSize = 128;
// Output reports shorter than this leave no room for a four-byte block.
inline constexpr size_t kMinOutputReportLength = 11;
// Bytes in front of the image data of a block report.
inline constexpr size_t kBlockHeaderLength = 7;
// Length of the normal-mode identity block.
inline constexpr size_t kIdentityBlockLength = 11;

// Command reports, by their leading bytes (every byte after them is zero).
inline constexpr uint8_t kCmdIdentify[] = {0x00, 0x02, 0x02, 0x95, 0x95};
inline constexpr uint8_t kCmdEnterUpdateMode[] = {0x00, 0x02, 0x02, 0x90, 0x87};
inline constexpr uint8_t kCmdUpdateIdentify[] = {0x00, 0x02, 0x04, 0x93};
inline constexpr uint8_t kCmdStartUpdate[] = {0x00, 0x02, 0x01};
inline constexpr uint8_t kCmdFinish[] = {0x00, 0x02, 0x08};
inline constexpr uint8_t kCmdBeginImage[] = {0x00, 0x02, 0x03};
inline constexpr uint8_t kCmdImageBlock[] = {0x00, 0x02, 0x02};

// Acknowledgements: bytes 2 and 3 of the input report.
inline constexpr uint8_t kStartAck[2] = {0x01, 0x01};
inline constexpr uint8_t kImageAck[2] = {0x02, 0x01};

// The first bytes of the normal-mode identity block, and of the update-mode
// identity reply.
inline constexpr uint8_t kIdentityBlockStart[3] = {0x00, 0x80, 0xA9};
inline constexpr uint8_t kUpdateIdentityStart[4] = {0x00, 0x01, 0x80, 0x93};

// Packs a version: major in bits 31-24, minor in bits 23-16.
constexpr uint32_t PackVersion(uint8_t major, uint8_t minor) {
    return (static_cast<uint32_t>(major) * 256u + minor) << 16;
}

// What a normal-mode identity block carries.
struct NormalIdentity {
    uint32_t productCode = 0;
    uint32_t firmwareVersion = 0;
    uint32_t version2 = 0;
    uint32_t version3 = 0;
    uint32_t extraInfo = 0;
};

// True when length is an output report length the transfer handles (11 to
// 128); the commands need only room for their own bytes.
bool IsUsableOutputLength(size_t length);

// Fills report[0..length) with the command's bytes followed by zeros.
// Returns false (report untouched) when count > length. Any thread.
bool BuildCommandReport(uint8_t* report, size_t length, const uint8_t* command, size_t count);

// Fills report with the begin-image command carrying imageLength. Returns
// false when length is not usable.
bool BuildBeginImageReport(uint8_t* report, size_t length, uint32_t imageLength);

// How many image bytes the next block carries when remaining bytes are left
// and reports are length bytes long: the capacity (length - 7) with its two
// low bits cleared while at least the capacity remains, else all that remains.
// Returns 0 when nothing remains or length is not usable.
size_t BlockLength(size_t remaining, size_t length);

// Fills report with one block: offset, the blockLength bytes at data, then
// 0xFF up to the end. Returns false when the block does not fit.
bool BuildImageBlockReport(uint8_t* report, size_t length, uint32_t offset, const uint8_t* data,
                           size_t blockLength);

// Looks for the identity block in count bytes of a normal-mode input report:
// at least 12 bytes, first position where kIdentityBlockStart starts and the
// whole block lies within them; applies the legacy swap rule. Returns true with id filled,
// or false leaving id untouched. Any thread.
bool ParseNormalIdentity(const uint8_t* bytes, size_t count, NormalIdentity& id);

// Recognises the update-mode identity reply (kUpdateIdentityStart first, at
// least 7 bytes). Returns true with version set from bytes 5 and 6, or false
// leaving version untouched. Any thread.
bool ParseUpdateIdentity(const uint8_t* bytes, size_t count, uint32_t& version);

// True when the count bytes are an acknowledgement whose bytes 2 and 3 are
// ack[0] and ack[1]; fewer than 4 bytes never are.
bool IsAcknowledgement(const uint8_t* bytes, size_t count, const uint8_t (&ack)[2]);

// True when code is one of the accepted product codes.
bool IsAcceptedProductCode(uint32_t code);

// Reads and writes 32-bit little-endian integers.
uint32_t ReadLe32(const uint8_t* p);
void WriteLe32(uint8_t* p, uint32_t value);

}  // namespace penlink

#endif  // PENLINK_REPORTCODEC_H

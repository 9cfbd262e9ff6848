// The image transfer behind FWUSendFirmware, with and without progress.
#ifndef PENLINK_TRANSFER_H
#define PENLINK_TRANSFER_H

#include <cstdint>

#include "Penlink.h"
#include "QuillDevice.h"

namespace penlink {

// Sends the image to the pen held, reads its acknowledgement and sends the
// closing command; onBlock is called after each block. Returns what
// FWUSendFirmware returns. Caller thread.
ORVANE_ERROR SendFirmware(const uint8_t* pImage, int nLength, const BlockSentCallback& onBlock);

// SendFirmware with the progress callback registered by the caller, if any.
ORVANE_ERROR SendFirmwareWithProgress(const uint8_t* pImage, int nLength);

}  // namespace penlink

#endif  // PENLINK_TRANSFER_H

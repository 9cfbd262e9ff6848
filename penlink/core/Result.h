// The outcome of every operation of the core. The exported calls turn it
// into ORVANE_ERROR in one place (Exports.cpp); the core itself never sees
// the public header.
#ifndef PENLINK_RESULT_H
#define PENLINK_RESULT_H

namespace penlink {

enum class Result {
    Ok,
    NotInitialized,    // FWUOpenDevice before FWUInit
    OpenFailed,        // a matching device refused to be opened
    DeviceNotFound,    // no HID interface matched
    WriteFailed,       // an output report could not be written
    ReadFailed,        // the identity reply failed or was not recognised
    BadAck,            // an acknowledgement was missing or wrong
    FinishFailed,      // the closing command failed or was refused
    ModeChangeFailed,  // identify, accept or switch failed; or a call overlapped another
    Timeout,           // no identity reply within the time limit
    RequestFailed      // the update-mode identity request failed
};

}  // namespace penlink

#endif  // PENLINK_RESULT_H

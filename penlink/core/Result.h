// The outcome of every operation of the core. The exported calls turn it
// into ORVANE_ERROR in one place (Exports.cpp); the core itself never sees
// the public header. A Result is never dropped unread: where ignoring one is
// right, the call says why.
#ifndef PENLINK_RESULT_H
#define PENLINK_RESULT_H

namespace penlink {

enum class [[nodiscard]] Result{
    Ok,
    NotInitialized,    // FWUOpenDevice before FWUInit
    OpenFailed,        // a matching device refused to be opened
    DeviceNotFound,    // no HID interface matched
    WriteFailed,       // an output report could not be written
    ReadFailed,        // the identity reply failed or was not recognised
    BadAck,            // an acknowledgement was missing or wrong
    FinishFailed,      // the closing command failed or was refused
    ModeChangeFailed,  // identify, accept or switch failed
    Timeout,           // no identity reply within the time limit
    RequestFailed,     // the update-mode identity request failed
    Busy               // refused: another call of the library was running
};

// The enumerator's name ("Ok", "Timeout", ...), for log lines; "Result(?)"
// for a value outside the enumeration. Any thread.
const char* ResultName(Result result);

}  // namespace penlink

#endif  // PENLINK_RESULT_H

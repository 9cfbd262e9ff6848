#include "Result.h"

namespace penlink {

const char* ResultName(Result result) {
    switch (result) {
        case Result::Ok: return "Ok";
        case Result::NotInitialized: return "NotInitialized";
        case Result::OpenFailed: return "OpenFailed";
        case Result::DeviceNotFound: return "DeviceNotFound";
        case Result::WriteFailed: return "WriteFailed";
        case Result::ReadFailed: return "ReadFailed";
        case Result::BadAck: return "BadAck";
        case Result::FinishFailed: return "FinishFailed";
        case Result::ModeChangeFailed: return "ModeChangeFailed";
        case Result::Timeout: return "Timeout";
        case Result::RequestFailed: return "RequestFailed";
        case Result::Busy: return "Busy";
    }
    return "Result(?)";
}

}  // namespace penlink

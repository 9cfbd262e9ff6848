#include "HidConnection.h"

namespace penlink {

const char* IoStatusName(IoStatus status) {
    switch (status) {
        case IoStatus::Ok: return "ok";
        case IoStatus::Timeout: return "timeout";
        case IoStatus::Cancelled: return "cancelled";
        case IoStatus::DeviceStopped: return "device-stopped";
        case IoStatus::Failed: return "failed";
    }
    return "failed";
}

}  // namespace penlink

#include "LibraryErrors.h"

namespace penflash {

namespace {

struct ErrorRow {
    ORVANE_ERROR result;
    const char* name;
    const char* text;
};

constexpr ErrorRow kErrors[] = {
    {ORVANE_ERROR_NONE, "ORVANE_ERROR_NONE", "success"},
    {ORVANE_ERROR_NOT_INITIALIZED, "ORVANE_ERROR_NOT_INITIALIZED",
     "the library was not initialised"},
    {ORVANE_ERROR_OPEN_FAILED, "ORVANE_ERROR_OPEN_FAILED",
     "the pen cannot be opened (another program holds it, or access is denied)"},
    {ORVANE_ERROR_DEVICE_NOT_FOUND, "ORVANE_ERROR_DEVICE_NOT_FOUND", "no pen is connected"},
    {ORVANE_ERROR_WRITE_FAILED, "ORVANE_ERROR_WRITE_FAILED",
     "a report could not be written to the pen"},
    {ORVANE_ERROR_READ_FAILED, "ORVANE_ERROR_READ_FAILED",
     "the pen's identity reply could not be read or was not recognised"},
    {ORVANE_ERROR_BAD_ACK, "ORVANE_ERROR_BAD_ACK", "the pen did not acknowledge as expected"},
    {ORVANE_ERROR_FINISH_FAILED, "ORVANE_ERROR_FINISH_FAILED",
     "the closing command failed or was refused"},
    {ORVANE_ERROR_MODE_CHANGE_FAILED, "ORVANE_ERROR_MODE_CHANGE_FAILED",
     "the pen is not one this updater updates, or it could not be identified or switched"},
    {ORVANE_ERROR_TIMEOUT, "ORVANE_ERROR_TIMEOUT", "the pen did not answer in time"},
    {ORVANE_ERROR_REQUEST_FAILED, "ORVANE_ERROR_REQUEST_FAILED",
     "the identity request in firmware-update mode could not be written"},
};

const ErrorRow* Find(ORVANE_ERROR result) noexcept {
    for (const ErrorRow& row : kErrors) {
        if (row.result == result) return &row;
    }
    return nullptr;
}

}  // namespace

const char* LibraryErrorName(ORVANE_ERROR result) noexcept {
    const ErrorRow* row = Find(result);
    return row != nullptr ? row->name : "ORVANE_ERROR_UNKNOWN";
}

const char* LibraryErrorText(ORVANE_ERROR result) noexcept {
    const ErrorRow* row = Find(result);
    return row != nullptr ? row->text : "unknown error";
}

}  // namespace penflash

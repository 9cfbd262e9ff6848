#include "ExitCode.h"

namespace penflash {

namespace {

struct ExitCodeRow {
    ExitCode code;
    const char* name;
    const char* meaning;
};

constexpr ExitCodeRow kRows[] = {
    {ExitCode::Success, "success", "success (or --help, --version)"},
    {ExitCode::Failure, "failure",
     "any other failure (transcript or JSON report not written whole, internal fault)"},
    {ExitCode::Usage, "usage",
     "usage error: unknown command, option or scenario, empty file name, transcript over the "
     "image"},
    {ExitCode::NoPen, "no-pen", "no pen found"},
    {ExitCode::PenRefused, "pen-refused",
     "the pen was refused: not one this updater updates, cannot be opened, did not answer "
     "or did not switch"},
    {ExitCode::PenNotBack, "pen-not-back", "the pen did not come back in firmware-update mode"},
    {ExitCode::TransferFailed, "transfer-failed", "the start of the update or the transfer failed"},
    {ExitCode::BadImage, "bad-image",
     "the image cannot be read, is not a regular file, is empty or is damaged; nothing was "
     "sent"},
    {ExitCode::Cancelled, "cancelled",
     "cancelled: not confirmed, Ctrl-C before the transfer, or Ctrl-C during or before the "
     "check after it"},
    {ExitCode::SeveralPens, "several-pens",
     "several pens are connected and none was chosen (--pen LOCATION, or update --all); "
     "nothing was sent"},
    {ExitCode::PenHeld, "pen-held", "another updater is updating the chosen pen; nothing was sent"},
    {ExitCode::NotApplied, "not-applied",
     "the image was sent, but the pen came back without the expected firmware"},
    {ExitCode::StayedInUpdateMode, "stayed-in-update-mode",
     "the image was sent, but the pen stayed in firmware-update mode"},
    {ExitCode::DidNotReturn, "did-not-return",
     "the image was sent, but the pen did not come back in normal mode within --verify-timeout"},
};

}  // namespace

const char* ExitCodeName(ExitCode code) noexcept {
    for (const ExitCodeRow& row : kRows) {
        if (row.code == code) return row.name;
    }
    return "failure";
}

ExitCode ExitCodeOf(int value) noexcept {
    for (const ExitCodeRow& row : kRows) {
        if (static_cast<int>(row.code) == value) return row.code;
    }
    return ExitCode::Failure;
}

std::string ExitCodeTable() {
    std::string table;
    for (const ExitCodeRow& row : kRows) {
        const int code = static_cast<int>(row.code);
        table += (code < 10 ? "   " : "  ") + std::to_string(code) + "  " + row.meaning + "\n";
    }
    return table;
}

ExitCode ExitForIdentify(ORVANE_ERROR result) noexcept {
    if (result == ORVANE_ERROR_NONE) return ExitCode::Success;
    if (result == ORVANE_ERROR_DEVICE_NOT_FOUND) return ExitCode::NoPen;
    return ExitCode::PenRefused;
}

ExitCode ExitForOpen(ORVANE_ERROR result) noexcept {
    if (result == ORVANE_ERROR_NONE) return ExitCode::Success;
    if (result == ORVANE_ERROR_NOT_INITIALIZED) return ExitCode::Failure;
    return ExitCode::PenRefused;
}

ExitCode ExitForSearch(std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    if (wParam == SEARCH_FOUND) return ExitCode::Success;
    if (wParam == SEARCH_NOT_FOUND && lParam == NOT_FOUND_AFTER_SWITCH) return ExitCode::PenNotBack;
    if (wParam == SEARCH_NOT_FOUND && lParam == NOT_FOUND_NO_DEVICE) return ExitCode::NoPen;
    return ExitCode::Failure;
}

}  // namespace penflash

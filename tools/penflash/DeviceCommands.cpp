#include "DeviceCommands.h"

#include <vector>

#include "LibraryErrors.h"
#include "Penlink.h"
#include "TextFormat.h"

namespace penflash {

namespace {

void PENLINK_CALL CollectEntry(void* context, const FWUDEVICEENTRY* entry) {
    DeviceEntry d;
    d.vendorId = entry->wVendorID;
    d.productId = entry->wProductID;
    d.mode = entry->dwMode == FWU_MODE_UPDATE ? "update" : "normal";
    d.inputLength = entry->wInputLength;
    d.outputLength = entry->wOutputLength;
    d.path = entry->pszPath != nullptr ? entry->pszPath : "";
    static_cast<std::vector<DeviceEntry>*>(context)->push_back(std::move(d));
}

bool Enumerate(std::vector<DeviceEntry>& entries) {
    return FWUEnumDevices(&CollectEntry, &entries) == ORVANE_ERROR_NONE;
}

}  // namespace

std::string RefusedPenText(std::uint32_t productCode) {
    return "this pen (product code " + FormatHexByte(productCode) +
           ") is not one this updater updates";
}

bool PenInUpdateMode() {
    std::vector<DeviceEntry> entries;
    if (!Enumerate(entries)) return false;
    for (const DeviceEntry& e : entries) {
        if (e.mode == "update") return true;
    }
    return false;
}

RunReport ListDevices(Terminal& terminal) {
    RunReport report("list");
    std::vector<DeviceEntry> entries;
    if (!Enumerate(entries)) {
        report.SetExit(ExitCode::NoPen);
        report.SetError({"the list of HID devices cannot be read", "FWUEnumDevices",
                         ORVANE_ERROR_DEVICE_NOT_FOUND,
                         LibraryErrorName(ORVANE_ERROR_DEVICE_NOT_FOUND)});
        terminal.Line("The list of HID devices cannot be read.");
        return report;
    }
    for (const DeviceEntry& e : entries) {
        terminal.Line(std::string(e.mode == "update" ? "update " : "normal ") + " " +
                      FormatHexWord(e.vendorId).substr(2) + ":" +
                      FormatHexWord(e.productId).substr(2) + "  reports in " +
                      std::to_string(e.inputLength) + " / out " + std::to_string(e.outputLength) +
                      "  " + e.path);
        report.AddDevice(e);
    }
    if (entries.empty()) {
        terminal.Line("No pen found.");
        report.SetExit(ExitCode::NoPen);
        report.SetError({"no pen found", "FWUEnumDevices", std::nullopt, ""});
    }
    return report;
}

RunReport ShowDeviceInfo(Terminal& terminal) {
    RunReport report("info");
    FWUDEVICEINFO info{};
    const ORVANE_ERROR result = FWUIdentifyDevice(&info);
    if (result == ORVANE_ERROR_NONE || result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        report.SetIdentity(info.dwProductCode, info.dwExtraInfo);
        report.SetVersion("current", FormatVersion(info.dwFirmwareVersion));
        report.SetVersion("second", FormatVersion(info.dwVersion2));
        report.SetVersion("third", FormatVersion(info.dwVersion3));
        terminal.Line("Product code:      " + FormatHexByte(info.dwProductCode));
        terminal.Line("Firmware version:  " + FormatVersion(info.dwFirmwareVersion));
        terminal.Line("Second version:    " + FormatVersion(info.dwVersion2));
        terminal.Line("Third version:     " + FormatVersion(info.dwVersion3));
        terminal.Line("Extra byte:        " + FormatHexByte(info.dwExtraInfo));
    }
    report.SetExit(ExitForIdentify(result));
    if (result == ORVANE_ERROR_NONE) return report;

    std::string message = LibraryErrorText(result);
    if (result == ORVANE_ERROR_DEVICE_NOT_FOUND && PenInUpdateMode()) {
        message = "the pen is in firmware-update mode, where it does not tell its identity; "
                  "`penflash update` goes on with it";
    } else if (result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        message = RefusedPenText(info.dwProductCode);
    }
    terminal.Line((result == ORVANE_ERROR_MODE_CHANGE_FAILED ? "Refused: " : "No identity: ") +
                  message + ".");
    report.SetError({message, "FWUIdentifyDevice", result, LibraryErrorName(result)});
    return report;
}

}  // namespace penflash

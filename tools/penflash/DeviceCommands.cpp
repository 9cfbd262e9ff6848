#include "DeviceCommands.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "LibraryErrors.h"
#include "PenChoice.h"
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
    d.location = entry->pszLocation != nullptr ? entry->pszLocation : "";
    d.held = (entry->dwFlags & FWU_ENTRY_HELD) != 0;
    static_cast<std::vector<DeviceEntry>*>(context)->push_back(std::move(d));
}

// How often the identification's end and Ctrl-C are looked at.
constexpr auto kIdentifyPoll = std::chrono::milliseconds(20);

// How long a pen that another updater switched may stay off the bus before
// it is taken for gone.
constexpr auto kBackFromSwitch = std::chrono::seconds(3);

std::atomic<bool> g_callAbandoned{false};

// What the identifying thread hands back. Shared, so that a thread left
// behind writes into memory that still exists.
struct IdentifyCall {
    FWUDEVICEINFO info{};
    ORVANE_ERROR result = ORVANE_ERROR_NONE;
    std::atomic<bool> done{false};
};

}  // namespace

std::string RefusedPenText(std::uint32_t productCode) {
    return "this pen (product code " + FormatHexByte(productCode) +
           ") is not one this updater updates";
}

bool ListPenInterfaces(std::vector<DeviceEntry>& entries) {
    entries.clear();
    return FWUEnumDevices(&CollectEntry, &entries) == ORVANE_ERROR_NONE;
}

bool PenInUpdateMode(const std::string& location) {
    std::vector<DeviceEntry> entries;
    if (!ListPenInterfaces(entries)) return false;
    for (const DeviceEntry& e : entries) {
        if (e.mode == "update" && (location.empty() || e.location == location)) return true;
    }
    return false;
}

PenChoice HeldSinceListed(const std::string& location) {
    // The other updater may have just told the pen to switch: it is off the
    // bus for a moment, and back in firmware-update mode, held, soon after.
    const auto until = std::chrono::steady_clock::now() + kBackFromSwitch;
    for (;;) {
        std::vector<DeviceEntry> entries;
        if (!ListPenInterfaces(entries)) return {};
        PenChoice choice = ChoosePen(GroupPens(entries), location, false);
        if (choice.exit == ExitCode::PenHeld) return choice;
        if (choice.exit != ExitCode::NoPen || std::chrono::steady_clock::now() >= until) return {};
        std::this_thread::sleep_for(kIdentifyPoll * 10);
    }
}

bool ChoosePenToWorkOn(const std::string& wantedPen, bool offerAll, RunReport& report,
                       std::string& location, std::string& details) {
    location.clear();
    details.clear();
    std::vector<DeviceEntry> entries;
    if (!ListPenInterfaces(entries)) {
        if (wantedPen.empty()) return true;
        report.SetExit(ExitCode::NoPen);
        report.SetError(
            {"the list of HID devices cannot be read, so no pen at " + wantedPen + " can be found",
             "FWUEnumDevices", ORVANE_ERROR_DEVICE_NOT_FOUND,
             LibraryErrorName(ORVANE_ERROR_DEVICE_NOT_FOUND)});
        return false;
    }
    const PenChoice choice = ChoosePen(GroupPens(entries), wantedPen, offerAll);
    if (choice.exit != ExitCode::Success) {
        report.SetExit(choice.exit);
        report.SetError({choice.message, "FWUEnumDevices", std::nullopt, ""});
        details = choice.details;
        // A script learns the locations from the report as from `list`.
        if (choice.exit != ExitCode::PenHeld) {
            for (DeviceEntry& e : entries) report.AddDevice(std::move(e));
        }
        return false;
    }
    if (!choice.location.empty()) {
        const ORVANE_ERROR selected = FWUSelectDevice(choice.location.c_str());
        if (selected != ORVANE_ERROR_NONE) {
            report.SetExit(ExitCode::Failure);
            report.SetError({"the pen at " + choice.location +
                                 " cannot be chosen: " + LibraryErrorText(selected),
                             "FWUSelectDevice", selected, LibraryErrorName(selected)});
            return false;
        }
    }
    location = choice.location;
    report.SetLocation(location);
    return true;
}

RunReport ListDevices(Terminal& terminal) {
    RunReport report("list");
    std::vector<DeviceEntry> entries;
    if (!ListPenInterfaces(entries)) {
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
                      "  " + e.path + "  " +
                      (e.location.empty() ? std::string("location unknown") : "at " + e.location) +
                      (e.held ? "  (held by another updater)" : ""));
        report.AddDevice(e);
    }
    if (entries.empty()) {
        terminal.Line("No pen found.");
        report.SetExit(ExitCode::NoPen);
        report.SetError({"no pen found", "FWUEnumDevices", std::nullopt, ""});
    }
    return report;
}

std::optional<ORVANE_ERROR> IdentifyUnlessInterrupted(FWUDEVICEINFO& info,
                                                      const Interrupt& interrupt) {
    auto call = std::make_shared<IdentifyCall>();
    std::thread worker;
    try {
        worker = std::thread([call] {
            call->result = FWUIdentifyDevice(&call->info);
            call->done.store(true, std::memory_order_release);
        });
    } catch (const std::exception&) {
        // No thread: the call runs here, and Ctrl-C waits for it.
        call->result = FWUIdentifyDevice(&call->info);
        call->done.store(true, std::memory_order_release);
    }
    while (!call->done.load(std::memory_order_acquire)) {
        if (interrupt.Requested()) {
            g_callAbandoned.store(true);
            worker.detach();
            return std::nullopt;
        }
        std::this_thread::sleep_for(kIdentifyPoll);
    }
    if (worker.joinable()) worker.join();
    info = call->info;
    return call->result;
}

bool LibraryCallAbandoned() { return g_callAbandoned.load(); }

RunReport ShowDeviceInfo(Terminal& terminal, const Interrupt& interrupt,
                         const std::string& wantedPen) {
    RunReport report("info");
    std::string location;
    std::string details;
    if (!ChoosePenToWorkOn(wantedPen, false, report, location, details)) {
        terminal.Line("penflash: " + report.Error()->message + ".");
        if (!details.empty()) terminal.Line(details);
        return report;
    }
    FWUDEVICEINFO info{};
    const std::optional<ORVANE_ERROR> identified = IdentifyUnlessInterrupted(info, interrupt);
    if (!identified) {
        terminal.Line("Interrupted (Ctrl-C) while the pen was being identified.");
        report.SetExit(ExitCode::Cancelled);
        report.SetError({"interrupted (Ctrl-C) while the pen was being identified", "interrupt",
                         std::nullopt, ""});
        return report;
    }
    const ORVANE_ERROR result = *identified;
    if (result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        const PenChoice held = HeldSinceListed(location);
        if (held.exit == ExitCode::PenHeld) {
            report.SetExit(held.exit);
            report.SetError({held.message, "FWUIdentifyDevice", result, LibraryErrorName(result)});
            terminal.Line("penflash: " + held.message + ".");
            terminal.Line(held.details);
            return report;
        }
    }
    if (result == ORVANE_ERROR_NONE || result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        report.SetIdentity(info.dwProductCode, info.dwExtraInfo);
        report.SetVersion("current", FormatVersion(info.dwFirmwareVersion));
        report.SetVersion("second", FormatVersion(info.dwVersion2));
        report.SetVersion("third", FormatVersion(info.dwVersion3));
        if (!location.empty()) terminal.Line("Location:          " + location);
        terminal.Line("Product code:      " + FormatHexByte(info.dwProductCode));
        terminal.Line("Firmware version:  " + FormatVersion(info.dwFirmwareVersion));
        terminal.Line("Second version:    " + FormatVersion(info.dwVersion2));
        terminal.Line("Third version:     " + FormatVersion(info.dwVersion3));
        terminal.Line("Extra byte:        " + FormatHexByte(info.dwExtraInfo));
    }
    report.SetExit(ExitForIdentify(result));
    if (result == ORVANE_ERROR_NONE) return report;

    if (result == ORVANE_ERROR_DEVICE_NOT_FOUND && PenInUpdateMode(location)) {
        // Not an error: the pen is there, only in its other mode, where its
        // loader tells its own version and nothing else.
        FWUDEVICEINFO loader{};
        const ORVANE_ERROR read = FWUIdentifyUpdateModeDevice(&loader);
        terminal.Line(
            "The pen is in firmware-update mode; `penflash update` completes an update "
            "from there.");
        if (read != ORVANE_ERROR_NONE) {
            const std::string why =
                std::string("its loader version cannot be read: ") + LibraryErrorText(read);
            terminal.Line("Refused: " + why + ".");
            report.SetExit(ExitCode::PenRefused);
            report.SetError({why, "FWUIdentifyUpdateModeDevice", read, LibraryErrorName(read)});
            return report;
        }
        if (!location.empty()) terminal.Line("Location:          " + location);
        report.SetVersion("updateMode", FormatVersion(loader.dwUpdateModeVersion));
        terminal.Line("Loader version:    " + FormatVersion(loader.dwUpdateModeVersion));
        report.SetExit(ExitCode::Success);
        return report;
    }
    std::string message = LibraryErrorText(result);
    if (result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        message = RefusedPenText(info.dwProductCode);
    }
    terminal.Line((result == ORVANE_ERROR_MODE_CHANGE_FAILED ? "Refused: " : "No identity: ") +
                  message + ".");
    report.SetError({message, "FWUIdentifyDevice", result, LibraryErrorName(result)});
    return report;
}

}  // namespace penflash

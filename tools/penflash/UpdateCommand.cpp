#include "UpdateCommand.h"

#include "DeviceCommands.h"
#include "FileBytes.h"
#include "LibraryErrors.h"
#include "PenflashVersion.h"
#include "Sha256.h"
#include "Spinner.h"
#include "TextFormat.h"
#include "UpdateCheck.h"

namespace penflash {

namespace {

// How often the spinner turns while the search result is awaited.
constexpr unsigned kSpinnerStepMs = 125;
// The least time between two redraws of the progress bar, unless the
// percentage changed.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

RunError LibraryError(const char* call, ORVANE_ERROR result, const std::string& message) {
    return {message, call, static_cast<int>(result), LibraryErrorName(result)};
}

}  // namespace

UpdateCommand::UpdateCommand(const Options& options, Terminal& terminal, const Interrupt& interrupt,
                             const std::uint8_t* builtin, std::size_t builtinSize)
    : m_options(options),
      m_terminal(terminal),
      m_interrupt(interrupt),
      m_builtin(builtin),
      m_builtinSize(builtinSize) {}

RunReport UpdateCommand::Run() {
    if (m_options.all) return RunAll();
    const auto start = Clock::now();
    // Each step reports its own failure; the image is checked before the
    // pen hears anything.
    const bool sent =
        LoadImage() && PickPen() && IdentifyPen() && Confirm(1) && SwitchAndFind() && Transfer();
    // The pen's lock is kept while the pen restarts, until it is checked.
    if (sent) FWUHoldPen(1);
    Close();
    if (sent) CheckAfterUpdate();
    const double seconds = std::chrono::duration<double>(Clock::now() - start - m_userTime).count();
    m_report.AddPhase("total", seconds);
    if (m_interruptHeld) m_report.SetInterruptHeld();
    ShowResult(seconds);
    m_terminal.WriteBehind(false);
    return m_report;
}

bool UpdateCommand::Fail(ExitCode code, RunError error) {
    m_report.SetExit(code);
    m_report.SetError(std::move(error));
    return false;
}

bool UpdateCommand::Interrupted() {
    if (!m_interrupt.Requested()) return false;
    m_terminal.EndStatus();
    // Once told to switch, the pen stays in firmware-update mode, where the
    // next run finds it and completes the update.
    Fail(ExitCode::Cancelled,
         {m_switched ? "interrupted (Ctrl-C) before the transfer; the pen is now in "
                       "firmware-update mode and its firmware was not changed"
                     : "interrupted (Ctrl-C) before the transfer; the pen's firmware was not "
                       "changed",
          "interrupt", std::nullopt, ""});
    return true;
}

double UpdateCommand::EndPhase(const char* name, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m_report.AddPhase(name, seconds);
    return seconds;
}

bool UpdateCommand::ReadImageFile() {
    m_fileRead = true;
    if (m_options.imagePath.empty()) return true;
    // An SZDD container is at most 9/8 of its image plus its header.
    return ReadFileBytes(m_options.imagePath, image::FirmwareImage::kMaxLength / 8 * 9 + 64,
                         m_imageFile, m_imageFileError);
}

bool UpdateCommand::LoadImage() {
    const auto start = Clock::now();
    if (!m_fileRead) ReadImageFile();
    const std::uint8_t* stored = m_builtin;
    std::size_t storedSize = m_builtinSize;
    std::string source = "built-in";
    std::string error;
    if (!m_options.imagePath.empty()) {
        source = m_options.imagePath;
        if (!m_imageFileError.empty()) {
            return Fail(ExitCode::BadImage, {m_imageFileError, "image", std::nullopt, ""});
        }
        stored = m_imageFile.data();
        storedSize = m_imageFile.size();
    }
    if (!image::FirmwareImage::FromStored(stored, storedSize, m_image, error)) {
        return Fail(ExitCode::BadImage, {source + ": " + error, "image", std::nullopt, ""});
    }
    const auto& bytes = m_image.Bytes();
    m_report.SetImage(source, m_image.WasCompressed(), bytes.size(),
                      Sha256::HexOf(bytes.data(), bytes.size()));
    if (m_options.imagePath.empty()) {
        m_newVersion = PENFLASH_IMAGE_VERSION_NAME;
        m_report.SetVersion("new", m_newVersion);
    }
    EndPhase("image", start);
    return !Interrupted();
}

bool UpdateCommand::FailIfHeld(const char* call, ORVANE_ERROR result) {
    const PenChoice held = HeldSinceListed(m_location);
    if (held.exit != ExitCode::PenHeld) return false;
    m_choiceDetails = held.details;
    Fail(held.exit, {held.message, call, result, LibraryErrorName(result)});
    return true;
}

bool UpdateCommand::PickPen() {
    // ShowResult says why it failed, and the details after it.
    return ChoosePenToWorkOn(m_options.pen, true, m_report, m_location, m_choiceDetails) &&
           !Interrupted();
}

bool UpdateCommand::IdentifyPen() {
    const auto start = Clock::now();
    FWUDEVICEINFO info{};
    const std::optional<ORVANE_ERROR> identified = IdentifyUnlessInterrupted(info, m_interrupt);
    EndPhase("identify", start);
    if (!identified) {
        return Fail(ExitCode::Cancelled,
                    {"interrupted (Ctrl-C) while the pen was being identified; the pen's "
                     "firmware was not changed",
                     "interrupt", std::nullopt, ""});
    }
    const ORVANE_ERROR result = *identified;
    if (result == ORVANE_ERROR_MODE_CHANGE_FAILED && FailIfHeld("FWUIdentifyDevice", result)) {
        return false;
    }
    std::string current;
    if (result == ORVANE_ERROR_NONE || result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        current = FormatVersion(info.dwFirmwareVersion);
        m_previousVersion = current;
        m_report.SetIdentity(info.dwProductCode, info.dwExtraInfo);
        m_report.SetVersion("current", current);
    }
    if (result == ORVANE_ERROR_MODE_CHANGE_FAILED) {
        return Fail(ExitCode::PenRefused,
                    LibraryError("FWUIdentifyDevice", result, RefusedPenText(info.dwProductCode)));
    }
    if (result == ORVANE_ERROR_NONE) {
        m_terminal.Line("Pen:               " PENFLASH_PRODUCT_NAME ", product code " +
                        FormatHexByte(info.dwProductCode) +
                        (m_location.empty() ? std::string() : ", at " + m_location));
    }
    if (result == ORVANE_ERROR_DEVICE_NOT_FOUND) {
        if (!PenInUpdateMode(m_location)) {
            return Fail(ExitCode::NoPen, LibraryError("FWUIdentifyDevice", result, "no pen found"));
        }
        // A pen left in firmware-update mode, by an update that did not end
        // for example: the search finds it without a switch.
        m_terminal.Line(
            "The pen is already in firmware-update mode; its firmware version "
            "cannot be read there.");
        current = "unknown";
        m_alreadyInUpdateMode = true;
    } else if (result != ORVANE_ERROR_NONE) {
        return Fail(ExitCode::PenRefused,
                    LibraryError("FWUIdentifyDevice", result, LibraryErrorText(result)));
    }
    const auto& bytes = m_image.Bytes();
    m_terminal.Line("Current firmware:  " + current);
    m_terminal.Line("New firmware:      " +
                    (m_newVersion.empty() ? m_options.imagePath : m_newVersion + " (built in)") +
                    ", " + GroupDigits(bytes.size()) + " bytes");
    return !Interrupted();
}

bool UpdateCommand::Confirm(std::size_t pens) {
    m_terminal.Line(pens > 1 ? "Warning: the update erases the notes stored in each pen. Copy them "
                               "to the computer first."
                             : "Warning: the update erases the notes stored in the pen. Copy them "
                               "to the computer first.");
    if (m_options.yes) return true;
    const auto asked = Clock::now();
    const Answer answer = m_terminal.Ask(
        pens > 1 ? "Update the firmware of all " + std::to_string(pens) + " pens now? [y/N] "
                 : std::string("Update the pen's firmware now? [y/N] "),
        m_interrupt);
    m_userTime += Clock::now() - asked;
    if (answer == Answer::Interrupted) return !Interrupted();
    if (answer == Answer::No) {
        return Fail(ExitCode::Cancelled,
                    {pens > 1 ? "not confirmed; no pen's firmware was changed"
                              : "not confirmed; the pen's firmware was not changed",
                     "confirmation", std::nullopt, ""});
    }
    return true;
}

bool UpdateCommand::SwitchAndFind() {
    if (m_waiter.Target() == nullptr) {
        return Fail(ExitCode::Failure,
                    {"the search result target cannot be made", "search", std::nullopt, ""});
    }
    FWUInit();
    m_libraryStarted = true;
    const auto start = Clock::now();
    m_terminal.Line(m_alreadyInUpdateMode ? "Looking for the pen in firmware-update mode..."
                                          : "Switching the pen to firmware-update mode...");
    const ORVANE_ERROR opened = FWUOpenDevice(m_waiter.Target());
    EndPhase("switch", start);
    if (opened == ORVANE_ERROR_MODE_CHANGE_FAILED && FailIfHeld("FWUOpenDevice", opened)) {
        return false;
    }
    if (opened != ORVANE_ERROR_NONE) {
        return Fail(ExitForOpen(opened),
                    LibraryError("FWUOpenDevice", opened, LibraryErrorText(opened)));
    }
    m_switched = true;
    return !Interrupted() && WaitForPen();
}

bool UpdateCommand::WaitForPen() {
    const auto start = Clock::now();
    const auto limit = std::chrono::seconds(m_options.searchTimeoutSeconds);
    const Spinner spinner("Waiting for the pen in firmware-update mode...");
    if (!m_terminal.Interactive() && !m_alreadyInUpdateMode) {
        m_terminal.Line("Waiting for the pen in firmware-update mode...");
    }
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool arrived = false;
    while (!arrived) {
        const double waited = std::chrono::duration<double>(Clock::now() - start).count();
        m_terminal.Status(spinner.Render(waited));
        if (Interrupted()) return false;
        if (Clock::now() - start >= limit) break;
        arrived = m_waiter.Wait(kSpinnerStepMs, wParam, lParam);
    }
    const double waited = EndPhase("search", start);
    m_terminal.EndStatus();
    if (!arrived) {
        const std::string why = "the pen did not come back in firmware-update mode within " +
                                std::to_string(m_options.searchTimeoutSeconds) + " s";
        m_searchTimedOut = true;
        return Fail(ExitCode::PenNotBack, {why, "search", std::nullopt, ""});
    }
    const ExitCode outcome = ExitForSearch(wParam, lParam);
    if (outcome == ExitCode::PenNotBack) {
        const std::string why =
            "the pen did not come back in firmware-update mode after the switch";
        return Fail(outcome, {why, "search", static_cast<int>(lParam), "NOT_FOUND_AFTER_SWITCH"});
    }
    if (outcome != ExitCode::Success) {
        return Fail(outcome, {"no pen found in firmware-update mode", "search",
                              static_cast<int>(lParam), "NOT_FOUND_NO_DEVICE"});
    }
    FWUDEVICEINFO info{};
    FWUGetDeviceInfo(&info);
    m_report.SetVersion("updateMode", FormatVersion(info.dwUpdateModeVersion));
    m_terminal.Line("Pen found in firmware-update mode after " + FormatSeconds(waited) +
                    " (its loader reports version " + FormatVersion(info.dwUpdateModeVersion) +
                    ").");
    return true;
}

bool UpdateCommand::Transfer() {
    if (Interrupted()) return false;
    const auto start = Clock::now();
    const ORVANE_ERROR started = FWUStartFirmwareUpdate();
    EndPhase("start", start);
    if (started != ORVANE_ERROR_NONE) {
        return Fail(ExitCode::TransferFailed,
                    LibraryError("FWUStartFirmwareUpdate", started, LibraryErrorText(started)));
    }

    // From here on Ctrl-C waits: the pen takes the image only whole.
    const auto& bytes = m_image.Bytes();
    m_terminal.Line("Sending the firmware (" + GroupDigits(bytes.size()) +
                    " bytes); do not unplug the pen.");
    const auto sendStart = Clock::now();
    m_lastDraw = sendStart;
    // The pen waits between blocks while progress is written: a terminal
    // whose output is stopped must not hold up the transfer. Written behind
    // until the run ends.
    m_terminal.WriteBehind(true);
    FWUSetProgressCallback(&UpdateCommand::ProgressThunk, this);
    // The library only reads the buffer; its parameter is not const for
    // the sake of the calls' long-standing signatures.
    const ORVANE_ERROR sent =
        FWUSendFirmware(const_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    FWUSetProgressCallback(nullptr, nullptr);
    m_terminal.EndStatus();
    EndPhase("transfer", sendStart);
    if (m_interrupt.Requested() && !m_interruptHeld) {
        // It came after the last block, while the pen wrote its flash.
        m_interruptHeld = true;
        m_terminal.Line(
            "Ctrl-C came while the pen was confirming the image: the update went on "
            "to its end, since an interrupted one would leave the pen half written.");
    }
    if (m_interruptHeld) m_terminal.Line("The transfer has ended (Ctrl-C was held until now).");
    if (sent != ORVANE_ERROR_NONE) {
        return Fail(ExitCode::TransferFailed,
                    LibraryError("FWUSendFirmware", sent, LibraryErrorText(sent)));
    }
    return true;
}

void PENLINK_CALL UpdateCommand::ProgressThunk(void* context, unsigned sent, unsigned total) {
    static_cast<UpdateCommand*>(context)->OnProgress(sent, total);
}

void UpdateCommand::OnProgress(unsigned sent, unsigned total) {
    if (m_interrupt.Requested() && !m_interruptHeld) {
        m_interruptHeld = true;
        m_terminal.Line(
            "Ctrl-C: the transfer goes on to its end, since an interrupted transfer "
            "would leave the pen half written.");
    }
    if (m_terminal.Interactive()) {
        const unsigned percent = PercentDone(sent, total);
        const auto now = Clock::now();
        if (percent != m_lastPercentDrawn || now - m_lastDraw >= kRedrawInterval) {
            m_terminal.Status("Sending " + m_bar.Render(sent, total));
            m_lastPercentDrawn = percent;
            m_lastDraw = now;
        }
    } else {
        for (unsigned percent : m_milestones.Advance(sent, total)) {
            char head[24];
            std::snprintf(head, sizeof head, "Sent %3u%%  ", percent);
            m_terminal.Line(head + GroupDigits(sent) + " / " + GroupDigits(total) + " bytes");
        }
    }
    if (sent == total) {
        // The pen answers only once its flash is written, which takes a while.
        m_terminal.EndStatus();
        m_terminal.Line(
            "All bytes sent; waiting for the pen to confirm the image while it "
            "writes its flash (this can take several seconds)...");
    }
}

void UpdateCommand::Close() {
    if (!m_libraryStarted) return;
    const auto start = Clock::now();
    const ORVANE_ERROR closed = FWUCloseDevice();
    EndPhase("close", start);
    if (m_searchTimedOut) ReportLateArrival();
    if (closed != ORVANE_ERROR_NONE && m_report.Exit() == ExitCode::Success) {
        // The pen took the image and its first closing command already.
        m_terminal.Line(std::string("Note: the final closing command failed: ") +
                        LibraryErrorText(closed) + ".");
    }
}

void UpdateCommand::CheckAfterUpdate() {
    const auto start = Clock::now();
    CheckTarget target;
    target.location = m_location;
    target.previous = m_previousVersion;
    target.expected = m_options.imagePath.empty() ? m_newVersion : m_options.expectVersion;
    target.timeoutSeconds = m_options.verifyTimeoutSeconds;
    std::string why;
    m_verification = UpdateCheck(target, m_terminal, m_interrupt).Run(why);
    FWUHoldPen(0);
    EndPhase("verify", start);
    m_report.SetVerification(m_verification);
    if (!m_verification.version.empty()) m_report.SetVersion("after", m_verification.version);
    const ExitCode code = ExitForCheck(m_verification.outcome);
    if (code != ExitCode::Success) Fail(code, {why, "verification", std::nullopt, ""});
}

void UpdateCommand::ReportLateArrival() {
    // The search found the pen after the limit, before FWUCloseDevice
    // stopped it: the closing command then went to the pen.
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    if (!m_waiter.Wait(0, wParam, lParam) || ExitForSearch(wParam, lParam) != ExitCode::Success) {
        return;
    }
    Fail(ExitCode::PenNotBack,
         {"the pen came back in firmware-update mode only after the limit of " +
              std::to_string(m_options.searchTimeoutSeconds) +
              " s, and was told to leave that mode again; its firmware was not changed",
          "search", std::nullopt, ""});
    m_choiceDetails = "Run `penflash update" +
                      (m_options.pen.empty() ? std::string() : " --pen " + m_options.pen) +
                      "` again with a longer --search-timeout; if the pen stays in "
                      "firmware-update mode, that completes the update too.";
}

void UpdateCommand::ShowResult(double seconds) {
    const std::string took = " Took " + FormatSeconds(seconds) + ".";
    const ExitCode code = m_report.Exit();
    if (code == ExitCode::Success) {
        m_terminal.Line("Update complete: " +
                        (m_newVersion.empty() ? std::string("the image was")
                                              : "firmware " + m_newVersion + " was") +
                        " sent and acknowledged, and the pen is back running firmware " +
                        m_verification.version + "." + took);
        m_terminal.Line("The pen is ready to use.");
        return;
    }
    const auto& error = m_report.Error();
    const std::string why = error ? error->message : std::string("unknown");
    const bool checked = !m_verification.outcome.empty();
    const char* verdict = checked                       ? "Update not verified"
                          : code == ExitCode::Cancelled ? "Update cancelled"
                          : code == ExitCode::SeveralPens || code == ExitCode::PenHeld
                              ? "Update not started"
                              : "Update failed";
    m_terminal.Line(std::string(verdict) + " (" + ExitCodeName(code) + "): " + why + "." + took);
    if (!m_choiceDetails.empty()) {
        m_terminal.Line(m_choiceDetails);
        return;
    }
    // With several pens, only --pen takes this one again.
    const std::string again =
        "`penflash update" + (m_options.pen.empty() ? "" : " --pen " + m_options.pen) + "` again";
    std::string hint;
    switch (code) {
        case ExitCode::NoPen: hint = "Connect the pen with its USB cable and try again."; break;
        case ExitCode::PenNotBack: hint = "Unplug the pen, plug it in again and retry."; break;
        case ExitCode::BadImage: hint = "Nothing was sent to the pen."; break;
        case ExitCode::NotApplied:
            hint = "The pen kept its old firmware. Run " + again +
                   "; if it comes back with the same version again, the image may not be "
                   "one this pen takes.";
            break;
        case ExitCode::StayedInUpdateMode:
            hint = "The pen waits in firmware-update mode for a firmware. Run " + again +
                   " to send it again; if it stays there, unplug the pen, plug it in again "
                   "and retry.";
            break;
        case ExitCode::DidNotReturn:
            hint =
                "Unplug the pen and plug it in again, then see which firmware it runs with "
                "`penflash info`" +
                std::string(m_options.pen.empty() ? "" : " --pen " + m_options.pen) + ", and run " +
                again + " if it is not the new one.";
            break;
        case ExitCode::Cancelled:
            if (checked) {
                hint = "See which firmware the pen runs with `penflash info`.";
                break;
            }
            if (m_switched) hint = "Run " + again + " to complete the update.";
            break;
        case ExitCode::TransferFailed:
            hint = "Run " + again +
                   " to retry; it also finds a pen that stayed in "
                   "firmware-update mode.";
            break;
        default: break;
    }
    if (!hint.empty()) m_terminal.Line(hint);
}

}  // namespace penflash

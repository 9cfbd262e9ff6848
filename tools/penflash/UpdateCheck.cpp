#include "UpdateCheck.h"

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "DeviceCommands.h"
#include "LibraryErrors.h"
#include "Penlink.h"
#include "Spinner.h"
#include "TextFormat.h"

namespace penflash {

namespace {

using Clock = std::chrono::steady_clock;

// How often the bus is looked at while the pen restarts.
constexpr auto kLookInterval = std::chrono::milliseconds(200);
// A pen back in firmware-update mode after its restart counts as staying
// there once it has been there this long: a loader that hands over to new
// firmware does so at once.
constexpr auto kSettleInUpdateMode = std::chrono::seconds(3);

// Which of the pen's modes are on the bus at location (empty: any pen).
struct Presence {
    bool normal = false;
    bool update = false;
};

Presence LookAt(const std::string& location) {
    Presence p;
    std::vector<DeviceEntry> entries;
    if (!ListPenInterfaces(entries)) return p;
    for (const DeviceEntry& e : entries) {
        if (!location.empty() && e.location != location) continue;
        (e.mode == "update" ? p.update : p.normal) = true;
    }
    return p;
}

}  // namespace

const char* JudgeVersion(const std::string& version, const std::string& expected,
                         const std::string& previous) {
    if (!expected.empty()) return version == expected ? "verified" : "not-applied";
    return previous.empty() || version != previous ? "verified" : "not-applied";
}

ExitCode ExitForCheck(const std::string& outcome) {
    if (outcome == "verified") return ExitCode::Success;
    if (outcome == "not-applied") return ExitCode::NotApplied;
    if (outcome == "stayed-in-update-mode") return ExitCode::StayedInUpdateMode;
    if (outcome == "did-not-return") return ExitCode::DidNotReturn;
    if (outcome == "interrupted") return ExitCode::Cancelled;
    return ExitCode::Failure;
}

UpdateCheck::UpdateCheck(CheckTarget target, Terminal& terminal, const Interrupt& interrupt)
    : m_target(std::move(target)), m_terminal(terminal), m_interrupt(interrupt) {}

Verification UpdateCheck::End(Verification v, std::string& message, const std::string& why) {
    m_terminal.EndStatus();
    message = why;
    return v;
}

Verification UpdateCheck::Run(std::string& message) {
    const auto start = Clock::now();
    const auto limit = std::chrono::seconds(m_target.timeoutSeconds);
    Verification v;
    v.expected = m_target.expected;
    v.previous = m_target.previous;
    const auto took = [&] {
        v.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return v;
    };
    const Spinner spinner("Checking the update: waiting for the pen to restart...");
    if (m_interrupt.Requested()) {
        // Held during the transfer: the user asked to stop.
        v.outcome = "interrupted";
        return End(v, message,
                   "the image was sent and acknowledged; the check after the update was "
                   "skipped (Ctrl-C)");
    }
    m_terminal.Line("Checking the update: waiting up to " +
                    std::to_string(m_target.timeoutSeconds) +
                    " s for the pen to restart in normal mode...");
    bool seenGone = false;
    bool backInUpdateMode = false;  // since backSince, after it was gone
    Clock::time_point backSince;
    std::string unanswered;  // why the pen back in normal mode was not read
    Presence present;
    for (;;) {
        m_terminal.Status(
            spinner.Render(std::chrono::duration<double>(Clock::now() - start).count()));
        if (m_interrupt.Requested()) {
            v.outcome = "interrupted";
            return End(took(), message,
                       "the image was sent and acknowledged, but the check after the update "
                       "was interrupted (Ctrl-C)");
        }
        present = LookAt(m_target.location);
        if (present.normal) {
            FWUDEVICEINFO info{};
            const std::optional<ORVANE_ERROR> identified =
                IdentifyUnlessInterrupted(info, m_interrupt);
            if (!identified) continue;  // Ctrl-C: said at the loop's top
            if (*identified == ORVANE_ERROR_NONE ||
                *identified == ORVANE_ERROR_MODE_CHANGE_FAILED) {
                v.version = FormatVersion(info.dwFirmwareVersion);
                v.outcome = JudgeVersion(v.version, v.expected, v.previous);
                took();
                if (v.outcome == "verified") return End(v, message, "");
                std::string why = "the pen came back running firmware " + v.version;
                why += v.version == v.previous ? ", the version it had before the update"
                                               : ", not the expected " + v.expected;
                return End(v, message, why);
            }
            unanswered = std::string(
                             "it came back in normal mode but its identity cannot be "
                             "read: ") +
                         LibraryErrorText(*identified);
        } else if (!present.update) {
            seenGone = true;
            backInUpdateMode = false;
        } else if (seenGone && !backInUpdateMode) {
            backInUpdateMode = true;
            backSince = Clock::now();
        }
        if (backInUpdateMode && Clock::now() - backSince >= kSettleInUpdateMode) break;
        if (Clock::now() - start >= limit) break;
        std::this_thread::sleep_for(kLookInterval);
    }
    took();
    if (present.update && !present.normal) {
        v.outcome = "stayed-in-update-mode";
        return End(v, message,
                   seenGone ? "the pen restarted but came back in firmware-update mode"
                            : "the pen stayed in firmware-update mode after the update");
    }
    v.outcome = "did-not-return";
    return End(v, message,
               unanswered.empty() ? "the pen did not come back in normal mode within " +
                                        std::to_string(m_target.timeoutSeconds) + " s"
                                  : unanswered);
}

}  // namespace penflash

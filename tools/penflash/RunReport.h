// What one run of penflash found and did, gathered as it goes and printed
// as one JSON object at the end with --json. Pure code: no I/O.
#ifndef PENFLASH_RUNREPORT_H
#define PENFLASH_RUNREPORT_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ExitCode.h"

namespace penflash {

// One HID interface that matches the pen's IDs.
struct DeviceEntry {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string mode;  // "normal" or "update"
    std::uint16_t inputLength = 0;
    std::uint16_t outputLength = 0;
    std::string path;
    std::string location;  // where the pen is plugged in; empty where the system tells none
    bool held = false;     // another updater holds this pen
};

// How one pen of update --all went: its own process's exit code and the
// JSON report it printed.
struct PenOutcome {
    std::string location;
    int exitCode = 1;
    std::string report;   // the process's JSON report; may be empty or broken
    std::string failure;  // why it could not run or ended abnormally; empty otherwise
};

// What the check after the update found: its outcome ("verified",
// "not-applied", "stayed-in-update-mode", "did-not-return", "interrupted"),
// the version the pen runs now (empty: not read), the version expected
// and the one it had (empty: none known), and how long the check took.
struct Verification {
    std::string outcome;
    std::string version;
    std::string expected;
    std::string previous;
    double seconds = 0;
};

// Why the run failed: always a message; the call that failed and its
// result where a library call or the search said so.
struct RunError {
    std::string message;
    std::string call;         // "FWUSendFirmware", "search", "image", ...
    std::optional<int> code;  // the call's result value
    std::string codeName;     // its name, "ORVANE_ERROR_BAD_ACK"
};

class RunReport {
public:
    // Every member function: any thread, one at a time per object.
    explicit RunReport(std::string command) : m_command(std::move(command)) {}

    // Names the emulated scenario the run used. Returns nothing.
    void SetEmulated(const std::string& scenario) { m_scenario = scenario; }
    // Records where the pen worked on is plugged in (empty: unknown).
    // Returns nothing.
    void SetLocation(const std::string& location) { m_location = location; }
    // Sets the outcome (Success until set). Returns nothing.
    void SetExit(ExitCode code) { m_exit = code; }
    // Returns the outcome set last, Success when none was.
    ExitCode Exit() const { return m_exit; }
    // Records why the run failed. Returns nothing.
    void SetError(RunError error) { m_error = std::move(error); }
    // Returns the error recorded, or nothing when the run has not failed.
    const std::optional<RunError>& Error() const { return m_error; }

    // Records the pen's identity from its normal-mode reply. Returns nothing.
    void SetIdentity(std::uint32_t productCode, std::uint32_t extraInfo) {
        m_productCode = productCode;
        m_extraInfo = extraInfo;
    }
    // Records a named version ("current", "new", "updateMode", "second",
    // "third"); a second value for a name replaces the first. Returns
    // nothing.
    void SetVersion(const std::string& name, const std::string& version);
    // Records the image sent. Returns nothing.
    void SetImage(const std::string& source, bool compressed, std::uint64_t length,
                  std::string sha256);
    // Records a phase's duration; phases keep the order in which they were
    // added. Returns nothing.
    void AddPhase(const std::string& name, double seconds);
    // Adds one matching HID interface to the list. Returns nothing.
    void AddDevice(DeviceEntry entry);
    // Adds one pen's outcome to the "pens" list of update --all. Returns
    // nothing.
    void AddPen(PenOutcome pen);
    // Records the check after the update. Returns nothing.
    void SetVerification(Verification verification) { m_verification = std::move(verification); }
    // Marks a Ctrl-C that came during the transfer and was held until its
    // end. Returns nothing.
    void SetInterruptHeld() { m_interruptHeld = true; }

    // Returns the report as one JSON object (indented text, ending in a line
    // break): "command", "result" (the exit code's name), "exitCode", then
    // whichever of "emulated", "location", "device", "versions", "image", "devices"
    // (always for "list"; each with its "location", null where unknown),
    // "pens" (update --all: one object per pen, its own report with its
    // "location" first and "exitCode" and "result" as its process ended, or
    // where it printed none a "location", "exitCode", "result" and "error"),
    // "verification" ({"outcome", "version", "expected", "previous",
    // "seconds"}, the versions null where unknown), "durationsMs",
    // "interruptHeld" were set, and "error" (null on
    // success). Bytes that are not UTF-8 are replaced.
    std::string ToJson() const;

private:
    std::string m_command;
    std::string m_scenario;
    std::string m_location;
    ExitCode m_exit = ExitCode::Success;
    std::optional<RunError> m_error;
    std::optional<std::uint32_t> m_productCode;
    std::uint32_t m_extraInfo = 0;
    std::vector<std::pair<std::string, std::string>> m_versions;
    bool m_hasImage = false;
    std::string m_imageSource;
    bool m_imageCompressed = false;
    std::uint64_t m_imageLength = 0;
    std::string m_imageSha256;
    std::vector<std::pair<std::string, double>> m_phases;
    bool m_listed = false;
    std::vector<DeviceEntry> m_devices;
    bool m_hasPens = false;
    std::vector<PenOutcome> m_pens;
    bool m_interruptHeld = false;
    std::optional<Verification> m_verification;
};

}  // namespace penflash

#endif  // PENFLASH_RUNREPORT_H

// update --all: every pen at once, each in a penflash process of its own.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "DeviceCommands.h"
#include "LibraryErrors.h"
#include "PenProcesses.h"
#include "TextFormat.h"
#include "UpdateCommand.h"

namespace penflash {

namespace {

// The message of a pen's failure: from its own report where it printed one.
std::string PenFailure(const PenRun& run) {
    if (!run.failure.empty()) return run.failure;
    const nlohmann::json report = nlohmann::json::parse(run.report, nullptr, false);
    if (report.is_object() && report.contains("error") && report["error"].is_object() &&
        report["error"].contains("message") && report["error"]["message"].is_string()) {
        return report["error"]["message"].get<std::string>();
    }
    return "exit code " + std::to_string(run.exitCode);
}

}  // namespace

RunReport UpdateCommand::RunAll() {
    const auto start = Clock::now();
    std::vector<Pen> pens;
    static_cast<void>(LoadImage() && ListAllPens(pens) && Confirm(pens.size()) && RunPens(pens));
    const double seconds = std::chrono::duration<double>(Clock::now() - start - m_userTime).count();
    m_report.AddPhase("total", seconds);
    ShowAllResult(seconds);
    return m_report;
}

bool UpdateCommand::ListAllPens(std::vector<Pen>& pens) {
    std::vector<DeviceEntry> entries;
    if (!ListPenInterfaces(entries)) {
        return Fail(ExitCode::NoPen, {"the list of HID devices cannot be read", "FWUEnumDevices",
                                      ORVANE_ERROR_DEVICE_NOT_FOUND,
                                      LibraryErrorName(ORVANE_ERROR_DEVICE_NOT_FOUND)});
    }
    pens = GroupPens(entries);
    if (pens.empty()) {
        return Fail(ExitCode::NoPen, {"no pen found", "FWUEnumDevices", std::nullopt, ""});
    }
    const bool unknown =
        std::any_of(pens.begin(), pens.end(), [](const Pen& pen) { return pen.location.empty(); });
    if (pens.size() > 1 && unknown) {
        // Each process is told its pen by location; these cannot be told.
        for (DeviceEntry& e : entries) m_report.AddDevice(std::move(e));
        m_choiceDetails = "The pens:";
        for (const Pen& pen : pens) m_choiceDetails += "\n" + PenLine(pen);
        m_choiceDetails +=
            "\nA pen without a location can be updated only while it is the only "
            "pen plugged in.";
        return Fail(ExitCode::SeveralPens,
                    {"the system tells the location of not every pen, so they cannot be updated "
                     "side by side; nothing was sent to any of them",
                     "FWUEnumDevices", std::nullopt, ""});
    }
    m_terminal.Line(pens.size() == 1 ? std::string("Pen to update:")
                                     : std::to_string(pens.size()) + " pens to update:");
    for (const Pen& pen : pens) m_terminal.Line(PenLine(pen));
    const auto& bytes = m_image.Bytes();
    m_terminal.Line("New firmware:      " +
                    (m_newVersion.empty() ? m_options.imagePath : m_newVersion + " (built in)") +
                    ", " + GroupDigits(bytes.size()) + " bytes");
    return !Interrupted();
}

std::vector<std::string> UpdateCommand::PenArgs(const Pen& pen) const {
    // The "=" forms keep a value that starts with "-" a value.
    std::vector<std::string> args = {
        "update", "--yes", "--json",
        "--search-timeout=" + std::to_string(m_options.searchTimeoutSeconds)};
    // A pen without a location is the only one (ListAllPens).
    if (!pen.location.empty()) args.push_back("--pen=" + pen.location);
    if (!m_options.imagePath.empty()) args.push_back("--image=" + m_options.imagePath);
    // Each process checks its pen after the update, and records its own run.
    args.push_back("--verify-timeout=" + std::to_string(m_options.verifyTimeoutSeconds));
    if (!m_options.expectVersion.empty()) {
        args.push_back("--expect-version=" + m_options.expectVersion);
    }
    if (!m_recording.empty()) {
        // A location may hold a path's separators; the file stays beside the named one.
        std::string suffix = pen.location.empty() ? std::string("pen") : pen.location;
        for (char& c : suffix) {
            if (c == '/' || c == '\\' || c == ':') c = '_';
        }
        args.push_back("--record=" + m_recording + "." + suffix);
    }
    if (!m_options.emulate.empty()) {
        args.push_back("--emulate=" + m_options.emulate);
        args.push_back("--emulate-pens=" + std::to_string(m_options.emulatePens));
        // Each process emulates the one pen it updates.
        if (!pen.location.empty()) args.push_back("--emulate-chosen-only");
        if (!m_transcript.empty()) {
            args.push_back("--transcript=" + m_transcript + "." +
                           (pen.location.empty() ? std::string("pen") : pen.location));
        }
    }
    return args;
}

bool UpdateCommand::RunPens(const std::vector<Pen>& pens) {
    if (Interrupted()) return false;
    const std::string program = OwnProgramPath();
    if (program.empty()) {
        return Fail(ExitCode::Failure, {"the path of this program cannot be found, so it cannot "
                                        "be run once per pen",
                                        "pens", std::nullopt, ""});
    }
    std::vector<PenRun> runs;
    std::size_t width = 0;
    for (const Pen& pen : pens) {
        PenRun run;
        run.location = pen.location.empty() ? pen.path : pen.location;
        run.args = PenArgs(pen);
        width = std::max(width, run.location.size());
        runs.push_back(std::move(run));
    }
    // One line per pen: its location and the last line its process wrote.
    std::vector<std::string> board;
    for (const PenRun& run : runs) {
        board.push_back(run.location + std::string(width - run.location.size(), ' ') +
                        "  starting");
    }
    m_terminal.Line("Updating " + std::to_string(runs.size()) +
                    (runs.size() == 1 ? " pen" : " pens side by side") +
                    "; do not unplug any of them.");
    // A terminal that cannot redraw a block gets every line, as a file does.
    const bool redrawn = m_terminal.Board(board);
    const auto start = Clock::now();
    RunPenProcesses(program, runs, m_interrupt, [&](std::size_t i, const std::string& line) {
        if (line.empty()) return;
        const std::string head =
            runs[i].location + std::string(width - runs[i].location.size(), ' ') + "  ";
        if (redrawn) {
            board[i] = head + line;
            m_terminal.Board(board);
        } else {
            m_terminal.Line(head + line);
        }
    });
    EndPhase("pens", start);

    const PenRun* first = nullptr;  // the first pen, in the listed order, that failed
    std::size_t failures = 0;
    for (const PenRun& run : runs) {
        const std::string head =
            "  " + run.location + std::string(width - run.location.size(), ' ');
        if (run.exitCode == 0 && run.failure.empty()) {
            m_penSummary.push_back(head + "  updated");
        } else {
            m_penSummary.push_back(head + "  " + ExitCodeName(ExitCodeOf(run.exitCode)) +
                                   " (exit code " + std::to_string(run.exitCode) +
                                   "): " + PenFailure(run));
            ++failures;
            if (first == nullptr) first = &run;
        }
        m_report.AddPen({run.location, run.exitCode, run.report, run.failure});
    }
    if (first == nullptr) return true;
    return Fail(first->exitCode == 0 ? ExitCode::Failure : ExitCodeOf(first->exitCode),
                {std::to_string(failures) + " of " + std::to_string(runs.size()) +
                     " pens failed; the first, at " + first->location + ": " + PenFailure(*first),
                 "pens", first->exitCode, ""});
}

void UpdateCommand::ShowAllResult(double seconds) {
    const std::string took = " Took " + FormatSeconds(seconds) + ".";
    const ExitCode code = m_report.Exit();
    for (const std::string& line : m_penSummary) m_terminal.Line(line);
    if (code == ExitCode::Success) {
        m_terminal.Line("Update complete on every pen (" + std::to_string(m_penSummary.size()) +
                        ")." + took);
        return;
    }
    const auto& error = m_report.Error();
    const std::string why = error ? error->message : std::string("unknown");
    const char* verdict = !m_penSummary.empty()           ? "Update failed"
                          : code == ExitCode::Cancelled   ? "Update cancelled"
                          : code == ExitCode::SeveralPens ? "Update not started"
                                                          : "Update failed";
    m_terminal.Line(std::string(verdict) + " (" + ExitCodeName(code) + "): " + why + "." + took);
    if (!m_choiceDetails.empty()) m_terminal.Line(m_choiceDetails);
    if (!m_penSummary.empty()) {
        m_terminal.Line(
            "Run `penflash update --pen LOCATION` for a pen that failed; it also "
            "finds a pen that stayed in firmware-update mode.");
    }
}

}  // namespace penflash

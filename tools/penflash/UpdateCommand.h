// penflash update: the whole firmware update through the library's calls,
// in their order: image, identity and versions, warning and confirmation,
// switch and search, transfer, close.
#ifndef PENFLASH_UPDATECOMMAND_H
#define PENFLASH_UPDATECOMMAND_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FirmwareImage.h"
#include "Interrupt.h"
#include "PenChoice.h"
#include "ProgressBar.h"
#include "ProgressMilestones.h"
#include "RunReport.h"
#include "SearchWaiter.h"
#include "Terminal.h"

namespace penflash {

class UpdateCommand {
public:
    // builtin[0, builtinSize) is the image used when options.imagePath is
    // empty. Makes the search target, so the main thread makes the object.
    UpdateCommand(const Options& options, Terminal& terminal, const Interrupt& interrupt,
                  const std::uint8_t* builtin, std::size_t builtinSize);

    // Reads the file of options.imagePath whole into memory (nothing when
    // it is empty), so that the caller can do it before it opens any other
    // file; Run reads it itself otherwise. Returns false when the file is
    // not a regular file or cannot be read; Run then ends with BadImage
    // before the pen hears anything. Main thread, at most once, before Run.
    bool ReadImageFile();

    // Names the transcript file of the emulated bus (empty: none), so that
    // update --all can give each pen's process a file of its own, the name
    // followed by "." and the pen's location. Main thread, before Run.
    void SetTranscript(const std::string& path) { m_transcript = path; }
    // Names the file of --record (empty: none); update --all gives each
    // pen's process a file of its own, as with the transcript. Main thread,
    // before Run.
    void SetRecording(const std::string& path) { m_recording = path; }

    // Runs the update (with --all, see RunAll). Returns the report, whose
    // exit code says how it ended: Success; BadImage before anything
    // reached the pen; SeveralPens, PenHeld, or NoPen for a --pen that no
    // pen is at, before anything reached any pen (see ChoosePenToWorkOn);
    // NoPen, PenRefused, PenNotBack; TransferFailed; after a transfer that
    // ended well, the check's NotApplied, StayedInUpdateMode, DidNotReturn,
    // or Cancelled for a Ctrl-C during it (see UpdateCheck); Cancelled when
    // not confirmed or interrupted before the transfer; Failure when the search target could
    // not be made. Whatever happens after FWUInit, FWUCloseDevice follows.
    // A Ctrl-C during the transfer is held until the transfer ends; one
    // during the identification leaves that call running (see
    // IdentifyUnlessInterrupted). Main thread, once.
    RunReport Run();

private:
    using Clock = std::chrono::steady_clock;

    bool LoadImage();
    // A call refused the pen: when another updater holds it now, fails with
    // PenHeld and its message and returns true; false otherwise.
    bool FailIfHeld(const char* call, ORVANE_ERROR result);
    bool PickPen();
    bool IdentifyPen();
    bool Confirm(std::size_t pens);
    bool SwitchAndFind();
    bool WaitForPen();
    bool Transfer();
    void Close();
    // After a transfer that ended well and the close: waits for the pen to
    // restart and checks its version (UpdateCheck), keeping the pen's lock
    // until then; a check that does not verify fails the run with its code.
    void CheckAfterUpdate();
    // After a search that ran out of time: when the search result came in
    // the meantime, says that the pen came back late and was sent away.
    void ReportLateArrival();
    void ShowResult(double seconds);

    // update --all: the image is checked, the pens are
    // listed and shown, one confirmation is asked for all of them, and each
    // pen is updated by a penflash process of its own (--pen LOCATION --yes
    // --json), all at once, with a line per pen that follows its progress.
    // The report holds each pen's outcome under "pens"; its exit code is
    // Success when every pen's process succeeded, else the code of the first
    // pen, in the listed order, whose process failed; BadImage, NoPen,
    // SeveralPens (more than one pen, not each with a location), Cancelled
    // and Failure (this program cannot be started again) before any
    // process starts. Ctrl-C while they run is passed on to each of them.
    RunReport RunAll();
    bool ListAllPens(std::vector<Pen>& pens);
    bool RunPens(const std::vector<Pen>& pens);
    std::vector<std::string> PenArgs(const Pen& pen) const;
    void ShowAllResult(double seconds);

    // Records the failure and returns false.
    bool Fail(ExitCode code, RunError error);
    // When Ctrl-C came: records the cancellation and returns true.
    bool Interrupted();
    // Records the time since start as phase name and returns it in seconds.
    double EndPhase(const char* name, Clock::time_point start);
    void OnProgress(unsigned sent, unsigned total);
    static void PENLINK_CALL ProgressThunk(void* context, unsigned sent, unsigned total);

    const Options& m_options;
    Terminal& m_terminal;
    const Interrupt& m_interrupt;
    const std::uint8_t* m_builtin;
    std::size_t m_builtinSize;

    RunReport m_report{"update"};
    bool m_fileRead = false;                // ReadImageFile ran
    std::vector<std::uint8_t> m_imageFile;  // the file's bytes
    std::string m_imageFileError;           // why it could not be read
    image::FirmwareImage m_image;
    std::string m_newVersion;
    std::string m_previousVersion;          // the pen's firmware before the update; empty: unknown
    Verification m_verification;            // the check after the update; outcome empty: none ran
    std::string m_location;                 // the chosen pen's; empty: no choice was made
    std::string m_choiceDetails;            // what to do when no pen could be chosen
    std::string m_transcript;               // the emulated bus's transcript file; empty: none
    std::string m_recording;                // the --record file; empty: none
    std::vector<std::string> m_penSummary;  // update --all: a closing line per pen
    SearchWaiter m_waiter;
    bool m_alreadyInUpdateMode = false;  // no normal-mode pen, one in update mode
    bool m_libraryStarted = false;       // FWUInit was called: FWUCloseDevice is owed
    bool m_switched = false;       // FWUOpenDevice succeeded: the pen is (going) in update mode
    Clock::duration m_userTime{};  // time spent waiting for the user's answer

    ProgressBar m_bar;
    ProgressMilestones m_milestones;
    unsigned m_lastPercentDrawn = 101;
    Clock::time_point m_lastDraw;
    bool m_interruptHeld = false;
    bool m_searchTimedOut = false;  // WaitForPen gave up at the limit
};

}  // namespace penflash

#endif  // PENFLASH_UPDATECOMMAND_H

// The check after the update: once the closing commands are sent, the pen
// restarts. penflash waits for it to come back in normal mode at the same
// location, reads its firmware version without switching it, and says
// whether the new firmware took.
#ifndef PENFLASH_UPDATECHECK_H
#define PENFLASH_UPDATECHECK_H

#include <string>

#include "ExitCode.h"
#include "Interrupt.h"
#include "RunReport.h"
#include "Terminal.h"

namespace penflash {

// What the pen was and what it should run now.
struct CheckTarget {
    std::string location;  // where the pen is plugged in; empty: the one pen present
    std::string previous;  // "X.YY" it ran before the update; empty: unknown
    std::string expected;  // "X.YY" it should run now; empty: none known
    unsigned timeoutSeconds = 30;
};

// Returns how a pen back in normal mode running version is judged:
// "verified" when it runs expected, or, with no expected version, when it
// runs another version than previous (or previous is unknown);
// "not-applied" otherwise. Any thread.
const char* JudgeVersion(const std::string& version, const std::string& expected,
                         const std::string& previous);

// Returns the exit code of an outcome of the check: Success for
// "verified", NotApplied, StayedInUpdateMode, DidNotReturn, Cancelled for
// "interrupted", Failure for any other text. Any thread.
ExitCode ExitForCheck(const std::string& outcome);

class UpdateCheck {
public:
    UpdateCheck(CheckTarget target, Terminal& terminal, const Interrupt& interrupt);

    // Waits up to target.timeoutSeconds for the pen to restart: to leave the
    // bus and come back. A pen back in normal mode is identified
    // (FWUIdentifyDevice, tried again until the limit while it does not
    // answer) and its version judged; one back in firmware-update mode that
    // stays there for a few seconds, or that is there when the time is up,
    // stayed in firmware-update mode; none there when the time is up did
    // not return. Ctrl-C, also one held during the transfer, ends the wait
    // (or skips it) as "interrupted" (an identification
    // in progress is left running; see IdentifyUnlessInterrupted). Shows
    // the outcome with what to do next. Returns the verification for the
    // report, its message in message. The caller holds the pen's lock
    // throughout (FWUHoldPen). Main thread, after FWUCloseDevice.
    Verification Run(std::string& message);

private:
    Verification End(Verification v, std::string& message, const std::string& why);

    CheckTarget m_target;
    Terminal& m_terminal;
    const Interrupt& m_interrupt;
};

}  // namespace penflash

#endif  // PENFLASH_UPDATECHECK_H

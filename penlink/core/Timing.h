// Every time limit and pause of the library, in one place.
#ifndef PENLINK_TIMING_H
#define PENLINK_TIMING_H

namespace penlink {

struct Timing {
    unsigned replyTimeoutMs = 3000;        // normal-mode identity reply
    unsigned searchPauseMs = 500;          // pause after every failed search try
    unsigned longSearchTries = 101;        // tries after the pen was told to switch
    unsigned closePauseMs = 700;           // pause of FWUCloseDevice
    unsigned updateReplyTimeoutMs = 3000;  // update-mode identity reply
    unsigned ackTimeoutMs = 3000;          // start acknowledgement
    unsigned imageAckTimeoutMs = 30000;    // image acknowledgement: the pen writes its
                                           // flash before it answers
    unsigned writeTimeoutMs = 5000;        // one output report
};

// The limits in force: the product's values above unless a test has put
// others in place. Any thread.
const Timing& CurrentTiming();

// Puts timing in force (null: back to the product's values); timing must
// outlive its use. Tests only (and the emulator, when a test asks it through
// the environment), and only while no library call runs.
void SetTimingForTesting(const Timing* timing);

}  // namespace penlink

#endif  // PENLINK_TIMING_H

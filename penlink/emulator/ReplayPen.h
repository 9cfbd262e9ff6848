// A pen that plays back the pen's side of a recorded run (RecordingBus's
// file): it comes and goes on the bus, in the mode and with the IDs the
// recording shows, and answers with the recorded input reports, each as long
// after the output report before it as in the recording. It is strict: every
// output report must be the next one of the recording, byte for byte; one
// that differs is a violation with the hex dumps of both, and fails its
// write. Plays one pen: a recording of several pens is refused.
#ifndef PENLINK_EMULATOR_REPLAYPEN_H
#define PENLINK_EMULATOR_REPLAYPEN_H

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedDevice.h"

namespace penlink::emulator {

// One line of a recording that the replay acts on.
struct ReplayStep {
    enum class Kind { Up, Down, Out, In, WriteFailed };
    Kind kind = Kind::Out;
    double atMs = 0;             // when it happened in the recorded run
    std::vector<uint8_t> bytes;  // Out, In
    uint16_t vendorId = 0, productId = 0, inputLength = 0, outputLength = 0;  // Up
    std::string location;                                                     // Up
    std::string path;                                                         // Up, Down
    IoStatus status = IoStatus::Failed;                                       // WriteFailed
    SysError err;                                                             // WriteFailed
};

class ReplayPen : public EmulatedDevice {
public:
    // Reads the recording at path. Returns the pen, on the bus as the
    // recording begins; null with error set when the file cannot be read,
    // shows no pen, or shows two pens on the bus at once. Any thread.
    static std::shared_ptr<ReplayPen> FromFile(const std::string& path, std::string& error);

    // Reads a recording's lines (without line breaks). Returns true with the
    // steps, or false with error naming the line that cannot be read. Any
    // thread.
    static bool Parse(const std::vector<std::string>& lines, std::vector<ReplayStep>& steps,
                      std::string& error);

    ReplayPen(std::vector<ReplayStep> steps, const ReplayStep& firstUp);

    bool OnListing() override;

    // After the run: the recorded output reports that never came, as a
    // violation text with the next one's hex dump; empty when every one
    // came. Any thread.
    std::string Unplayed() const;

protected:
    IoStatus OnReport(const uint8_t* report, SysError& err) override;

private:
    // Plays the pen's steps up to the next output report whose time has
    // come (all of them when flush). Caller holds m_replayMutex.
    void PlayLocked(bool flush);

    mutable std::mutex m_replayMutex;
    std::vector<ReplayStep> m_steps;
    size_t m_next = 0;  // the next step to play
    size_t m_outs = 0;  // output reports matched so far
    // The recorded time that the replay's clock stands at m_anchor: the
    // start, then each output report matched.
    double m_anchorMs = 0;
    std::chrono::steady_clock::time_point m_anchor = std::chrono::steady_clock::now();
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_REPLAYPEN_H

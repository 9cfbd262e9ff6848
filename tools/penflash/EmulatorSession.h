// --emulate: the emulated pen in this process, put under the library through
// its HID seam, so that every call runs as it would against a real pen.
#ifndef PENFLASH_EMULATORSESSION_H
#define PENFLASH_EMULATORSESSION_H

#include <memory>
#include <string>
#include <vector>

namespace penlink::emulator {
class EmulatedBus;
class ReplayPen;
}

namespace penflash {

class EmulatorSession {
public:
    // Nothing in place yet. Main thread.
    EmulatorSession();
    // Resets the library (which drops the pen it holds and ends a search),
    // then puts the real backend and the product's time limits back. Main
    // thread.
    ~EmulatorSession();
    EmulatorSession(const EmulatorSession&) = delete;
    EmulatorSession& operator=(const EmulatorSession&) = delete;

    // Fills the bus with the devices of scenario and puts it under the
    // library: the mouse and the keyboard, and pens of the scenario at the
    // locations emu-port-1 to emu-port-<pens> (none in "absent"), or, when
    // onlyAt is not empty, only the one of them at onlyAt (none when it is
    // not one of them). transcriptPath, when not empty, receives the
    // transcript line by line. The emulator's shortened search pause, when
    // the environment asks for it (emulator/SearchPause.h), is put in force
    // too. Returns true, or false with error set when the scenario is
    // unknown, its pen cannot stand at another location than emu-port-1, or
    // the transcript file cannot be opened (nothing is put in place then).
    // Scenario "replay:FILE" puts the pen of the recording FILE alone on the
    // bus instead (ReplayPen); false when it cannot be read. Main thread,
    // before any library call.
    bool Start(const std::string& scenario, const std::string& transcriptPath, unsigned pens,
               const std::string& onlyAt, std::string& error);

    // Returns the protocol mismatches the emulated devices saw (empty when
    // the library kept to the protocol); in a replay also the recorded
    // reports that never came. Any thread.
    std::vector<std::string> Violations() const;

    // Returns 0 while the whole transcript reached its file (or there is
    // none), else the errno of the first write that failed. Any thread.
    int TranscriptError() const;

private:
    std::unique_ptr<penlink::emulator::EmulatedBus> m_bus;
    std::shared_ptr<penlink::emulator::ReplayPen> m_replay;
    bool m_inPlace = false;
};

}  // namespace penflash

#endif  // PENFLASH_EMULATORSESSION_H

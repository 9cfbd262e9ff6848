// The emulator's one face for programs that link the library statically
// (penflash): puts the emulated pen, a replay of a recorded run, or a
// recorder under the library through its seams, and takes them away again.
// Programs include this header, Penlink.h and PenIds.h, and nothing else of
// the library.
#ifndef PENLINK_EMULATOR_EMULATION_H
#define PENLINK_EMULATOR_EMULATION_H

#include <memory>
#include <string>
#include <vector>

namespace penlink::emulator {

class EmulatedBus;
class RecordingBus;
class ReplayPen;

class Emulation {
public:
    // Nothing in place yet. Main thread.
    Emulation();
    // When anything was put in place: resets the library as FWUInit does
    // (which drops the pen it holds and ends a search), then puts the real
    // backend and services and the product's time limits back. Main thread.
    ~Emulation();
    Emulation(const Emulation&) = delete;
    Emulation& operator=(const Emulation&) = delete;

    // The scenario names Emulate takes besides "replay:FILE", in the order
    // the README lists them. Any thread.
    static const std::vector<std::string>& ScenarioNames();

    // Fills a bus with the devices of scenario and puts it under the
    // library: the mouse and the keyboard, and pens of the scenario at the
    // locations emu-port-1 to emu-port-<pens> (none in "absent"), or, when
    // onlyAt is not empty, only the one of them at onlyAt (none when it is
    // not one of them). transcriptPath, when not empty, receives the
    // transcript line by line. The emulator's shortened search pause, when
    // the environment asks for it (SearchPause.h), is put in force too.
    // Scenario "replay:FILE" puts the pen of the recording FILE alone on the
    // bus instead. Returns true, or false with error set when the scenario
    // is unknown, its pen cannot stand at another location than emu-port-1,
    // the recording cannot be read or the transcript file cannot be opened
    // (nothing is put in place then). Main thread, before any library call.
    bool Emulate(const std::string& scenario, const std::string& transcriptPath, unsigned pens,
                 const std::string& onlyAt, std::string& error);

    // Puts a recorder in front of what is in place (the real backend and
    // services, or the bus of Emulate) that writes every report and event,
    // with times, to path, for "replay:FILE". Returns true, or false with
    // error set when the file cannot be made (nothing is put in place then).
    // Main thread, before any library call, after Emulate if both are used.
    bool Record(const std::string& path, std::string& error);

    // Returns the protocol mismatches the emulated devices saw (empty when
    // the library kept to the protocol); in a replay also the recorded
    // reports that never came. Any thread.
    std::vector<std::string> Violations() const;

    // Return 0 while the whole transcript (the recording) reached its file
    // or there is none, else the errno of the first write that failed. Any
    // thread.
    int TranscriptError() const;
    int RecordingError() const;

private:
    std::unique_ptr<EmulatedBus> m_bus;
    std::shared_ptr<ReplayPen> m_replay;
    // After m_bus: the recorder may pass the calls on to it, so it goes first.
    std::unique_ptr<RecordingBus> m_recorder;
    bool m_inPlace = false;
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_EMULATION_H

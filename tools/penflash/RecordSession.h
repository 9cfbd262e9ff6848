// --record: the run on the real pen, recorded. The recording sits in front of
// the library's real backend and services (RecordingBus) and writes every
// report and event to the file, for `--emulate replay:FILE`.
#ifndef PENFLASH_RECORDSESSION_H
#define PENFLASH_RECORDSESSION_H

#include <memory>
#include <string>

namespace penlink::emulator {
class RecordingBus;
}

namespace penflash {

class RecordSession {
public:
    // Nothing in place yet. Main thread.
    RecordSession();
    // Resets the library (which drops the pen it holds and ends a search),
    // then puts the real backend and services back. Main thread.
    ~RecordSession();
    RecordSession(const RecordSession&) = delete;
    RecordSession& operator=(const RecordSession&) = delete;

    // Starts the recording to path and puts it under the library. Returns
    // true, or false with error set when the file cannot be made (nothing
    // is put in place then). Main thread, before any library call.
    bool Start(const std::string& path, std::string& error);

    // Returns 0 while the whole recording reached its file (or there is
    // none), else the errno of the first write that failed. Any thread.
    int WriteError() const;

private:
    std::unique_ptr<penlink::emulator::RecordingBus> m_bus;
};

}  // namespace penflash

#endif  // PENFLASH_RECORDSESSION_H

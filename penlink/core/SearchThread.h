// The one background search of the library: started by FWUOpenDevice, it
// looks for the pen in firmware-update mode and posts the outcome.
#ifndef PENLINK_SEARCHTHREAD_H
#define PENLINK_SEARCHTHREAD_H

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace penlink {

class CSearchThread {
public:
    // Starts routine on a new thread, for a search that posts to target.
    // Returns false (and logs why) when the thread cannot be started. Caller
    // thread only, with no search running.
    bool Start(void (*routine)(), void* target);

    // Waits for a running search to end (its routine has finished or gone
    // silent). With abandon, the search ends at its next step (a pause is cut
    // short) and posts nothing. Caller thread.
    void Stop(bool abandon);

    // At library unload: abandons the search and waits a bounded time for it
    // to end (a longer wait could hold the loader for ever on Windows).
    void StopAtUnload();

    // True while a search runs and has not yet posted or ended. Caller
    // thread.
    bool Busy() const;

    // For the search routine: pauses ms milliseconds; returns true when the
    // search was abandoned meanwhile (the pause is cut short).
    bool Pause(unsigned ms);

    // For the search routine: true once the search was abandoned.
    bool Abandoned();

    // True when the search that ran last has ended by posting kSearchFound,
    // and has not been abandoned or followed by another since: only then is
    // the device object one the caller was told about. Caller thread.
    bool Found() const;

    // target is going away (its handle may soon name a new one): a running
    // search that was started for it posts nothing. Any thread.
    void Forget(void* target);

    // For the search routine: delivers its result to target unless the
    // search was abandoned or its target forgotten, and marks the search
    // finished either way. Returns true when the result was handed to the
    // platform.
    bool Finish(void* target, uintptr_t wParam, intptr_t lParam);

    // For the search routine: marks the search finished without a result.
    void FinishSilently();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_abandoned = false;
    bool m_done = true;
    bool m_found = false;       // the last search posted kSearchFound
    void* m_target = nullptr;   // the target the search was started for
    bool m_targetGone = false;  // ... and it went away while the search ran
};

// The library's search.
CSearchThread& Search();

}  // namespace penlink

#endif  // PENLINK_SEARCHTHREAD_H

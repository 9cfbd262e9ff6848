// CLibraryCall: runs one call of the device library on a thread of its own
// and tells a window its result by a posted message, so that the window's
// thread keeps answering while the pen takes its time (the image
// acknowledgement alone may take up to 30 s). The library takes its calls
// from any one thread at a time; this class runs at most one.
//
// The window learns the result as message (wParam: the tag given to Start,
// lParam: the ORVANE_ERROR the call returned), after the call has returned.
// Whatever the call reads (an image buffer) must live until that message has
// arrived, or until Wait has returned.
//
// A call that throws is logged (LogEscapedException) and reported as
// ORVANE_ERROR_WRITE_FAILED: the exception never leaves the thread's start
// routine, and the window still learns that the call failed.
//
// Start, Wait and the destructor run on the window's thread.
#ifndef FLASHWIZARD_LIBRARYCALL_H
#define FLASHWIZARD_LIBRARYCALL_H

#include <windows.h>

#include <functional>

#include "Penlink.h"

class CLibraryCall {
public:
    using Call = std::function<ORVANE_ERROR()>;

    CLibraryCall() = default;
    // Waits for a call that still runs.
    ~CLibraryCall();
    CLibraryCall(const CLibraryCall&) = delete;
    CLibraryCall& operator=(const CLibraryCall&) = delete;

    // Waits for the previous call's thread to end, then runs call on a new
    // thread, which posts message (tag, result) to target once call has
    // returned. When no thread can be made, runs call here instead and posts
    // the same message: the update goes on, only the window does not answer
    // meanwhile. Returns nothing; the result always comes as the message.
    void Start(Call call, HWND target, UINT message, WPARAM tag);
    // Returns once no call runs any more. Returns nothing.
    void Wait();

private:
    struct Job {
        Call call;
        HWND target;
        UINT message;
        WPARAM tag;
    };
    static DWORD WINAPI ThreadMain(void* job);
    static void Run(const Job& job);

    HANDLE m_hThread = nullptr;
};

#endif  // FLASHWIZARD_LIBRARYCALL_H

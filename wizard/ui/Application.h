// CApplication: the program's one application object. The program defines
// exactly one object of a class derived from it, with static storage
// duration; the entry point (wWinMain, in Application.cpp) hands control to
// it. It is also how any part of the program reaches the application and
// its resources.
//
// Start-up: wWinMain records the instance, then calls InitInstance. When
// InitInstance returns FALSE the program ends at once with ExitInstance's
// result; otherwise a message loop runs until WM_QUIT and the program ends
// with ExitInstance's result after it.
#ifndef FLASHWIZARD_UI_APPLICATION_H
#define FLASHWIZARD_UI_APPLICATION_H

#include <windows.h>

#include "Text.h"

class CApplication {
public:
    // Registers this object as the current application. Construct exactly
    // one, during static initialisation (main thread).
    CApplication();
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Returns the application object, or null when the program has none (or it has
    // been destroyed). Any thread.
    static CApplication* Current();

    // Returns the module that holds the program's resources: the program's
    // own file. Never null. Any thread.
    static HINSTANCE ResourceHandle();

    // Runs the program: InitInstance, the message loop if it asked for one,
    // ExitInstance. Returns the process exit code. Called once, by wWinMain,
    // on the main thread.
    int Start(HINSTANCE instance);

protected:
    // Start-up hook. Returns TRUE to enter the message loop, FALSE to end the
    // program at once; the default has nothing to run and returns FALSE.
    // Main thread.
    virtual BOOL InitInstance();

    // Exit hook. Returns the process exit code; the default returns 0 when
    // InitInstance returned FALSE and WM_QUIT's code otherwise. Main thread.
    virtual int ExitInstance();

private:
    HINSTANCE m_hInstance = nullptr;
    int m_nExitCode = 0;
};

// Returns the string-table entry id (taken as a 16-bit resource id) of the
// program's resources; the empty text when the table has no such entry.
// Any thread.
CText LoadResourceString(UINT id);

#endif  // FLASHWIZARD_UI_APPLICATION_H

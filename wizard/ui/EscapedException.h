// LogEscapedException: the debug-output line for an exception that a
// Windows callback (a dialog or window procedure, a thread's start routine)
// stopped. No exception may unwind through the system's frames that called
// the callback, so each such callback catches everything at its edge, logs
// it here and ends what it was doing in a way of its own.
#ifndef FLASHWIZARD_UI_ESCAPEDEXCEPTION_H
#define FLASHWIZARD_UI_ESCAPEDEXCEPTION_H

#include <windows.h>

// Writes "<where>: message 0x<message>: <what>" to the debug output
// (OutputDebugStringW), where what is the exception's what() or "unknown
// exception". Call it only from inside a catch block: it looks at the
// exception being handled. Returns nothing; never throws. Any thread.
void LogEscapedException(const wchar_t* where, UINT message) noexcept;

#endif  // FLASHWIZARD_UI_ESCAPEDEXCEPTION_H

// update --all: one penflash process per pen, all at once. The library
// serves one pen per process, so each pen gets a process of its own, this
// very program with --pen; their messages are read as they come and their
// JSON reports kept. PenProcesses.cpp for POSIX systems,
// PenProcessesWindows.cpp for Windows.
#ifndef PENFLASH_PENPROCESSES_H
#define PENFLASH_PENPROCESSES_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Interrupt.h"

namespace penflash {

// One pen's process: what it is given, and how it ended.
struct PenRun {
    std::string location;           // the pen's, for messages
    std::vector<std::string> args;  // the arguments after the program's name

    // Filled by RunPenProcesses.
    int exitCode = 1;     // the process's exit code; 1 when it did not exit by itself
    std::string report;   // what it wrote on stdout: its JSON report
    std::string failure;  // why it could not be started or how it ended
                          // abnormally (a signal); empty when it exited
};

// Returns the path of the program that runs in this process, or an empty
// string when the system does not tell it. Any thread.
std::string OwnProgramPath();

// Starts program once for each of runs, all at once, each with stdin on
// the null device and its stdout and its stderr in pipes of their own, and
// waits until all have ended. onLine(index, line) is called on the calling
// thread for each line that runs[index] writes on stderr, as it comes (the
// line without its line break). On POSIX systems, when interrupt is
// requested meanwhile, each process still running is sent SIGINT once (a
// Ctrl-C on a terminal reaches them anyway; SIGTERM or SIGHUP sent to this
// process alone would not); on Windows Ctrl-C reaches every process of the
// console and nothing is passed on. Each process decides, as on its own,
// whether it may stop. Returns nothing; each run's exitCode, report and
// failure say how it went (a process that could not be started has failure
// set and exitCode 1). Main thread.
void RunPenProcesses(const std::string& program, std::vector<PenRun>& runs,
                     const Interrupt& interrupt,
                     const std::function<void(std::size_t, const std::string&)>& onLine);

}  // namespace penflash

#endif  // PENFLASH_PENPROCESSES_H

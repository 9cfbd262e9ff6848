// Runs a program as a user would, as a child process with its own stdin,
// stdout and stderr pipes, for the tests of command-line tools.
#ifndef PENFLASH_TESTS_CHILDPROCESS_H
#define PENFLASH_TESTS_CHILDPROCESS_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// Every member is for the thread that made the object.
class ChildProcess {
public:
    // Starts program with args; input is written to its stdin, which is then
    // closed. Started() says whether it runs.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::string& input = "");
    // Kills the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Returns whether the child was started.
    bool Started() const;

    // Waits until the child's stdout holds text. Returns false when the
    // time ran out or the child closed stdout first.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);

    // Sends the child SIGINT, as Ctrl-C would (POSIX systems only).
    void Interrupt();

    // Sends the child signal (POSIX systems only).
    void Signal(int signal);

    // Waits for the child to end and for its output. Returns its exit code,
    // or -1 when it did not end within limit (it is then killed).
    int Wait(std::chrono::milliseconds limit);

    // Return what the child wrote to stdout and stderr so far.
    std::string Out() const;
    std::string Err() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The result of one whole run.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program with args and input until it ends. Returns its exit code
// (-1 when it could not be started or ran over 60 s and was killed) and its
// output. Any thread.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& input = "");

#endif  // PENFLASH_TESTS_CHILDPROCESS_H

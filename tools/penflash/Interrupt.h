// Ctrl-C (and on POSIX systems SIGTERM and SIGHUP) as a flag. The handler
// only sets the flag; the program looks at it where it can stop safely. On
// POSIX systems SIGPIPE is ignored meanwhile: output that cannot be written
// fails its write instead of ending the program in the middle of a transfer.
#ifndef PENFLASH_INTERRUPT_H
#define PENFLASH_INTERRUPT_H

namespace penflash {

class Interrupt {
public:
    // Installs the handler (a handler of SIGINT, SIGTERM and SIGHUP and
    // SIGPIPE ignored on POSIX systems, a console control handler on
    // Windows). One object per process. Main thread.
    Interrupt();
    // Puts the previous handling back. Main thread.
    ~Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;

    // Returns whether Ctrl-C was pressed (or SIGTERM or SIGHUP came) since
    // the handler was installed. Any thread.
    bool Requested() const;
};

}  // namespace penflash

#endif  // PENFLASH_INTERRUPT_H

// Ctrl-C (and on POSIX systems SIGTERM) as a flag. The handler only sets the
// flag; the program looks at it where it can stop safely.
#ifndef PENFLASH_INTERRUPT_H
#define PENFLASH_INTERRUPT_H

namespace penflash {

class Interrupt {
public:
    // Installs the handler (a signal handler on POSIX systems, a console
    // control handler on Windows). One object per process. Main thread.
    Interrupt();
    // Puts the previous handling back. Main thread.
    ~Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;

    // Returns whether Ctrl-C was pressed since the handler was installed.
    // Any thread.
    bool Requested() const;
};

}  // namespace penflash

#endif  // PENFLASH_INTERRUPT_H

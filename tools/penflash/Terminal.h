// Where penflash talks to its user: one output stream (stdout, or stderr
// when stdout carries the JSON report), with a status line that is redrawn
// in place on a terminal, and the confirmation read from stdin. A stream
// that fails a write (a reader gone, a full disk, a closed terminal) is
// written no more: printing stops, the work goes on.
#ifndef PENFLASH_TERMINAL_H
#define PENFLASH_TERMINAL_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BackgroundWriter.h"
#include "Interrupt.h"

namespace penflash {

enum class Answer { Yes, No, Interrupted };

class Terminal {
public:
    // stream: where the messages go. Whether it is a terminal decides
    // between a redrawn status line and plain lines. Main thread.
    explicit Terminal(std::FILE* stream);

    // Returns whether the stream is a terminal (a console on Windows).
    // Any thread.
    bool Interactive() const { return m_interactive; }

    // Returns whether a write to the stream failed, after which nothing more
    // is written to it. Main thread.
    bool Broken() const { return m_broken || (m_behind && m_behind->Broken()); }

    // on: from now on the writes are handed to a thread of their own and
    // Line, Status and EndStatus return at once, also while the terminal's
    // output is stopped (Ctrl-S); the text follows, in order, when output
    // resumes. off: waits until everything handed over is written, then
    // writes directly again. Main thread.
    void WriteBehind(bool on);

    // Writes text and a line break, after ending a status line that is
    // shown; flushed at once. Main thread.
    void Line(const std::string& text);

    // On a terminal, replaces the status line with text; elsewhere does
    // nothing. Main thread.
    void Status(const std::string& text);

    // Ends the status line, if one is shown, keeping its last text.
    // Main thread.
    void EndStatus();

    // On a terminal that moves its cursor on ANSI escape sequences (any on
    // POSIX systems; a console on Windows once it has been asked to), shows
    // lines as a block that the next call redraws in place, each line cut
    // to the terminal's width, and returns true. Line and Status write
    // below the block and end it. Elsewhere returns false and shows
    // nothing. Main thread.
    bool Board(const std::vector<std::string>& lines);

    // Writes question, reads one line from stdin and returns Yes for "y" or
    // "yes" (any case, blanks around ignored), Interrupted when Ctrl-C came
    // while it waited, and No for anything else, an empty line, the end of
    // the input, a NUL byte, 256 bytes without a line end or no stdin at
    // all. Main thread.
    Answer Ask(const std::string& question, const Interrupt& interrupt);

    // Returns whether stream is a terminal. Any thread.
    static bool IsTerminal(std::FILE* stream);

    // Opens /dev/null, read-only, on each of the descriptors 0, 1 and 2 that
    // is closed, so that no file opened later takes its place and every
    // write to a closed stdout or stderr fails instead of landing in that
    // file. Does nothing on Windows. Main thread, before any file is opened.
    static void ReserveStandardStreams();

private:
    // Writes text and flushes, unless an earlier write failed; a failure
    // marks the stream broken.
    // replaceable: a status line, which a later one may replace before it
    // is shown when writing behind.
    void Write(const std::string& text, bool replaceable = false);

    std::FILE* m_stream;
    bool m_interactive;
    std::size_t m_statusLength = 0;
    bool m_statusShown = false;
    std::size_t m_boardLines = 0;  // lines of the block shown last
    int m_escapes = -1;            // the terminal moves its cursor on escapes; -1: not asked yet
    bool m_broken = false;
    std::size_t m_statusWidest = 0;              // the widest status text since the line began
    std::unique_ptr<BackgroundWriter> m_behind;  // set while writing behind
};

// Returns whether line says yes: "y" or "yes" in any case, with blanks and
// line ends around it. Any thread.
bool IsYes(const std::string& line);

}  // namespace penflash

#endif  // PENFLASH_TERMINAL_H

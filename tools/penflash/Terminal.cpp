#include "Terminal.h"

#include <cctype>
#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace penflash {

namespace {

#ifndef _WIN32
// The longest answer read; anything longer is not a yes.
constexpr std::size_t kLongestAnswer = 256;

// Reads one line from stdin, a byte at a time so that nothing is read past
// it, and looks at the interrupt flag while no input is there. A NUL byte
// ends the line as the end of the input does (no terminal sends one; a file
// such as /dev/zero sends nothing else), and so do kLongestAnswer bytes
// without a line end. Returns false when interrupted.
bool ReadLine(std::string& line, const Interrupt& interrupt) {
    for (;;) {
        if (interrupt.Requested()) return false;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready < 0) return true;  // no usable stdin: the line so far
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n' || c == '\0') return true;
        line += c;
        if (line.size() >= kLongestAnswer) return true;
    }
}
#endif

}  // namespace

bool IsYes(const std::string& line) {
    std::string word;
    for (char c : line) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return word == "y" || word == "yes";
}

bool Terminal::IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    DWORD mode = 0;
    return handle != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void Terminal::ReserveStandardStreams() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor: fd itself.
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) close(null);
    }
#endif
}

Terminal::Terminal(std::FILE* stream) : m_stream(stream), m_interactive(IsTerminal(stream)) {}

void Terminal::WriteBehind(bool on) {
    if (on && !m_behind) m_behind = std::make_unique<BackgroundWriter>(m_stream);
    if (!on && m_behind) {
        m_behind->Drain();
        m_broken = m_broken || m_behind->Broken();
        m_behind.reset();
    }
}

void Terminal::Write(const std::string& text, bool replaceable) {
    if (m_broken) return;
    if (m_behind) {
        m_behind->Post(text, replaceable);
        return;
    }
    const bool written = std::fputs(text.c_str(), m_stream) >= 0;
    if (!written || std::fflush(m_stream) != 0 || std::ferror(m_stream)) m_broken = true;
}

void Terminal::Line(const std::string& text) {
    EndStatus();
    m_boardLines = 0;
    Write(text + "\n");
}

bool Terminal::Board(const std::vector<std::string>& lines) {
    if (!m_interactive || m_broken) return false;
    std::size_t width = 80;
#ifdef _WIN32
    const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(m_stream)));
    if (m_escapes < 0) {
        DWORD mode = 0;
        m_escapes = GetConsoleMode(console, &mode) &&
                    SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (GetConsoleScreenBufferInfo(console, &screen) && screen.dwSize.X > 1) {
        width = static_cast<std::size_t>(screen.dwSize.X);
    }
#else
    m_escapes = 1;
    winsize size{};
    if (ioctl(fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) width = size.ws_col;
#endif
    if (m_escapes == 0) return false;
    EndStatus();
    // Up over the block shown last, then each line cleared and written anew.
    std::string text;
    if (m_boardLines > 0) text = "\x1b[" + std::to_string(m_boardLines) + "A";
    for (const std::string& line : lines) {
        text += "\r\x1b[K" + line.substr(0, width - 1) + "\n";
    }
    Write(text);
    m_boardLines = lines.size();
    return true;
}

void Terminal::Status(const std::string& text) {
    if (!m_interactive) return;
    m_boardLines = 0;
    // Carriage return and blanks over the rest of the old text: no escape
    // sequences, so every console shows it alike.
    // Padded to the widest text of this line: a status written behind may
    // be replaced by a later one before it shows.
    std::string line = "\r" + text;
    if (m_statusLength > m_statusWidest) m_statusWidest = m_statusLength;
    if (text.size() < m_statusWidest) line.append(m_statusWidest - text.size(), ' ');
    Write(line, true);
    m_statusLength = text.size();
    m_statusShown = true;
}

void Terminal::EndStatus() {
    if (!m_statusShown) return;
    Write("\n");
    m_statusShown = false;
    m_statusLength = 0;
    m_statusWidest = 0;
}

Answer Terminal::Ask(const std::string& question, const Interrupt& interrupt) {
    EndStatus();
    Write(question);
    std::string line;
#ifdef _WIN32
    char buffer[256];
    const bool got = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    if (got) line = buffer;
    if (interrupt.Requested()) {
        Write("\n");
        return Answer::Interrupted;
    }
#else
    if (!ReadLine(line, interrupt)) {
        Write("\n");
        return Answer::Interrupted;
    }
#endif
    // The answer typed on a terminal ends the line itself; from a pipe it
    // does not show, so the line is ended here.
    if (!IsTerminal(stdin)) Write("\n");
    return IsYes(line) ? Answer::Yes : Answer::No;
}

}  // namespace penflash

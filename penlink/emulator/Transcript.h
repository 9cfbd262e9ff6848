// The record of everything that crossed between the library and the emulated
// devices: every report in both directions and the events of the bus. Every
// line goes to the file, when there is one, as it happens; in memory only the
// last kRecentLines stay, unless a reader of Lines() asks for all of them, so
// that a process that runs many updates does not grow with its record.
#ifndef PENLINK_EMULATOR_TRANSCRIPT_H
#define PENLINK_EMULATOR_TRANSCRIPT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace penlink::emulator {

class Transcript {
public:
    // The lines kept in memory while not every line is.
    static constexpr size_t kRecentLines = 256;

    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Writes the lines kept so far to the file at path, then appends every
    // line to it as it comes (flushed line by line, so the file is complete
    // even if the process is killed).
    // Returns false when the file cannot be opened. Any thread.
    bool WriteTo(const std::string& path);

    // Records "OUT <hex>" (host to device), "IN <hex>" (device to host) or
    // "EVENT <text>". Any thread.
    void Out(const uint8_t* report, size_t length);
    void In(const uint8_t* report, size_t length);
    void Event(const std::string& text);

    // With keep, every line from now on stays in memory; without it (at
    // first) only the last kRecentLines do. Any thread.
    void KeepAllLines(bool keep);

    // A copy of the lines kept so far: every line since KeepAllLines(true),
    // else the last kRecentLines at most. Any thread.
    std::vector<std::string> Lines() const;

    // Returns 0 while every line reached the file given to WriteTo (or when
    // there is none), else the errno of the first write or flush that failed
    // (a full disk, /dev/full); the lines after it are still tried. Any
    // thread.
    int WriteError() const;

private:
    void Add(std::string line);
    // Write to m_file and keep the first failure in m_writeError; the
    // caller holds m_mutex.
    void WriteLine(const std::string& line);
    void Flush();

    mutable std::mutex m_mutex;
    std::deque<std::string> m_lines;
    bool m_keepAll = false;
    std::FILE* m_file = nullptr;
    int m_writeError = 0;
};

// "00 02 0a ..." for length bytes.
std::string HexBytes(const uint8_t* bytes, size_t length);

// A hex dump of 16 bytes a line, each line led by its offset.
std::string HexDump(const uint8_t* bytes, size_t length);

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_TRANSCRIPT_H

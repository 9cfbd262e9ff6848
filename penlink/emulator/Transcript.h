// The record of everything that crossed between the library and the emulated
// devices: every report in both directions and the events of the bus.
#ifndef PENLINK_EMULATOR_TRANSCRIPT_H
#define PENLINK_EMULATOR_TRANSCRIPT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace penlink::emulator {

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Also appends every line to the file at path from now on (flushed line
    // by line, so the file is complete even if the process is killed).
    // Returns false when the file cannot be opened. Any thread.
    bool WriteTo(const std::string& path);

    // Records "OUT <hex>" (host to device), "IN <hex>" (device to host) or
    // "EVENT <text>". Any thread.
    void Out(const uint8_t* report, size_t length);
    void In(const uint8_t* report, size_t length);
    void Event(const std::string& text);

    // A copy of the lines so far. Any thread.
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
    std::vector<std::string> m_lines;
    std::FILE* m_file = nullptr;
    int m_writeError = 0;
};

// "00 02 0a ..." for length bytes.
std::string HexBytes(const uint8_t* bytes, size_t length);

// A hex dump of 16 bytes a line, each line led by its offset.
std::string HexDump(const uint8_t* bytes, size_t length);

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_TRANSCRIPT_H

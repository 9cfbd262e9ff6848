#include "Transcript.h"

#include <cerrno>

namespace penlink::emulator {

std::string HexBytes(const uint8_t* bytes, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i != 0) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string HexDump(const uint8_t* bytes, size_t length) {
    std::string out;
    char offset[32];
    for (size_t row = 0; row < length; row += 16) {
        std::snprintf(offset, sizeof offset, "  %04zx: ", row);
        out += offset;
        out += HexBytes(bytes + row, length - row < 16 ? length - row : 16);
        out += '\n';
    }
    if (length == 0) out += "  (no bytes)\n";
    return out;
}

Transcript::~Transcript() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool Transcript::WriteTo(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr) std::fclose(m_file);
    m_file = file;
    m_writeError = 0;
    for (const std::string& line : m_lines) WriteLine(line);
    Flush();
    return true;
}

void Transcript::WriteLine(const std::string& line) {
    errno = 0;
    if (std::fprintf(m_file, "%s\n", line.c_str()) < 0 && m_writeError == 0) {
        m_writeError = errno != 0 ? errno : EIO;
    }
}

void Transcript::Flush() {
    errno = 0;
    if ((std::fflush(m_file) != 0 || std::ferror(m_file)) && m_writeError == 0) {
        m_writeError = errno != 0 ? errno : EIO;
    }
}

int Transcript::WriteError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writeError;
}

void Transcript::Out(const uint8_t* report, size_t length) {
    Add("OUT " + HexBytes(report, length));
}

void Transcript::In(const uint8_t* report, size_t length) { Add("IN " + HexBytes(report, length)); }

void Transcript::Event(const std::string& text) { Add("EVENT " + text); }

void Transcript::KeepAllLines(bool keep) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepAll = keep;
    while (!m_keepAll && m_lines.size() > kRecentLines) m_lines.pop_front();
}

std::vector<std::string> Transcript::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_lines.begin(), m_lines.end()};
}

void Transcript::Add(std::string line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr) {
        WriteLine(line);
        Flush();
    }
    m_lines.push_back(std::move(line));
    if (!m_keepAll && m_lines.size() > kRecentLines) m_lines.pop_front();
}

}  // namespace penlink::emulator

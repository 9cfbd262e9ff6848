#include "RecordingBus.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include "RecordingConnection.h"
#include "core/QuillDevice.h"
#include "core/TextCodec.h"

namespace penlink::emulator {

namespace {

// The location as one word: "%", space and tab as %25, %20, %09.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '%' || c == ' ' || c == '\t') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

RecordingBus::RecordingBus(HidBackend& backend, SystemServices& services)
    : m_backend(backend), m_services(services) {}

RecordingBus::~RecordingBus() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool RecordingBus::WriteTo(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_file = file;
    }
    Event("recording of a run on the pen");
    return true;
}

void RecordingBus::Line(const std::string& line) {
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start)
            .count();
    char at[40];
    std::snprintf(at, sizeof at, "AT %.1f\n", ms);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file == nullptr) return;
    // Flushed line by line: the file is whole up to a crash or a kill.
    errno = 0;
    if ((std::fprintf(m_file, "%s%s\n", at, line.c_str()) < 0 || std::fflush(m_file) != 0) &&
        m_writeError == 0) {
        m_writeError = errno != 0 ? errno : EIO;
    }
}

int RecordingBus::WriteError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writeError;
}

bool RecordingBus::ListInterfaces(std::vector<HidInterface>& out, SysError& err) {
    if (!m_backend.ListInterfaces(out, err)) {
        Event("listing failed: " + err.Describe());
        return false;
    }
    std::set<std::string> listed;
    for (const HidInterface& entry : out) listed.insert(entry.path);
    std::vector<std::string> gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_seen.begin(); it != m_seen.end();) {
            if (listed.count(it->first) != 0) {
                ++it;
                continue;
            }
            gone.push_back(it->first);
            it = m_seen.erase(it);
        }
    }
    for (const std::string& path : gone) Event("device down " + path);
    return true;
}

ProbeStatus RecordingBus::Probe(const std::string& path, HidProbe& probe, SysError& err) {
    const ProbeStatus status = m_backend.Probe(path, probe, err);
    if (status != ProbeStatus::Ok) return status;
    static const CQuillDevice normal(false);
    static const CQuillDevice update(true);
    if (!normal.Matches(probe.vendorId, probe.productId) &&
        !update.Matches(probe.vendorId, probe.productId)) {
        return status;  // not the pen: left out of the recording
    }
    char ids[64];
    std::snprintf(ids, sizeof ids, "%04x %04x %u %u ", probe.vendorId, probe.productId,
                  probe.inputReportLength, probe.outputReportLength);
    const std::string up = std::string("device up ") + ids +
                           (probe.location.empty() ? std::string("-") : Escaped(probe.location)) +
                           " " + path;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string& seen = m_seen[path];
        changed = seen != up;
        seen = up;
    }
    if (changed) Event(up);
    return status;
}

std::unique_ptr<HidConnection> RecordingBus::Open(const std::string& path, SysError& err) {
    std::unique_ptr<HidConnection> inner = m_backend.Open(path, err);
    if (!inner) {
        Event("open failed " + path + ": " + err.call + " " + std::to_string(err.code));
        return nullptr;
    }
    return std::make_unique<RecordingConnection>(
        std::move(inner), [this](const std::string& line) { Line(line); }, path);
}

uint32_t RecordingBus::TickCount() { return m_services.TickCount(); }

void RecordingBus::Sleep(unsigned ms) { m_services.Sleep(ms); }

void RecordingBus::DebugOutput(const std::u16string& text) {
    std::string line = Utf16ToUtf8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    Event("debug " + line);
    m_services.DebugOutput(text);
}

bool RecordingBus::PostSearchResult(void* target, uintptr_t wParam, intptr_t lParam,
                                    SysError& err) {
    Event("search result " + std::to_string(wParam) + " " +
          (wParam == 1 ? std::string("(device)") : std::to_string(lParam)));
    return m_services.PostSearchResult(target, wParam, lParam, err);
}

bool RecordingBus::ProcessExiting() { return m_services.ProcessExiting(); }

std::unique_ptr<PenLock> RecordingBus::LockPen(const std::string& location, PenLockStatus& status,
                                               SysError& err) {
    return m_services.LockPen(location, status, err);
}

}  // namespace penlink::emulator

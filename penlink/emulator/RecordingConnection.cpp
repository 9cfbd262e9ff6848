#include "RecordingConnection.h"

#include "Transcript.h"

namespace penlink::emulator {

namespace {

std::string Failure(const char* what, IoStatus status, const SysError& err) {
    return std::string(what) + " failed: " + IoStatusName(status) + " " +
           (err.call.empty() ? std::string("-") : err.call) + " " + std::to_string(err.code);
}

}  // namespace

RecordingConnection::RecordingConnection(std::unique_ptr<HidConnection> inner, LineWriter line,
                                         std::string path)
    : m_inner(std::move(inner)), m_line(std::move(line)), m_path(std::move(path)) {
    m_line("EVENT opened " + m_path);
}

RecordingConnection::~RecordingConnection() {
    // A Read waiting on another thread returns before the inner connection
    // goes, so that it never meets the pointer changing under it.
    m_inner->CancelRead();
    { std::lock_guard<std::mutex> waitForRead(m_readMutex); }
    m_inner.reset();
    m_line("EVENT closed " + m_path);
}

IoStatus RecordingConnection::Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                                    SysError& err) {
    // A null or empty report is the connection's to refuse; there is
    // nothing to write down.
    if (report != nullptr && length != 0) m_line("OUT " + HexBytes(report, length));
    const IoStatus status = m_inner->Write(report, length, timeoutMs, err);
    if (status != IoStatus::Ok) m_line("EVENT " + Failure("write", status, err));
    return status;
}

IoStatus RecordingConnection::Read(uint8_t* buffer, size_t capacity, size_t& got,
                                   unsigned timeoutMs, SysError& err) {
    std::lock_guard<std::mutex> reading(m_readMutex);
    const IoStatus status = m_inner->Read(buffer, capacity, got, timeoutMs, err);
    if (status == IoStatus::Ok) {
        m_line("IN " + HexBytes(buffer, got));
    } else if (status != IoStatus::Timeout && status != IoStatus::Cancelled) {
        // A wait that ends without a report is the library's own doing.
        m_line("EVENT " + Failure("read", status, err));
    }
    return status;
}

void RecordingConnection::CancelRead() { m_inner->CancelRead(); }

}  // namespace penlink::emulator

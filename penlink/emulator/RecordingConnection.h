// A connection to the real pen that writes every report and every failure
// as a line of its recording (RecordingBus gives it the line writer) as it
// passes it on.
#ifndef PENLINK_EMULATOR_RECORDINGCONNECTION_H
#define PENLINK_EMULATOR_RECORDINGCONNECTION_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/HidConnection.h"

namespace penlink::emulator {

class RecordingConnection : public HidConnection {
public:
    // Writes one line of the recording; any thread.
    using LineWriter = std::function<void(const std::string&)>;

    // Passes the calls on to inner, opened at path, and writes what crossed
    // with line, which must stay callable as long as the connection lives.
    RecordingConnection(std::unique_ptr<HidConnection> inner, LineWriter line, std::string path);
    // Ends a Read waiting on another thread and waits for it, then closes
    // inner and writes "closed". The owner's thread.
    ~RecordingConnection() override;

    IoStatus Write(const uint8_t* report, size_t length, unsigned timeoutMs,
                   SysError& err) override;
    IoStatus Read(uint8_t* buffer, size_t capacity, size_t& got, unsigned timeoutMs,
                  SysError& err) override;
    void CancelRead() override;

private:
    std::unique_ptr<HidConnection> m_inner;
    std::mutex m_readMutex;  // held by the one Read, so that the end can wait for it
    const LineWriter m_line;
    const std::string m_path;
};

}  // namespace penlink::emulator

#endif  // PENLINK_EMULATOR_RECORDINGCONNECTION_H

#include "ReplayPen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Transcript.h"

namespace penlink::emulator {

namespace {

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1]))) {
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    return !bytes.empty();
}

IoStatus StatusNamed(const std::string& name) {
    if (name == "timeout") return IoStatus::Timeout;
    if (name == "cancelled") return IoStatus::Cancelled;
    if (name == "device-stopped") return IoStatus::DeviceStopped;
    return IoStatus::Failed;
}

// Undoes the recording's %XX escapes of a location.
std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string NameFor(uint16_t productId) {
    char name[24];
    std::snprintf(name, sizeof name, "replay-%04x", productId);
    return name;
}

}  // namespace

bool ReplayPen::Parse(const std::vector<std::string>& lines, std::vector<ReplayStep>& steps,
                      std::string& error) {
    double at = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const auto bad = [&](const char* why) {
            error = "line " + std::to_string(n + 1) + ": " + why + ": " + line;
            return false;
        };
        ReplayStep step;
        step.atMs = at;
        if (line.rfind("AT ", 0) == 0) {
            try {
                at = std::stod(line.substr(3));
            } catch (const std::exception&) {
                return bad("not a time");
            }
            continue;
        }
        if (line.rfind("OUT ", 0) == 0 || line.rfind("IN ", 0) == 0) {
            const bool out = line[0] == 'O';
            step.kind = out ? ReplayStep::Kind::Out : ReplayStep::Kind::In;
            if (!ParseHex(line.substr(out ? 4 : 3), step.bytes)) return bad("not a report");
        } else if (line.rfind("EVENT device up ", 0) == 0) {
            std::istringstream in(line.substr(16));
            unsigned vid = 0, pid = 0, inLength = 0, outLength = 0;
            in >> std::hex >> vid >> pid >> std::dec >> inLength >> outLength >> step.location;
            std::getline(in >> std::ws, step.path);
            if (!in && !in.eof()) return bad("not a device");
            if (step.path.empty() || vid > 0xFFFF || pid > 0xFFFF || inLength == 0 ||
                outLength == 0 || inLength > 0xFFFF || outLength > 0xFFFF) {
                return bad("not a device");
            }
            if (step.location == "-") step.location.clear();
            step.location = Unescaped(step.location);
            step.kind = ReplayStep::Kind::Up;
            step.vendorId = static_cast<uint16_t>(vid);
            step.productId = static_cast<uint16_t>(pid);
            step.inputLength = static_cast<uint16_t>(inLength);
            step.outputLength = static_cast<uint16_t>(outLength);
        } else if (line.rfind("EVENT device down ", 0) == 0) {
            step.kind = ReplayStep::Kind::Down;
            step.path = line.substr(18);
        } else if (line.rfind("EVENT write failed: ", 0) == 0) {
            std::istringstream in(line.substr(20));
            std::string status;
            in >> status >> step.err.call >> step.err.code;
            step.kind = ReplayStep::Kind::WriteFailed;
            step.status = StatusNamed(status);
        } else {
            continue;  // what the host did, or a note: not the pen's to play
        }
        steps.push_back(std::move(step));
    }
    return true;
}

std::shared_ptr<ReplayPen> ReplayPen::FromFile(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the recording " + path;
        return nullptr;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    std::vector<ReplayStep> steps;
    if (!Parse(lines, steps, error)) {
        error = path + ": " + error;
        return nullptr;
    }
    // One pen: each interface leaves before the next one comes.
    std::string up;
    const ReplayStep* first = nullptr;
    for (const ReplayStep& step : steps) {
        if (step.kind == ReplayStep::Kind::Up) {
            if (!up.empty() && up != step.path) {
                error = path + ": the recording shows two pens at once (" + up + " and " +
                        step.path + "); a replay plays one";
                return nullptr;
            }
            up = step.path;
            if (first == nullptr) first = &step;
        }
        if (step.kind == ReplayStep::Kind::Down && step.path == up) up.clear();
    }
    if (first == nullptr) {
        error = path + ": the recording shows no pen";
        return nullptr;
    }
    const ReplayStep firstUp = *first;
    return std::make_shared<ReplayPen>(std::move(steps), firstUp);
}

ReplayPen::ReplayPen(std::vector<ReplayStep> steps, const ReplayStep& firstUp)
    : EmulatedDevice(NameFor(firstUp.productId), firstUp.vendorId, firstUp.productId,
                     firstUp.inputLength, firstUp.outputLength, firstUp.location),
      m_steps(std::move(steps)) {
    // The pen is on the bus from the start as it was first seen; what came
    // before that in the recording is played as it comes.
    for (size_t i = 0; i < m_steps.size(); ++i) {
        if (m_steps[i].kind != ReplayStep::Kind::Up) continue;
        m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    m_anchorMs = firstUp.atMs;
}

void ReplayPen::PlayLocked(bool flush) {
    const auto now = std::chrono::steady_clock::now();
    while (m_next < m_steps.size()) {
        const ReplayStep& step = m_steps[m_next];
        if (step.kind == ReplayStep::Kind::Out) break;
        const auto due = m_anchor + std::chrono::microseconds(
                                        static_cast<long long>((step.atMs - m_anchorMs) * 1000.0));
        if (step.kind == ReplayStep::Kind::In) {
            QueueInput(step.bytes, std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::max(due - now, now - now)));
        } else if (step.kind == ReplayStep::Kind::Up || step.kind == ReplayStep::Kind::Down) {
            if (!flush && due > now) break;
            if (step.kind == ReplayStep::Kind::Down) {
                if (OnBus()) LeaveBus();
                RecordEvent("replay: pen off the bus");
            } else {
                ReturnToBus(step.productId, NameFor(step.productId));
                RecordEvent("replay: pen on the bus as " + NameFor(step.productId));
            }
        }
        ++m_next;  // a write failure with no report before it has nothing to fail
    }
}

bool ReplayPen::OnListing() {
    std::lock_guard<std::mutex> lock(m_replayMutex);
    PlayLocked(false);
    return OnBus();
}

IoStatus ReplayPen::OnReport(const uint8_t* report, SysError& err) {
    std::lock_guard<std::mutex> lock(m_replayMutex);
    // Whatever the recording shows before this report had happened by then.
    PlayLocked(true);
    const size_t length = OutputLength();
    if (m_next >= m_steps.size()) {
        return Violation(
            "output report " + std::to_string(m_outs + 1) + " is one more than the recording has",
            report, length, {}, err);
    }
    const ReplayStep& expected = m_steps[m_next];
    if (expected.bytes.size() != length ||
        !std::equal(expected.bytes.begin(), expected.bytes.end(), report)) {
        return Violation("output report " + std::to_string(m_outs + 1) +
                             " differs from the recording (recorded at " +
                             std::to_string(static_cast<long long>(expected.atMs)) + " ms)",
                         report, length, expected.bytes, err);
    }
    ++m_next;
    ++m_outs;
    m_anchor = std::chrono::steady_clock::now();
    m_anchorMs = expected.atMs;
    IoStatus status = IoStatus::Ok;
    if (m_next < m_steps.size() && m_steps[m_next].kind == ReplayStep::Kind::WriteFailed) {
        status = m_steps[m_next].status;
        err = m_steps[m_next].err;
        RecordEvent("replay: the write fails as recorded");
        ++m_next;
    }
    PlayLocked(false);
    return status;
}

std::string ReplayPen::Unplayed() const {
    std::lock_guard<std::mutex> lock(m_replayMutex);
    size_t left = 0;
    const ReplayStep* next = nullptr;
    for (size_t i = m_next; i < m_steps.size(); ++i) {
        if (m_steps[i].kind != ReplayStep::Kind::Out) continue;
        ++left;
        if (next == nullptr) next = &m_steps[i];
    }
    if (next == nullptr) return {};
    return "the run ended after " + std::to_string(m_outs) + " output reports, " +
           std::to_string(left) + " fewer than the recording has; the next recorded one:\n" +
           HexDump(next->bytes.data(), next->bytes.size());
}

}  // namespace penlink::emulator

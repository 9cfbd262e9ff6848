// A point in time that a call must not pass, for the poll loops of the
// hidraw connection.
#ifndef PENLINK_DEADLINE_H
#define PENLINK_DEADLINE_H

#include <chrono>
#include <climits>

namespace penlink {

class Deadline {
public:
    // The deadline timeoutMs from now. Any thread.
    explicit Deadline(unsigned timeoutMs)
        : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {}

    // Milliseconds left, rounded up, for poll: 0 once the deadline passed.
    int RemainingMs() const {
        const auto left = m_end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return 0;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
    }

private:
    std::chrono::steady_clock::time_point m_end;
};

}  // namespace penlink

#endif  // PENLINK_DEADLINE_H

// The transfer's progress as plain lines, for output that is not a
// terminal: the steps of 10% (or another step) that the transfer has passed.
// Pure code: no I/O.
#ifndef PENFLASH_PROGRESSMILESTONES_H
#define PENFLASH_PROGRESSMILESTONES_H

#include <cstdint>
#include <vector>

namespace penflash {

class ProgressMilestones {
public:
    // step: the distance between two reported percentages, 1 to 100 (10
    // for anything else). Any thread.
    explicit ProgressMilestones(unsigned step = 10) : m_step(step == 0 || step > 100 ? 10 : step) {}

    // Returns the multiples of the step (in percent, rising) that sent of
    // total has reached since the last call and that were not returned
    // before. 100 comes exactly once, when sent reaches total; a smaller
    // sent than before returns nothing. Any thread, one at a time per object.
    std::vector<unsigned> Advance(std::uint64_t sent, std::uint64_t total);

private:
    unsigned m_step;
    unsigned m_next = 0;  // the next percentage to report; above 100 when done
};

}  // namespace penflash

#endif  // PENFLASH_PROGRESSMILESTONES_H

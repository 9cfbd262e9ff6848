#include "ProgressMilestones.h"

#include "ProgressBar.h"

namespace penflash {

std::vector<unsigned> ProgressMilestones::Advance(std::uint64_t sent, std::uint64_t total) {
    std::vector<unsigned> reached;
    const unsigned percent = PercentDone(sent, total);
    // 0% is no news: the first line is the first step.
    if (m_next == 0) m_next = m_step;
    while (m_next <= 100 && m_next <= percent) {
        reached.push_back(m_next);
        m_next = m_next == 100 ? 101 : (m_next + m_step > 100 ? 100 : m_next + m_step);
    }
    return reached;
}

}  // namespace penflash

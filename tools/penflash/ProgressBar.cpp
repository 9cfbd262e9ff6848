#include "ProgressBar.h"

#include <cstdio>

#include "TextFormat.h"

namespace penflash {

unsigned PercentDone(std::uint64_t sent, std::uint64_t total) noexcept {
    if (total == 0 || sent >= total) return 100;
    // Exact while sent * 100 fits; beyond that (far past any image) close
    // enough, and never 100 before the end.
    if (total <= UINT64_MAX / 100) return static_cast<unsigned>(sent * 100 / total);
    const std::uint64_t percent = sent / (total / 100);
    return static_cast<unsigned>(percent > 99 ? 99 : percent);
}

std::string ProgressBar::Render(std::uint64_t sent, std::uint64_t total) const {
    if (total == 0 || sent > total) sent = total;
    const std::size_t filled =
        total == 0 ? m_width : static_cast<std::size_t>(sent * m_width / total);
    std::string line = "[";
    line.append(filled, '#');
    line.append(m_width - filled, '-');
    char percent[8];
    std::snprintf(percent, sizeof percent, "%4u%%", PercentDone(sent, total));
    line += "]";
    line += percent;
    line += "  " + GroupDigits(sent) + " / " + GroupDigits(total) + " bytes";
    return line;
}

}  // namespace penflash

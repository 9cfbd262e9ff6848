// The transfer's progress as one line for a terminal:
//   [############------------------]  40%  21,280 / 53,256 bytes
// Pure code: no I/O.
#ifndef PENFLASH_PROGRESSBAR_H
#define PENFLASH_PROGRESSBAR_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace penflash {

class ProgressBar {
public:
    // A bar of width characters between its brackets. Any thread.
    explicit ProgressBar(std::size_t width = 30) : m_width(width) {}

    // Returns the line for sent of total bytes. The bar and the percentage
    // are rounded down, so a full bar and 100% mean that every byte went;
    // sent above total counts as total, and a total of 0 as complete.
    // Any thread.
    std::string Render(std::uint64_t sent, std::uint64_t total) const;

private:
    std::size_t m_width;
};

// Returns the whole percentage of total that sent is, rounded down, and 100
// when total is 0 or sent is at least total. Any thread.
unsigned PercentDone(std::uint64_t sent, std::uint64_t total) noexcept;

}  // namespace penflash

#endif  // PENFLASH_PROGRESSBAR_H

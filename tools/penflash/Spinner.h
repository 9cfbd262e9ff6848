// The line shown on a terminal while penflash waits for the pen:
//   / Waiting for the pen in firmware-update mode... 1.5 s
// Pure code: no I/O.
#ifndef PENFLASH_SPINNER_H
#define PENFLASH_SPINNER_H

#include <string>

namespace penflash {

class Spinner {
public:
    // text: what is awaited. Any thread.
    explicit Spinner(std::string text) : m_text(std::move(text)) {}

    // Returns the line after seconds of waiting: a turning stroke (a quarter
    // turn every 125 ms), the text and the time waited. Any thread.
    std::string Render(double seconds) const;

private:
    std::string m_text;
};

}  // namespace penflash

#endif  // PENFLASH_SPINNER_H

#include "Spinner.h"

#include "TextFormat.h"

namespace penflash {

std::string Spinner::Render(double seconds) const {
    static const char kFrames[] = {'|', '/', '-', '\\'};
    const long step = seconds <= 0 ? 0 : static_cast<long>(seconds * 8);
    return std::string(1, kFrames[step % 4]) + " " + m_text + " " + FormatSeconds(seconds);
}

}  // namespace penflash

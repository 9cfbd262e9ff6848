// Screenshots of the wizard's frame, taken from the screen (the X display
// under Wine), written as PNG files for a person to look at.
#ifndef FLASHWIZARD_TESTS_SCREENSHOT_H
#define FLASHWIZARD_TESTS_SCREENSHOT_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wizard_test {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

// What the screen shows of window (its whole rectangle). Empty picture when
// the window has no area or the screen cannot be read.
Picture CaptureWindow(HWND window);

// The number of different colours in picture (a blank picture has one).
std::size_t DistinctColours(const Picture& picture);

// Writes picture as an 8-bit RGB PNG file at path. Returns whether the
// whole file was written.
bool WritePng(const std::wstring& path, const Picture& picture);

// The folder for the build's screenshots (build/<preset>/screenshots beside
// this program's bin folder), made if need be.
std::wstring ScreenshotFolder();

}  // namespace wizard_test

#endif  // FLASHWIZARD_TESTS_SCREENSHOT_H

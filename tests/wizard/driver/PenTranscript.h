// Reading the emulated pen's transcript ("OUT <hex>", "IN <hex>", "EVENT
// <text>" lines): counting lines and putting the firmware image back
// together from the reports that carried it.
#ifndef FLASHWIZARD_TESTS_PENTRANSCRIPT_H
#define FLASHWIZARD_TESTS_PENTRANSCRIPT_H

#include <cstdint>
#include <string>
#include <vector>

namespace wizard_test {

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// The number of lines that begin with prefix.
int CountLines(const Lines& lines, const std::string& prefix);

// The image that the transcript's output reports carried: the length from
// the begin report (00 02 03, length little-endian), then the block reports
// (00 02 02, offset little-endian, data, 0xFF fill) after it, each block
// as long as the transfer's cutting rule makes it. Returns true with the
// image, or false with why set when there is no begin report, a block is out
// of order, its fill is wrong or the image is incomplete.
bool ReassembleImage(const Lines& lines, Bytes& image, std::string& why);

// The uncompressed image that the build compressed into the wizard
// (resource EXPECTED_IMAGE of this program). Empty when missing.
Bytes ExpectedImage();

}  // namespace wizard_test

#endif  // FLASHWIZARD_TESTS_PENTRANSCRIPT_H

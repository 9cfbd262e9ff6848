// The pen's side of the protocol against the library's. The two codecs are
// written apart so that each checks the other: the emulator's runs show
// their agreement on the reports of the default pen, this on every report
// length the transfer handles and every way an image can end.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/ReportCodec.h"
#include "emulator/PenSideCodec.h"

using namespace penlink;
namespace pen = penlink::emulator::penside;

TEST(PenSideCodec, PenExpectsEveryImageReportTheLibraryPacks) {
    std::vector<uint8_t> image(300);
    std::iota(image.begin(), image.end(), uint8_t{1});
    EXPECT_EQ(pen::kMinImageReportLength, kMinOutputReportLength);
    for (size_t length = kMinOutputReportLength; length <= kReportBufferSize; ++length) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> host(length);
        ASSERT_TRUE(BuildBeginImageReport(host.data(), length, 0x12345678));
        EXPECT_EQ(host, pen::BeginImageReport(length, 0x12345678));
        for (size_t remaining = 1; remaining <= image.size(); ++remaining) {
            const size_t bytes = BlockLength(remaining, length);
            ASSERT_EQ(bytes, pen::BlockBytes(remaining, length)) << remaining;
            const uint32_t offset = static_cast<uint32_t>(image.size() - remaining);
            ASSERT_TRUE(BuildImageBlockReport(host.data(), length, offset, &image[offset], bytes));
            ASSERT_EQ(host, pen::ImageBlockReport(length, offset, &image[offset], bytes))
                << remaining;
            ASSERT_EQ(pen::LengthOrOffset(host.data()), offset);
        }
    }
}

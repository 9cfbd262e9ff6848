// The transfer's progress: the bar on a terminal and the 10% lines
// elsewhere, fed as the library reports a transfer block by block.
#include <gtest/gtest.h>

#include <vector>

#include "ProgressBar.h"
#include "ProgressMilestones.h"

using penflash::PercentDone;
using penflash::ProgressBar;
using penflash::ProgressMilestones;

namespace {

// The byte counts after each block of a 53,256-byte image in 56-byte blocks,
// as the library reports them.
std::vector<unsigned> BlockCounts(unsigned total, unsigned block) {
    std::vector<unsigned> counts;
    for (unsigned sent = 0; sent < total;) {
        sent = std::min(total, sent + block);
        counts.push_back(sent);
    }
    return counts;
}

}  // namespace

TEST(ProgressTest, PercentAndBarAreFullOnlyWhenEveryByteWent) {
    EXPECT_EQ(PercentDone(53255, 53256), 99u);
    EXPECT_EQ(PercentDone(53256, 53256), 100u);
    EXPECT_EQ(PercentDone(0, 0), 100u);
    EXPECT_EQ(PercentDone(1ull << 62, (1ull << 62) + 1), 99u);  // no overflow

    const ProgressBar bar(10);
    EXPECT_EQ(bar.Render(0, 53256), "[----------]   0%  0 / 53,256 bytes");
    EXPECT_EQ(bar.Render(53255, 53256), "[#########-]  99%  53,255 / 53,256 bytes");
    EXPECT_EQ(bar.Render(53256, 53256), "[##########] 100%  53,256 / 53,256 bytes");
    EXPECT_EQ(bar.Render(70000, 53256), bar.Render(53256, 53256));
    EXPECT_EQ(bar.Render(0, 0), "[##########] 100%  0 / 0 bytes");
}

TEST(ProgressTest, EveryTenthComesOnceInOrderAndHundredOnlyAtTheEnd) {
    ProgressMilestones milestones;
    std::vector<unsigned> seen;
    const auto counts = BlockCounts(53256, 56);
    ASSERT_EQ(counts.size(), 951u);
    for (unsigned sent : counts) {
        for (unsigned p : milestones.Advance(sent, 53256)) {
            if (p == 100) {
                EXPECT_EQ(sent, 53256u);
            }
            seen.push_back(p);
        }
    }
    EXPECT_EQ(seen, (std::vector<unsigned>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_TRUE(milestones.Advance(53256, 53256).empty()) << "100% a second time";
}

TEST(ProgressTest, JumpsShortImagesAndSetbacks) {
    ProgressMilestones jump;
    EXPECT_EQ(jump.Advance(100, 100).size(), 10u) << "one block that is the whole image";

    ProgressMilestones back;
    EXPECT_EQ(back.Advance(50, 100), (std::vector<unsigned>{10, 20, 30, 40, 50}));
    EXPECT_TRUE(back.Advance(30, 100).empty());
    EXPECT_EQ(back.Advance(60, 100), (std::vector<unsigned>{60}));

    ProgressMilestones odd(30);  // steps that do not divide 100 still end at 100
    EXPECT_EQ(odd.Advance(100, 100), (std::vector<unsigned>{30, 60, 90, 100}));
}

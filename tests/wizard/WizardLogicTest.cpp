// The wizard's platform-free logic, natively: the placeholder rule on the
// shipped texts and on the awkward cases, where Back and Next lead, and the
// version text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FirmwareVersion.h"
#include "Placeholders.h"
#include "WizardNavigation.h"
#include "ui/PageList.h"
#include "ui/Text.h"

namespace {

const PlaceholderValues kShipped{L"RM550e", L"2.47", L"2.05"};

std::wstring Completed(const wchar_t* text, const PlaceholderValues& values, int* count = nullptr) {
    CText completed = text;
    const int replaced = CompletePlaceholders(completed, values);
    if (count != nullptr) *count = replaced;
    return completed.Str();
}

TEST(TextReplace, ReplacesEveryOccurrenceLeftToRightAndCounts) {
    CText text = L"a[P]b[P][P]c";
    EXPECT_EQ(text.Replace(L"[P]", L"xy"), 3);
    EXPECT_EQ(text.Str(), L"axybxyxyc");
}

TEST(TextReplace, DoesNotRescanWhatItInserted) {
    CText text = L"[P]-[P]";
    EXPECT_EQ(text.Replace(L"[P]", L"[P][P]"), 2);
    EXPECT_EQ(text.Str(), L"[P][P]-[P][P]");
}

TEST(TextReplace, EmptyValueRemovesAndEmptyPlaceholderChangesNothing) {
    CText text = L"x[P]y";
    EXPECT_EQ(text.Replace(L"[P]", L""), 1);
    EXPECT_EQ(text.Str(), L"xy");
    EXPECT_EQ(text.Replace(L"", L"z"), 0);
    EXPECT_EQ(text.Replace(nullptr, L"z"), 0);
    EXPECT_EQ(text.Str(), L"xy");
    CText none = nullptr;
    EXPECT_TRUE(none.IsEmpty());
}

TEST(Placeholders, CompletesTheShippedTexts) {
    int count = 0;
    EXPECT_EQ(Completed(L"[Product] Firmware Update Wizard", kShipped, &count),
              L"RM550e Firmware Update Wizard");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Completed(L"This wizard will update your [Product] firmware to version [Version].",
                        kShipped, &count),
              L"This wizard will update your RM550e firmware to version 2.47.");
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Completed(L"Firmware versions:\n   Current\t[CurrentVersion]\n   Update\t[Version]",
                        kShipped, &count),
              L"Firmware versions:\n   Current\t2.05\n   Update\t2.47");
    EXPECT_EQ(count, 2);
    // A text without placeholders is reported as unchanged, so the pass
    // leaves its window alone.
    EXPECT_EQ(Completed(L"Ready to update", kShipped, &count), L"Ready to update");
    EXPECT_EQ(count, 0);
}

TEST(Placeholders, BackToBackPlaceholdersAndAnEmptyCurrentVersion) {
    EXPECT_EQ(Completed(L"[Product][Product] [Version]", kShipped), L"RM550eRM550e 2.47");
    const PlaceholderValues unknown{L"RM550e", L"2.47", L""};
    EXPECT_EQ(Completed(L"Current\t[CurrentVersion]!", unknown), L"Current\t!");
}

TEST(Placeholders, OnlyExactPlaceholdersMatch) {
    int count = 0;
    EXPECT_EQ(Completed(L"[PRODUCT] [product] [Product", kShipped, &count),
              L"[PRODUCT] [product] [Product");
    EXPECT_EQ(count, 0);
    // "[Version]" is not inside "[CurrentVersion]": the third step takes it.
    const PlaceholderValues noCurrent{L"RM550e", L"2.47", L"<cur>"};
    EXPECT_EQ(Completed(L"[CurrentVersion]", noCurrent, &count), L"<cur>");
    EXPECT_EQ(count, 1);
}

TEST(Placeholders, LaterStepsRescanEarlierValues) {
    // A model name holding a later placeholder has it replaced by the later
    // step; a version holding an earlier one keeps it.
    const PlaceholderValues odd{L"Pen [Version]", L"[Product] 2", L"x"};
    int count = 0;
    EXPECT_EQ(Completed(L"[Product]/[Version]", odd, &count), L"Pen [Product] 2/[Product] 2");
    EXPECT_EQ(count, 3);
}

struct FakePage {
    unsigned m_nTemplateId;
};

class WizardTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (FakePage& page : m_pages) m_list.Append(&page);
    }
    FakePage* Target(int active, std::intptr_t result, WizardDirection direction) {
        return WizardTarget(m_list, &m_pages[active], result, direction);
    }

    // The wizard's order, with a second page on 110 to show which one a jump
    // takes.
    FakePage m_pages[6] = {{108}, {149}, {109}, {110}, {111}, {110}};
    CPageList<FakePage> m_list;
};

TEST_F(WizardTargetTest, NeighboursExceptPastEitherEnd) {
    EXPECT_EQ(Target(1, kWizardGoToNeighbour, WizardDirection::Next), &m_pages[2]);
    EXPECT_EQ(Target(1, kWizardGoToNeighbour, WizardDirection::Back), &m_pages[0]);
    EXPECT_EQ(Target(0, kWizardGoToNeighbour, WizardDirection::Back), nullptr);
    EXPECT_EQ(Target(5, kWizardGoToNeighbour, WizardDirection::Next), nullptr);
}

TEST_F(WizardTargetTest, StayAndJumps) {
    EXPECT_EQ(Target(2, kWizardStayOnPage, WizardDirection::Next), nullptr);
    EXPECT_EQ(Target(2, kWizardStayOnPage, WizardDirection::Back), nullptr);
    // A template id that two pages share: the first of them in list order.
    EXPECT_EQ(Target(0, 110, WizardDirection::Next), &m_pages[3]);
    EXPECT_EQ(Target(4, 108, WizardDirection::Back), &m_pages[0]);
    EXPECT_EQ(Target(0, 999, WizardDirection::Next), nullptr);
}

TEST_F(WizardTargetTest, PageOutsideTheListHasNoNeighbour) {
    FakePage stranger{108};
    EXPECT_EQ(WizardTarget(m_list, &stranger, kWizardGoToNeighbour, WizardDirection::Next),
              nullptr);
    EXPECT_EQ(WizardTarget(m_list, &stranger, kWizardGoToNeighbour, WizardDirection::Back),
              nullptr);
    CPageList<FakePage> empty;
    EXPECT_EQ(empty.First(), nullptr);
    EXPECT_EQ(empty.Last(), nullptr);
    EXPECT_EQ(WizardTarget(empty, &stranger, 108, WizardDirection::Next), nullptr);
}

TEST(FirmwareVersionText, MajorThenTwoDigitMinor) {
    EXPECT_EQ(FormatFirmwareVersion(0x022F0000u), L"2.47");
    EXPECT_EQ(FormatFirmwareVersion(0x02050000u), L"2.05");
    EXPECT_EQ(FormatFirmwareVersion(0x01000000u), L"1.00");
    EXPECT_EQ(FormatFirmwareVersion(0u), L"0.00");
    EXPECT_EQ(FormatFirmwareVersion(0x02640000u), L"2.100");
    EXPECT_EQ(FormatFirmwareVersion(0xFFFF0000u), L"255.255");
}

TEST(FirmwareVersionText, LowBitsDoNotShow) {
    EXPECT_EQ(FormatFirmwareVersion(0x022FFFFFu), L"2.47");
    EXPECT_EQ(FormatFirmwareVersion(0x0000ABCDu), L"0.00");
}

}  // namespace

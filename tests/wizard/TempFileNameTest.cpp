// How the image pipeline names its temporary files.
#include <gtest/gtest.h>

#include "TempFileName.h"

namespace {

TEST(TempFileName, FourLowercaseHexDigitsOfTheDrawModulo65536) {
    EXPECT_EQ(FormatTempFileName(0), L"res0000.tmp");
    EXPECT_EQ(FormatTempFileName(0x29), L"res0029.tmp");
    EXPECT_EQ(FormatTempFileName(0x7FFF), L"res7fff.tmp");  // the largest rand() value
    EXPECT_EQ(FormatTempFileName(0xABCD), L"resabcd.tmp");
    EXPECT_EQ(FormatTempFileName(0x10000 + 5), L"res0005.tmp");
}

}  // namespace

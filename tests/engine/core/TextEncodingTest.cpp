#include "engine/core/TextEncoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, ShiftJisRoundTripsThroughUtf8)
{
    // "日本" in Shift-JIS and in UTF-8.
    const std::string sjis = "\x93\xfa\x96\x7b";
    const std::string utf8 = "\xe6\x97\xa5\xe6\x9c\xac";
    EXPECT_EQ(ConvertShiftJisToUtf8(sjis), utf8);
    EXPECT_EQ(ConvertUtf8ToShiftJis(utf8), sjis);
    EXPECT_EQ(ConvertShiftJisToUtf8("Data\\Texture.gpk"), "Data\\Texture.gpk");
}

TEST(TextEncoding, BadInputNeverStopsTheConversion)
{
    EXPECT_EQ(ConvertShiftJisToUtf8("ab\x93"), "ab");
    EXPECT_EQ(ConvertUtf8ToShiftJis("a\xff" "b"), "a?b");
}

TEST(TextEncoding, LeadBytes)
{
    EXPECT_TRUE(IsShiftJisLeadByte(0x81));
    EXPECT_TRUE(IsShiftJisLeadByte(0x9F));
    EXPECT_TRUE(IsShiftJisLeadByte(0xE0));
    EXPECT_TRUE(IsShiftJisLeadByte(0xFC));
    EXPECT_FALSE(IsShiftJisLeadByte(0x80));
    EXPECT_FALSE(IsShiftJisLeadByte(0xA0));
    EXPECT_FALSE(IsShiftJisLeadByte('A'));
}

// The staff roll file: sizes and texts line by line, long lines cut, and
// a missing file giving an empty roll.
#include "game/story/StaffRoll.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::vector<tag_TOLQSTORYENDINGSTAFF> Parse(const std::string& text)
{
    return ParseStaffRoll(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}
}

TEST(StaffRoll, EachLineIsASizeACommaAndTheText)
{
    const auto lines = Parse("24,Programming\r\n 32,A, B and C\n,No size\n-5,Below\n99999,Above\n x,Text\n28,Last");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].size, 24);
    EXPECT_STREQ(lines[0].text, "Programming");
    // Only the first comma separates; blanks before the number are passed.
    EXPECT_EQ(lines[1].size, 32);
    EXPECT_STREQ(lines[1].text, "A, B and C");
    // No number reads as 0; sizes stay within 0..256.
    EXPECT_EQ(lines[2].size, 0);
    EXPECT_EQ(lines[3].size, 0);
    EXPECT_EQ(lines[4].size, kMaxStaffTextSize);
    EXPECT_EQ(lines[5].size, 0);
    EXPECT_STREQ(lines[6].text, "Last");

    // Text after the last line with no comma in it makes no line.
    EXPECT_EQ(Parse("24,One\nno comma here\n").size(), 1u);
    EXPECT_TRUE(Parse("").empty());
}

TEST(StaffRoll, ALineLongerThanItsFieldIsCutBetweenCharacters)
{
    // 258 bytes, then a double-byte character past the 259 the text holds.
    const std::string text = "24," + std::string(258, 'a') + "\x82\xA0" + "more\n20,Next";
    const auto lines = Parse(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::string(lines[0].text), std::string(258, 'a'));
    EXPECT_STREQ(lines[1].text, "Next");
    // So is a number part longer than its buffer.
    EXPECT_EQ(Parse(std::string(300, ' ') + "24,x")[0].size, 0);
}

TEST(StaffRoll, TheFileIsReadThroughThePathLayerAndAMissingOneGivesNoLines)
{
    TempFolder temp;
    TempFolder::Write(temp.Path() / "Story" / "StaffRoll.stt", "40,QOR\n24,Team\n");
    CList<tag_TOLQSTORYENDINGSTAFF> lines;
    ASSERT_EQ(ReadStaffRoll("story\\STAFFROLL.stt", &lines), 1u);
    ASSERT_EQ(lines.GetCount(), 2u);
    EXPECT_EQ(lines.GetItem(0)->size, 40);
    EXPECT_STREQ(lines.GetItem(1)->text, "Team");
    EXPECT_EQ(ReadStaffRoll("Story\\Missing.stt", &lines), 0u);
    EXPECT_EQ(lines.GetCount(), 0u);
}

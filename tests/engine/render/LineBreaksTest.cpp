// Text set in a box breaks Latin lines at spaces and Japanese ones between
// any two characters; only a word longer than a line is split. Every
// single-byte character is 10 wide here, every double-byte one 20.
#include "engine/render/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
// The lines of text in a box of the given width (from 0) and bytes per
// line, the space a line breaks at left out.
std::vector<std::string> Lines(const std::string& text, float width, uint32_t maxBytes = 0)
{
    const LineBox box{.x = 0.0f, .lineStartX = 0.0f, .wrapX = width, .maxBytes = maxBytes};
    std::vector<LineBreak> breaks;
    EXPECT_TRUE(FindLineBreaks(text.c_str(), box, [](const char*, size_t length) { return 10.0f * length; }, &breaks));
    std::vector<std::string> lines;
    size_t from = 0;
    for (const LineBreak& lineBreak : breaks)
    {
        lines.push_back(text.substr(from, lineBreak.at - from));
        from = lineBreak.at + (lineBreak.dropsSpace ? 1 : 0);
    }
    lines.push_back(text.substr(from));
    return lines;
}

using Expected = std::vector<std::string>;
}

TEST(LineBreaks, LatinWordsMoveWholeToTheNextLine)
{
    EXPECT_EQ(Lines("Score as many knockouts as you can before the time is up.", 120),
              (Expected{"Score as ", "many ", "knockouts as", "you can ", "before the ", "time is up."}));
    // A space that would pass the edge is where the line breaks; it is not drawn.
    EXPECT_EQ(Lines("Collect arms now", 120), (Expected{"Collect arms", "now"}));
    // So with a limit of bytes per line.
    EXPECT_EQ(Lines("ab cd ef", 0, 4), (Expected{"ab ", "cd ", "ef"}));
}

TEST(LineBreaks, AWordLongerThanALineBreaksWhereTheLineIsFull)
{
    EXPECT_EQ(Lines("ABCDEF", 0, 4), (Expected{"ABCD", "EF"}));
    EXPECT_EQ(Lines("a Knockouts", 60), (Expected{"a ", "Knocko", "uts"}));
}

TEST(LineBreaks, JapaneseBreaksBetweenAnyTwoCharactersAndBeforeALatinWord)
{
    // あいうえお in Shift-JIS, then a Latin word after it.
    const std::string kana = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8";
    EXPECT_EQ(Lines(kana, 50), (Expected{kana.substr(0, 4), kana.substr(4, 4), kana.substr(8)}));
    EXPECT_EQ(Lines(kana.substr(0, 6) + "Rifle", 100), (Expected{kana.substr(0, 6), "Rifle"}));
    // A line feed starts a line of its own accord.
    EXPECT_EQ(Lines("one two\nthree four", 90), (Expected{"one two\nthree ", "four"}));
}

TEST(LineBreaks, ACharacterThatCantBeMeasuredFailsTheLayout)
{
    std::vector<LineBreak> breaks;
    EXPECT_FALSE(FindLineBreaks("ab cd", {}, [](const char* c, size_t) { return *c == 'd' ? -1.0f : 10.0f; }, &breaks));
}

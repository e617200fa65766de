// Text set in a box breaks Latin lines at spaces and Japanese ones between
// any two characters; only a word longer than a line is split. Every
// single-byte character is 10 wide here, every double-byte one 20.
#include "engine/render/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

// The lines of text in a box of the given width and bytes per line, the
// space or line feed a line breaks at left out.
Lines Set(const std::string& text, float width, uint32_t maxBytes = 0)
{
    std::vector<LineBreak> breaks;
    EXPECT_TRUE(FindLineBreaks(text.c_str(), {.wrapX = width, .maxBytes = maxBytes},
                               [](const char*, size_t length) { return 10.0f * length; }, &breaks));
    Lines lines;
    size_t from = 0;
    for (const LineBreak& at : breaks)
    {
        lines.push_back(text.substr(from, at.at - from));
        from = at.at + (at.drops ? 1 : 0);
    }
    lines.push_back(text.substr(from));
    return lines;
}
}

TEST(LineBreaks, LatinBreaksAtSpacesAndOnlyAWordLongerThanALineIsSplit)
{
    EXPECT_EQ(Set("Score as many knockouts as you can before the time is up.", 120),
              (Lines{"Score as ", "many ", "knockouts as", "you can ", "before the ", "time is up."}));
    EXPECT_EQ(Set("ab cd ef", 0, 4), (Lines{"ab ", "cd ", "ef"}));
    EXPECT_EQ(Set("ABCDEF", 0, 4), (Lines{"ABCD", "EF"}));
    EXPECT_EQ(Set("a Knockouts", 60), (Lines{"a ", "Knocko", "uts"}));
    EXPECT_EQ(Set("one two\nthree four", 90), (Lines{"one two", "three ", "four"}));
    // After a lead byte a line feed is the second byte of a character.
    EXPECT_EQ(Set("a\x81\nb\n", 0), (Lines{"a\x81\nb", ""}));
}

TEST(LineBreaks, JapaneseBreaksBetweenAnyTwoCharactersAndBeforeALatinWord)
{
    const std::string kana = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8"; // あいうえお
    EXPECT_EQ(Set(kana, 50), (Lines{kana.substr(0, 4), kana.substr(4, 4), kana.substr(8)}));
    EXPECT_EQ(Set(kana.substr(0, 6) + "Rifle", 100), (Lines{kana.substr(0, 6), "Rifle"}));
    std::vector<LineBreak> breaks;
    EXPECT_FALSE(FindLineBreaks("ab", {}, [](const char* c, size_t) { return *c == 'b' ? -1.0f : 10.0f; }, &breaks));
}

// Seen as a user comment running out of its frame: a lone "\r" (from
// another player's text) took no part in the breaking, so the word after
// it was never broken. It separates words like a space and takes no room;
// every line keeps to the box, by width and by bytes.
TEST(LineBreaks, ALoneCarriageReturnSeparatesWordsAndEveryLineKeepsToTheBox)
{
    EXPECT_EQ(Set("one\rextraordinarily", 100), (Lines{"one\r", "extraordin", "arily"}));
    EXPECT_EQ(Set("one\rextraordinarily", 0, 8), (Lines{"one\r", "extraord", "inarily"}));
    EXPECT_EQ(Set("ab\rcd", 100), (Lines{"ab\rcd"}));
    EXPECT_EQ(Set("\r\rword\rwords\r\rwordy", 0, 6), (Lines{"\r\rword\r", "words\r\r", "wordy"}));
}

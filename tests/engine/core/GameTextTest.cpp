#include "engine/core/GameText.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GameText, ConvertsJapaneseToShiftJisOnce)
{
    const char* first = GameText("タイトルに戻る");
    const char* again = GameText("タイトルに戻る");
    EXPECT_EQ(first, again);
    // "タ" is 0x83 0x5E in code page 932.
    EXPECT_EQ(static_cast<unsigned char>(first[0]), 0x83);
    EXPECT_EQ(static_cast<unsigned char>(first[1]), 0x5E);
    EXPECT_EQ(std::strlen(first), 14u);
}

TEST(GameText, KeepsAsciiAndNull)
{
    EXPECT_STREQ(GameText("Se_select.ogg"), "Se_select.ogg");
    EXPECT_EQ(GameText(nullptr), nullptr);
    EXPECT_EQ(ToGameText("他多数 3"), std::string("\x91\xBC\x91\xBD\x90\x94 3"));
}

// The HUD's fixed text buffers: kill-feed and radio lines, and the radio
// tables' texts that fill their 33 bytes, are kept bounded and cut between
// two Shift-JIS characters.
#include "engine/core/GameText.h"
#include "engine/core/ShiftJisText.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace
{
// True when text ends on a character's last byte.
bool EndsOnAWholeCharacter(const char* text)
{
    size_t at = 0;
    for (size_t length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
        ;
    return at == std::strlen(text);
}
}

TEST(ConsoleText, CopiesAreCutBetweenCharactersAndReadNoFurtherThanTheirLimit)
{
    const std::string kana = GameText("あいうえお"); // five two-byte characters
    char out[6];
    CopyGameText(out, sizeof(out), kana.c_str());
    EXPECT_EQ(std::strlen(out), 4u); // two characters; a third would leave no room for the NUL
    EXPECT_TRUE(EndsOnAWholeCharacter(out));
    char wide[64];
    CopyGameText(wide, sizeof(wide), kana.c_str(), 5);
    EXPECT_EQ(std::strlen(wide), 4u); // the limit ends inside the third
    CopyGameText(wide, sizeof(wide), nullptr);
    EXPECT_STREQ(wide, "");
    // No NUL within the limit: the limit ends the text.
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    CopyGameText(wide, sizeof(wide), unterminated, 3);
    EXPECT_STREQ(wide, "abc");
}

TEST(ConsoleText, ALongKillFeedLineIsKeptWholeCharactersWithinItsBuffer)
{
    CBattleConsole console;
    ASSERT_EQ(console.Init(0), 1);
    std::string line;
    for (int i = 0; i < 20; ++i)
        line += GameText("倒された");
    console.ShowMessage(line.c_str(), 4, 99);
    const tag_TOLQCONSOLESTATE& state = console.GetState();
    EXPECT_EQ(state.messageShown, 1u);
    const size_t length = strnlen(state.messageText, sizeof(state.messageText));
    ASSERT_LT(length, sizeof(state.messageText));
    EXPECT_GE(length, sizeof(state.messageText) - 2);
    EXPECT_TRUE(EndsOnAWholeCharacter(state.messageText));
    EXPECT_EQ(std::memcmp(state.messageText, line.data(), length), 0);
}

TEST(ConsoleText, ARadioTextFillingAll33BytesIsReadTo32AndTheLineStaysBounded)
{
    CCharacterDefinition definition;
    std::snprintf(definition.name, sizeof(definition.name), "Sender");
    // Every byte of the text set, and the byte after it too: no NUL anywhere.
    for (tag_TOLQRADIOCHAT& chat : definition.radio)
    {
        chat.scope = 0;
        std::memset(chat.text, 'x', sizeof(chat.text));
        chat.phrase = 'Y';
    }
    auto sender = std::make_unique<CCharacter>(&definition);
    sender->Create(0);
    CCharacter* fighters[1] = {sender.get()};
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(1, 0, nullptr);
    CBattleConsole console;
    ASSERT_EQ(console.Init(reinterpret_cast<uintptr_t>(setting)), 1);
    console.SetCharacters(fighters, sender.get(), 1);
    console.AddRadioMessage(0, 3);
    const tag_TOLQRADIOLINE& line = console.GetState().radio[0];
    EXPECT_EQ(line.shown, 1u);
    EXPECT_EQ(std::string(line.text), "Sender:" + std::string(32, 'x'));
    // A message index past the table is no message.
    console.AddRadioMessage(0, CCharacterDefinition::kRadioChats);
    EXPECT_EQ(console.GetState().radio[1].shown, 0u);
    console.Release();
    FreeBattleSetting(setting);
}

TEST(ConsoleText, ALongSenderNameCutsTheRadioLineAtItsBuffer)
{
    CBattleConsole console;
    ASSERT_EQ(console.Init(0), 1);
    const std::string name(300, 'n');
    console.AddRadioLine(std::string("\0hello", 6).c_str(), 0, name.c_str(), nullptr);
    const tag_TOLQRADIOLINE& line = console.GetState().radio[0];
    EXPECT_EQ(strnlen(line.text, sizeof(line.text)), sizeof(line.text) - 1);
}

// The battle setting's defaults, with and without the game's settings, and
// what freeing it frees.
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

TEST(BattleSetting, ANewSettingForThreePlayersHasTheDefaultsOfAFreshBattle)
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(3, 1, nullptr);
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->playerCount, 3);
    EXPECT_EQ(setting->ownSlot, 0);
    EXPECT_EQ(setting->freeWithBattle, 1u);
    EXPECT_EQ(setting->record, 1u);
    EXPECT_EQ(setting->players[0].slotState, 0);
    EXPECT_EQ(setting->players[1].slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    EXPECT_EQ(setting->players[2].slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    for (uint8_t i = 0; i < 3; ++i)
    {
        const tag_TOLQBATTLEPLAYER& player = setting->players[i];
        EXPECT_EQ(player.team, i);
        EXPECT_EQ(player.startPoint, 0xFFFFFFFFu);
        EXPECT_EQ(player.localInput, 1u);
        EXPECT_EQ(player.cpuLevel, 2);
        EXPECT_FLOAT_EQ(player.cameraSensitivity, 5.0f);
        EXPECT_FLOAT_EQ(player.mouseSensitivity, 2.0f);
        // The choice equals the count: random.
        EXPECT_GE(player.character, static_cast<int8_t>(player.characterCount));
    }
    const tag_TOLQBATTLERULE& rules = setting->rules;
    EXPECT_GE(rules.stageChoice, static_cast<int8_t>(rules.stageCount));
    EXPECT_EQ(rules.rule, tag_TOLQBATTLERULE::RULE_SMASH_RACE);
    EXPECT_EQ(rules.limit, 4);
    EXPECT_EQ(rules.GetTimeLimit(), tag_TOLQBATTLERULE::kNoTimeLimit);
    EXPECT_EQ(rules.cpuLevel, 2);
    EXPECT_EQ(rules.GetNpcCount(), 0u);
    EXPECT_EQ(rules.friendlyFire, 1u);
    EXPECT_EQ(rules.itemMask, 0x3Fu);
    EXPECT_EQ(rules.weaponMask, 0x1FFFFu);
    EXPECT_EQ(rules.elementMask, 0x7Fu);
    EXPECT_EQ(FreeBattleSetting(setting), 1u);
}

TEST(BattleSetting, DefaultsComeFromTheSettingsAndPlayDataWhenThereAreSome)
{
    CGameConfig config;
    config.GetData()->friendlyFire = 0;
    config.GetData()->replaySave = 0;
    config.GetData()->cameraSensitivity = 3.5f;
    config.GetData()->mouseSensitivity = 1.25f;
    config.GetPlayData()->stageCount = 3;
    config.GetPlayData()->musicCount = 12;
    config.GetPlayData()->characters.resize(7);
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, &config);
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->record, 0u);
    EXPECT_EQ(setting->rules.friendlyFire, 0u);
    EXPECT_EQ(setting->rules.stageCount, 3);
    EXPECT_EQ(setting->rules.stageChoice, 3);
    EXPECT_EQ(setting->rules.musicChoice, 12);
    EXPECT_EQ(setting->players[7].character, 7);
    EXPECT_EQ(setting->players[7].characterCount, 7);
    EXPECT_EQ(setting->players[7].team, 3);
    EXPECT_FLOAT_EQ(setting->players[7].cameraSensitivity, 3.5f);
    EXPECT_FLOAT_EQ(setting->players[7].mouseSensitivity, 1.25f);
    FreeBattleSetting(setting);
}

TEST(BattleSetting, FreeingNothingReturnsZeroAndFreeingFreesThePreviewsButNoText)
{
    EXPECT_EQ(FreeBattleSetting(nullptr), 0u);
    static const CCharacterDefinition definition;
    static const char name[] = "borrowed";
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(2, 0, nullptr);
    ASSERT_NE(setting, nullptr);
    setting->players[1].preview = new CCharacter(&definition);
    setting->players[0].name = name;
    setting->players[0].weapons[0] = name;
    // The sanitizer build reports the preview if it were left, and a free of
    // the static texts.
    EXPECT_EQ(FreeBattleSetting(setting), 1u);
}

TEST(BattleSetting, ACharacterChoiceAtOrPastItsCountTakesTheDrawnCharacter)
{
    tag_TOLQBATTLEPLAYER player;
    player.characterCount = 7;
    player.randomCharacter = 4;
    player.character = 6;
    EXPECT_EQ(player.GetCharacterIndex(), 6);
    player.character = 7;
    EXPECT_EQ(player.GetCharacterIndex(), 4);
    player.character = -1; // compared as signed: below the count
    EXPECT_EQ(player.GetCharacterIndex(), 255);
}

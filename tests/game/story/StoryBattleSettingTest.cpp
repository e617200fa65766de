// The battle settings of stories and missions: made by the built-in maker
// or by the battle's own pair once installed, with the file's fields over
// the defaults, and freed with their texts either way.
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/story/StoryBattleSetting.h"
#include "tests/game/story/StoryTestSupport.h"

#include <gtest/gtest.h>

using namespace storytest;

namespace
{
void ExpectDefaultsUnderTheFile(const tag_TOLQBATTLESETTING& s)
{
    // What the file holds...
    EXPECT_EQ(s.playerCount, 3);
    EXPECT_EQ(s.rules.rule, 4);
    EXPECT_EQ(s.players[2].cpuLevel, 2);
    EXPECT_EQ(s.players[2].team, 2);
    EXPECT_STREQ(s.players[0].weapons[0], "Rifle");
    // ...over what it doesn't: a story's setting is not the battle's to free.
    EXPECT_EQ(s.freeWithBattle, 0u);
    EXPECT_EQ(s.players[0].slotState, 0);
    EXPECT_EQ(s.players[1].slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    EXPECT_EQ(s.players[1].localInput, 1u);
    EXPECT_EQ(s.rules.friendlyFire, 1u);
    EXPECT_EQ(s.rules.elementMask, 0x7Fu);
    EXPECT_FLOAT_EQ(s.players[1].mouseSensitivity, 2.0f);
    EXPECT_EQ(s.players[1].preview, nullptr);
}

struct FactoryScope
{
    FactoryScope(BattleSettingCreator create, BattleSettingDeleter free) { SetBattleSettingFactory(create, free); }
    ~FactoryScope() { SetBattleSettingFactory(nullptr, nullptr); }
};
}

TEST(StoryBattleSetting, TheBuiltInMakerGivesTheDefaultsOfAGameWithoutSettings)
{
    CStory story;
    ASSERT_TRUE(LoadText(&story, BattleText("BattleOption", 3)));
    const tag_TOLQBATTLESETTING& s = *story.GetCommand(0)->battle;
    ExpectDefaultsUnderTheFile(s);
    EXPECT_EQ(s.record, 1u);
    EXPECT_EQ(s.rules.timeLimitIndex, 2);
}

TEST(StoryBattleSetting, TheBattlesOwnPairMakesAndFreesThemOnceInstalled)
{
    FactoryScope scope(&CreateBattleSetting, &FreeBattleSetting);
    CStory story;
    ASSERT_TRUE(LoadText(&story, BattleText("LastBattleOption", 3)));
    ExpectDefaultsUnderTheFile(*story.GetCommand(0)->battle);
    // A mission whose later battle replaces the earlier one frees it through
    // the same pair (the sanitizer build sees any mismatch).
    CMission mission;
    ASSERT_TRUE(LoadMission(&mission, BattleText("BattleOption", 2) + BattleText("BattleOption", 3), "M.mit"));
    ExpectDefaultsUnderTheFile(*mission.GetBattleOption());
    mission.Release();
    EXPECT_EQ(mission.GetBattleOption(), nullptr);
}

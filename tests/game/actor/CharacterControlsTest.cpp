// Radio lines, voices, digit keys, clothes and cover.
#include "tests/game/actor/ArenaHarness.h"

#include "game/actor/CClothesDefinition.h"
#include "game/actor/CWeapon.h"

#include <gtest/gtest.h>

using arena::Battle;
using arena::Record;

namespace
{
void Step(Battle* battle, const tag_TOLQINPUTRECORD& record, int frames = 1)
{
    for (int i = 0; i < frames; ++i)
        battle->Step(16, {{0, record}});
}
}

TEST(CharacterControls, RadioLinesByScopeAndTheirPhrases)
{
    for (uint32_t teamBattle : {0u, 1u})
    {
        Battle battle;
        battle.teamBattle = teamBattle;
        for (CCharacterDefinition& definition : battle.definitions)
        {
            definition.voices.resize(72, "v.wav");
            definition.radio[0].phrase = 0x38;
            definition.radio[1].scope = 1; // team-mates only
            definition.radio[1].phrase = 0x39;
        }
        battle.Add(-1, CkvrVector3(0, 0, 0), 0, 0);
        Step(&battle, Record(), 2);
        Step(&battle, Record(0, 0, {KVR_BUTTON_FUNCTION_FIRST + 0}));
        Step(&battle, Record(), 2);
        Step(&battle, Record(0, 0, {KVR_BUTTON_FUNCTION_FIRST + 1}));
        if (teamBattle == 0)
        {
            EXPECT_EQ(battle.console.radio, (std::vector<uint32_t>{0}));
            EXPECT_EQ(battle.effects.voices, (std::vector<uint32_t>{0x38}));
        }
        else
        {
            EXPECT_EQ(battle.console.radio, (std::vector<uint32_t>{0, 1}));
            EXPECT_EQ(battle.effects.voices, (std::vector<uint32_t>{0x38, 0x39}));
        }
    }
}

TEST(CharacterControls, VoiceCooldownUnlessForced)
{
    Battle battle;
    battle.definitions[0].voices.resize(30, "v.wav");
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    EXPECT_EQ(player->PlayVoice(1, 0), 1u);
    EXPECT_EQ(player->PlayVoice(2, 0), 0u);
    EXPECT_EQ(player->PlayVoice(27, 1), 1u);
    EXPECT_EQ(player->PlayVoice(30, 1), 0u); // past the table
    Step(&battle, Record(), 94);
    EXPECT_EQ(player->PlayVoice(2, 0), 1u);
    CCharacter preview(&battle.definitions[1]);
    EXPECT_EQ(preview.PlayVoice(0, 1), 0u); // no battle data
}

TEST(CharacterControls, DigitKeysTakeASlotIntoTheHand)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u); // slot 0, main
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 4), 1u); // slot 1, stored
    Step(&battle, Record(), 2);
    Step(&battle, Record(0, 0, {KVR_BUTTON_DIGIT_FIRST + 1}));
    EXPECT_EQ(player->GetActionData()->mainSlot, 1);
    EXPECT_EQ(player->GetActionData()->subSlot, 0); // the sword, of the other category
    Step(&battle, Record(), 1);
    Step(&battle, Record(0, 0, {KVR_BUTTON_DIGIT_FIRST + 5})); // an empty slot
    EXPECT_EQ(player->GetActionData()->mainSlot, 1);
}

TEST(CharacterControls, ClothesSharingASlotComeOffBeforeAndAfterCreate)
{
    Battle battle;
    CClothesDefinition hat, coat, hood, other;
    std::strcpy(hat.name, "Hat");
    hat.slotMask = 0x01;
    hat.characterMask = 0xFF;
    std::strcpy(coat.name, "Coat");
    coat.slotMask = 0x06;
    coat.characterMask = 0xFF;
    std::strcpy(hood.name, "Hood");
    hood.slotMask = 0x03; // shares bit 0 with the hat and bit 1 with the coat
    hood.characterMask = 0xFF;
    other = hat;
    other.characterMask = 0x02;
    CCharacter fighter(&battle.definitions[0]);
    EXPECT_EQ(fighter.SetClothes(nullptr), 0u);
    EXPECT_EQ(fighter.SetClothes(&other), 0u);
    ASSERT_EQ(fighter.SetClothes(&hat), 1u);
    ASSERT_EQ(fighter.SetClothes(&coat), 1u);
    ASSERT_EQ(fighter.Create(0), 1); // dressed first, still dressed
    EXPECT_EQ(fighter.GetClothes(0), &hat);
    EXPECT_EQ(fighter.GetClothes(2), &coat);
    ASSERT_EQ(fighter.SetClothes(&hood), 1u);
    EXPECT_EQ(fighter.GetClothes(0), &hood);
    EXPECT_EQ(fighter.GetClothes(1), &hood);
    EXPECT_EQ(fighter.GetClothes(2), nullptr); // the coat came off whole
    EXPECT_EQ(fighter.GetClothes(6), nullptr);
}

TEST(CharacterControls, CoverAtAWallUntilMovingOff)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(48.8f, 0, 0), 4, 0);
    CkvrVector3 facing(0, 90, 0);
    player->SetRotation(&facing);
    Step(&battle, Record(), 4);
    Step(&battle, Record(0, 0, {CCharacter::BUTTON_COVER}));
    EXPECT_EQ(player->GetState()->cover, 1u);
    EXPECT_EQ(player->GetRotation()->y, 270.0f);
    Step(&battle, Record(0, -50), 2);
    EXPECT_EQ(player->GetState()->cover, 0u);
    // Away from walls: no cover.
    CkvrVector3 middle(0, 0, 0);
    player->SetPosition(&middle);
    Step(&battle, Record(), 2);
    Step(&battle, Record(0, 0, {CCharacter::BUTTON_COVER}));
    EXPECT_EQ(player->GetState()->cover, 0u);
}

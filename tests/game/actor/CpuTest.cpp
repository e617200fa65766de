// The computer fighter's one rule: its draws, its target and its record.
#include "tests/game/actor/ArenaHarness.h"

#include "game/actor/CWeapon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using arena::Battle;

namespace
{
int8_t Axis(const tag_TOLQINPUTRECORD& record, int offset)
{
    return static_cast<int8_t>(record.bytes[offset]);
}

bool Button(const tag_TOLQINPUTRECORD& record, uint32_t button)
{
    return ((record.bytes[button / 8] >> (button % 8)) & 1u) != 0;
}
}

TEST(Cpu, DrawsFourNumbersInOrderEachInterval)
{
    for (uint32_t level : {0u, 2u, 4u})
    {
        Battle battle;
        CCpu cpu(&battle.definitions[0], level);
        cpu.Create(0);
        tag_TOLQBATTLECHARADATA data;
        data.input = &battle.input;
        cpu.Setup(&data, &battle.lists);
        EXPECT_EQ(cpu.GetThinkInterval(), 1000 - 150 * level);
        tag_TOLQBATTLEFRAME frame;
        CCharacter* fighters[1] = {&cpu};
        frame.fighters = fighters;
        frame.count = 1;
        tag_TOLQINPUTRECORD record;
        SeedRandom(11);
        SetFrameTime(16);
        cpu.Think(&frame, &record); // the first frame draws
        uint32_t drawn[4], expected[4];
        GetRandomState(drawn);
        SeedRandom(11);
        const int32_t error = 20 - 5 * static_cast<int32_t>(level);
        RandomInt(static_cast<uint32_t>(2 * error + 1));
        RandomInt(100);
        RandomInt(100);
        RandomInt(2);
        GetRandomState(expected);
        EXPECT_EQ(std::memcmp(drawn, expected, sizeof(drawn)), 0) << level;
        // Nothing more until the interval has passed.
        const uint32_t frames = (cpu.GetThinkInterval() - 1) / 16;
        for (uint32_t i = 0; i < frames; ++i)
            cpu.Think(&frame, &record);
        GetRandomState(drawn);
        EXPECT_EQ(std::memcmp(drawn, expected, sizeof(drawn)), 0) << level;
        cpu.Think(&frame, &record);
        GetRandomState(drawn);
        EXPECT_NE(std::memcmp(drawn, expected, sizeof(drawn)), 0) << level;
        // No target: the record stands still.
        for (uint8_t byte : record.bytes)
            EXPECT_EQ(byte, 0);
    }
}

TEST(Cpu, ChasesTheNearestStandingEnemyThenStrafes)
{
    Battle battle;
    battle.teamBattle = 1;
    CCpu* cpu = static_cast<CCpu*>(battle.Add(4, CkvrVector3(0, 0, 0), 0));
    battle.Add(4, CkvrVector3(2, 0, 0), 0);     // a team-mate
    CCharacter* down = battle.Add(4, CkvrVector3(0, 0, 3), 1);
    battle.Add(4, CkvrVector3(0, 0, 10), 1);    // the nearest standing enemy
    battle.Add(4, CkvrVector3(-10, 0, 0), 1);   // as near: the lower index wins
    down->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    ASSERT_EQ(cpu->AddWeapon(&battle.lists.weapons[0], 1), 1u); // reach 1.2: attacks within 2.2
    SetFrameTime(16);
    tag_TOLQINPUTRECORD record;
    cpu->Think(battle.Frame(), &record);
    EXPECT_EQ(cpu->GetTarget(), 3);
    EXPECT_EQ(Axis(record, 8), -100); // forward
    EXPECT_EQ(Axis(record, 7), 0);
    // Close in: strafing to the drawn side instead.
    CkvrVector3 close(0, 0, 8.5f);
    cpu->SetPosition(&close);
    cpu->Think(battle.Frame(), &record);
    EXPECT_EQ(Axis(record, 8), 0);
    EXPECT_EQ(std::abs(Axis(record, 7)), 100);
    // Stuck for 500 ms: a jump.
    CkvrVector3 back(0, 0, 0);
    cpu->SetPosition(&back);
    bool jumped = false;
    for (int i = 0; i < 40 && !jumped; ++i)
    {
        cpu->Think(battle.Frame(), &record);
        jumped = Button(record, CCharacter::BUTTON_JUMP);
    }
    EXPECT_TRUE(jumped);
}

TEST(Cpu, WithoutLocalInputThePadStaysStill)
{
    Battle battle;
    CCharacter* still = battle.Add(4, CkvrVector3(0, 0, 0), 4, 0);
    battle.Add(-1, CkvrVector3(0, 0, 10), 4, 0);
    for (int i = 0; i < 100; ++i)
        battle.Step(16);
    EXPECT_EQ(still->GetPosition()->z, 0.0f);
    EXPECT_EQ(still->GetStateBlock()->actionState, CCharacter::STATE_STAND);
}

TEST(Cpu, SpecialWeaponsFireFromTheirUses)
{
    Battle battle;
    CWeaponDefinition launcher = arena::Rifle();
    launcher.format = CWeaponDefinition::FORMAT_SPECIAL;
    launcher.type = 12;
    launcher.capacity = 1;
    launcher.reloadTime = 0; // never reloads
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&launcher, 1), 1u);
    for (int i = 0; i < 4; ++i)
        battle.Step(16, {{0, arena::Record()}});
    battle.Step(16, {{0, arena::Record(0, 0, {CCharacter::BUTTON_ATTACK, CCharacter::BUTTON_AIM})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_SPECIAL_ATTACK);
    EXPECT_EQ(player->GetMainWeapon()->GetAmmo(), 0u);
    for (int i = 0; i < 200; ++i)
        battle.Step(16, {{0, arena::Record()}});
    EXPECT_EQ(player->GetMainWeapon()->GetAmmo(), 0u);
}

// The computer fighter's one rule: its draws, its target and its record.
#include "tests/game/actor/ArenaHarness.h"
#include "tests/game/actor/StandInArena.h"

#include "game/actor/CWeapon.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The values drawn, not only their number: the aim error, then the attack
// roll, then the dodge roll, then the strafe side, over seeds enough that
// any other order gives some other decision.
TEST(Cpu, DrawsTheAimErrorAttackDodgeAndSideInThatOrder)
{
    Battle battle;
    tag_TOLQBATTLEFRAME frame;
    tag_TOLQBATTLECHARADATA data;
    data.input = &battle.input;
    for (uint32_t level = 0; level <= 4; ++level)
    {
        for (uint32_t seed = 1; seed <= 40; ++seed)
        {
            CCpu cpu(&battle.definitions[0], level);
            cpu.Create(0);
            cpu.Setup(&data, &battle.lists);
            CCharacter* fighters[1] = {&cpu};
            frame.fighters = fighters;
            frame.count = 1;
            SetFrameTime(16);
            SeedRandom(seed);
            tag_TOLQINPUTRECORD record;
            cpu.Think(&frame, &record);
            SeedRandom(seed);
            const int32_t error = 20 - 5 * static_cast<int32_t>(level);
            const int32_t aim = static_cast<int32_t>(RandomInt(static_cast<uint32_t>(2 * error + 1))) - error;
            const bool attack = static_cast<float>(RandomInt(100)) < 20.0f + 15.0f * static_cast<float>(level);
            const bool dodge = static_cast<float>(RandomInt(100)) < 7.5f * static_cast<float>(level);
            const uint32_t side = RandomInt(2);
            EXPECT_EQ(cpu.GetAimError(), aim) << level << " " << seed;
            EXPECT_EQ(cpu.GetAttackRoll(), attack) << level << " " << seed;
            EXPECT_EQ(cpu.GetDodgeRoll(), dodge) << level << " " << seed;
            EXPECT_EQ(cpu.GetStrafeSide(), side) << level << " " << seed;
        }
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

namespace
{
// Standing enemies near enough that a swing in the right direction would
// touch them: the reach, the blade's sphere and the body's radius.
bool EnemyWithinReach(const std::vector<CCharacter*>& fighters, const CCharacter* swinger)
{
    const CWeaponDefinition* weapon = swinger->GetMainWeapon()->GetDefinition();
    const float reach = weapon->reach + weapon->hitRadius + swinger->GetDefinition()->radius;
    for (const CCharacter* other : fighters)
    {
        if (other == swinger || other->IsDown())
            continue;
        const float dx = other->GetPosition()->x - swinger->GetPosition()->x;
        const float dz = other->GetPosition()->z - swinger->GetPosition()->z;
        if (dx * dx + dz * dz <= reach * reach)
            return true;
    }
    return false;
}
}

// Eight CPUs with their default weapons on the stand-in arena: of the swings
// that start with an enemy within reach, at least a third strike someone.
TEST(Cpu, SwingsThatStartWithinReachHit)
{
    standin::StandInData data;
    ASSERT_TRUE(data.IsReady()) << data.GetError();
    SeedRandom(2024);
    standin::ArenaBattle battle(&data);
    ASSERT_TRUE(battle.IsReady());
    for (uint32_t i = 0; i < 8; ++i)
        battle.AddCpu(i, i % 5);
    uint32_t swings = 0, withinReach = 0, struck = 0;
    std::vector<bool> watching(8, false);
    for (uint32_t frame = 0; frame < 6000; ++frame)
    {
        battle.Step(16);
        for (uint32_t i = 0; i < 8; ++i)
        {
            const CCharacter* cpu = battle.GetFighters()[i];
            const tag_TOLQCHARASTATE* state = cpu->GetStateBlock();
            if (state->actionState != CCharacter::STATE_ATTACK)
            {
                watching[i] = false;
                continue;
            }
            if (state->stateClock == 0)
            {
                ++swings;
                watching[i] = EnemyWithinReach(battle.GetFighters(), cpu);
                withinReach += watching[i] ? 1 : 0;
            }
            if (watching[i] && state->swingHitMask != 0)
            {
                watching[i] = false;
                ++struck;
            }
        }
    }
    std::printf("swings %u, within reach %u, of which struck %u\n", swings, withinReach, struck);
    EXPECT_GE(withinReach, 20u);
    EXPECT_GE(struck * 3, withinReach);
}

// The same seed, frame times and inputs give the same battle, frame by
// frame: CPUs alone, and a live player replayed from its kept records.
#include "tests/game/actor/StageBattle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

using arena::Battle;
using arena::StageBattle;

namespace
{
// 15-18 ms, with a 60 ms stall now and then.
uint32_t FrameTime(uint32_t frame)
{
    return (frame % 97) == 96 ? 60 : 15 + (frame * 7) % 4;
}

void Arm(Battle* battle, CCharacter* fighter)
{
    fighter->AddWeapon(&battle->lists.weapons[0], 1);
    fighter->AddWeapon(&battle->lists.weapons[1], 2);
}

struct Totals
{
    uint32_t attacks = 0;
    uint32_t shots = 0;
    uint32_t hits = 0;
    uint32_t downs = 0;
    uint32_t fieldItems = 0;
    uint32_t brokenBoxes = 0;
    uint32_t blessings = 0;
};

std::vector<uint64_t> RunCpus(uint32_t count, uint32_t frames, uint32_t seed, Totals* totals = nullptr)
{
    SeedRandom(seed);
    StageBattle world;
    Battle& battle = world.battle;
    for (uint32_t i = 0; i < count; ++i)
    {
        battle.definitions[i].element = static_cast<uint8_t>(i % 7);
        CkvrVector3 rotation;
        const CkvrVector3 at = *world.stage.GetStartPoint(i, &rotation);
        Arm(&battle, battle.Add(static_cast<int>(i % 5), at));
    }
    std::vector<uint64_t> hashes;
    hashes.reserve(frames);
    for (uint32_t frame = 0; frame < frames; ++frame)
    {
        world.Step(FrameTime(frame));
        hashes.push_back(world.Hash());
        if (totals == nullptr)
            continue;
        totals->fieldItems += static_cast<uint32_t>(world.field.items.size());
        for (const CCharacter* fighter : battle.pointers)
            totals->blessings += fighter->IsBlessed() ? 1 : 0;
        for (const CCollisionWorld::Box& box : world.stage.GetBoxes())
            totals->brokenBoxes += box.broken ? 1 : 0;
    }
    for (CCharacter* fighter : battle.pointers)
    {
        if (totals == nullptr)
            break;
        const uint32_t* v = fighter->GetBattleScore()->value;
        totals->attacks += v[tag_TOLQBATTLESCORE::MELEE_ATTACKS];
        totals->shots += v[tag_TOLQBATTLESCORE::SHOTS];
        totals->hits += v[tag_TOLQBATTLESCORE::MELEE_HITS] + v[tag_TOLQBATTLESCORE::SHOT_HITS];
        totals->downs += v[tag_TOLQBATTLESCORE::DOWNS];
    }
    return hashes;
}

// The live player's pad for a frame: sticks at values that do not survive
// a re-pack, turns and presses.
void ScriptPad(tag_KVRPADSTATE* pad, uint32_t frame)
{
    const uint32_t phase = (frame / 40) % 6;
    static const float xs[6] = {0.29f, -0.99f, 0.0f, 0.57f, -0.33f, 0.99f};
    static const float ys[6] = {-0.99f, 0.29f, -0.71f, 0.0f, -0.5f, 0.13f};
    pad->leftX = xs[phase];
    pad->leftY = ys[phase];
    pad->rightX = (frame % 50) < 10 ? 0.45f : 0.0f;
    pad->mouseDeltaX = (frame % 30) < 3 ? -7.6f : 0.0f;
    for (uint32_t& held : pad->held.button)
        held = 0;
    pad->held.button[CCharacter::BUTTON_JUMP] = (frame % 70) == 5 ? 1 : 0;
    pad->held.button[CCharacter::BUTTON_ATTACK] = (frame % 45) == 9 ? 1 : 0;
    pad->held.button[CCharacter::BUTTON_AIM] = (frame % 90) < 45 ? 1 : 0;
}

struct PlayerRun
{
    std::vector<uint64_t> hashes;
    std::vector<tag_TOLQINPUTRECORD> records;
};

// live: the player reads the input object's pad; otherwise the records
// are applied to it as a replay would.
PlayerRun RunPlayer(uint32_t frames, const std::vector<tag_TOLQINPUTRECORD>* replay)
{
    SeedRandom(99);
    StageBattle world;
    Battle& battle = world.battle;
    CCharacter* player = battle.Add(-1, *world.stage.GetStartPoint(0, nullptr), 4, replay == nullptr ? 1 : 0);
    Arm(&battle, player);
    Arm(&battle, battle.Add(4, *world.stage.GetStartPoint(1, nullptr)));
    Arm(&battle, battle.Add(2, *world.stage.GetStartPoint(2, nullptr)));
    PlayerRun run;
    for (uint32_t frame = 0; frame < frames; ++frame)
    {
        if (replay == nullptr)
        {
            ScriptPad(battle.input.GetPadState(0), frame);
            world.Step(FrameTime(frame));
        }
        else
            world.Step(FrameTime(frame), {{0, (*replay)[frame]}});
        run.records.push_back(*player->GetLastInputRecord());
        run.hashes.push_back(world.Hash());
    }
    return run;
}
}

TEST(Determinism, TwoCpusStepTheSameTwice)
{
    const std::vector<uint64_t> a = RunCpus(2, 10000, 1234);
    const std::vector<uint64_t> b = RunCpus(2, 10000, 1234);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << "frame " << i;
    EXPECT_NE(a, RunCpus(2, 10000, 1235));
}

TEST(Determinism, EightCpusStepTheSameTwice)
{
    Totals totals;
    const std::vector<uint64_t> a = RunCpus(8, 10000, 77, &totals);
    // A battle that fights: swings, shots, hits and falls.
    std::printf("attacks %u shots %u hits %u downs %u item-frames %u broken-box-frames %u blessed-frames %u\n", totals.attacks,
                totals.shots, totals.hits, totals.downs, totals.fieldItems, totals.brokenBoxes, totals.blessings);
    EXPECT_GT(totals.attacks, 0u);
    EXPECT_GT(totals.shots, 0u);
    EXPECT_GT(totals.hits, 0u);
    EXPECT_GT(totals.downs, 0u);
    const std::vector<uint64_t> b = RunCpus(8, 10000, 77);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << "frame " << i;
    // Pinned: the sanitizer and the optimized builds must both reach it.
    std::printf("eight-cpu final hash %016llx\n", static_cast<unsigned long long>(a.back()));
    EXPECT_EQ(a.back(), 0x43ac6d0a19f65badull);
}

TEST(Determinism, ALivePlayerReplaysFromItsRecords)
{
    const PlayerRun live = RunPlayer(3000, nullptr);
    const PlayerRun replayed = RunPlayer(3000, &live.records);
    for (size_t i = 0; i < live.hashes.size(); ++i)
        ASSERT_EQ(live.hashes[i], replayed.hashes[i]) << "frame " << i;
}

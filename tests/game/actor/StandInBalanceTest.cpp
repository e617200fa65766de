// The stand-in set's weapons against a full life, in headless battles on
// its arena: a computer fighter attacks one that stands idle.
#include "tests/game/actor/StandInArena.h"

#include "engine/core/CRandom.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint32_t kFrameMilliseconds = 16;
// Long enough for the slowest computer to down an idle fighter.
constexpr uint32_t kMaxFrames = 180000 / kFrameMilliseconds;
constexpr uint32_t kClaymoreSlot = 1u << 0;
constexpr uint32_t kRifleSlot = 1u << 1;

struct Downing
{
    uint32_t seed = 0;
    uint32_t firstHitFrame = 0;
    uint32_t downFrame = 0; // 0: never downed
    uint32_t shotHits = 0;  // the attacker's, when the victim went down
};

// A computer of level carrying the default weapons in slots against an
// idle fighter at the opposite start point, until the idle one is down.
Downing Down(standin::StandInData* data, uint32_t seed, uint32_t level, uint32_t slots)
{
    SeedRandom(seed);
    standin::ArenaBattle battle(data);
    EXPECT_TRUE(battle.IsReady());
    Downing downing;
    downing.seed = seed;
    if (!battle.IsReady())
        return downing;
    CCharacter* idle = battle.AddCpu(0, 0, standin::kAllSlots, false);
    CCharacter* attacker = battle.AddCpu(1, level, slots);
    for (uint32_t frame = 1; frame <= kMaxFrames && downing.downFrame == 0; ++frame)
    {
        battle.Step(kFrameMilliseconds);
        const tag_TOLQCHARASTATE* state = idle->GetStateBlock();
        if (downing.firstHitFrame == 0 && state->life < state->maxLife)
            downing.firstHitFrame = frame;
        if (idle->GetBattleScore()->value[tag_TOLQBATTLESCORE::DOWNS] != 0)
            downing.downFrame = frame;
    }
    downing.shotHits = attacker->GetBattleScore()->value[tag_TOLQBATTLESCORE::SHOT_HITS];
    return downing;
}

// Battles of seeds 1 to battles; each must down the idle fighter.
std::vector<Downing> DownEach(uint32_t battles, uint32_t level, uint32_t slots)
{
    standin::StandInData data;
    EXPECT_TRUE(data.IsReady()) << data.GetError();
    std::vector<Downing> downings;
    for (uint32_t seed = 1; seed <= battles && data.IsReady(); ++seed)
    {
        downings.push_back(Down(&data, seed, level, slots));
        EXPECT_NE(downings.back().downFrame, 0u) << "seed " << seed << ": the idle fighter was never downed";
    }
    return downings;
}
}

// A newcomer caught by an Easy computer's sword has seconds to answer: from
// the first hit to the fall at least 3 s, in every one of a few battles.
TEST(StandInBalance, AnIdleFighterLastsThreeSecondsOfAnEasyComputersSword)
{
    for (const Downing& downing : DownEach(4, 0, kClaymoreSlot))
        EXPECT_GE((downing.downFrame - downing.firstHitFrame) * kFrameMilliseconds, 3000u) << "seed " << downing.seed;
}

// Even the sharpest computer's rifle needs five hits for a full life.
TEST(StandInBalance, ARifleNeedsFiveHitsToDownAFullLife)
{
    for (const Downing& downing : DownEach(2, 4, kRifleSlot))
        EXPECT_GE(downing.shotHits, 5u) << "seed " << downing.seed;
}

// Damage, who may hurt whom, the rule counters and the frame arithmetic.
#include "game/actor/CombatRules.h"
#include "game/actor/SimulationMath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

TEST(CombatRules, Damage)
{
    EXPECT_EQ(ComputeDamage(10, false, 1.0f), 200u);
    EXPECT_EQ(ComputeDamage(10, true, 1.0f), 300u);
    EXPECT_EQ(ComputeDamage(7, true, 0.33f), 69u); // 210 x 0.33 = 69.3
    EXPECT_EQ(ComputeDamage(255, true, 0.0f), 0u);  // a harmless fighter
    EXPECT_EQ(ComputeDamage(0, false, 2.0f), 0u);
    EXPECT_EQ(ComputeDamage(10, false, -1.0f), 0u);
}

TEST(CombatRules, WhoMayHurtWhom)
{
    CombatantView a{0, 1, false, false, false}, b{4, 1, false, false, false};
    // Without teams the team bytes (index mod 4) mean nothing.
    EXPECT_TRUE(CanDamage(a, b, false, false));
    EXPECT_FALSE(CanDamage(a, b, true, false));
    EXPECT_TRUE(CanDamage(a, b, true, true));
    EXPECT_FALSE(CanDamage(a, a, false, true));
    b.team = 4;
    a.team = 4;
    EXPECT_TRUE(CanDamage(a, b, true, false)); // team 4 is none
    b.down = true;
    EXPECT_FALSE(CanDamage(a, b, false, true));
    b.down = false;
    b.dodging = true;
    EXPECT_FALSE(CanDamage(a, b, false, true));
}

TEST(CombatRules, CountersByRule)
{
    int8_t attacker = 0, victim = 0;
    EXPECT_EQ(ApplyDefeatRule(0, &attacker, &victim, false), DEFEAT_DROP_NONE);
    EXPECT_EQ(attacker, 1);
    ApplyDefeatRule(0, &attacker, &victim, true); // an NPC gives nothing
    EXPECT_EQ(attacker, 1);
    ApplyDefeatRule(0, nullptr, &victim, false);
    EXPECT_EQ(ApplyDefeatRule(1, &attacker, &victim, false), DEFEAT_DROP_COIN);
    EXPECT_EQ(ApplyDefeatRule(2, &attacker, &victim, false), DEFEAT_DROP_NONE);
    EXPECT_EQ(victim, 1);
    EXPECT_EQ(ApplyDefeatRule(3, &attacker, &victim, false), DEFEAT_DROP_JEWEL);
    EXPECT_EQ(victim, 0);
    ApplyDefeatRule(3, &attacker, &victim, false); // not below 0
    EXPECT_EQ(victim, 0);
    EXPECT_EQ(attacker, 1);
    EXPECT_EQ(AddToCounter(127, 1), 127);
    EXPECT_EQ(AddToCounter(-128, -1), -128);

    EXPECT_TRUE(IsTeamOut(6, 5));
    EXPECT_FALSE(IsTeamOut(5, 5));
    EXPECT_TRUE(HasReachedGoal(0, 5, 0, 5));
    EXPECT_FALSE(HasReachedGoal(1, 4, 9, 5));
    EXPECT_TRUE(HasReachedGoal(3, 0, 5, 5));
    EXPECT_FALSE(HasReachedGoal(2, 9, 9, 5));
}

TEST(SimulationMath, QuantisationIsIdempotentAndRoundsToNearest)
{
    EXPECT_EQ(QuantizeValue(1.2345f), 1.235f);
    EXPECT_EQ(QuantizeValue(-1.2344f), -1.234f);
    EXPECT_EQ(QuantizeValue(0.0004f), 0.0f);
    for (float x : {0.1f, 12.3456f, -99.9999f, 1234.5678f, 0.0015f})
        EXPECT_EQ(std::bit_cast<uint32_t>(QuantizeValue(QuantizeValue(x))), std::bit_cast<uint32_t>(QuantizeValue(x)));
}

TEST(SimulationMath, YawWrapsAndFramesStep)
{
    EXPECT_EQ(WrapYaw(370.0f), 10.0f);
    EXPECT_EQ(WrapYaw(-90.0f), 270.0f);
    EXPECT_EQ(WrapYaw(360.0f), 0.0f);
    EXPECT_EQ(WrapYaw(-1e-9f), 0.0f);
    EXPECT_EQ(WrapYaw(NAN), 0.0f);
    EXPECT_EQ(FrameSeconds(17), static_cast<float>(17) * 0.001f);
    EXPECT_EQ(StepSeconds(60), FrameSeconds(50));
    EXPECT_EQ(StepSeconds(16), FrameSeconds(16));
}

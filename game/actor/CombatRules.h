#pragma once

#include <cstdint>

// The damage and counting rules of a battle, apart from the fighters that
// apply them, so that they can be checked on their own.

// What the rules need to know of a fighter.
struct CombatantView
{
    int32_t index = -1;
    uint8_t team = 4; // 0-3, 4 none
    bool down = false;
    bool dodging = false;
    bool npc = false;
};

// trunc(power x 20 x (1.5 under a power item) x the victim's damage factor),
// worked out in float in that order. Boxes pass a factor of 1.
uint32_t ComputeDamage(uint8_t power, bool powerItem, float damageFactor);

// Team-mates only in a team battle, by equal team bytes below 4.
bool AreTeamMates(const CombatantView& a, const CombatantView& b, bool teamBattle);

// Nobody hurts itself, the down, a dodger, or a team-mate unless friendly
// fire is on.
bool CanDamage(const CombatantView& attacker, const CombatantView& victim, bool teamBattle, bool friendlyFire);

// What a defeat leaves on the field under the rule.
enum DefeatDrop : uint32_t
{
    DEFEAT_DROP_NONE = 0,
    DEFEAT_DROP_COIN = 1,  // rule 1
    DEFEAT_DROP_JEWEL = 2, // rule 3
};

// Adds a step to a rule counter, saturating at the i8 range.
int8_t AddToCounter(int8_t counter, int32_t step);

// Applies a defeat to the rule counters: rule 0 the attacker gains one
// unless the victim is an NPC; rule 2 the victim gains one (its falls);
// rule 3 the victim loses one when above 0. attackerCounter may be null
// (a fall without attacker).
DefeatDrop ApplyDefeatRule(uint32_t rule, int8_t* attackerCounter, int8_t* victimCounter, bool victimIsNpc);

// Rule 2: a team whose summed counter passes the limit is out and its
// fighters no longer revive.
bool IsTeamOut(int32_t teamCounterSum, int32_t limit);

// The goal test: rules 0 and 1 on the fighter's own counter, rule 3 on its
// team's sum; other rules have no goal.
bool HasReachedGoal(uint32_t rule, int32_t ownCounter, int32_t teamCounterSum, int32_t goal);

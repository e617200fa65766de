#include "game/actor/CombatRules.h"

#include <cmath>

uint32_t ComputeDamage(uint8_t power, bool powerItem, float damageFactor)
{
    float damage = static_cast<float>(power) * 20.0f;
    if (powerItem)
        damage = damage * 1.5f;
    damage = damage * damageFactor;
    if (!(damage > 0.0f))
        return 0;
    if (damage >= 4294967040.0f)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(std::trunc(damage));
}

bool AreTeamMates(const CombatantView& a, const CombatantView& b, bool teamBattle)
{
    return teamBattle && a.team < 4 && a.team == b.team;
}

bool CanDamage(const CombatantView& attacker, const CombatantView& victim, bool teamBattle, bool friendlyFire)
{
    if (attacker.index == victim.index || victim.down || victim.dodging)
        return false;
    return friendlyFire || !AreTeamMates(attacker, victim, teamBattle);
}

int8_t AddToCounter(int8_t counter, int32_t step)
{
    const int32_t sum = static_cast<int32_t>(counter) + step;
    if (sum > 127)
        return 127;
    if (sum < -128)
        return -128;
    return static_cast<int8_t>(sum);
}

DefeatDrop ApplyDefeatRule(uint32_t rule, int8_t* attackerCounter, int8_t* victimCounter, bool victimIsNpc)
{
    switch (rule)
    {
    case 0:
        if (attackerCounter != nullptr && !victimIsNpc)
            *attackerCounter = AddToCounter(*attackerCounter, 1);
        return DEFEAT_DROP_NONE;
    case 1: return DEFEAT_DROP_COIN;
    case 2:
        if (victimCounter != nullptr)
            *victimCounter = AddToCounter(*victimCounter, 1);
        return DEFEAT_DROP_NONE;
    case 3:
        if (victimCounter != nullptr && *victimCounter > 0)
            *victimCounter = AddToCounter(*victimCounter, -1);
        return DEFEAT_DROP_JEWEL;
    default: return DEFEAT_DROP_NONE;
    }
}

bool IsTeamOut(int32_t teamCounterSum, int32_t limit)
{
    return teamCounterSum > limit;
}

bool HasReachedGoal(uint32_t rule, int32_t ownCounter, int32_t teamCounterSum, int32_t goal)
{
    switch (rule)
    {
    case 0:
    case 1: return ownCounter >= goal;
    case 3: return teamCounterSum >= goal;
    default: return false;
    }
}

#include "game/battle/BattleEndRules.h"

#include "game/battle/tag_TOLQBATTLERULE.h"

namespace
{
constexpr uint8_t kTeams = 4;
const BattlePlayerView kMissing;

const BattlePlayerView& At(const BattleRuleView& view, uint32_t index)
{
    return index < view.count ? view.players[index] : kMissing;
}

bool IsDown(const BattleRuleView& view, uint32_t index)
{
    const BattlePlayerView& player = At(view, index);
    return !player.exists || player.down;
}

// The 8-bit sum of a team's counters, and whether the team has a player.
int8_t TeamSum(const BattleRuleView& view, uint8_t team, bool* members)
{
    int8_t sum = 0;
    *members = false;
    for (uint32_t i = 0; i < view.count; ++i)
    {
        const BattlePlayerView& player = view.players[i];
        if (!player.exists || player.team != team)
            continue;
        *members = true;
        sum = static_cast<int8_t>(sum + player.counter);
    }
    return sum;
}

bool AnyPastLimit(const BattleRuleView& view)
{
    for (uint32_t i = 0; i < view.count; ++i)
    {
        if (view.players[i].exists && view.players[i].counter > view.limit)
            return true;
    }
    return false;
}

bool FewerThanTwoTeamsLeft(const BattleRuleView& view)
{
    uint32_t staying = 0;
    for (uint8_t team = 0; team < kTeams; ++team)
    {
        bool members = false;
        const int8_t sum = TeamSum(view, team, &members);
        if (members && sum <= view.limit)
            ++staying;
    }
    return staying < 2;
}

bool AnyTeamPastLimit(const BattleRuleView& view)
{
    for (uint8_t team = 0; team < kTeams; ++team)
    {
        bool members = false;
        if (TeamSum(view, team, &members) > view.limit)
            return true;
    }
    return false;
}

bool AtMostOneSideStanding(const BattleRuleView& view)
{
    uint32_t standing = 0;
    bool teams[kTeams] = {};
    for (uint32_t i = 0; i < view.count; ++i)
    {
        const BattlePlayerView& player = view.players[i];
        if (!player.exists || player.down)
            continue;
        ++standing;
        if (player.team < kTeams)
            teams[player.team] = true;
    }
    if (!view.teams)
        return standing <= 1;
    uint32_t sides = 0;
    for (bool side : teams)
        sides += side ? 1 : 0;
    return sides < 2;
}

bool NoOtherTeamStanding(const BattleRuleView& view)
{
    const uint8_t own = At(view, view.local).team;
    for (uint32_t i = 0; i < view.count; ++i)
    {
        const BattlePlayerView& player = view.players[i];
        if (player.exists && player.team != own && !player.down)
            return false;
    }
    return true;
}

uint8_t WinIf(bool mine)
{
    return mine ? OUTCOME_WIN : OUTCOME_LOSE;
}

// A count that passes the best so far leads (a win when it is the
// fighter's own); one that ties it makes a draw.
void Offer(int8_t count, bool mine, int8_t* best, uint8_t* result)
{
    if (count > *best)
    {
        *best = count;
        *result = WinIf(mine);
    }
    else if (count == *best)
        *result = OUTCOME_DRAW;
}

uint8_t SoloOutcome(const BattleRuleView& view, uint32_t fighter)
{
    int8_t best = 0;
    uint8_t result = OUTCOME_DRAW;
    for (uint32_t i = 0; i < view.count; ++i)
    {
        const BattlePlayerView& player = view.players[i];
        if (!player.exists)
            continue;
        if (player.counter > view.limit)
            return WinIf(i == fighter);
        Offer(player.counter, i == fighter, &best, &result);
    }
    return result;
}

uint8_t TeamFallsOutcome(const BattleRuleView& view, uint32_t fighter)
{
    const uint8_t own = At(view, fighter).team;
    int32_t lowest = view.limit + 1;
    uint8_t result = OUTCOME_DRAW;
    for (uint8_t team = 0; team < kTeams; ++team)
    {
        bool members = false;
        const int8_t sum = TeamSum(view, team, &members);
        if (!members)
            continue;
        if (sum > view.limit)
        {
            if (own == team)
                return OUTCOME_LOSE;
            continue;
        }
        if (sum < lowest)
        {
            lowest = sum;
            result = WinIf(own == team);
        }
        else if (sum == lowest)
            result = OUTCOME_DRAW;
    }
    return result;
}

uint8_t TeamJewelsOutcome(const BattleRuleView& view, uint32_t fighter)
{
    const uint8_t own = At(view, fighter).team;
    int8_t best = 0;
    uint8_t result = OUTCOME_DRAW;
    for (uint8_t team = 0; team < kTeams; ++team)
    {
        int8_t running = 0;
        for (uint32_t i = 0; i < view.count; ++i)
        {
            const BattlePlayerView& player = view.players[i];
            if (!player.exists || player.team != team)
                continue;
            running = static_cast<int8_t>(running + player.counter);
            if (running > view.limit)
                return WinIf(own == team);
            Offer(running, own == team, &best, &result);
        }
    }
    return result;
}

uint8_t TargetOutcome(const BattleRuleView& view, uint32_t fighter)
{
    const bool ownTeam = At(view, fighter).team == At(view, view.limit).team;
    return IsDown(view, view.limit) ? WinIf(!ownTeam) : WinIf(ownTeam);
}
}

bool IsBattleOver(const BattleRuleView& view)
{
    if (view.timeLeft == 0)
        return true;
    switch (view.rule)
    {
    case tag_TOLQBATTLERULE::RULE_SMASH_RACE:
    case tag_TOLQBATTLERULE::RULE_MEDALS: return AnyPastLimit(view);
    case tag_TOLQBATTLERULE::RULE_TEAM_FALLS: return FewerThanTwoTeamsLeft(view);
    case tag_TOLQBATTLERULE::RULE_TEAM_JEWELS: return AnyTeamPastLimit(view);
    case tag_TOLQBATTLERULE::RULE_SURVIVAL: return AtMostOneSideStanding(view);
    case tag_TOLQBATTLERULE::RULE_TARGET: return IsDown(view, view.local) || IsDown(view, view.limit);
    case tag_TOLQBATTLERULE::RULE_TARGET_GUARD:
        return IsDown(view, view.local) || IsDown(view, view.limit) || NoOtherTeamStanding(view);
    case tag_TOLQBATTLERULE::RULE_LAST_STAND: return IsDown(view, view.local);
    default: return false;
    }
}

uint8_t GetBattleOutcome(const BattleRuleView& view, uint32_t fighter)
{
    switch (view.rule)
    {
    case tag_TOLQBATTLERULE::RULE_SMASH_RACE:
    case tag_TOLQBATTLERULE::RULE_MEDALS: return SoloOutcome(view, fighter);
    case tag_TOLQBATTLERULE::RULE_TEAM_FALLS: return TeamFallsOutcome(view, fighter);
    case tag_TOLQBATTLERULE::RULE_TEAM_JEWELS: return TeamJewelsOutcome(view, fighter);
    case tag_TOLQBATTLERULE::RULE_SURVIVAL:
        return view.timeLeft == 0 ? uint8_t(OUTCOME_LOSE) : WinIf(!IsDown(view, fighter));
    case tag_TOLQBATTLERULE::RULE_TARGET:
    case tag_TOLQBATTLERULE::RULE_TARGET_GUARD: return TargetOutcome(view, fighter);
    case tag_TOLQBATTLERULE::RULE_LAST_STAND:
        if (IsDown(view, view.local))
            return OUTCOME_LOSE;
        return view.timeLeft == 0 ? OUTCOME_WIN : OUTCOME_DRAW;
    default: return OUTCOME_DRAW;
    }
}

bool CanBattleBeWon(uint8_t rule, uint32_t timeLimit)
{
    if (rule == tag_TOLQBATTLERULE::RULE_LAST_STAND)
        return timeLimit < tag_TOLQBATTLERULE::kNoTimeLimit;
    return rule < tag_TOLQBATTLERULE::RULE_COUNT;
}

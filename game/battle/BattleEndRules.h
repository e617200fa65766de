#pragma once

#include <cstdint>

// When a battle is over and how it went for each player, by the rule of
// its setting; apart from the fighters so that each rule can be checked on
// its own. NPCs never count.

// What the rules read of one player entry. A seat without a fighter is not
// there, and counts as down where a rule names it (the target of rules 5
// and 6, the local player).
struct BattlePlayerView
{
    bool exists = false;
    int8_t counter = 0; // points, falls, medals or jewels
    uint8_t team = 4;   // 0-3, 4 none
    bool down = true;
};

struct BattleRuleView
{
    uint8_t rule = 0;
    uint8_t limit = 0; // the count (rules 0-3) or the target's entry (5, 6)
    bool teams = false;
    uint32_t timeLeft = 0; // ms; 0: the time is up
    const BattlePlayerView* players = nullptr;
    uint32_t count = 0;
    uint32_t local = 0; // the local player's entry (may be past the entries)
};

// Result codes.
enum BattleOutcome : uint8_t
{
    OUTCOME_WIN = 3,
    OUTCOME_LOSE = 4,
    OUTCOME_DRAW = 5,
};

// Whether the battle is over:
// - the time is up, whatever the rule;
// - 0, 1: a player's counter passed the limit;
// - 2: fewer than two teams are left whose counters sum to at most the limit;
// - 3: a team's counters (summed in 8 bits) passed the limit;
// - 4: at most one player standing, or with teams, those standing (outside
//   team 4) belong to fewer than two teams;
// - 5: the local player or the target is down;
// - 6: the local player or the target is down, or no player of another team
//   than the local player's is standing;
// - 7: the local player is down;
// - any other rule: never.
bool IsBattleOver(const BattleRuleView& view);

// How the battle went for the player of entry fighter: OUTCOME_WIN, _LOSE
// or _DRAW, as each rule scores it:
// - 0, 1: the player past the limit wins at once; else the highest counter
//   wins, a tie at the top draws;
// - 2: a team past the limit loses at once; else the lowest sum wins, equal
//   lowest sums draw;
// - 3: the first team whose running sum passes the limit wins; else the
//   highest sum wins, a tie draws;
// - 4: time up: everyone loses; else standing wins;
// - 5, 6: the target's team wins while the target stands, else the others;
// - 7: the local player down loses, at time up wins, else draws.
uint8_t GetBattleOutcome(const BattleRuleView& view, uint32_t fighter);

// Whether any end of a battle under the rule, with the time limit in ms
// (tag_TOLQBATTLERULE::kNoTimeLimit or more: none, the clock never runs
// down), can be a win for the local player:
// - 0-6: yes, with a limit or without;
// - 7: only with a limit: without one the fall, a loss, is the only end;
// - any other rule: never, it only draws.
bool CanBattleBeWon(uint8_t rule, uint32_t timeLimit);

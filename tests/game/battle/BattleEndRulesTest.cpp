// Each rule's end test and results on players built in the test: solo and
// team forms, the time limit, and seats without a fighter.
#include "game/battle/BattleEndRules.h"
#include "game/battle/tag_TOLQBATTLERULE.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
BattlePlayerView Player(int8_t counter, uint8_t team = 4, bool down = false)
{
    BattlePlayerView player;
    player.exists = true;
    player.counter = counter;
    player.team = team;
    player.down = down;
    return player;
}

BattlePlayerView Empty(uint8_t team = 4)
{
    BattlePlayerView player;
    player.team = team;
    return player;
}

struct Battle
{
    Battle(uint8_t rule, uint8_t limit, std::vector<BattlePlayerView> players, bool teams = false)
        : players(std::move(players))
    {
        view.rule = rule;
        view.limit = limit;
        view.teams = teams;
        view.timeLeft = 1000000;
        view.players = this->players.data();
        view.count = static_cast<uint32_t>(this->players.size());
    }
    bool Over() const { return IsBattleOver(view); }
    uint8_t Result(uint32_t fighter) const { return GetBattleOutcome(view, fighter); }
    Battle& TimeUp()
    {
        view.timeLeft = 0;
        return *this;
    }
    std::vector<BattlePlayerView> players;
    BattleRuleView view;
};

constexpr uint8_t WIN = OUTCOME_WIN, LOSE = OUTCOME_LOSE, DRAW = OUTCOME_DRAW;
using Rule = tag_TOLQBATTLERULE;
}

TEST(BattleEndRules, TheTimeRunningOutEndsEveryRule)
{
    for (uint8_t rule = 0; rule < Rule::RULE_COUNT; ++rule)
    {
        // Rules 5 and 6 guard entry 1.
        const uint8_t limit = rule == Rule::RULE_TARGET || rule == Rule::RULE_TARGET_GUARD ? 1 : 4;
        Battle battle(rule, limit, {Player(0, 0), Player(0, 1)}, rule == 2 || rule == 3);
        EXPECT_FALSE(battle.Over()) << int(rule);
        EXPECT_TRUE(battle.TimeUp().Over()) << int(rule);
    }
}

TEST(BattleEndRules, SmashRaceEndsWhenAPlayerPassesTheLimitAndThatPlayerWins)
{
    Battle racing(Rule::RULE_SMASH_RACE, 4, {Player(4), Player(2), Player(3)});
    EXPECT_FALSE(racing.Over());
    EXPECT_EQ(racing.Result(0), WIN); // the highest so far
    Battle won(Rule::RULE_SMASH_RACE, 4, {Player(3), Player(5), Player(4)});
    EXPECT_TRUE(won.Over());
    EXPECT_EQ(won.Result(1), WIN);
    EXPECT_EQ(won.Result(0), LOSE);
    EXPECT_EQ(won.Result(2), LOSE);
    // A tie at the top at the time limit is a draw for everyone.
    Battle tied(Rule::RULE_SMASH_RACE, 4, {Player(3), Player(1), Player(3)});
    EXPECT_TRUE(tied.TimeUp().Over());
    EXPECT_EQ(tied.Result(0), DRAW);
    EXPECT_EQ(tied.Result(1), DRAW);
    // Nobody scored: a draw.
    Battle nothing(Rule::RULE_MEDALS, 4, {Player(0), Player(0)});
    EXPECT_EQ(nothing.Result(1), DRAW);
    // Seats without a fighter are passed over.
    Battle seats(Rule::RULE_MEDALS, 2, {Empty(), Player(3), Player(1)});
    EXPECT_TRUE(seats.Over());
    EXPECT_EQ(seats.Result(1), WIN);
    EXPECT_EQ(seats.Result(2), LOSE);
}

TEST(BattleEndRules, TeamFallsPutATeamOutPastTheLimitAndTheLowestSumWins)
{
    // Team 0 fell 5 times: out, and its players lose at once.
    Battle out(Rule::RULE_TEAM_FALLS, 4, {Player(3, 0), Player(2, 0), Player(1, 1), Player(2, 2)}, true);
    EXPECT_FALSE(out.Over()); // teams 1 and 2 stay
    EXPECT_EQ(out.Result(0), LOSE);
    EXPECT_EQ(out.Result(2), WIN);
    EXPECT_EQ(out.Result(3), LOSE);
    Battle last(Rule::RULE_TEAM_FALLS, 4, {Player(3, 0), Player(2, 0), Player(1, 1)}, true);
    EXPECT_TRUE(last.Over());
    EXPECT_EQ(last.Result(2), WIN);
    Battle even(Rule::RULE_TEAM_FALLS, 4, {Player(1, 0), Player(1, 1), Player(1, 2)}, true);
    EXPECT_TRUE(even.TimeUp().Over());
    EXPECT_EQ(even.Result(0), DRAW);
    // Players of team 4 belong to no team.
    Battle loner(Rule::RULE_TEAM_FALLS, 4, {Player(0, 0), Player(0, 4)}, true);
    EXPECT_TRUE(loner.Over());
}

TEST(BattleEndRules, TeamJewelsEndWhenATeamSumPassesTheLimit)
{
    Battle gathering(Rule::RULE_TEAM_JEWELS, 4, {Player(2, 0), Player(2, 0), Player(3, 1)}, true);
    EXPECT_FALSE(gathering.Over());
    EXPECT_EQ(gathering.Result(0), WIN);
    EXPECT_EQ(gathering.Result(2), LOSE);
    Battle done(Rule::RULE_TEAM_JEWELS, 4, {Player(3, 0), Player(2, 1), Player(3, 1)}, true);
    EXPECT_TRUE(done.Over());
    EXPECT_EQ(done.Result(1), WIN);
    EXPECT_EQ(done.Result(0), LOSE);
    Battle tied(Rule::RULE_TEAM_JEWELS, 4, {Player(2, 0), Player(2, 1)}, true);
    EXPECT_EQ(tied.TimeUp().Result(0), DRAW);
}

TEST(BattleEndRules, SurvivalEndsWithOneStandingOrOneTeamStanding)
{
    Battle solo(Rule::RULE_SURVIVAL, 0, {Player(0, 0, true), Player(0, 1), Player(0, 2, true)});
    EXPECT_TRUE(solo.Over());
    EXPECT_EQ(solo.Result(1), WIN);
    EXPECT_EQ(solo.Result(0), LOSE);
    Battle two(Rule::RULE_SURVIVAL, 0, {Player(0, 0), Player(0, 1), Player(0, 2, true)});
    EXPECT_FALSE(two.Over());
    // When the time runs out first, everyone loses.
    EXPECT_EQ(two.TimeUp().Result(0), LOSE);
    EXPECT_EQ(two.Result(1), LOSE);
    Battle teams(Rule::RULE_SURVIVAL, 0, {Player(0, 1), Player(0, 1), Player(0, 2, true), Player(0, 4)}, true);
    EXPECT_TRUE(teams.Over()); // team 1 alone; team 4 is no team
    Battle none(Rule::RULE_SURVIVAL, 0, {Player(0, 1, true), Player(0, 2, true)}, true);
    EXPECT_TRUE(none.Over());
    EXPECT_EQ(none.Result(0), LOSE);
}

TEST(BattleEndRules, TargetRulesFollowTheTargetAndTheLocalPlayer)
{
    // Rule 5: entry 2 is the target; the local player is entry 0.
    Battle hunt(Rule::RULE_TARGET, 2, {Player(0, 0), Player(0, 0), Player(0, 1)}, true);
    EXPECT_FALSE(hunt.Over());
    EXPECT_EQ(hunt.Result(0), LOSE);
    EXPECT_EQ(hunt.Result(2), WIN);
    hunt.players[2].down = true;
    EXPECT_TRUE(hunt.Over());
    EXPECT_EQ(hunt.Result(0), WIN);
    EXPECT_EQ(hunt.Result(2), LOSE);
    Battle localDown(Rule::RULE_TARGET, 2, {Player(0, 0, true), Player(0, 0), Player(0, 1)}, true);
    EXPECT_TRUE(localDown.Over());
    // Rule 6: guarding entry 1; over once no player of another team stands.
    Battle guard(Rule::RULE_TARGET_GUARD, 1, {Player(0, 0), Player(0, 0), Player(0, 1), Player(0, 2)}, true);
    EXPECT_FALSE(guard.Over());
    guard.players[2].down = true;
    guard.players[3].down = true;
    EXPECT_TRUE(guard.Over());
    EXPECT_EQ(guard.Result(0), WIN);
    EXPECT_EQ(guard.Result(3), LOSE);
}

TEST(BattleEndRules, ATargetOrALocalPlayerWithoutAFighterCountsAsDown)
{
    // The limit names entry 9 of three: no read past the players.
    Battle missing(Rule::RULE_TARGET, 9, {Player(0, 0), Player(0, 1), Player(0, 1)}, true);
    EXPECT_TRUE(missing.Over());
    EXPECT_EQ(missing.Result(0), WIN); // the target is down and in no team of theirs
    Battle closedTarget(Rule::RULE_TARGET_GUARD, 1, {Player(0, 0), Empty(0), Player(0, 1)}, true);
    EXPECT_TRUE(closedTarget.Over());
    EXPECT_EQ(closedTarget.Result(0), LOSE); // the guarded one, of team 0, is gone
    Battle noLocal(Rule::RULE_LAST_STAND, 0, {Player(0), Player(0)});
    noLocal.view.local = 5;
    EXPECT_TRUE(noLocal.Over());
    EXPECT_EQ(noLocal.Result(5), LOSE);
}

TEST(BattleEndRules, LastStandIsWonByStandingTillTheTimeIsUp)
{
    Battle standing(Rule::RULE_LAST_STAND, 0, {Player(0), Player(0, 4, true)});
    EXPECT_FALSE(standing.Over()); // others down do not end it
    EXPECT_EQ(standing.Result(0), DRAW);
    EXPECT_EQ(standing.TimeUp().Result(0), WIN);
    Battle fallen(Rule::RULE_LAST_STAND, 0, {Player(0, 4, true), Player(0)});
    EXPECT_TRUE(fallen.Over());
    EXPECT_EQ(fallen.Result(0), LOSE);
}

TEST(BattleEndRules, AnUnknownRuleNeverEndsAndDraws)
{
    Battle unknown(9, 0, {Player(100), Player(0, 4, true)});
    EXPECT_FALSE(unknown.Over());
    EXPECT_EQ(unknown.Result(0), DRAW);
}

TEST(BattleEndRules, OnlyLastStandWithoutATimeLimitAndUnknownRulesLeaveNoWayToWin)
{
    // Without a limit the time is never up, and the fall is a loss.
    for (uint8_t rule = 0; rule <= Rule::RULE_COUNT; ++rule)
    {
        for (uint32_t limit : Rule::kTimeLimits)
        {
            const bool never =
                rule == Rule::RULE_COUNT || (rule == Rule::RULE_LAST_STAND && limit == Rule::kNoTimeLimit);
            EXPECT_EQ(CanBattleBeWon(rule, limit), !never) << int(rule) << " " << limit;
        }
    }
}

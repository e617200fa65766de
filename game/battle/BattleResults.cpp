// The battle scene's end test, each fighter's result, and what a battle
// adds to the play records and money.
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/story/CMission.h"
#include "net/lobby/CLobbyClient.h"

#include <algorithm>

namespace
{
// The tallies of a half of a character's play record, in order.
enum Tally : uint32_t
{
    TALLY_BATTLES = 0,
    TALLY_SOLO_WINS = 1,
    TALLY_SOLO_LOSSES = 2,
    TALLY_SOLO_DRAWS = 3,
    TALLY_TEAM_WINS = 4,
    TALLY_TEAM_LOSSES = 5,
    TALLY_TEAM_DRAWS = 6,
    TALLY_DEFEATS = 7, // not saved
    TALLY_DOWNS = 8,   // not saved
    TALLY_SCORES = 9,  // melee attacks, shots, melee hits, shot hits, damage dealt, taken
};

// The lowest rank with a letter (E); rank 0 shows none.
constexpr int32_t kRankE = 1;

// The highest rank k whose threshold T[k] the knockouts or the seconds
// reach, and the one that reached it as its value; -1 when none does.
int32_t MissionRank(const uint32_t* thresholds, uint32_t defeats, uint32_t seconds, uint32_t* value)
{
    if (thresholds == nullptr)
        return -1;
    for (int32_t rank = tag_TOLQMISSIONHEADER::kRanks - 1; rank >= 0; --rank)
    {
        const uint32_t threshold = thresholds[rank];
        if (defeats < threshold && seconds < threshold)
            continue;
        *value = defeats >= threshold ? defeats : seconds;
        return rank;
    }
    return -1;
}

// What the lobby hears of a result: 0 won, 1 lost, 2 drawn.
uint32_t LobbyResult(uint8_t result)
{
    return result == OUTCOME_WIN ? 0 : (result == OUTCOME_LOSE ? 1 : 2);
}
}

BattleRuleView CBattleScene::MakeRuleView(std::vector<BattlePlayerView>* players) const
{
    BattleRuleView view;
    const uint32_t count = GetPlayerCount();
    players->assign(count, BattlePlayerView());
    for (uint32_t i = 0; i < count; ++i)
    {
        BattlePlayerView& player = (*players)[i];
        player.team = m_setting->players[i].team;
        CCharacter* fighter = i < m_fighters.size() ? m_fighters[i] : nullptr;
        if (fighter == nullptr)
            continue;
        player.exists = true;
        player.counter = fighter->GetStateBlock()->ruleCounter;
        player.team = fighter->GetTeam();
        player.down = fighter->IsDown();
    }
    view.rule = m_setting->rules.rule;
    view.limit = m_setting->rules.limit;
    view.teams = m_setting->rules.teamBattle != 0;
    view.timeLeft = m_console != nullptr ? m_console->GetTimeLeft() : tag_TOLQBATTLERULE::kNoTimeLimit;
    view.players = players->data();
    view.count = count;
    view.local = GetLocalPlayerIndex();
    return view;
}

uint32_t CBattleScene::CheckEnd(uint32_t local) const
{
    if (m_setting == nullptr)
        return 0;
    std::vector<BattlePlayerView> players;
    BattleRuleView view = MakeRuleView(&players);
    view.local = local;
    return IsBattleOver(view) ? 1 : 0;
}

uint8_t CBattleScene::GetResult(uint32_t fighter) const
{
    if (m_setting == nullptr)
        return OUTCOME_DRAW;
    std::vector<BattlePlayerView> players;
    return GetBattleOutcome(MakeRuleView(&players), fighter);
}

uint32_t* CBattleScene::RecordHalf(uint32_t local, bool online)
{
    if (m_config == nullptr || m_setting == nullptr || m_setting->playback != 0 || local >= GetPlayerCount())
        return nullptr;
    const uint8_t character = m_setting->players[local].GetCharacterIndex();
    std::vector<tag_TOLQBATTLERECORD>& records = m_config->GetRecord()->records;
    if (character >= records.size())
        return nullptr;
    return online ? records[character].network : records[character].offline;
}

uint32_t CBattleScene::CountBattleOffline(uint32_t local)
{
    uint32_t* half = RecordHalf(local, false);
    if (half == nullptr)
        return 0;
    half[TALLY_BATTLES] += 1;
    return 1;
}

uint32_t CBattleScene::CountBattleNetwork(uint32_t local)
{
    uint32_t* half = RecordHalf(local, true);
    if (half == nullptr)
        return 0;
    half[TALLY_BATTLES] += 1;
    return 1;
}

uint32_t CBattleScene::RecordResult(uint8_t result, uint32_t local, bool online)
{
    uint32_t* half = RecordHalf(local, online);
    CCharacter* fighter = local < m_fighters.size() ? m_fighters[local] : nullptr;
    if (half == nullptr || fighter == nullptr)
        return 0;
    const bool teams = m_setting->rules.teamBattle != 0;
    if (result == OUTCOME_WIN)
        half[teams ? TALLY_TEAM_WINS : TALLY_SOLO_WINS] += 1;
    else if (result == OUTCOME_LOSE)
        half[teams ? TALLY_TEAM_LOSSES : TALLY_SOLO_LOSSES] += 1;
    else
        half[teams ? TALLY_TEAM_DRAWS : TALLY_SOLO_DRAWS] += 1;
    const uint32_t* score = fighter->GetBattleScore()->value;
    half[TALLY_DEFEATS] += score[tag_TOLQBATTLESCORE::DEFEATS];
    half[TALLY_DOWNS] += score[tag_TOLQBATTLESCORE::DOWNS];
    for (uint32_t s = 0; s < 6; ++s)
        half[TALLY_SCORES + s] += score[s];
    m_config->GetPlayData()->points += 2 * score[tag_TOLQBATTLESCORE::DEFEATS];
    m_config->UpdateUnlocks();
    return 1;
}

uint32_t CBattleScene::RecordResultOffline(uint8_t result, uint32_t local)
{
    if (m_setting == nullptr || m_setting->playback != 0)
        return 0;
    if (m_setting->mission != 0)
        return RecordMissionResult(local);
    return RecordResult(result, local, false);
}

uint32_t CBattleScene::RecordResultNetwork(uint8_t result, uint32_t local)
{
    if (m_setting == nullptr || m_setting->playback != 0)
        return 0;
    if (m_setting->lobby != nullptr)
        static_cast<CLobbyClient*>(m_setting->lobby)->SendBattleResult(LobbyResult(result));
    return RecordResult(result, local, true);
}

const uint32_t* CBattleScene::GetMissionThresholds() const
{
    if (g_pResourceController == nullptr || m_setting == nullptr)
        return nullptr;
    CResourceList<CMission*>* missions = g_pResourceController->GetMissionList();
    if (m_setting->missionIndex >= missions->GetCount() || missions->GetItem(m_setting->missionIndex) == nullptr)
        return nullptr;
    return missions->GetItem(m_setting->missionIndex)->GetHeader()->rankThresholds;
}

uint32_t CBattleScene::RecordMissionResult(uint32_t local)
{
    if (m_config == nullptr || m_setting == nullptr || m_setting->playback != 0)
        return 0;
    std::vector<tag_TOLQMISSIONRECORD>& missions = m_config->GetPlayData()->missions;
    CCharacter* fighter = local < m_fighters.size() ? m_fighters[local] : nullptr;
    if (m_setting->missionIndex >= missions.size() || fighter == nullptr)
        return 0;
    tag_TOLQMISSIONRECORD& record = missions[m_setting->missionIndex];
    const bool won = GetResult(local) == OUTCOME_WIN;
    uint32_t* score = fighter->GetBattleScore()->value;
    // Only a win is ranked by the time it left: a lost battle ends early
    // too, and the sooner the player falls the more time is left.
    const uint32_t seconds = won && m_console != nullptr ? m_console->GetTimeLeft() / 1000 : 0;
    uint32_t value = 0;
    const int32_t rank = MissionRank(GetMissionThresholds(), score[tag_TOLQBATTLESCORE::DEFEATS], seconds, &value);
    if (rank >= 0)
    {
        if (rank >= record.rank)
            record.rank = static_cast<uint8_t>(rank);
        if (value >= record.value)
            record.value = value;
        m_config->GetPlayData()->points += kRankReward[rank];
        score[tag_TOLQBATTLESCORE::RANK] = (score[tag_TOLQBATTLESCORE::RANK] & ~0xFFu) | static_cast<uint32_t>(rank);
    }
    // A mission is cleared by its first win; one whose rules leave no way
    // to win, by its first end with a rank letter. Each counts once, so the
    // count can never pass the number of missions.
    const bool winnable = CanBattleBeWon(m_setting->rules.rule, m_setting->rules.GetTimeLimit());
    const bool cleared = winnable ? won : rank >= kRankE;
    if (cleared && !record.won)
    {
        record.won = true;
        uint16_t& count = m_config->GetPlayData()->clearedMissionCount;
        count = static_cast<uint16_t>(std::min<size_t>(count + 1u, missions.size()));
    }
    return 1;
}

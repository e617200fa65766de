// The mission scene driven by scripted keys and mouse: the list of any
// length with its rows, wrap, scroll bar and ranks; leaving; a mission that
// can't be started; and, on the whole stand-in set, missions fought to
// every rank boundary, a lost survival that earns nothing by the time it
// left, a retry and the title from the end menu, and a play that clears
// each mission.
#include "tests/game/scene/BattleProbe.h"
#include "tests/game/scene/OwnRadioChat.h"
#include "tests/game/scene/StandInSet.h"
#include "tests/game/scene/StoryTestFiles.h"
#include "tests/game/story/StoryTestSupport.h"

#include "game/actor/CCharacter.h"
#include "game/actor/tag_TOLQBATTLESCORE.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CMissionScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/MissionSheet.h"
#include "game/scene/ModeBattle.h"
#include "game/scene/SceneFactory.h"
#include "game/story/CMission.h"
#include "tools/datakit/SheetCells.h"

#include <gtest/gtest.h>

#include <cstring>

using game_test::GameHarness;
using Step = CMissionScene::ListStep;
using MissionState = CMissionScene::MissionState;

namespace
{
using story_test::Near;
constexpr uint32_t kFrame = 17;

// A mission of the test's own: a title, thresholds, and a battle for two
// unless it has none.
game_test::DataFile MissionFile(uint32_t index, bool battle = true)
{
    const std::string number = std::to_string(index + 1);
    std::string text = "MissionHeader(\"Mission " + number + "\", \"Fight number " + number +
                       ".\", \"A\", \"B\", \"2:30\", \"Score\", 0, 1, 2, 3, 5, 7, 10)\n";
    if (battle)
        text += storytest::BattleText("BattleOption", 2);
    char name[64];
    std::snprintf(name, sizeof name, "Mission\\M_%02u.mit", index + 1);
    return {name, std::vector<uint8_t>(text.begin(), text.end())};
}

class MissionSceneBase : public ::testing::Test
{
protected:
    void TearDown() override { m_game.reset(); }

    CMissionScene* Missions() { return dynamic_cast<CMissionScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    CGameConfig* Config() { return m_game->Controller().GetGameConfig(); }
    void OpenMissions()
    {
        m_game->Controller().ChangeScene(CController::SCENE_MISSION, 0, 1.0f, 0);
        ASSERT_NE(Missions(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Missions()->GetStep() == Step::Choosing; }, 60));
        m_game->Step(1); // the items report themselves while the player chooses
    }
    void Tap(uint8_t key)
    {
        m_game->Input().SetKey(key, true);
        m_game->Step(1);
        m_game->Input().SetKey(key, false);
        m_game->Step(1);
    }
    void ClickAt(MenuPoint point, int hold = 1)
    {
        m_game->PointAt(point);
        m_game->Step(1);
        m_game->Input().SetMouseButton(0, true);
        m_game->Step(hold);
        m_game->Input().SetMouseButton(0, false);
        m_game->Step(1);
    }
    bool Heard(MenuSound sound)
    {
        const std::vector<MenuSound>& sounds = Missions()->GetFrame().Sounds();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }

    std::unique_ptr<GameHarness> m_game;
};

class MissionListScreen : public MissionSceneBase, public ::testing::WithParamInterface<uint32_t>
{
protected:
    void SetUp() override
    {
        std::vector<game_test::DataFile> files = scene_test::SceneFiles();
        for (uint32_t i = 0; i < GetParam(); ++i)
            files.push_back(MissionFile(i));
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = std::make_unique<GameHarness>(640, 480, files, &CreateGameScene, &settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        // Best ranks 0 to 6 down the list.
        std::vector<tag_TOLQMISSIONRECORD>& records = Config()->GetPlayData()->missions;
        ASSERT_EQ(records.size(), GetParam());
        for (uint32_t i = 0; i < GetParam(); ++i)
            records[i].rank = static_cast<uint8_t>(i % 7);
    }
};

class MissionScene : public MissionSceneBase
{
protected:
    void SetUp() override
    {
        std::vector<game_test::DataFile> files = scene_test::SceneFiles();
        files.push_back(MissionFile(0, false));
        files.push_back(MissionFile(1));
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = std::make_unique<GameHarness>(640, 480, files, &CreateGameScene, &settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
    }
};
}

TEST_P(MissionListScreen, KeysRowsAndTheScrollBarWalkTheListWithItsRanksShown)
{
    const uint32_t count = GetParam();
    const uint32_t highest = count > 13 ? count - 13 : 0;
    OpenMissions();
    EXPECT_EQ(Missions()->GetMissionCount(), count);
    uint32_t rows = 0;
    for (int32_t row = 0; row < 13; ++row)
        rows += Missions()->GetFrame().FindItem(CMissionScene::kRowId + row) != nullptr ? 1 : 0;
    EXPECT_EQ(rows, std::min(count, 13u));
    // Up from the first: the last, with the last rows on view.
    Tap(KEY_UP);
    EXPECT_EQ(Missions()->GetSelected(), count > 0 ? count - 1 : 0u);
    EXPECT_EQ(Missions()->GetTop(), highest);
    // Down from the last: the first, the view at the top.
    Tap(KEY_DOWN);
    EXPECT_EQ(Missions()->GetSelected(), 0u);
    EXPECT_EQ(Missions()->GetTop(), 0u);
    // The scroll bar held at its bottom: the last rows; the cursor on the view's first.
    const MenuItemRecord* bar = Missions()->GetFrame().FindItem(CMissionScene::kScrollBarId);
    ASSERT_NE(bar, nullptr);
    ClickAt({bar->rect.Centre().x, bar->rect.bottom - 1.0f}, 3);
    EXPECT_EQ(Missions()->GetTop(), highest);
    EXPECT_EQ(Missions()->GetSelected(), highest);
    EXPECT_FLOAT_EQ(Missions()->ThumbTop(),
                    bar->rect.top + (count > 0 ? static_cast<float>(highest) * (bar->rect.Height() - 16.0f) / count : 0.0f));
    if (count < 3)
        return;
    // The mouse on the third row chooses its mission.
    const MenuItemRecord* third = Missions()->GetFrame().FindItem(CMissionScene::kRowId + 2);
    ASSERT_NE(third, nullptr);
    m_game->PointAt(third->rect.Centre());
    m_game->Step(2);
    EXPECT_EQ(Missions()->GetSelected(), highest + 2);
    // Ranks: an icon on a ranked row, none on a row of rank 0.
    for (int32_t row = 0; row < static_cast<int32_t>(std::min(count, 13u)); ++row)
    {
        const MenuItemRecord* item = Missions()->GetFrame().FindItem(CMissionScene::kRowId + row);
        const uint32_t index = highest + static_cast<uint32_t>(row);
        // Inside the icon's edge, clear of its letter.
        const uint32_t pixel = m_game->LayoutPixel({item->rect.left + 24.0f + 6.0f, item->rect.Centre().y - 9.0f}) & 0xFFFFFF;
        EXPECT_EQ(Near(pixel, SheetCells::KindColor(SheetCells::CellKind::Button) & 0xFFFFFF, 40), index % 7 != 0)
            << "mission " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, MissionListScreen, ::testing::Values(0u, 1u, 12u, 13u, 14u, 26u, 27u));

TEST_F(MissionScene, AMissionWithoutABattleCantBeStartedAndTheScreenSaysSo)
{
    OpenMissions();
    ASSERT_EQ(Missions()->GetSelected(), 0u);
    EXPECT_EQ(CMissionScene::Mission(0)->GetBattleOption(), nullptr);
    m_game->Input().SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_TRUE(Heard(MenuSound::Error));
    EXPECT_FALSE(Missions()->GetNotice().empty());
    m_game->Step(5); // held: asked again, told once
    EXPECT_FALSE(Heard(MenuSound::Error));
    m_game->Input().SetKey(KEY_Z, false);
    EXPECT_EQ(Missions()->GetStep(), Step::Choosing);
    EXPECT_EQ(Missions()->GetState(), MissionState::List);
}

TEST_F(MissionScene, CancelAndTheBackButtonLeaveForTheTitleMenuWithTheMissionItem)
{
    OpenMissions();
    Tap(KEY_X);
    EXPECT_EQ(Missions()->GetStep(), Step::FadeOut);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetFrontItem(), 3u);
    OpenMissions();
    const MenuItemRecord* back = Missions()->GetFrame().FindItem(CMissionScene::kBackId);
    ASSERT_NE(back, nullptr);
    ClickAt(back->rect.Centre());
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
}

// ---------------------------------------------------------------------------
// Fights on the stand-in set

namespace
{
class MissionBattle : public MissionSceneBase
{
protected:
    void SetUp() override
    {
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = std::make_unique<GameHarness>(640, 480, std::vector<game_test::DataFile>{}, &CreateGameScene,
                                               &settings, &story_test::LinkStandInSet);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        m_game->Controller().SetFrameSkip(15);
    }

    CBattleScene* Battle() { return Missions() != nullptr ? Missions()->GetBattle() : nullptr; }
    // A mission from the list, to its running phase: the first (rule 0,
    // ranked by knockouts when its 2:30 are up; thresholds 0, 1, 2, 3, 5,
    // 7, 10) unless another is named.
    void StartMission(uint32_t index = 0)
    {
        if (Missions() == nullptr || Missions()->GetState() != MissionState::List)
            OpenMissions();
        ASSERT_TRUE(m_game->StepUntil([&] { return Missions()->GetStep() == Step::Choosing; }, 60));
        while (Missions()->GetSelected() < index)
            Tap(KEY_DOWN);
        ASSERT_EQ(Missions()->GetSelected(), index);
        Tap(KEY_Z);
        ASSERT_TRUE(m_game->StepUntil([&] { return battle_probe::Running(Battle()); }, 1000));
    }
    // Back on the list once the battle's menu is answered (a win's by the
    // decide button, a loss's by "選択に戻る").
    void BackToTheList()
    {
        ASSERT_TRUE(m_game->StepUntil(
            [&] {
                if (battle_probe::LoseMenuOpen(Battle()))
                    Tap(KEY_DOWN);
                Tap(KEY_Z);
                return Missions()->GetState() == MissionState::List;
            },
            500));
    }
    // The knockout mission won when its time is up, with a score.
    void FinishByTime(uint32_t defeats)
    {
        CCharacter* player = Battle()->GetFighter(0);
        player->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] = defeats;
        player->GetStateBlock()->ruleCounter = 2;
        battle_probe::SetTimeLeft(Battle(), kFrame);
        m_game->Step(1);
        BackToTheList();
    }
    // The other fighter leads when the time is up: a loss.
    void LoseByTime()
    {
        Battle()->GetFighter(1)->GetStateBlock()->ruleCounter = 2;
        battle_probe::SetTimeLeft(Battle(), kFrame);
    }
    // The lit pixels of the list's clear count ("0 : 13"), once the list
    // takes keys again.
    int ClearCountPixels()
    {
        EXPECT_TRUE(m_game->StepUntil([&] { return Missions()->GetStep() == Step::Choosing; }, 60));
        m_game->Controller().SetFrameSkip(0);
        m_game->Step(1);
        m_game->Controller().SetFrameSkip(15);
        const scene_test::DrawnFrame frame(*m_game);
        EXPECT_TRUE(frame.Read());
        return frame.CountBright({764.0f, 152.0f, 912.0f, 176.0f});
    }
    // A survival ends with one fighter standing, with whole seconds left.
    void StandAlone(uint32_t fighter, uint32_t secondsLeft)
    {
        battle_probe::SetTimeLeft(Battle(), secondsLeft * 1000 + 500);
        for (uint32_t i = 0; i < Battle()->GetPlayerCount(); ++i)
        {
            if (i != fighter && Battle()->GetFighter(i) != nullptr)
                Battle()->GetFighter(i)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
        }
        m_game->Step(1);
        BackToTheList();
    }
};

// A play that clears a mission in its battle: a win by its rule, or in a
// last stand without a time limit, whose only end is the fall, the
// knockouts of E before the fall.
void PlayToClear(CBattleScene* battle, const CMission& mission)
{
    using Rule = tag_TOLQBATTLERULE;
    const Rule& rules = mission.GetBattleOption()->rules;
    const bool timed = rules.GetTimeLimit() < Rule::kNoTimeLimit;
    const uint32_t local = battle->GetLocalPlayerIndex();
    CCharacter* me = battle->GetFighter(local);
    me->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] = mission.GetHeader()->rankThresholds[1];
    // The briefing asks to down the target (rule 5) or to guard it (6).
    if (rules.rule == Rule::RULE_TARGET || rules.rule == Rule::RULE_TARGET_GUARD)
    {
        EXPECT_EQ(battle->GetFighter(rules.limit)->GetTeam() == me->GetTeam(), rules.rule == Rule::RULE_TARGET_GUARD);
    }
    for (uint32_t i = 0; i < battle->GetPlayerCount(); ++i)
    {
        CCharacter* fighter = battle->GetFighter(i);
        if (fighter == nullptr)
            continue;
        tag_TOLQCHARASTATE* state = fighter->GetStateBlock();
        const bool mate = fighter->GetTeam() == me->GetTeam();
        bool down = false;
        switch (rules.rule)
        {
        case Rule::RULE_SMASH_RACE:
        case Rule::RULE_MEDALS: state->ruleCounter = i == local ? 1 : 0; break;
        case Rule::RULE_TEAM_FALLS: state->ruleCounter = mate ? 0 : 1; break;
        case Rule::RULE_TEAM_JEWELS: state->ruleCounter = mate ? 1 : 0; break;
        case Rule::RULE_SURVIVAL: down = i != local; break;
        case Rule::RULE_TARGET: down = i == rules.limit; break;
        case Rule::RULE_TARGET_GUARD: down = !mate; break;
        default: down = i == local && !timed; break;
        }
        if (down)
            state->actionState = CCharacter::STATE_DOWN;
    }
    // Counts, and a last stand with a limit, are decided when the time is up.
    if (rules.rule <= Rule::RULE_TEAM_JEWELS || (rules.rule == Rule::RULE_LAST_STAND && timed))
        battle_probe::SetTimeLeft(battle, 0);
}
}

TEST_F(MissionBattle, EveryRankBoundaryEarnsItsRankAndMoneyWhileTheRecordsOnlyRise)
{
    const tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    const tag_TOLQMISSIONRECORD& record = play.missions.at(0);
    struct Run
    {
        uint32_t defeats;
        uint8_t bestRank;
        uint32_t bestValue;
        uint32_t money;
    };
    // Thresholds 0, 1, 2, 3, 5, 7, 10 knockouts.
    const Run runs[] = {
        {3, 3, 3, 20},   // a score of 3: rank 3
        {2, 3, 3, 10},   // 2: rank 2, the best stays
        {4, 3, 4, 20},   // 4 is below 5: rank 3 again, a better value
        {7, 5, 7, 50},   // rank 5
        {10, 6, 10, 100}, // the top
        {0, 6, 10, 0},   // nothing: rank 0
    };
    uint32_t points = play.points;
    for (const Run& run : runs)
    {
        SCOPED_TRACE(run.defeats);
        StartMission();
        FinishByTime(run.defeats);
        EXPECT_EQ(record.rank, run.bestRank);
        EXPECT_EQ(record.value, run.bestValue);
        EXPECT_EQ(play.points, points + run.money);
        points = play.points;
    }
    EXPECT_EQ(play.clearedMissionCount, 1u);
    CGameConfig saved;
    ASSERT_NE(saved.LoadFrom((m_game->SaveFolder().string() + "/").c_str()), 0);
    EXPECT_EQ(saved.GetPlayData()->missions.at(0).rank, 6u);
    EXPECT_EQ(saved.GetPlayData()->missions.at(0).value, 10u);
    EXPECT_EQ(saved.GetPlayData()->clearedMissionCount, 1u);
}

TEST_F(MissionBattle, ASurvivalLostWithTimeLeftEarnsNoRankNorAClearAndOneWonEarnsItsSecondsAndOneClear)
{
    // The fifth mission: a survival of six for 2:30, ranked by the whole
    // seconds a win leaves (10, 30, 52, 75, 97, 120).
    constexpr uint32_t kSurvival = 4;
    const CMission* mission = CMissionScene::Mission(kSurvival);
    ASSERT_NE(mission, nullptr);
    ASSERT_EQ(mission->GetBattleOption()->rules.rule, tag_TOLQBATTLERULE::RULE_SURVIVAL);
    const uint32_t expected[7] = {0, 10, 30, 52, 75, 97, 120};
    for (uint32_t k = 0; k < 7; ++k)
        EXPECT_EQ(mission->GetHeader()->rankThresholds[k], expected[k]) << k;
    const tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    const tag_TOLQMISSIONRECORD& record = play.missions.at(kSurvival);
    const uint32_t points = play.points;

    // Down first, 130 seconds before the end: a loss, and no rank; twice,
    // and nothing is cleared: the list still shows 0.
    OpenMissions();
    // A count saved larger than the number of missions shows as all.
    tag_TOLQPLAYDATA& saved = *Config()->GetPlayData();
    saved.clearedMissionCount = static_cast<uint16_t>(Missions()->GetMissionCount());
    const int allCleared = ClearCountPixels();
    saved.clearedMissionCount = 99;
    EXPECT_EQ(ClearCountPixels(), allCleared) << "the clear count shows more than the missions";
    saved.clearedMissionCount = 0;
    const int noneCleared = ClearCountPixels();
    for (int loss = 0; loss < 2; ++loss)
    {
        StartMission(kSurvival);
        StandAlone(1, 130);
    }
    EXPECT_EQ(record.rank, 0);
    EXPECT_EQ(play.points, points);
    EXPECT_EQ(play.clearedMissionCount, 0u);
    EXPECT_EQ(ClearCountPixels(), noneCleared) << "the clear count changed after losses";
    // The last one standing with 80 seconds left: B, and one mission
    // cleared, once however often it is won.
    StartMission(kSurvival);
    StandAlone(0, 80);
    EXPECT_EQ(record.rank, 4);
    EXPECT_EQ(record.value, 80u);
    EXPECT_EQ(play.points, points + 30);
    const int oneCleared = ClearCountPixels();
    EXPECT_NE(oneCleared, noneCleared);
    StartMission(kSurvival);
    StandAlone(0, 80);
    EXPECT_EQ(play.clearedMissionCount, 1u);
    EXPECT_EQ(ClearCountPixels(), oneCleared) << "a mission won again counted again";
}

TEST_F(MissionBattle, ARetryFightsTheSameMissionAgainWithTheClothesCopiedAgainAndTheTitleLeavesAtOnce)
{
    tag_TOLQCHARAPLAYDATA* own = Config()->GetCharacterData(0);
    ASSERT_NE(own, nullptr);
    std::strcpy(own->clothes[0], "Hat");
    StartMission();
    const tag_TOLQBATTLESETTING* setting = Battle()->GetSetting();
    EXPECT_EQ(setting->mission, 1u);
    EXPECT_EQ(setting->missionIndex, 0u);
    EXPECT_EQ(setting->record, 0u);
    ASSERT_NE(setting->players[0].clothes[0], nullptr);
    EXPECT_STREQ(setting->players[0].clothes[0], "Hat");
    // The other fighter wins: the lose menu, retry first.
    LoseByTime();
    ASSERT_TRUE(m_game->StepUntil([&] { return battle_probe::LoseMenuOpen(Battle()); }, 1000));
    std::strcpy(own->clothes[0], "Coat");
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return battle_probe::InIntro(Battle()); }, 300));
    EXPECT_EQ(Battle()->GetSetting(), setting);
    EXPECT_STREQ(setting->players[0].clothes[0], "Coat");
    // The title from the same menu: gone at once, the battle with the scene.
    ASSERT_TRUE(m_game->StepUntil([&] { return battle_probe::Running(Battle()); }, 1000));
    LoseByTime();
    ASSERT_TRUE(m_game->StepUntil([&] { return battle_probe::LoseMenuOpen(Battle()); }, 1000));
    Tap(KEY_DOWN);
    Tap(KEY_DOWN);
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 300));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::TitlePicture);
    EXPECT_EQ(Title()->GetFrontItem(), 3u) << "the menu comes back on the missions' item";
}

TEST_F(MissionBattle, ThePlayerSpeaksItsOwnRadioChatAndTheComputerItsCharacters)
{
    scene_test::GiveOwnRadioChat(Config()->GetData(), kMaxCharacters);
    StartMission();
    const tag_TOLQBATTLESETTING* setting = Battle()->GetSetting();
    EXPECT_EQ(scene_test::FirstRadioLine(Battle()->GetFighter(0)),
              scene_test::OwnFirstLine(setting->players[0].GetCharacterIndex()));
    const CCharacter* computer = Battle()->GetFighter(1);
    EXPECT_EQ(scene_test::FirstRadioLine(computer), scene_test::CharacterFirstLine(computer));
}

TEST_F(MissionBattle, EveryStandInMissionIsListedWithItsBriefingAndItsBattleStartsAndHasAPlayThatClearsIt)
{
    OpenMissions();
    ASSERT_EQ(Missions()->GetMissionCount(), 28u);
    tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    play.clearedMissionCount = static_cast<uint16_t>(Missions()->GetMissionCount());
    const int allCleared = ClearCountPixels();
    play.clearedMissionCount = 0;
    for (uint32_t index = 0; index < Missions()->GetMissionCount(); ++index)
    {
        SCOPED_TRACE(index);
        CMission* mission = CMissionScene::Mission(index);
        ASSERT_NE(mission, nullptr);
        EXPECT_NE(mission->GetHeader()->title[0], '\0');
        EXPECT_NE(mission->GetHeader()->description[0], '\0');
        ASSERT_NE(mission->GetBattleOption(), nullptr);
        ModeBattle::PrepareSetting(mission->GetBattleOption(), Config());
        mission->GetBattleOption()->mission = 1;
        mission->GetBattleOption()->missionIndex = static_cast<uint16_t>(index);
        CBattleScene battle;
        battle.SetGameConfig(Config());
        EXPECT_EQ(battle.Init(reinterpret_cast<uintptr_t>(mission->GetBattleOption())), 1);
        PlayToClear(&battle, *mission);
        const uint32_t local = battle.GetLocalPlayerIndex();
        const uint32_t cleared = play.clearedMissionCount;
        EXPECT_EQ(battle.CheckEnd(local), 1u);
        EXPECT_EQ(battle.RecordResultOffline(battle.GetResult(local), local), 1u);
        EXPECT_EQ(play.clearedMissionCount, cleared + 1) << "no play clears mission " << index + 1;
        battle.Release();
    }
    EXPECT_EQ(ClearCountPixels(), allCleared) << "the list doesn't show every mission cleared";
}

// Headless battles on the stand-in arena: the frame order over thousands of
// frames, seats without fighters, the free camera, the end by the rule with
// its results, records and money, and the replay a battle leaves behind.
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"

#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CListener.h"
#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/app/CGameConfig.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/story/CMission.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace
{
constexpr uint32_t kFrame = 16;
// Intro and ready/go, in 16 ms frames.
constexpr uint32_t kOpeningFrames = (500 + 6400) / kFrame + 2;

class BattleSceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        battletest::BattleData::Install();
        ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
        m_folder = std::make_unique<TempFolder>();
        setenv("XDG_DATA_HOME", m_folder->Path().c_str(), 1);
        m_config.GetRecord()->records.resize(8);
        m_config.GetPlayData()->missions.resize(3);
    }
    void TearDown() override
    {
        m_scene.reset();
        FreeBattleSetting(m_setting);
        unsetenv("XDG_DATA_HOME");
    }

    // Player 0 is the local human, the others computer fighters; character
    // i, no NPCs, no recording.
    tag_TOLQBATTLESETTING* MakeSetting(uint8_t count)
    {
        m_setting = CreateBattleSettingFrom(count, 0, nullptr);
        m_setting->seed = 7;
        m_setting->record = 0;
        for (uint8_t i = 0; i < count; ++i)
        {
            m_setting->players[i].character = static_cast<int8_t>(i % 8);
            m_setting->players[i].characterCount = 8;
            m_setting->players[i].cpuLevel = 4;
        }
        return m_setting;
    }

    CBattleScene* Start(bool withConfig = true)
    {
        m_scene = std::make_unique<CBattleScene>();
        if (withConfig)
            m_scene->SetGameConfig(&m_config);
        EXPECT_EQ(m_scene->Init(reinterpret_cast<uintptr_t>(m_setting)), 1);
        return m_scene.get();
    }

    void Step(uint32_t frames, uint32_t ms = kFrame)
    {
        for (uint32_t i = 0; i < frames; ++i)
        {
            SetFrameTime(ms);
            m_scene->Update(0);
        }
    }

    std::filesystem::path SaveFolder() const { return m_folder->Path() / "CorvaneSystem" / "QOR"; }

    std::unique_ptr<TempFolder> m_folder;
    CGameConfig m_config;
    tag_TOLQBATTLESETTING* m_setting = nullptr;
    std::unique_ptr<CBattleScene> m_scene;
};

bool Finite(const CkvrVector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
}

TEST_F(BattleSceneTest, EightFightersAndTenNpcsRunTwentyThousandFramesInsideTheArenaAndEndByTheirRule)
{
    MakeSetting(8);
    m_setting->rules.npcCountIndex = 3;
    m_setting->rules.timeLimitIndex = 0; // 150 s
    CBattleScene* scene = Start();
    ASSERT_EQ(scene->GetFighterCount(), 18u);
    uint32_t endedAt = 0;
    uint32_t downs = 0;
    for (uint32_t frame = 0; frame < 20000; ++frame)
    {
        SetFrameTime(kFrame);
        scene->Update(0);
        for (uint32_t i = 0; i < scene->GetFighterCount(); ++i)
        {
            const CCharacter* fighter = scene->GetFighter(i);
            const CkvrVector3& at = *fighter->GetPosition();
            ASSERT_TRUE(Finite(at) && Finite(*fighter->GetRotation())) << "fighter " << i << " frame " << frame;
            ASSERT_GE(at.y, -0.01f) << "fighter " << i << " frame " << frame;
            ASSERT_LE(std::fabs(at.x), 50.0f) << "fighter " << i << " frame " << frame;
            ASSERT_LE(std::fabs(at.z), 50.0f) << "fighter " << i << " frame " << frame;
        }
        if (endedAt == 0 && scene->GetConsole()->GetPhase() != ConsolePhase::Running && frame > kOpeningFrames)
            endedAt = frame;
    }
    for (uint32_t i = 0; i < scene->GetFighterCount(); ++i)
        downs += scene->GetFighter(i)->GetBattleScore()->value[tag_TOLQBATTLESCORE::DOWNS];
    EXPECT_GT(downs, 0u);
    // The time limit ran out after 150 s of battle and the rule ended it.
    EXPECT_NEAR(endedAt, kOpeningFrames + 150000 / kFrame, 3u);
    EXPECT_EQ(scene->GetConsole()->GetTimeLeft(), 0u);
    EXPECT_EQ(scene->IsFinished(), 1);
    EXPECT_EQ(scene->GetConsole()->GetResultCode(), RESULT_RESUME); // no menus were installed
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[0], 1u);
}

TEST_F(BattleSceneTest, AClosedSeatLeavesAnEmptyPlaceThatEveryPassSkips)
{
    MakeSetting(4);
    m_setting->players[2].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    CBattleScene* scene = Start();
    ASSERT_EQ(scene->GetFighterCount(), 4u); // no NPCs: the fighters are the players
    EXPECT_EQ(scene->GetFighter(2), nullptr);
    EXPECT_NE(scene->GetFighter(3), nullptr);
    Step(600);
    EXPECT_EQ(scene->GetFighter(2), nullptr);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Running);
}

TEST_F(BattleSceneTest, WhenTheViewedSlotNamesNoFighterTheFreeCameraLooksAtTheOrigin)
{
    MakeSetting(2);
    m_setting->viewedSlot = 5;
    CBattleScene* scene = Start();
    EXPECT_EQ(scene->GetViewedIndex(), 5u);
    Step(1);
    const float* extent = scene->GetStage()->GetExtent();
    EXPECT_FLOAT_EQ(scene->GetCamera()->GetEye().x, extent[0] + extent[3]);
    EXPECT_FLOAT_EQ(scene->GetCamera()->GetEye().y, 50.0f);
    EXPECT_FLOAT_EQ(scene->GetCamera()->GetEye().z, extent[2] + extent[5]);
    EXPECT_FLOAT_EQ(scene->GetCamera()->GetTarget().x, 0.0f);
    EXPECT_EQ(scene->GetConsole()->GetState().focused, nullptr);
}

TEST_F(BattleSceneTest, OverTheStagesCentreTheListenerTakesTheFreeCamerasUp)
{
    MakeSetting(2);
    m_setting->viewedSlot = 5;
    CBattleScene* scene = Start();
    Step(1);
    ASSERT_NE(CCamera::GetGraphics(), nullptr);
    scene->Render(0);
    // The arena is centred on the origin: the camera looks straight down,
    // with north up, and so does the listener.
    const CkvrVector3& front = scene->GetListener()->GetFront();
    const CkvrVector3& top = scene->GetListener()->GetTop();
    EXPECT_LT(front.y, 0.0f);
    EXPECT_NEAR(front.x, 0.0f, 1e-5f);
    EXPECT_NEAR(front.z, 0.0f, 1e-5f);
    EXPECT_NEAR(top.x, 0.0f, 1e-5f);
    EXPECT_NEAR(top.y, 0.0f, 1e-5f);
    EXPECT_NEAR(top.z, 1.0f, 1e-5f);
}

TEST_F(BattleSceneTest, AHumanSendsTheRadioChatOfItsEntryAndAComputerItsCharacters)
{
    MakeSetting(2);
    tag_TOLQRADIOCHAT own;
    std::snprintf(own.text, sizeof(own.text), "Own line");
    std::fill(std::begin(m_setting->players[0].radioChat), std::end(m_setting->players[0].radioChat), own);
    tag_TOLQRADIOCHAT ignored;
    std::snprintf(ignored.text, sizeof(ignored.text), "Not the computer's");
    std::fill(std::begin(m_setting->players[1].radioChat), std::end(m_setting->players[1].radioChat), ignored);
    CBattleScene* scene = Start();
    const CCharacter* computer = scene->GetFighter(1);
    EXPECT_STREQ(scene->GetFighter(0)->GetBattleRadioChat()[3].text, "Own line");
    EXPECT_STREQ(computer->GetBattleRadioChat()[3].text, computer->GetRadioChatTable()[3].text);
    Step(kOpeningFrames);
    // F1 on the local pad.
    tag_KVRPADSTATE* pad = scene->GetInput()->GetPadState(0);
    pad->previous = pad->current;
    std::memset(&pad->current, 0, sizeof(pad->current));
    pad->current.button[KVR_BUTTON_FUNCTION_FIRST] = 1;
    CInput::UpdateButtonTimers(pad);
    Step(1);
    const tag_TOLQRADIOLINE& line = scene->GetConsole()->GetState().radio[0];
    EXPECT_EQ(line.shown, 1u);
    EXPECT_NE(std::string(line.text).find("Own line"), std::string::npos) << line.text;
}

TEST_F(BattleSceneTest, AStartThatFailsCountsNoBattleHoweverOftenItIsTried)
{
    MakeSetting(2);
    // The HUD's sheet missing, as a damaged data set would have it.
    struct HiddenSheet
    {
        HiddenSheet() : sheet(CActorResources::FindTexture("Console_01.dds"))
        {
            if (sheet != nullptr)
                sheet->SetName("Console_01.hidden");
        }
        ~HiddenSheet()
        {
            if (sheet != nullptr)
                sheet->SetName(name.c_str());
        }
        CTexture* sheet;
        std::string name = sheet != nullptr ? sheet->GetName() : "";
    };
    {
        HiddenSheet hidden;
        ASSERT_NE(hidden.sheet, nullptr);
        // Only a battle that could draw the sheet misses it: headless, the
        // HUD goes without.
        ASSERT_NE(CTexture::GetGraphics(), nullptr);
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            CBattleScene battle;
            battle.SetGameConfig(&m_config);
            EXPECT_EQ(battle.Init(reinterpret_cast<uintptr_t>(m_setting)), 0);
            battle.Release();
        }
    }
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[0], 0u);
    Start();
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[0], 1u);
}

TEST_F(BattleSceneTest, APlaybackWhoseSeatNamesACharacterTheDataLacksDoesNotStart)
{
    MakeSetting(2);
    m_setting->players[1].character = 9;
    m_setting->players[1].characterCount = 10;
    m_setting->playback = 1;
    {
        CBattleScene battle;
        EXPECT_EQ(battle.Init(reinterpret_cast<uintptr_t>(m_setting)), 0);
        battle.Release();
    }
    // A live battle leaves the seat empty and goes on.
    m_setting->playback = 0;
    CBattleScene* scene = Start();
    EXPECT_EQ(scene->GetFighter(1), nullptr);
    EXPECT_NE(scene->GetFighter(0), nullptr);
}

TEST_F(BattleSceneTest, TheViewedAndLocalIndicesFollowTheSeats)
{
    MakeSetting(4);
    m_setting->players[0].slotState = 2; // the human of slot 2 sits first
    m_setting->players[1].slotState = 0;
    m_setting->ownSlot = 0;
    m_setting->viewedSlot = 2;
    CBattleScene* scene = Start();
    EXPECT_EQ(scene->GetLocalPlayerIndex(), 1u);
    EXPECT_EQ(scene->GetViewedIndex(), 0u);
    m_setting->viewedSlot = 1; // no entry sits in slot 1
    EXPECT_EQ(scene->GetViewedIndex(), 0u);
    m_setting->ownSlot = 3;
    EXPECT_EQ(scene->GetLocalPlayerIndex(), 3u);
}

TEST_F(BattleSceneTest, ABattleWithoutAStageDoesNotStartAndReleasesCleanly)
{
    MakeSetting(2);
    m_setting->rules.stageCount = 1;
    m_setting->rules.stageChoice = 1;
    m_setting->rules.randomStage = 5;
    CBattleScene scene;
    EXPECT_EQ(scene.Init(reinterpret_cast<uintptr_t>(m_setting)), 0);
    EXPECT_EQ(scene.Release(), 1u);
    EXPECT_EQ(scene.Release(), 0u); // the setting is let go once
}

TEST_F(BattleSceneTest, ABattleWithoutASettingMakesItsOwnAndFreesItOnce)
{
    CBattleScene scene;
    ASSERT_EQ(scene.Init(0), 1);
    EXPECT_EQ(scene.GetPlayerCount(), 2u);
    EXPECT_EQ(scene.GetSetting()->freeWithBattle, 1u);
    EXPECT_EQ(scene.Release(), 1u); // the sanitizer build reports a double free or a leak
}

TEST_F(BattleSceneTest, TheRuleEndsTheBattleWithEachFightersResultAndTheRecordsItEarned)
{
    MakeSetting(3);
    CBattleScene* scene = Start();
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[0], 1u); // counted at the start
    Step(kOpeningFrames);
    ASSERT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Running);
    CCharacter* local = scene->GetFighter(0);
    local->GetStateBlock()->ruleCounter = 5;
    uint32_t* score = local->GetBattleScore()->value;
    score[tag_TOLQBATTLESCORE::DEFEATS] = 5;
    score[tag_TOLQBATTLESCORE::DOWNS] = 2;
    score[tag_TOLQBATTLESCORE::SHOTS] = 40;
    const uint32_t points = m_config.GetPlayData()->points;
    Step(1);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Win);
    EXPECT_EQ(local->GetStateBlock()->requestedResultPose, 3);
    EXPECT_EQ(scene->GetFighter(1)->GetStateBlock()->requestedResultPose, 4);
    const uint32_t* offline = m_config.GetRecord()->records[0].offline;
    EXPECT_EQ(offline[1], 1u); // solo wins
    EXPECT_EQ(offline[7], 5u);
    EXPECT_EQ(offline[8], 2u);
    EXPECT_EQ(offline[10], 40u);
    EXPECT_EQ(m_config.GetPlayData()->points, points + 10);
    for (uint32_t half = 0; half < 15; ++half)
        EXPECT_EQ(m_config.GetRecord()->records[0].network[half], 0u);
    // The end test runs only while the battle runs: nothing is counted twice.
    Step(100);
    EXPECT_EQ(offline[1], 1u);
}

TEST_F(BattleSceneTest, ATeamBattleCountsTeamResults)
{
    MakeSetting(4);
    m_setting->rules.teamBattle = 1;
    m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_TEAM_JEWELS;
    m_setting->players[0].team = 1; // with entry 1
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    scene->GetFighter(1)->GetStateBlock()->ruleCounter = 5; // the local player's team mate
    Step(1);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Win);
    EXPECT_EQ(scene->GetFighter(2)->GetStateBlock()->requestedResultPose, 4);
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[4], 1u); // team wins
    EXPECT_EQ(m_config.GetRecord()->records[0].offline[1], 0u);
}

TEST_F(BattleSceneTest, PlaybackChangesNoRecordAndNoMoney)
{
    MakeSetting(3);
    m_setting->playback = 1;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    scene->GetFighter(0)->GetStateBlock()->ruleCounter = 5;
    scene->GetFighter(0)->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] = 5;
    Step(1);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Win);
    for (uint32_t half = 0; half < 15; ++half)
        EXPECT_EQ(m_config.GetRecord()->records[0].offline[half], 0u);
    EXPECT_EQ(m_config.GetPlayData()->points, 0u);
}

TEST_F(BattleSceneTest, AMissionEarnsItsRankAndMoneyByItsScoreEvenLost)
{
    // A mission of the game's mission list, after those the set holds;
    // the battle ranks by its thresholds.
    CResourceList<CMission*>* missions = g_pResourceController->GetMissionList();
    const uint32_t index = missions->GetCount();
    auto* mission = new CMission();
    for (uint32_t k = 0; k < 7; ++k)
        mission->GetHeader()->rankThresholds[k] = k;
    missions->Add(mission);
    m_config.GetPlayData()->missions.resize(index + 1);
    MakeSetting(2);
    m_setting->mission = 1;
    m_setting->missionIndex = static_cast<uint16_t>(index);
    m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_LAST_STAND;
    m_setting->rules.timeLimitIndex = 0;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    scene->GetFighter(0)->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] = 6;
    scene->GetFighter(0)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    Step(1);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Lose);
    const tag_TOLQMISSIONRECORD& record = m_config.GetPlayData()->missions[index];
    EXPECT_EQ(record.rank, 6);
    EXPECT_EQ(record.value, 6u);
    EXPECT_EQ(m_config.GetPlayData()->points, 100u);
    EXPECT_EQ(m_config.GetPlayData()->clearedMissionCount, 0u) << "a lost mission counted as cleared";
    EXPECT_EQ(scene->GetFighter(0)->GetBattleScore()->value[tag_TOLQBATTLESCORE::RANK] & 0xFF, 6u);
    missions->SetCount(index);
    mission->Release();
    delete mission;
}

TEST_F(BattleSceneTest, AMissionCountsAsClearedOnceWhenFirstWonOrRankedWhereItsRulesLeaveNoWin)
{
    // Two knockouts for E; a fighter's last stand, with a limit or without.
    CResourceList<CMission*>* missions = g_pResourceController->GetMissionList();
    const uint32_t index = missions->GetCount();
    auto* mission = new CMission();
    const uint32_t thresholds[7] = {0, 2, 4, 6, 10, 14, 20};
    std::copy(thresholds, thresholds + 7, mission->GetHeader()->rankThresholds);
    missions->Add(mission);
    tag_TOLQPLAYDATA& play = *m_config.GetPlayData();
    play.missions.resize(index + 1);
    tag_TOLQMISSIONRECORD& record = play.missions[index];
    // The player falls or stands till the time is up, with its knockouts.
    auto fight = [&](uint8_t timeLimitIndex, bool falls, uint32_t defeats)
    {
        MakeSetting(2);
        m_setting->mission = 1;
        m_setting->missionIndex = static_cast<uint16_t>(index);
        m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_LAST_STAND;
        m_setting->rules.timeLimitIndex = timeLimitIndex;
        CBattleScene* scene = Start();
        Step(kOpeningFrames);
        scene->GetFighter(0)->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] = defeats;
        if (falls)
            scene->GetFighter(0)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
        else
            scene->GetConsole()->GetStateForUpdate()->timeLeft = kFrame;
        Step(1);
        EXPECT_EQ(scene->GetConsole()->GetPhase(), falls ? ConsolePhase::Lose : ConsolePhase::Win);
        m_scene.reset();
        FreeBattleSetting(m_setting);
        m_setting = nullptr;
        return play.clearedMissionCount;
    };
    constexpr uint8_t kTwoThirty = 0;
    constexpr uint8_t kNoLimit = 4;
    // With 2:30 the time-up is a win: falls never count, even ranked; the
    // first win does, once.
    EXPECT_EQ(fight(kTwoThirty, true, 0), 0u);
    EXPECT_EQ(fight(kTwoThirty, true, 6), 0u) << "a lost mission that can be won counted as cleared";
    EXPECT_FALSE(record.won);
    EXPECT_EQ(fight(kTwoThirty, false, 0), 1u);
    EXPECT_TRUE(record.won);
    EXPECT_EQ(fight(kTwoThirty, false, 0), 1u) << "a mission won again counted again";
    // Without a limit the fall is the only end: it clears the mission once
    // it earns E, once.
    record = {};
    play.clearedMissionCount = 0;
    EXPECT_EQ(fight(kNoLimit, true, 1), 0u);
    EXPECT_EQ(fight(kNoLimit, true, 2), 1u) << "a mission that can't be won can't be cleared";
    EXPECT_TRUE(record.won);
    EXPECT_EQ(fight(kNoLimit, true, 4), 1u);
    // A save already at the number of missions stays there.
    record = {};
    play.clearedMissionCount = static_cast<uint16_t>(play.missions.size());
    EXPECT_EQ(fight(kTwoThirty, false, 0), play.missions.size()) << "the count passed the number of missions";
    missions->SetCount(index);
    mission->Release();
    delete mission;
}

TEST_F(BattleSceneTest, ALocalPlayerWithoutAFighterEndsTheBattleAsDown)
{
    MakeSetting(3);
    m_setting->ownSlot = 5; // no entry sits there, and there is no entry 5
    m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_LAST_STAND;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Lose);
    Step(1000);
    EXPECT_EQ(scene->IsFinished(), 1);
}

TEST_F(BattleSceneTest, ATargetRuleNamingNoPlayerEndsAtOnce)
{
    MakeSetting(3);
    m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_TARGET;
    m_setting->rules.limit = 9;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    EXPECT_NE(scene->GetConsole()->GetPhase(), ConsolePhase::Running);
}

TEST_F(BattleSceneTest, ADepartedSeatsFighterGetsEmptyRecordsFromThenOn)
{
    MakeSetting(2);
    m_setting->players[1].slotState = 1;
    m_setting->players[1].localInput = 0;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    tag_TOLQINPUTRECORD pushing;
    pushing.bytes[8] = static_cast<uint8_t>(-100); // the stick forward
    scene->GetFighter(1)->ApplyInputRecord(&pushing, scene->GetInput());
    Step(1);
    m_setting->players[1].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    Step(1);
    const tag_TOLQINPUTRECORD empty;
    EXPECT_EQ(std::memcmp(scene->GetFighter(1)->GetLastInputRecord(), &empty, sizeof(empty)), 0);
    const CkvrVector3 at = *scene->GetFighter(1)->GetPosition();
    Step(60);
    EXPECT_NEAR(scene->GetFighter(1)->GetPosition()->x, at.x, 0.5f);
    EXPECT_NEAR(scene->GetFighter(1)->GetPosition()->z, at.z, 0.5f);
}

TEST_F(BattleSceneTest, ABattleQuitBeforeItsEndSavesNoReplayAndLeavesNoTemporaryFile)
{
    MakeSetting(2);
    m_setting->record = 1;
    Start();
    ASSERT_NE(m_scene->GetReplay(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(m_scene->GetReplay()->GetTemporaryName()));
    Step(50);
    m_scene->Release();
    EXPECT_TRUE(std::filesystem::is_empty(SaveFolder()));
}

TEST_F(BattleSceneTest, AnEndedBattleSavesItsReplayUnderTheFirstFreeNumber)
{
    m_config.GetData()->replayCount = 14;
    std::filesystem::create_directories(SaveFolder());
    TempFolder::Write(SaveFolder() / "QorReplay_01.rep", "x");
    MakeSetting(2);
    m_setting->record = 1;
    CBattleScene* scene = Start();
    Step(kOpeningFrames);
    scene->GetFighter(0)->GetStateBlock()->ruleCounter = 5;
    Step(10);
    scene->Release();
    const std::filesystem::path saved = SaveFolder() / "QorReplay_02.rep";
    ASSERT_TRUE(std::filesystem::exists(saved));
    CReplay replay;
    ASSERT_EQ(replay.OpenForPlay(saved.c_str()), 1);
    EXPECT_STREQ(replay.GetHeader().stageName, "Stand-in Arena");
    tag_TOLQBATTLESETTING* read = CreateBattleSettingFrom(1, 0, nullptr);
    ASSERT_EQ(replay.ReadSetting(read), 1) << replay.GetError();
    EXPECT_EQ(read->seed, 7u);
    EXPECT_EQ(read->playerCount, 2);
    FreeReplayTexts(read);
    FreeBattleSetting(read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(SaveFolder()), {}), 2);
}

TEST_F(BattleSceneTest, WithoutASaveFolderTheBattleRunsUnrecorded)
{
    // The save folder's place is taken by a file.
    std::filesystem::create_directories(m_folder->Path() / "CorvaneSystem");
    TempFolder::Write(SaveFolder(), "not a folder");
    MakeSetting(2);
    m_setting->record = 1;
    CBattleScene* scene = Start();
    EXPECT_EQ(scene->GetReplay(), nullptr);
    Step(100);
    EXPECT_EQ(scene->GetConsole()->GetPhase(), ConsolePhase::Ready);
}

TEST_F(BattleSceneTest, ReleasingAnEndedBattleWhoseSaveFolderIsGoneFreesEverythingAndLeavesNoFile)
{
    MakeSetting(2);
    m_setting->record = 1;
    CBattleScene* scene = Start();
    const std::string temporary = scene->GetReplay()->GetTemporaryName();
    Step(kOpeningFrames);
    scene->GetFighter(0)->GetStateBlock()->ruleCounter = 5;
    Step(1);
    // No home for the save folder any more: the replay can't be saved.
    const char* home = std::getenv("HOME");
    const std::string keptHome = home != nullptr ? home : "";
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    EXPECT_EQ(scene->Release(), 1u);
    if (!keptHome.empty())
        setenv("HOME", keptHome.c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_EQ(scene->GetReplay(), nullptr);
    EXPECT_EQ(scene->GetConsole(), nullptr);
}

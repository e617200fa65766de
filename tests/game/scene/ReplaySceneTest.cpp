// The replay list driven by scripted keys and mouse over replay files that
// battles recorded in the test: empty and damaged rows, the wrapping list,
// the back row, playback with the viewed player, play again, back to the
// list and to the title, and a file replaced after the list was read.
#include "tests/game/scene/StandInSet.h"

#include "engine/core/GameText.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CReplayScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using game_test::GameHarness;
using State = CReplayScene::ReplayState;
using Check = CReplayScene::RowCheck;

namespace
{
// Recorded battles run at 100 ms a frame: 70 frames carry a battle through
// its intro and ready call into play.
constexpr uint32_t kRecordedFrameTime = 100;
constexpr uint32_t kRecordedFrames = 70;

class ReplayScene : public ::testing::Test
{
protected:
    void Start(bool withGameData = true, int32_t width = 640, int32_t height = 480)
    {
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = withGameData ? scene_test::StandInGame(width, height, settings)
                              : std::make_unique<GameHarness>(width, height, scene_test::SceneFiles(),
                                                              &CreateGameScene, &settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
    }
    void TearDown() override { m_game.reset(); }

    CReplayScene* Scene() { return dynamic_cast<CReplayScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    bool InState(State state) { return Scene() != nullptr && Scene()->GetState() == state; }
    std::filesystem::path RowFile(uint32_t row)
    {
        return CReplayScene::RowFileName(m_game->SaveFolder().string() + "/", row);
    }

    // The list, faded in, as the title opens it.
    void Open()
    {
        m_game->Controller().ChangeScene(CController::SCENE_REPLAY, 0, 1.0f, 0);
        m_game->Step(1);
        ASSERT_NE(Scene(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::List); }, 60));
    }

    // A battle of a human (standing still) against a computer fighter on
    // the arena, recorded for frames frames and saved as file.
    void Record(const std::filesystem::path& file, uint32_t seed = 7)
    {
        tag_TOLQBATTLESETTING* setting = CreateBattleSetting(2, 0);
        ASSERT_NE(setting, nullptr);
        setting->seed = seed;
        setting->record = 1;
        setting->rules.stageChoice = 0;
        for (uint8_t i = 0; i < 2; ++i)
        {
            setting->players[i].character = static_cast<int8_t>(i);
            setting->players[i].characterCount = 8;
            setting->players[i].startPoint = i;
        }
        {
            CBattleScene battle;
            ASSERT_EQ(battle.Init(reinterpret_cast<uintptr_t>(setting)), 1);
            ASSERT_NE(battle.GetReplay(), nullptr);
            for (uint32_t frame = 0; frame < kRecordedFrames; ++frame)
            {
                SetFrameTime(kRecordedFrameTime);
                battle.Update(0);
            }
            ASSERT_EQ(battle.GetReplay()->Finish(file.c_str()), 1);
        }
        FreeBattleSetting(setting);
    }

    // Steps until the chosen file plays, taking the replay's pacing off so
    // that its 100 ms frames don't hold the test up.
    void StepUntilPlaying()
    {
        ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::Playing); }, 80));
        ASSERT_NE(Scene()->GetBattle(), nullptr);
        Scene()->GetBattle()->GetReplay()->SetPacing(false);
    }

    // Plays the file to its end menu: the recorded frames, then the result
    // banner, at 100 ms a frame.
    void PlayToEndMenu()
    {
        for (uint32_t frame = 0; frame < kRecordedFrames + 100; ++frame)
        {
            const ConsoleMenu menu = Scene()->GetBattle()->GetConsole()->GetState().currentMenu;
            if (menu != ConsoleMenu::None && menu != ConsoleMenu::Pause)
                return;
            m_game->StepWith(kRecordedFrameTime, 1);
        }
        FAIL() << "the battle's end menu never opened";
    }
    // The end menu's item index chosen with the menu keys.
    void ChooseEndItem(int index)
    {
        for (int i = 0; i < index; ++i)
            m_game->Tap(KEY_DOWN);
        m_game->Tap(KEY_Z);
    }

    std::unique_ptr<GameHarness> m_game;
};

tag_TOLQREPLAYHEADER HeaderOf(const std::filesystem::path& file)
{
    tag_TOLQREPLAYHEADER header;
    CReplayScene::CheckFile(file.string(), &header);
    return header;
}

// The file's bytes with a change.
void Patch(const std::filesystem::path& file, size_t offset, std::initializer_list<uint8_t> bytes)
{
    std::string content = TempFolder::Read(file);
    ASSERT_LE(offset + bytes.size(), content.size());
    std::copy(bytes.begin(), bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(offset));
    TempFolder::Write(file, content);
}

// Offsets in a battle's recording: the empty leading name, then the header,
// then the setting, whose first byte is the player count.
constexpr size_t kVersionOffset = 4;
constexpr size_t kSettingOffset = 4 + tag_TOLQREPLAYHEADER::kSize;
}

TEST_F(ReplayScene, WithoutReplayFilesEveryRowShowsDashesAndOnlyTheBackRowActs)
{
    Start(false);
    Open();
    for (uint32_t row = 0; row < CReplayScene::kFileRows; ++row)
    {
        EXPECT_EQ(Scene()->GetRowCheck(row), Check::Damaged) << row;
        EXPECT_STREQ(Scene()->GetStageText(row), GameText("--------")) << row;
    }
    // Decide and a click on a file row do nothing.
    m_game->Tap(KEY_Z);
    EXPECT_TRUE(InState(State::List));
    ASSERT_TRUE(scene_test::PointAtItem(*m_game, Scene()->GetFrame(), CReplayScene::kRowId + 3));
    EXPECT_EQ(Scene()->GetRow(), 3u);
    scene_test::ClickHere(*m_game);
    m_game->Step(1);
    EXPECT_TRUE(InState(State::List));
    // The back row leaves.
    ASSERT_TRUE(scene_test::ClickItem(*m_game, Scene()->GetFrame(), CReplayScene::kRowId + CReplayScene::kBackRow));
    EXPECT_TRUE(InState(State::FadeOutToLeave));
}

TEST_F(ReplayScene, KeysWrapBetweenTheFirstAndTheBackRowAndCarryThePointer)
{
    Start(false);
    // A pointer resting on the third row leaves the cursor to the keys.
    m_game->PointAt({426.0f, 212.0f});
    Open();
    ASSERT_EQ(Scene()->GetRow(), 0u);
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Scene()->GetRow(), CReplayScene::kBackRow);
    int x = 0;
    int y = 0;
    m_game->Input().GetCursorPosition(x, y);
    const MenuRect back = Scene()->GetFrame().FindItem(CReplayScene::kRowId + CReplayScene::kBackRow)->rect;
    const CMenuLayout layout = CMenuLayout::ForGraphics(m_game->Controller().GetGraphics(), MenuScaleRule::Menu4x3);
    const MenuPoint pointer = layout.CursorToLayout({static_cast<float>(x), static_cast<float>(y)});
    EXPECT_TRUE(back.Contains(pointer)) << pointer.x << ", " << pointer.y;
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Scene()->GetRow(), 0u);
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Scene()->GetRow(), 1u);
}

TEST_F(ReplayScene, DecideOnTheBackRowLeavesToTheTitleMenuWithTheReplayItemInFront)
{
    Start(false);
    Open();
    m_game->Tap(KEY_UP);
    m_game->Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::Menu);
    EXPECT_EQ(Title()->GetFrontItem(), 8u);
    EXPECT_FLOAT_EQ(Title()->GetFadeA(), 1.0f);
}

TEST_F(ReplayScene, AFileOfAnotherVersionSaysSoAndADamagedOneShowsDashes)
{
    Start();
    Record(RowFile(0));
    std::filesystem::copy_file(RowFile(0), RowFile(1));
    std::filesystem::copy_file(RowFile(0), RowFile(2));
    std::filesystem::copy_file(RowFile(0), RowFile(3));
    Patch(RowFile(1), kVersionOffset, {0x02, 0x01}); // 258
    std::filesystem::resize_file(RowFile(2), 200);   // ends inside the header
    Patch(RowFile(3), kSettingOffset, {0});          // a setting of no players
    Open();
    EXPECT_EQ(Scene()->GetRowCheck(0), Check::Playable);
    EXPECT_STREQ(Scene()->GetStageText(0), "Stand-in Arena");
    EXPECT_STREQ(Scene()->GetHeader(0).characterName, "Aria");
    EXPECT_EQ(Scene()->GetRowCheck(1), Check::OtherVersion);
    EXPECT_STREQ(Scene()->GetStageText(1), GameText("バージョンが違います"));
    EXPECT_EQ(Scene()->GetRowCheck(2), Check::Damaged);
    EXPECT_EQ(Scene()->GetRowCheck(3), Check::Damaged);
    EXPECT_STREQ(Scene()->GetStageText(3), GameText("--------"));
    for (uint32_t row : {1u, 2u, 3u})
    {
        m_game->Controller().ChangeScene(CController::SCENE_REPLAY, 0, 1.0f, row);
        m_game->Step(1);
        ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::List); }, 60));
        ASSERT_EQ(Scene()->GetRow(), row);
        m_game->Tap(KEY_Z);
        EXPECT_TRUE(InState(State::List)) << row;
    }
}

TEST_F(ReplayScene, AReplayWhoseFighterTheLoadedDataLacksShowsAsNotPlayableAndDoesNotPlay)
{
    // Recorded with the whole set (characters 0 and 1), listed by a game
    // that has only the first character.
    Start();
    Record(RowFile(0));
    const std::string recorded = TempFolder::Read(RowFile(0));
    m_game.reset();
    std::vector<game_test::DataFile> files = scene_test::StandInSet();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const game_test::DataFile& file) {
                                   return file.name.rfind("Character\\", 0) == 0 &&
                                          file.name != "Character\\Chara_00.chr";
                               }),
                files.end());
    const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    m_game = std::make_unique<GameHarness>(640, 480, files, &CreateGameScene, &settings);
    ASSERT_TRUE(m_game->Ready());
    ASSERT_TRUE(m_game->Start());
    TempFolder::Write(RowFile(0), recorded);
    Open();
    EXPECT_EQ(Scene()->GetRowCheck(0), Check::Unplayable);
    EXPECT_FALSE(Scene()->IsPlayable(0));
    EXPECT_STREQ(Scene()->GetStageText(0), GameText("再生できません"));
    m_game->Step(1);
    scene_test::SaveScreenshot(*m_game, "replay-list-unplayable");
    m_game->Tap(KEY_Z);
    m_game->Step(30);
    EXPECT_TRUE(InState(State::List));
    EXPECT_EQ(Scene()->GetPlaybackCount(), 0u);
}

TEST_F(ReplayScene, AChosenFileReplacedSinceTheListWasReadIsReadAgainAndNotPlayed)
{
    Start();
    Record(RowFile(0), 7);
    Record(RowFile(1), 8);
    Open();
    ASSERT_TRUE(Scene()->IsPlayable(0));
    // Another battle's file in its place, with another date.
    std::filesystem::copy_file(RowFile(1), RowFile(0), std::filesystem::copy_options::overwrite_existing);
    Patch(RowFile(0), kVersionOffset + 2 + 32 + 260 + 2, {0x01, 0x08});
    m_game->Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::ListFadeIn); }, 80));
    EXPECT_EQ(Scene()->GetBattle(), nullptr);
    EXPECT_EQ(Scene()->GetPlaybackCount(), 0u);
    EXPECT_EQ(Scene()->GetHeader(0).year, HeaderOf(RowFile(0)).year);
    // A file damaged since then is shown so.
    std::filesystem::resize_file(RowFile(1), 100);
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::List); }, 60));
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::ListFadeIn); }, 80));
    EXPECT_EQ(Scene()->GetRowCheck(1), Check::Damaged);
}

TEST_F(ReplayScene, AReplayPlaysAndTheViewedPlayerRunsPastTheLastToTheFreeCameraAndRound)
{
    Start();
    Record(RowFile(0));
    Open();
    const tag_TOLQREPLAYHEADER& header = Scene()->GetHeader(0);
    EXPECT_EQ(header.online, 0u);
    EXPECT_GE(header.year, 2024u);
    m_game->Tap(KEY_Z);
    EXPECT_TRUE(InState(State::Load));
    StepUntilPlaying();
    const tag_TOLQBATTLESETTING* setting = Scene()->GetSetting();
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->playback, 1u);
    EXPECT_EQ(setting->record, 0u);
    EXPECT_EQ(setting->viewedSlot, 0u);
    // Number pad 2 (down) steps on through both players to the free
    // camera, then 0, as a list's down does; number pad 8 (up) from 0 goes
    // back round to the free camera.
    for (uint32_t expected : {1u, 2u, 0u})
    {
        m_game->Tap(KEY_NUMPAD2);
        EXPECT_EQ(Scene()->GetSetting()->viewedSlot, expected);
    }
    m_game->Tap(KEY_NUMPAD8);
    EXPECT_EQ(Scene()->GetSetting()->viewedSlot, 2u);
    EXPECT_EQ(Scene()->GetBattle()->GetViewedIndex(), 2u);
}

TEST_F(ReplayScene, PlayAgainReadsTheSameFileWithoutTheListThenTheListAndTheTitleFollow)
{
    Start();
    Record(RowFile(0));
    Open();
    m_game->Tap(KEY_Z);
    StepUntilPlaying();
    PlayToEndMenu();
    // "もう一度再生する": the same file again, the list never shown.
    ChooseEndItem(0);
    ASSERT_TRUE(m_game->StepUntil([&] { return !InState(State::Playing); }, 40));
    EXPECT_TRUE(InState(State::Load));
    EXPECT_FLOAT_EQ(Scene()->GetFadeB(), 0.0f);
    StepUntilPlaying();
    EXPECT_EQ(Scene()->GetPlaybackCount(), 2u);
    // "選択画面に戻る": the list fades in again.
    PlayToEndMenu();
    ChooseEndItem(1);
    ASSERT_TRUE(m_game->StepUntil([&] { return !InState(State::Playing); }, 40));
    EXPECT_TRUE(InState(State::ListFadeIn));
    EXPECT_EQ(Scene()->GetBattle(), nullptr);
    EXPECT_EQ(Scene()->GetSetting(), nullptr);
    // "タイトルに戻る": the title picture.
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::List); }, 60));
    m_game->Tap(KEY_Z);
    StepUntilPlaying();
    PlayToEndMenu();
    ChooseEndItem(2);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 40));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::TitlePicture);
    EXPECT_EQ(Title()->GetFrontItem(), 8u) << "the menu comes back on the replay item";
}

TEST_F(ReplayScene, LeavingInTheMiddleOfAPlaybackFreesTheBattleAndItsSetting)
{
    Start();
    Record(RowFile(0));
    Open();
    m_game->Tap(KEY_Z);
    StepUntilPlaying();
    m_game->Step(5);
    // The scene goes while its battle runs (the sanitizer build finds what
    // is freed twice or never).
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 8);
    m_game->Step(1);
    EXPECT_NE(Title(), nullptr);
}

TEST_F(ReplayScene, TheListAndAPlaybackAsAPersonSeesThem)
{
    Start(true, 1024, 768);
    Record(RowFile(0));
    Record(RowFile(2), 9);
    std::filesystem::copy_file(RowFile(0), RowFile(4));
    Patch(RowFile(4), kVersionOffset, {0x02, 0x01});
    Open();
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    scene_test::SaveScreenshot(*m_game, "replay-list");
    // The white title band either side of the title picture, and row 2's
    // date in white on the chosen row.
    EXPECT_EQ(m_game->LayoutPixel({100.0f, 56.0f}) & 0xFFFFFF, 0xFFFFFFu);
    m_game->Tap(KEY_Z);
    StepUntilPlaying();
    m_game->Step(30);
    scene_test::SaveScreenshot(*m_game, "replay-playing");
}

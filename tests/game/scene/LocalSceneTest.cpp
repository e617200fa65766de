// The local battle in the game application on the stand-in set, at 800 x
// 600: the setup's pages under the mouse at their scaled rectangles, the
// battles it starts, what each choice of the battle's menu leads to, and
// every way out releasing what the scene holds.
#include "tests/game/scene/SceneFiles.h"

#include "engine/platform/input/KeyCodes.h"
#include "game/app/CGameConfig.h"
#include "game/battle/CBattleConfig.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CLocalScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"

#include <cmath>

using game_test::GameHarness;

namespace
{
constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr float kScale = kHeight / 768.0f;

std::string StandInData()
{
    return std::string(KVR_STAND_IN_SOURCE) + "/..";
}

class LocalScene : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(game.Ready());
        ASSERT_TRUE(game.Start());
        ASSERT_EQ(game.Controller().ChangeScene(CController::SCENE_LOCAL_BATTLE, 0, 1.0f, 0), 1);
        game.Step(1);
        ASSERT_NE(Scene(), nullptr);
    }

    CLocalScene* Scene() { return dynamic_cast<CLocalScene*>(game.Controller().GetScene()); }
    CBattleConfig* Pages() { return Scene()->GetSetup(); }
    tag_TOLQBATTLESETTING* Setting() { return Scene()->GetSetting(); }

    // The mouse on a window pixel.
    void PointAtPixel(float x, float y)
    {
        game.Input().SetCursor(static_cast<int>(x), static_cast<int>(y));
        game.Step(1);
    }
    void ClickPixel(float x, float y)
    {
        game.Input().SetCursor(static_cast<int>(x), static_cast<int>(y));
        game.Input().SetMouseButton(0, true);
        game.Step(1);
        game.Input().SetMouseButton(0, false);
        game.Step(1);
    }
    bool Settle()
    {
        return game.StepUntil([&] { return Pages()->GetFade() >= 1.0f && Pages()->GetPhase() != 0; }, 300);
    }
    // Straight to a battle: the setup's pages skipped to their start.
    bool StartBattle()
    {
        Pages()->SetPage(CBattleConfig::PAGE_START);
        return game.StepUntil([&] { return Scene() != nullptr && Scene()->GetBattle() != nullptr; }, 10);
    }
    // The battle's menu chose code: the battle fades out with it.
    bool FinishWith(int8_t code)
    {
        CBattleConsole* console = Scene()->GetBattle()->GetConsole();
        console->GetStateForUpdate()->resultCode = code;
        console->StartFinish();
        return game.StepUntil([&] { return Scene() == nullptr || Scene()->GetBattle() == nullptr; }, 200);
    }

    GameHarness game{kWidth, kHeight, {}, &CreateGameScene, nullptr, nullptr, StandInData()};
};
}

TEST_F(LocalScene, TheModePanelsTakeTheMouseAtTheirScaledEdgesAndAClickDecides)
{
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Setup);
    EXPECT_EQ(Setting()->playerCount, 8);
    EXPECT_EQ(Setting()->freeWithBattle, 0u);
    // The team panel lies at 536..912 x 124..656: its last pixel inside is
    // the floor of its right edge; the solo panel ends at 488.
    PointAtPixel(std::floor(912.0f * kScale), std::floor(656.0f * kScale));
    EXPECT_EQ(Setting()->rules.teamBattle, 1u);
    PointAtPixel(std::floor(488.0f * kScale) + 2.0f, 400.0f * kScale);
    EXPECT_EQ(Setting()->rules.teamBattle, 1u); // between the panels
    PointAtPixel(std::floor(488.0f * kScale), 124.0f * kScale + 1.0f);
    EXPECT_EQ(Setting()->rules.teamBattle, 0u);
    ClickPixel(300.0f * kScale, 400.0f * kScale);
    EXPECT_TRUE(game.StepUntil([&] { return Pages()->GetPage() == CBattleConfig::PAGE_MEMBERS; }, 100));
    // A pixel of the members page's decide button shows its picture.
    game.StepUntil([&] { return Pages()->GetFade() >= 1.0f; }, 100);
    const uint32_t decide = game.Pixel(static_cast<int>(470 * kScale), static_cast<int>(640 * kScale));
    EXPECT_GT((decide >> 8) & 0xFF, (decide >> 16) & 0xFF); // green over red
}

TEST_F(LocalScene, InATeamBattleEachPanelShowsItsTeamsColourAndAClosedSeatItsOwn)
{
    Setting()->rules.teamBattle = 1;
    Setting()->players[1].team = 1;
    Setting()->players[3].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    Pages()->SetPage(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(Settle());
    game.Input().SetCursor(0, 0);
    game.Step(2);
    // Just inside each panel's left edge, beside its picture: panels 4 (team
    // 0; panel 0 wears the cursor's frame), 1 and 3.
    auto edge = [&](float x, float y) {
        return game.Pixel(static_cast<int>((x + 8.0f) * kScale), static_cast<int>((y + 150.0f) * kScale)) & 0xFFFFFFu;
    };
    const uint32_t team0 = edge(592.0f, 112.0f);
    const uint32_t team1 = edge(232.0f, 112.0f);
    const uint32_t closed = edge(232.0f, 388.0f);
    EXPECT_NE(team0, team1);
    EXPECT_NE(team0, closed);
    EXPECT_GT(team0 & 0xFF, (team0 >> 16) & 0xFF); // team 0: blue
    EXPECT_GT((team1 >> 16) & 0xFF, (team1 >> 8) & 0xFF); // team 1: purple
}

TEST_F(LocalScene, LeavingTheSetupOpensTheTitleMenuOnTheLocalBattle)
{
    ASSERT_TRUE(Settle());
    game.Tap(KEY_X);
    ASSERT_TRUE(game.StepUntil([&] { return Scene() == nullptr; }, 100));
    auto* title = dynamic_cast<CTitleScene*>(game.Controller().GetScene());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetState(), CTitleScene::TitleState::Menu);
    EXPECT_EQ(title->GetFrontItem(), CLocalScene::kRingItem);
}

TEST_F(LocalScene, EachChoiceOfTheBattlesMenuLeadsWhereItSaysAndRandomMusicIsDrawnPerBattle)
{
    const uint32_t total = game.Controller().GetGameConfig()->GetPlayData()->musicCount;
    ASSERT_GT(total, 0u);
    ASSERT_EQ(static_cast<uint32_t>(Setting()->rules.musicChoice), total); // random
    ASSERT_TRUE(StartBattle());
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Battle);
    // The battle plays a drawn track, named in its setting (and so in its
    // replay); the player's random choice comes back afterwards.
    EXPECT_LT(static_cast<uint32_t>(Setting()->rules.musicChoice), total);
    const uint32_t firstSeed = Setting()->seed;
    const CBattleScene* first = Scene()->GetBattle();
    game.Step(3);

    // Retry: a new battle from the same setting, the old one gone.
    ASSERT_TRUE(FinishWith(RESULT_RETRY));
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Start);
    EXPECT_EQ(static_cast<uint32_t>(Setting()->rules.musicChoice), total);
    game.Step(1);
    ASSERT_NE(Scene()->GetBattle(), nullptr);
    EXPECT_NE(Setting()->seed, firstSeed);
    (void)first;

    // Back to the character choice: the members page with the picks kept.
    const int8_t character = Setting()->players[0].character;
    ASSERT_TRUE(FinishWith(RESULT_CHARACTER_SELECT));
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Setup);
    EXPECT_EQ(Pages()->GetPage(), CBattleConfig::PAGE_MEMBERS);
    EXPECT_EQ(Setting()->players[0].character, character);

    // Back to the mode page.
    ASSERT_TRUE(StartBattle());
    ASSERT_TRUE(FinishWith(RESULT_MODE_SELECT));
    EXPECT_EQ(Pages()->GetPage(), CBattleConfig::PAGE_MODE);

    // Back to the title: its picture, whose menu opens with the local
    // battle's own ring item in front.
    ASSERT_TRUE(StartBattle());
    ASSERT_TRUE(FinishWith(RESULT_TITLE));
    auto* title = dynamic_cast<CTitleScene*>(game.Controller().GetScene());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetState(), CTitleScene::TitleState::TitlePicture);
    EXPECT_EQ(title->GetFrontItem(), CLocalScene::kRingItem);
}

TEST_F(LocalScene, ABlockNamingARunningBattleThatIsNotThereOpensTheSetupPages)
{
    // Sub-state 2 is a battle running, and there is none yet.
    ASSERT_EQ(game.Controller().ChangeScene(CController::SCENE_LOCAL_BATTLE, 2, 1.0f, 0), 1);
    ASSERT_NE(Scene(), nullptr);
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Setup);
    EXPECT_EQ(Scene()->GetBattle(), nullptr);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Pages()->GetPage(), CBattleConfig::PAGE_MODE);
    // The page is drawn, not a black screen.
    const int lit = game.CountPixels({.left = 0, .top = 0, .right = 1024, .bottom = 768},
                                     [](uint32_t rgb) { return rgb != 0; });
    EXPECT_GT(lit, kWidth * kHeight / 2);
}

TEST_F(LocalScene, ABattleThatCannotBeBuiltIsTriedAgainAndTheScenesWayOutFreesEverything)
{
    // A stage the set does not have: the battle fails every frame.
    Setting()->rules.stageCount = 100;
    Setting()->rules.stageChoice = 50;
    Pages()->SetPage(CBattleConfig::PAGE_START);
    game.Step(5);
    EXPECT_EQ(Scene()->GetState(), CLocalScene::LocalState::Start);
    EXPECT_EQ(Scene()->GetBattle(), nullptr);
    // The scene switch releases the scene, its setup and its setting; the
    // leak checker of the sanitizer build sees the rest.
    ASSERT_EQ(game.Controller().ChangeScene(CController::SCENE_TITLE, 2, 0.0f, 0), 1);
    game.Step(2);
    EXPECT_EQ(Scene(), nullptr);
}

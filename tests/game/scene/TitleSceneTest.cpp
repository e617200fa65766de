// The title driven by scripted keys and mouse: logo, movie or not, the
// title picture, the ring menu's turns, choices and returns, the flying
// element, with pixels checked at 640 x 480 and 1280 x 720.
#include "tests/game/scene/SceneFiles.h"

#include "engine/platform/CMovie.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CElement.h"
#include "game/app/CQorResourceController.h"
#include "game/scene/COptionScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "game/scene/TitleSheet.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/SheetCells.h"

#include <gtest/gtest.h>

using game_test::GameHarness;
using scene_test::NearColor;
using scene_test::SceneFiles;
using State = CTitleScene::TitleState;
using MenuStep = CTitleScene::MenuStep;

namespace
{
tag_TOLQGAMECONFIG Settings(uint32_t movie)
{
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    settings.openingMovie = movie;
    return settings;
}

class TitleScene : public ::testing::Test
{
protected:
    void Start(int32_t width = 640, int32_t height = 480, uint32_t movie = 0,
               std::vector<game_test::DataFile> files = SceneFiles(), const std::function<bool()>& more = nullptr)
    {
        const tag_TOLQGAMECONFIG settings = Settings(movie);
        m_game = std::make_unique<GameHarness>(width, height, files, m_factory, &settings, more);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        ASSERT_NE(Title(), nullptr);
    }
    void TearDown() override { m_game.reset(); }

    CScene* (*m_factory)(uint32_t) = &CreateGameScene;
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    bool InState(State state, uint32_t step)
    {
        return Title() != nullptr && Title()->GetState() == state && Title()->GetStep() == step;
    }
    bool InMenu(MenuStep step) { return InState(State::Menu, static_cast<uint32_t>(step)); }
    // The title's menu with an item in front, the background up.
    void OpenMenuAt(uint32_t item)
    {
        m_game->Controller().ChangeScene(CController::SCENE_TITLE, 3, 1.0f, item);
        m_game->Step(1);
        ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 60));
    }
    CSoundBuffer* Sound(const char* name)
    {
        return m_game->Controller().GetResourceController()->GetSoundList().FindByFileName(name);
    }
    bool Heard(MenuSound sound)
    {
        const std::vector<MenuSound>& sounds = Title()->GetFrame().Sounds();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }

    std::unique_ptr<GameHarness> m_game;
};
}

TEST_F(TitleScene, TheLogoLeadsStraightToTheTitlePictureWithoutTheMovie)
{
    Start();
    EXPECT_FALSE(Title()->HasMovie());
    EXPECT_TRUE(InState(State::Logo, 0));
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::Logo, 1); }, 40));
    // Fully in: the maker's logo in the middle of white.
    EXPECT_TRUE(NearColor(m_game->LayoutPixel({20.0f, 20.0f}), 0xFFFFFF, 4));
    EXPECT_TRUE(NearColor(m_game->LayoutPixel({512.0f - 200.0f, 384.0f - 90.0f}),
                          SheetCells::KindColor(SheetCells::CellKind::Logo), 12));
    EXPECT_TRUE(Sound("Bgm_circle.ogg")->IsPlaying());
    // Three seconds' hold, then out and on to the picture.
    m_game->Step(170);
    EXPECT_TRUE(InState(State::Logo, 1));
    ASSERT_TRUE(m_game->StepUntil([&] { return Title()->GetState() == State::TitlePicture; }, 80));
}

TEST_F(TitleScene, AMissingMovieGoesOnToTheTitlePicture)
{
    Start(640, 480, 1);
    EXPECT_FALSE(Title()->HasMovie());
    ASSERT_TRUE(m_game->StepUntil([&] { return Title()->GetState() == State::TitlePicture; }, 400));
}

TEST_F(TitleScene, TheMovieDrawsIntoItsOwnTextureAndAButtonEndsIt)
{
    // The movie's clock stands still: it ends only by the button, however
    // slowly the frames run.
    CMovie::SetClock([] { return uint64_t{0}; });
    Start(640, 480, 1, SceneFiles(),
          [] { return game_test::WriteDataFile(GameSceneKit::kOpeningMovie, GameSceneKit::OpeningMovie()); });
    ASSERT_TRUE(Title()->HasMovie());
    CFontTexture* font = m_game->Controller().GetFont(0);
    const DeviceTexture* glyphs = font->GetDeviceTexture();
    ASSERT_TRUE(m_game->StepUntil([&] { return Title()->GetState() == State::Movie; }, 400));
    m_game->Step(10);
    // The fonts keep their glyphs throughout.
    EXPECT_EQ(font->GetDeviceTexture(), glyphs);
    EXPECT_EQ(Title()->GetState(), State::Movie);
    m_game->Tap(KEY_Z);
    EXPECT_EQ(Title()->GetState(), State::TitlePicture);
    EXPECT_EQ(font->GetDeviceTexture(), glyphs);
    m_game.reset();
    CMovie::SetClock(nullptr);
}

TEST_F(TitleScene, ABlockNamingTheMovieWithoutOneShowsTheTitlePictureAndOneWithAMoviePlaysIt)
{
    // No movie wanted: the movie's state has nothing to play.
    Start();
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 1, 0.0f, 0);
    ASSERT_NE(Title(), nullptr);
    EXPECT_FALSE(Title()->HasMovie());
    EXPECT_EQ(Title()->GetState(), State::TitlePicture);
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::TitlePicture, 1); }, 60));
    EXPECT_TRUE(NearColor(m_game->LayoutPixel({512.0f, 700.0f}), 0x3A2858, 70));
    // A step past the state's last would wait for nothing: the state
    // starts from its first.
    tag_TOLQSCENEPARAM param;
    param.subState = static_cast<uint32_t>(State::Menu);
    param.fade = 1.0f;
    param.step = 9;
    param.item = 2;
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, &param);
    ASSERT_NE(Title(), nullptr);
    EXPECT_TRUE(InMenu(MenuStep::FadeIn));
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 60));
    m_game.reset();

    // With the movie: the block starts it, and a button ends it.
    CMovie::SetClock([] { return uint64_t{0}; });
    Start(640, 480, 1, SceneFiles(),
          [] { return game_test::WriteDataFile(GameSceneKit::kOpeningMovie, GameSceneKit::OpeningMovie()); });
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 1, 0.0f, 0);
    ASSERT_NE(Title(), nullptr);
    ASSERT_TRUE(Title()->HasMovie());
    m_game->Step(5);
    EXPECT_EQ(Title()->GetState(), State::Movie);
    m_game->Tap(KEY_Z);
    EXPECT_EQ(Title()->GetState(), State::TitlePicture);
    m_game.reset();
    CMovie::SetClock(nullptr);
}

TEST_F(TitleScene, AButtonOnThePictureOpensTheMenuAfterAVoice)
{
    Start();
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 2, 0.0f, 0);
    ASSERT_TRUE(m_game->StepUntil([&] { return InState(State::TitlePicture, 1); }, 40));
    uint32_t voices = 0;
    for (const char* voice : GameSceneKit::kTitleVoices)
        voices += Sound(voice)->IsPlaying() != 0 ? 1 : 0;
    EXPECT_EQ(voices, 1u);
    EXPECT_TRUE(Sound("Bgm_title.ogg")->IsPlaying());
    // The title picture fills the screen at full alpha.
    EXPECT_TRUE(NearColor(m_game->LayoutPixel({512.0f, 700.0f}), 0x3A2858, 70));
    m_game->Input().SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    // Held on into the menu, which chooses on a held decide, the press that
    // left the picture chooses nothing there.
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 80));
    m_game->Step(5);
    EXPECT_TRUE(InMenu(MenuStep::Waiting));
    m_game->Input().SetKey(KEY_Z, false);
    m_game->Step(1);
    EXPECT_FLOAT_EQ(Title()->GetFadeA(), 1.0f);
    EXPECT_FLOAT_EQ(Title()->GetFadeB(), 1.0f);
}

TEST_F(TitleScene, AParameterBlockOpensTheMenuWithItsItemInFront)
{
    Start();
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 7);
    m_game->Step(1);
    ASSERT_NE(Title(), nullptr);
    EXPECT_EQ(Title()->GetState(), State::Menu);
    EXPECT_EQ(Title()->GetFrontItem(), 7u);
    // The background stays up while the ring fades in.
    EXPECT_FLOAT_EQ(Title()->GetFadeA(), 1.0f);
    EXPECT_GT(Title()->GetFadeB(), 0.0f);
    EXPECT_LT(Title()->GetFadeB(), 1.0f);
    ASSERT_NE(Title()->GetFrame().FindItem(CTitleScene::kRingItemId + 7), nullptr);
    EXPECT_EQ(Title()->GetFrame().FindItem(CTitleScene::kRingItemId + 7)->label, "Equipment");
}

TEST_F(TitleScene, HoldingADirectionTurnsTheRingOneItemEvery300ms)
{
    Start();
    OpenMenuAt(0);
    m_game->Input().SetKey(KEY_DOWN, true);
    m_game->Step(1);
    EXPECT_TRUE(Heard(MenuSound::Cursor));
    EXPECT_EQ(Title()->GetTurnDirection(), -1);
    // 18 frames of 17 ms pass 300 ms; the next turn starts in the frame
    // after: one item per 19 frames while held.
    m_game->Step(18);
    EXPECT_EQ(Title()->GetFrontItem(), 1u);
    m_game->Step(19);
    EXPECT_EQ(Title()->GetFrontItem(), 2u);
    m_game->Input().SetKey(KEY_DOWN, false);
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 30));
    EXPECT_EQ(Title()->GetFrontItem(), 2u);
    // Up from item 0 wraps to the quit item, and down from it back to 0.
    OpenMenuAt(0);
    m_game->Input().SetKey(KEY_UP, true);
    m_game->Step(10);
    m_game->Input().SetKey(KEY_UP, false);
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 30));
    EXPECT_EQ(Title()->GetFrontItem(), CTitleScene::kQuitItem);
    m_game->Input().SetKey(KEY_DOWN, true);
    m_game->Step(10);
    m_game->Input().SetKey(KEY_DOWN, false);
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 30));
    EXPECT_EQ(Title()->GetFrontItem(), 0u);
}

// Every item of the game has its scene: a factory without the network's
// stands in for a build that lacks one.
CScene* CreateSceneButTheNetwork(uint32_t sceneId)
{
    return sceneId == CController::SCENE_NETWORK ? nullptr : CreateGameScene(sceneId);
}

TEST_F(TitleScene, AnItemWithoutItsSceneSoundsTheCancelAndTheMenuStays)
{
    constexpr uint32_t kNetworkItem = 2;
    m_factory = &CreateSceneButTheNetwork;
    Start();
    OpenMenuAt(kNetworkItem);
    m_game->Input().SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_TRUE(Heard(MenuSound::Error));
    m_game->Step(5);
    EXPECT_FALSE(Heard(MenuSound::Error)); // held: once only
    m_game->Input().SetKey(KEY_Z, false);
    m_game->Step(1);
    EXPECT_TRUE(InMenu(MenuStep::Waiting));
    EXPECT_EQ(Title()->GetFrontItem(), kNetworkItem);
}

TEST_F(TitleScene, ChoosingTheOptionItemFadesOutAndOpensTheOptions)
{
    Start();
    OpenMenuAt(5);
    m_game->Input().SetKey(KEY_Z, true);
    m_game->Step(1);
    m_game->Input().SetKey(KEY_Z, false);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_TRUE(InMenu(MenuStep::FadeOut));
    ASSERT_TRUE(
        m_game->StepUntil([&] { return dynamic_cast<COptionScene*>(m_game->Controller().GetScene()) != nullptr; }, 60));
}

TEST_F(TitleScene, TheQuitItemPostsTheQuitMessageAndTheMenuStays)
{
    Start();
    OpenMenuAt(CTitleScene::kQuitItem);
    m_game->Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::FadeIn); }, 60));
    EXPECT_TRUE(GameHarness::QuitPosted());
    EXPECT_EQ(Title()->GetFrontItem(), CTitleScene::kQuitItem);
}

TEST_F(TitleScene, TheMouseTurnsTheRingOnTheArrowsAndChoosesTheFrontItem)
{
    Start();
    OpenMenuAt(5);
    const MenuItemRecord* lower = Title()->GetFrame().FindItem(CTitleScene::kLowerArrowId);
    ASSERT_NE(lower, nullptr);
    m_game->PointAt(lower->rect.Centre());
    m_game->Input().SetMouseButton(0, true);
    m_game->Step(2);
    m_game->Input().SetMouseButton(0, false);
    EXPECT_EQ(Title()->GetTurnDirection(), -1);
    ASSERT_TRUE(m_game->StepUntil([&] { return InMenu(MenuStep::Waiting); }, 30));
    EXPECT_EQ(Title()->GetFrontItem(), 6u);
    m_game->Step(1);
    // A click on the front item (the record item) chooses it.
    const MenuItemRecord* front = Title()->GetFrame().FindItem(CTitleScene::kRingItemId + 6);
    ASSERT_NE(front, nullptr);
    m_game->PointAt(front->rect.Centre());
    m_game->Step(1);
    m_game->Input().SetMouseButton(0, true);
    m_game->Step(1);
    m_game->Input().SetMouseButton(0, false);
    EXPECT_TRUE(InMenu(MenuStep::FadeOut));
}

TEST_F(TitleScene, AnElementFliesAcrossNowAndThenButNeverWithoutTemplates)
{
    Start();
    OpenMenuAt(0);
    // Past the longest wait: without templates nothing flies.
    m_game->StepWith(1000, 90);
    EXPECT_EQ(Title()->GetFlyingElement(), nullptr);

    std::vector<game_test::DataFile> files = SceneFiles();
    for (GameDataKit::GameFile& file : GameDataKit::Files())
    {
        if (file.name.find("Element\\") == 0)
            files.push_back({file.name, file.bytes});
    }
    m_game.reset();
    Start(640, 480, 0, files);
    OpenMenuAt(0);
    const int32_t wait = Title()->GetElementCountdown();
    m_game->StepWith(1000, wait / 1000 + 2);
    ASSERT_NE(Title()->GetFlyingElement(), nullptr);
    // From y -1.5 to 1.5 at 0.6 a second: gone after five seconds.
    m_game->StepWith(100, 52);
    EXPECT_EQ(Title()->GetFlyingElement(), nullptr);
    EXPECT_GE(Title()->GetElementCountdown(), 20000 - 100);
}

TEST_F(TitleScene, TheFrontItemStandsOnTheRingCentreAtBothSizes)
{
    for (const auto& size : {std::pair<int32_t, int32_t>{640, 480}, std::pair<int32_t, int32_t>{1280, 720}})
    {
        m_game.reset();
        Start(size.first, size.second);
        OpenMenuAt(5);
        m_game->Step(1);
        // Inside the option item's picture, left of its label: the menu
        // item colour; on wide windows the 4:3 area is centred, bars black.
        const MenuRect front = Title()->GetFrame().FindItem(CTitleScene::kRingItemId + 5)->rect;
        EXPECT_TRUE(NearColor(m_game->LayoutPixel({front.left + 8.0f, front.top + 26.0f}),
                              SheetCells::KindColor(SheetCells::CellKind::MenuItem), 16))
            << size.first << "x" << size.second;
        if (size.first == 1280)
        {
            EXPECT_EQ(m_game->Pixel(40, 360) & 0xFFFFFF, 0u);
        }
    }
}

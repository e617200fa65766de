// The game application's frames: the scene switch from inside a scene, ids
// without a scene, the Escape quit menu, frame skipping, device loss, the
// full-screen fallback and the play data saved on the way out.
#include "tests/game/GameHarness.h"
#include "tests/game/app/StubScenes.h"

#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameConfigFormat.h"

#include <gtest/gtest.h>

#include <string>

using game_test::BasicFiles;
using game_test::GameHarness;

namespace
{
std::string g_boxText;

void CatchBox(const char* text, const char* caption)
{
    g_boxText = std::string(caption) + ": " + text;
}

// The stub title is on.
class ControllerFrames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stub_scenes::Reset();
        m_game = std::make_unique<GameHarness>(640, 480, BasicFiles(), &stub_scenes::Make);
        m_game->DrawEveryFrame();
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
    }
    void TearDown() override { m_game.reset(); }

    CController& Controller() { return m_game->Controller(); }
    bool CancelPlays()
    {
        return Controller().GetResourceController()->GetSoundList().FindByFileName("Se_cancel.ogg")->IsPlaying() != 0;
    }

    std::unique_ptr<GameHarness> m_game;
};
}

TEST_F(ControllerFrames, ASceneSwitchesFromItsOwnUpdateAndGoesAtTheEndOfTheFrame)
{
    stub_scenes::Log& log = stub_scenes::TheLog();
    log.switchTo = CController::SCENE_OPTION;
    m_game->Step(1);
    // The option stub was made and initialised during the title's Update;
    // the title went only after that Update had returned.
    ASSERT_EQ(log.made.size(), 2u);
    EXPECT_EQ(log.made[1], CController::SCENE_OPTION);
    EXPECT_EQ(log.deleted, 1u);
    ASSERT_TRUE(log.hadBlock[1]);
    const tag_TOLQSCENEPARAM& block = log.blocks[1];
    EXPECT_EQ(block.subState, 3u);
    EXPECT_FLOAT_EQ(block.fade, 1.0f);
    EXPECT_EQ(block.item, 5u);
    EXPECT_FLOAT_EQ(block.fade2, 0.0f);
    EXPECT_FLOAT_EQ(block.fade3, 0.0f);
    EXPECT_EQ(block.value4 | block.value5 | block.step, 0u);
}

TEST_F(ControllerFrames, AnIdWithoutASceneKeepsTheSceneAndPlaysTheCancelSound)
{
    CScene* title = Controller().GetScene();
    EXPECT_FALSE(Controller().HasScene(CController::SCENE_STORY));
    EXPECT_TRUE(Controller().HasScene(CController::SCENE_OPTION));
    EXPECT_EQ(Controller().ChangeScene(CController::SCENE_STORY, 0, 1.0f, 0), 1);
    EXPECT_EQ(Controller().GetScene(), title);
    EXPECT_TRUE(CancelPlays());
    EXPECT_EQ(Controller().ChangeScene(99, nullptr), 1);
    EXPECT_EQ(Controller().GetScene(), title);
}

TEST_F(ControllerFrames, EscapeOpensTheQuitMenuWhoseCursorWrapsAndWhichHoldsTheScene)
{
    EXPECT_FALSE(Controller().IsQuitMenuOpen());
    m_game->Tap(KEY_ESCAPE);
    ASSERT_TRUE(Controller().IsQuitMenuOpen());
    EXPECT_EQ(Controller().GetQuitMenu().cursor, 1);
    const uint32_t updates = stub_scenes::TheLog().updates;
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Controller().GetQuitMenu().cursor, 0); // wrapped past the end
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Controller().GetQuitMenu().cursor, 1); // wrapped past the start
    m_game->Tap(KEY_W);
    EXPECT_EQ(Controller().GetQuitMenu().cursor, 0); // the movement stick's up moves up
    m_game->Tap(KEY_S);
    EXPECT_EQ(Controller().GetQuitMenu().cursor, 1); // and its down down
    EXPECT_EQ(stub_scenes::TheLog().updates, updates);
    // Cancel closes; decide on the second item closes too.
    m_game->Tap(KEY_X);
    EXPECT_FALSE(Controller().IsQuitMenuOpen());
    m_game->Tap(KEY_ESCAPE);
    m_game->Tap(KEY_Z);
    EXPECT_FALSE(Controller().IsQuitMenuOpen());
    EXPECT_FALSE(GameHarness::QuitPosted());
    EXPECT_GT(stub_scenes::TheLog().updates, updates);
    // Decide on the first item quits.
    m_game->Tap(KEY_ESCAPE);
    m_game->Tap(KEY_UP);
    m_game->Tap(KEY_Z);
    EXPECT_TRUE(GameHarness::QuitPosted());
}

// The key that closes the quit menu, and one held while a scene ends, is
// still down in the frames after: the scene takes it only once let go.
TEST_F(ControllerFrames, AKeyThatClosesTheQuitMenuOrEndsASceneReachesTheNextOnlyOnceLetGo)
{
    stub_scenes::Log& log = stub_scenes::TheLog();
    ScriptedInputSource& keys = m_game->Input();
    for (uint8_t closing : {KEY_Z, KEY_X, KEY_ESCAPE})
    {
        m_game->Tap(KEY_ESCAPE);
        ASSERT_TRUE(Controller().IsQuitMenuOpen());
        keys.SetKey(closing, true);
        m_game->Step(3);
        EXPECT_FALSE(Controller().IsQuitMenuOpen());
        EXPECT_EQ(log.menuKeysHeld, 0u) << "closed by key " << CInput::GetKeyName(closing);
        keys.SetKey(closing, false);
        m_game->Step(1);
    }
    keys.SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_EQ(log.menuKeysHeld, 1u) << "a fresh press reaches the scene";
    // The title switches to the options while Z is held: only the title's
    // own frame sees it.
    log.switchTo = CController::SCENE_OPTION;
    m_game->Step(3);
    ASSERT_EQ(log.made.size(), 2u);
    EXPECT_EQ(log.menuKeysHeld, 2u);
    keys.SetKey(KEY_Z, false);
    m_game->Step(1);
    keys.SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_EQ(log.menuKeysHeld, 3u);
}

TEST_F(ControllerFrames, TheQuitMenuStaysShutWhileDisabled)
{
    Controller().SetQuitMenuEnabled(0);
    m_game->Tap(KEY_ESCAPE);
    EXPECT_FALSE(Controller().IsQuitMenuOpen());
    Controller().SetQuitMenuEnabled(1);
    m_game->Tap(KEY_ESCAPE);
    EXPECT_TRUE(Controller().IsQuitMenuOpen());
    // Turning it off closes it.
    Controller().SetQuitMenuEnabled(0);
    EXPECT_FALSE(Controller().IsQuitMenuOpen());
}

TEST_F(ControllerFrames, TheQuitMenuIsACentredWindowWithTheCursorItemWhite)
{
    m_game->Tap(KEY_ESCAPE);
    m_game->Step(1);
    // 640 x 480: s = 0.625; the window is 480 x 160 layout units around the
    // centre (pixels 170-470 across, 190-290 down), a title row and two item
    // rows of 40 below a 20-unit margin: the items' middles lie at 240 and
    // 265 pixels. The panel darkens the background behind it.
    const uint32_t inside = m_game->Pixel(180, 200);
    const uint32_t outside = m_game->Pixel(100, 100);
    EXPECT_LT(inside & 0xFF, outside & 0xFF);
    int white = 0;
    int grey = 0;
    for (int x = 200; x < 440; ++x)
    {
        for (int dy = -4; dy <= 4; ++dy)
        {
            white += (m_game->Pixel(x, 265 + dy) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
            grey += (m_game->Pixel(x, 240 + dy) & 0xFFFFFF) == 0x888888 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(grey, 0);
}

TEST_F(ControllerFrames, FrameSkippingDrawsEveryOtherFrame)
{
    Controller().SetFrameSkip(1);
    const uint32_t drawn = Controller().GetDrawnFrames();
    m_game->Step(10);
    EXPECT_EQ(Controller().GetDrawnFrames() - drawn, 5u);
    Controller().SetFrameSkip(0);
}

TEST_F(ControllerFrames, AShortDeviceLossRecreatesTheFontsAndGoesOn)
{
    CGraphics::SetSleepFunction([](uint32_t) {});
    Controller().GetGraphics()->GetDevice()->SimulateDeviceLoss(2);
    m_game->Step(4);
    EXPECT_EQ(Controller().GetFailedFrames(), 0u);
    ASSERT_NE(Controller().GetFont(1), nullptr);
    EXPECT_NE(Controller().GetFont(1)->GetDeviceTexture(), nullptr);
    EXPECT_FALSE(GameHarness::QuitPosted());
    CGraphics::SetSleepFunction(nullptr);
}

TEST_F(ControllerFrames, FiveLostFramesInARowSayWhyAndQuit)
{
    g_boxText.clear();
    SetMessageBoxHook(&CatchBox);
    CGraphics::SetSleepFunction([](uint32_t) {});
    Controller().GetGraphics()->GetDevice()->SimulateDeviceLoss(1000);
    m_game->Step(4);
    EXPECT_FALSE(GameHarness::QuitPosted());
    m_game->Step(1);
    EXPECT_EQ(g_boxText, "Error: Direct3D Device Lost!!");
    EXPECT_TRUE(GameHarness::QuitPosted());
    CGraphics::SetSleepFunction(nullptr);
    SetMessageBoxHook(nullptr);
}

TEST_F(ControllerFrames, AltEnterGoesToFullScreenAndBack)
{
    CGraphics* graphics = Controller().GetGraphics();
    ASSERT_EQ(graphics->GetWindowed(), 1u);
    m_game->Input().SetKey(KEY_LMENU, true);
    m_game->Tap(KEY_RETURN);
    EXPECT_EQ(graphics->GetWindowed(), 0u);
    m_game->Tap(KEY_RETURN);
    m_game->Input().SetKey(KEY_LMENU, false);
    EXPECT_EQ(graphics->GetWindowed(), 1u);
    // Not while the quit menu is turned off (an online battle).
    Controller().SetQuitMenuEnabled(0);
    m_game->Input().SetKey(KEY_LMENU, true);
    m_game->Tap(KEY_RETURN);
    m_game->Input().SetKey(KEY_LMENU, false);
    EXPECT_EQ(graphics->GetWindowed(), 1u);
}

TEST(ControllerWindow, AFullScreenSettingTheScreenRefusesRunsInAWindow)
{
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    settings.fullScreen = 1;
    GameHarness game(640, 480, BasicFiles(), nullptr, &settings);
    ASSERT_TRUE(game.Ready());
    // The screen refuses the mode (both tries of the reset fail).
    CGraphics::SetSleepFunction([](uint32_t) {});
    game.Controller().GetGraphics()->GetDevice()->SimulateResetFailures(2);
    ASSERT_TRUE(game.Load());
    game.Step(2);
    CGraphics::SetSleepFunction(nullptr);
    // The game keeps its window and its fonts, the live settings say so,
    // and the file keeps the player's choice.
    ASSERT_NE(game.Controller().GetFont(0), nullptr);
    EXPECT_NE(game.Controller().GetFont(0)->GetDeviceTexture(), nullptr);
    EXPECT_EQ(game.Controller().GetGraphics()->GetWindowed(), 1u);
    EXPECT_EQ(game.Controller().GetGameConfig()->GetData()->fullScreen, 0u);
    const std::string bytes = TempFolder::Read(game.SaveFolder() / "GameConfig.dat");
    tag_TOLQGAMECONFIG stored = GameHarness::DefaultSettings();
    ASSERT_EQ(DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &stored), 1);
    EXPECT_EQ(stored.fullScreen, 1u);
}

TEST(ControllerWindow, ThePlayDataAndRecordAreSavedOnTheWayOut)
{
    std::filesystem::path saves;
    {
        GameHarness game(640, 480, BasicFiles());
        ASSERT_TRUE(game.Ready());
        ASSERT_TRUE(game.Load());
        saves = game.SaveFolder();
        usleep(20000);
        game.Controller().Shutdown();
        const std::string bytes = TempFolder::Read(saves / "PlayRecord.dat");
        tag_TOLQPLAYRECORD record;
        ASSERT_EQ(DecodePlayRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &record), 1);
        EXPECT_GE(record.totalPlayTime, 20u);
        EXPECT_TRUE(std::filesystem::exists(saves / "PlayData.dat"));
        // The settings file is the options' to write.
        EXPECT_FALSE(std::filesystem::exists(saves / "GameConfig.dat"));
    }
}

// The game application's services one by one, on test devices and a small
// data set: loading and the published services, music and sound rules, the
// camera's viewport, the background effect and pop-up menus.
#include "tests/game/GameHarness.h"
#include "tests/game/app/StubScenes.h"

#include "engine/effect/CEffectController.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using game_test::BasicFiles;
using game_test::GameHarness;

namespace
{
CSoundBuffer* Sound(CController& controller, const char* name)
{
    return controller.GetResourceController()->GetSoundList().FindByFileName(name);
}

uint32_t PlayingVoices(CSoundBuffer* sound)
{
    uint32_t playing = 0;
    for (uint32_t i = 0; i < sound->GetVoiceCount(); ++i)
        playing += sound->IsVoicePlaying(i) != 0 ? 1 : 0;
    return playing;
}
}

TEST(ControllerLoading, PublishesEveryServiceAndCountsEachEntry)
{
    GameHarness game(640, 480, BasicFiles());
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    CController& controller = game.Controller();
    EXPECT_EQ(g_pController, &controller);
    EXPECT_EQ(g_pResourceController, controller.GetResourceController());
    EXPECT_EQ(g_pRenderList, controller.GetRenderList());
    EXPECT_EQ(g_pEffectController, controller.GetEffectController());
    EXPECT_EQ(g_pInput, controller.GetInput());
    ASSERT_NE(controller.GetBulletPool(), nullptr);
    EXPECT_EQ(controller.GetBulletPool()->GetLiveCount(), 0u);
    ASSERT_NE(controller.GetGameConfig(), nullptr);
    EXPECT_EQ(controller.GetHDRFilter(), nullptr);
    EXPECT_EQ(controller.GetTotalEntries(), BasicFiles().size());
    EXPECT_EQ(controller.GetLoadedEntries(), controller.GetTotalEntries());
    ASSERT_NE(controller.GetFont(0), nullptr);
    ASSERT_NE(controller.GetFont(1), nullptr);
    EXPECT_NE(controller.GetMenuSheet(), nullptr);
    // The settings' keys are pad 0's.
    const tag_KVRPADSTATE* pad = controller.GetInput()->GetPadState(0);
    for (uint32_t action = 0; action < kActionCount; ++action)
        EXPECT_EQ(pad->keyMap[action], controller.GetGameConfig()->GetData()->keys[action]);
    // The effect controller plays effect sounds at the settings' volume.
    EXPECT_EQ(controller.GetEffectController()->GetSoundSettings()->volume,
              controller.GetGameConfig()->GetData()->seVolume);
    EXPECT_FLOAT_EQ(controller.GetEffectController()->GetSoundSettings()->distance, 10.0f);
}

TEST(ControllerLoading, AMissingListSaysWhyAndEndsTheGame)
{
    // The list is gone before the game starts.
    GameHarness game(640, 480, {}, nullptr, nullptr, [] { return std::remove("GameResource.grc") == 0; });
    ASSERT_TRUE(game.Ready());
    for (int frame = 0; frame < 2000 && game.Controller().GetLoadingState() == CController::LoadingState::Loading;
         ++frame)
    {
        game.Step(1);
        usleep(2000);
    }
    game.Step(1);
    EXPECT_EQ(game.Controller().GetLoadingState(), CController::LoadingState::Failed);
    EXPECT_NE(game.Controller().GetLoadingError().find("GameResource.grc"), std::string::npos);
    EXPECT_TRUE(GameHarness::QuitPosted());
}

TEST(ControllerLoading, AStoryOrMissionThatCantBeReadIsLeftOutAndTheGameStartsWithoutIt)
{
    // A chapter of more commands than a chapter may hold, a listed mission
    // that is not there, and a chapter that reads: none of them may end the
    // game at its loading screen with an error box.
    std::vector<game_test::DataFile> files = BasicFiles();
    const std::string tooLong(65536, '\x04');
    const std::string chapter = "Wait(1)\nEnding\n";
    files.push_back({"Story\\Long.str", std::vector<uint8_t>(tooLong.begin(), tooLong.end())});
    files.push_back({"Mission\\Gone.mis", {0x15}});
    files.push_back({"Story\\A_01.stt", std::vector<uint8_t>(chapter.begin(), chapter.end())});
    testing::internal::CaptureStderr();
    GameHarness game(640, 480, files, nullptr, nullptr, [] { return std::remove("Mission/Gone.mis") == 0; });
    const bool loaded = game.Ready() && game.Load();
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(loaded) << game.Controller().GetLoadingError();
    game.Tap(KEY_Z);
    EXPECT_EQ(game.Controller().GetLoadingState(), CController::LoadingState::Playing);
    EXPECT_FALSE(GameHarness::QuitPosted());
    CQorResourceController* resources = game.Controller().GetResourceController();
    EXPECT_EQ(resources->GetStoryList()->GetCount(), 1u);
    EXPECT_NE(resources->GetStoryList()->FindByFileName("A_01"), nullptr);
    EXPECT_EQ(resources->GetMissionList()->GetCount(), 0u);
    EXPECT_NE(log.find("the story script is left out: \"Story\\Long.str\""), std::string::npos) << log;
    EXPECT_NE(log.find("the mission is left out: \"Mission\\Gone.mis\""), std::string::npos) << log;
}

TEST(ControllerLoading, AnyButtonAfterLoadingStartsTheTitleWithoutABlock)
{
    stub_scenes::Reset();
    GameHarness game(640, 480, BasicFiles(), &stub_scenes::Make);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    game.Step(5);
    EXPECT_TRUE(stub_scenes::TheLog().made.empty());
    game.Tap(KEY_Z);
    ASSERT_EQ(stub_scenes::TheLog().made.size(), 1u);
    EXPECT_EQ(stub_scenes::TheLog().made[0], CController::SCENE_TITLE);
    EXPECT_FALSE(stub_scenes::TheLog().hadBlock[0]);
    EXPECT_GT(stub_scenes::TheLog().renders, 0u);
}

TEST(ControllerSounds, MusicStartsOnceAndFadesTowardsTheMusicVolume)
{
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    settings.bgmVolume = -1000;
    GameHarness game(640, 480, BasicFiles(), nullptr, &settings);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    CController& controller = game.Controller();
    CSoundBuffer* music = Sound(controller, "Bgm_title.ogg");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(controller.PlayBgm(nullptr, -1000, 200, 0.0f), 0);
    EXPECT_EQ(controller.PlayBgm(music, -3000, 200, 0.0f), 1);
    ASSERT_TRUE(music->IsPlaying());
    EXPECT_EQ(music->GetVolume(0), -3000);
    // While it plays a second start changes nothing.
    EXPECT_EQ(controller.PlayBgm(music, -2500, 50, 0.0f), 1);
    EXPECT_EQ(music->GetVolume(0), -3000);
    // 200 per frame: ten frames up to the music volume, and it stays there.
    game.Tap(KEY_F5);
    game.Step(12);
    EXPECT_EQ(music->GetVolume(0), -1000);
    music->StopAll(1);
}

TEST(ControllerSounds, NothingPlaysBelowTheQuietestVolume)
{
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    settings.bgmVolume = -3000;
    settings.voiceVolume = -3000;
    settings.seVolume = -3000;
    GameHarness game(640, 480, BasicFiles(), nullptr, &settings);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    CController& controller = game.Controller();
    EXPECT_EQ(controller.PlayBgm(Sound(controller, "Bgm_title.ogg"), -3000, 200, 0.0f), 1);
    EXPECT_EQ(controller.PlayVoice(Sound(controller, "Vo_test.ogg")), 1);
    controller.PlaySelectSound();
    EXPECT_FALSE(Sound(controller, "Bgm_title.ogg")->IsPlaying());
    EXPECT_EQ(PlayingVoices(Sound(controller, "Vo_test.ogg")), 0u);
    EXPECT_EQ(PlayingVoices(Sound(controller, "Se_select.ogg")), 0u);
    // The effect controller is told silence.
    EXPECT_EQ(controller.GetEffectController()->GetSoundSettings()->volume, -10000);
}

TEST(ControllerSounds, AVoicePlaysOnAFreeVoiceOnlyAtTheVoiceVolume)
{
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    settings.soundCount = 2;
    settings.voiceVolume = -600;
    settings.seVolume = -300;
    GameHarness game(640, 480, BasicFiles(), nullptr, &settings);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    CController& controller = game.Controller();
    CSoundBuffer* voice = Sound(controller, "Vo_test.ogg");
    ASSERT_EQ(voice->GetVoiceCount(), 2u);
    EXPECT_EQ(controller.PlayVoice(nullptr), 0);
    EXPECT_EQ(controller.PlayVoice(voice), 1);
    EXPECT_EQ(controller.PlayVoice(voice), 1);
    EXPECT_EQ(controller.PlayVoice(voice), 1);
    EXPECT_EQ(PlayingVoices(voice), 2u);
    EXPECT_EQ(voice->GetVolume(0), -600);
    controller.PlayDecideSound();
    EXPECT_EQ(Sound(controller, "Se_decide.ogg")->GetVolume(0), -300);
    controller.PlayMenuSound(MenuSound::Error);
    EXPECT_EQ(PlayingVoices(Sound(controller, "Se_cancel.ogg")), 1u);
}

TEST(ControllerViewport, WideWindowsGetACentredFourByThreeArea)
{
    GameHarness game(640, 480, BasicFiles());
    ASSERT_TRUE(game.Ready());
    CController& controller = game.Controller();
    CCamera camera;
    struct Case
    {
        int32_t width, height;
        uint32_t x, y, w, h;
    };
    const Case cases[] = {
        {640, 480, 0, 0, 640, 480},     // 4:3: the whole client
        {1280, 720, 160, 0, 960, 720},  // 16:9: 4:3 in the middle
        {1280, 1024, 0, 0, 1280, 1024}, // 5:4 is taller than 4:3: the whole
    };
    for (const Case& c : cases)
    {
        controller.GetSystem()->SetClientSize(c.width, c.height, 0);
        controller.SetCameraViewport(&camera);
        const uint32_t* viewport = camera.GetViewport();
        EXPECT_EQ(viewport[0], c.x) << c.width << "x" << c.height;
        EXPECT_EQ(viewport[1], c.y);
        EXPECT_EQ(viewport[2], c.w);
        EXPECT_EQ(viewport[3], c.h);
    }
    game.Load();
}

TEST(ControllerBackground, KeepsItsFortyMotesOnTheScreen)
{
    CMenuBackgroundEffect effect(7);
    const MenuRect bounds = CMenuBackgroundEffect::Bounds();
    // Ordinary frames, then a few long stalls.
    for (int frame = 0; frame < 2000; ++frame)
    {
        effect.Update(frame % 500 == 499 ? 3000u : 17u);
        for (uint32_t i = 0; i < CMenuBackgroundEffect::kParticleCount; ++i)
        {
            const CMenuBackgroundEffect::Particle& mote = effect.GetParticle(i);
            ASSERT_TRUE(bounds.Contains(mote.position)) << "frame " << frame << " mote " << i;
            ASSERT_GE(mote.size, 8.0f);
            ASSERT_LE(mote.size, 40.0f);
        }
        ASSERT_GE(effect.GetSweepX(), -320.0f);
        ASSERT_LE(effect.GetSweepX(), 1024.0f + 320.0f);
    }
}

// A test's steps draw the frames it looks at, and a few where a transition
// starts, is half done or ends: what a screen draws half faded is seen.
TEST(ControllerBackground, IsDrawnWhereAFadeStartsIsHalfDoneAndEndsAndNotBetween)
{
    stub_scenes::Reset();
    GameHarness game(640, 480, BasicFiles(), &stub_scenes::Make);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Start());
    stub_scenes::Log& log = stub_scenes::TheLog();
    log.fade = MenuFade(0.0f, 1.0f); // in over 30 frames
    log.drawnFades.clear();
    game.Step(40);
    auto drawnWithin = [&log](float low, float high) {
        return std::any_of(log.drawnFades.begin(), log.drawnFades.end(),
                           [&](float level) { return level >= low && level <= high; });
    };
    EXPECT_TRUE(drawnWithin(0.01f, 0.1f));
    EXPECT_TRUE(drawnWithin(0.45f, 0.55f));
    EXPECT_TRUE(drawnWithin(1.0f, 1.0f));
    EXPECT_LE(log.drawnFades.size(), 8u);
}

TEST(ControllerBackground, DrawsThePictureInTheCentredArea)
{
    GameHarness game(1280, 720, BasicFiles());
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load());
    CController& controller = game.Controller();
    CGraphics* graphics = controller.GetGraphics();
    ASSERT_TRUE(graphics->BeginScene());
    controller.GetCamera()->Apply();
    controller.DrawBackground(0xFFFFFFFFu);
    // Inside the 4:3 area the dark blue picture; the bars stay black.
    const uint32_t inside = game.Pixel(170, 20);
    const uint32_t bar = game.Pixel(80, 360);
    graphics->EndScene();
    EXPECT_NEAR(static_cast<int>(inside & 0xFF), 0x40, 40) << std::hex << "inside 0x" << inside << ", bar 0x" << bar;
    EXPECT_EQ(bar & 0xFFFFFFu, 0u) << std::hex << "inside 0x" << inside << ", bar 0x" << bar;
}

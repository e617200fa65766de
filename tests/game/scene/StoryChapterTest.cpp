// The story's chapter player driven frame by frame at the story's fixed
// 17 ms step: each command's effect at the frame it must show, with pixels
// checked where it draws (640 x 480: layout units x 0.625).
#include "tests/game/scene/StoryTestFiles.h"

#include "engine/core/GameText.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/scene/CStoryScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "game/story/CStory.h"

#include <gtest/gtest.h>

#include <cmath>

using game_test::GameHarness;
using Player = CStoryChapterPlayer;

namespace
{
using story_test::Near;
constexpr uint32_t kFrame = 17;

// The colour scaled by a coverage over black.
uint32_t Over(uint32_t argb, float share)
{
    uint32_t out = 0;
    for (int shift : {16, 8, 0})
        out |= static_cast<uint32_t>(static_cast<float>((argb >> shift) & 0xFF) * share) << shift;
    return out;
}

class StoryChapter : public ::testing::Test
{
protected:
    void SetUp() override { Open(); }

    void Open(const std::vector<game_test::DataFile>& more = {}, uint8_t difficulty = 1)
    {
        std::vector<game_test::DataFile> files = scene_test::SceneFiles();
        files.insert(files.end(), more.begin(), more.end());
        tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        settings.storyDifficulty = difficulty;
        m_game = std::make_unique<GameHarness>(640, 480, files, &CreateGameScene, &settings,
                                               &story_test::WriteTestPacks);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        tag_TOLQSCENEPARAM param;
        param.subState = static_cast<uint32_t>(CStoryScene::StoryState::Chapter);
        m_game->Controller().ChangeScene(CController::SCENE_STORY, &param);
        m_game->Step(1);
        ASSERT_NE(Story(), nullptr);
    }
    void TearDown() override { m_game.reset(); }

    CStoryScene* Story() { return dynamic_cast<CStoryScene*>(m_game->Controller().GetScene()); }
    const Player& Chapter() { return Story()->GetChapterPlayer(); }

    // Starts a chapter written in UTF-8 (its texts reach the game as game
    // texts).
    void Play(const std::string& script)
    {
        const std::string text = ToGameText(script);
        std::string error;
        ASSERT_TRUE(m_chapter.LoadMemory("Test_01.stt", text.data(), static_cast<uint32_t>(text.size()), &error))
            << error;
        ASSERT_TRUE(Story()->StartChapter(&m_chapter));
    }
    // The left mouse button down for one frame.
    void Click()
    {
        m_game->Input().SetMouseButton(0, true);
        m_game->Step(1);
        m_game->Input().SetMouseButton(0, false);
    }
    uint32_t Pixel(float x, float y) { return m_game->LayoutPixel({x, y}) & 0xFFFFFFu; }
    CSoundBuffer* Sound(const char* name)
    {
        return m_game->Controller().GetResourceController()->GetSoundList().FindByFileName(name);
    }

    CStory m_chapter;
    std::unique_ptr<GameHarness> m_game;
};

// Clears the black a chapter starts under.
const std::string kClear = "ScreenColor(0, 0, 0, 0, 0)\n";
}

TEST_F(StoryChapter, AWindowShownAtOnceTakesItsTextInTheSameFrameOneCharacterAFrame)
{
    Play(kClear + "ShowWindow(0)\nShowText(80, 540, \"abc\", 0, 1, 0, 1, 1, 1, 1, \"\")\nWait(1)\n");
    EXPECT_TRUE(Chapter().GetWindow().visible);
    EXPECT_TRUE(Chapter().GetMessage().active);
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SHOW_TEXT});
    for (const char* shown : {"a", "ab", "abc", "abc"})
    {
        m_game->Step(1);
        EXPECT_EQ(Chapter().GetMessage().shown, shown);
    }
    // The window stands opaque; the next-page mark shows once the text is whole.
    EXPECT_TRUE(Near(Pixel(700.0f, 600.0f), 0x142038u, 24));
    Click();
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
}

TEST_F(StoryChapter, ATextTypesOneCharacterPerIntervalAClickShowsTheRestAndASecondGoesOn)
{
    Play(kClear + "ShowWindow(0)\nShowText(80, 540, \"abcdef\", 0.05, 1, 0, 1, 1, 1, 1, \"Vo_long.ogg\")\nWait(1)\n");
    ASSERT_NE(Chapter().GetVoice(), nullptr);
    EXPECT_TRUE(Chapter().GetVoice()->IsPlaying());
    // The timer reaches 0.05 s on the fourth frame of 17 ms: one character
    // every four frames.
    m_game->Step(3);
    EXPECT_EQ(Chapter().GetMessage().shown, "");
    m_game->Step(1);
    EXPECT_EQ(Chapter().GetMessage().shown, "a");
    m_game->Step(4);
    EXPECT_EQ(Chapter().GetMessage().shown, "ab");
    Click();
    EXPECT_EQ(Chapter().GetMessage().shown, "abcdef");
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SHOW_TEXT});
    EXPECT_TRUE(Chapter().GetVoice()->IsPlaying());
    m_game->Step(1);
    Click();
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    EXPECT_FALSE(Chapter().GetVoice()->IsPlaying());
}

TEST_F(StoryChapter, ATimedTextGoesOnAfterItsDisplayTimeWhileItsVoiceStillPlays)
{
    Play(kClear + "ShowWindow(0)\nShowTextTime(80, 540, \"ab\", 0, 0.5, 1, 1, 1, 1, 1, 1, \"Vo_long.ogg\")\nWait(5)\n");
    // A click does nothing to a timed text.
    Click();
    EXPECT_EQ(Chapter().GetMessage().shown, "a");
    m_game->Step(27); // 28 frames: 0.476 s
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SHOW_TEXT_TIME});
    m_game->Step(2); // 0.51 s
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    EXPECT_TRUE(Chapter().GetVoice()->IsPlaying());
}

TEST_F(StoryChapter, TypingStopsAtTheEndOfTheTextOnWholeCharacters)
{
    Play(kClear + "ShowText(80, 540, \"アイウ\", 0, 1, 0, 1, 1, 1, 1, \"\")\n");
    const std::string whole = ToGameText("アイウ");
    for (size_t frame = 1; frame <= 6; ++frame)
    {
        m_game->Step(1);
        EXPECT_EQ(Chapter().GetMessage().shown, whole.substr(0, std::min<size_t>(frame * 2, whole.size())));
    }
}

TEST_F(StoryChapter, APictureFadesInWithItsFaceAtItsPlaceAndTheScriptWaitsForIt)
{
    Play(kClear + "ImageRegister(100, 0, \"Red.dds\", 1, 0, 0.5, 0, 0)\nWait(1)\n");
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_IMAGE_REGISTER});
    m_game->Step(15); // 0.255 s of 0.5
    EXPECT_TRUE(Near(Pixel(150.0f, 50.0f), Over(story_test::kRed, 0.51f), 16));
    m_game->Step(14); // 0.493 s
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_IMAGE_REGISTER});
    m_game->Step(1);
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    EXPECT_TRUE(Near(Pixel(150.0f, 50.0f), story_test::kRed));
    // Face 1 at face position 0: (206, 140) from the body's corner.
    EXPECT_TRUE(Near(Pixel(100.0f + 206.0f + 90.0f, 140.0f + 90.0f), story_test::FaceColor(1)));
}

TEST_F(StoryChapter, APictureOverAnotherShowsTheOldOneForHalfTheFadeThenTheNewOne)
{
    Play(kClear + "ImageRegister(100, 0, \"Red.dds\", 0, 0, 0, 0, 0)\n"
                  "ImageRegister(100, 0, \"Blue.dds\", 2, 0, 1.0, 0, 0)\nWait(1)\n");
    m_game->Step(15); // 0.255 s: the red one at 1 - 0.255 / 0.5
    EXPECT_TRUE(Near(Pixel(150.0f, 50.0f), Over(story_test::kRed, 0.49f), 16));
    m_game->Step(30); // 0.765 s: the blue one at (0.765 - 0.5) / 0.5
    EXPECT_TRUE(Near(Pixel(150.0f, 50.0f), Over(story_test::kBlue, 0.53f), 16));
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_IMAGE_REGISTER});
    m_game->Step(14); // 59 frames: 1.003 s
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    EXPECT_TRUE(Near(Pixel(150.0f, 50.0f), story_test::kBlue));
}

TEST_F(StoryChapter, AFaceChangesAfterItsDelayThroughACrossFade)
{
    Play(kClear + "ImageRegister(0, 0, \"Red.dds\", 0, 0, 0, 0, 0)\nChangeFace(0.2, 0.4, 2, 0)\nWait(2)\n");
    const float x = 206.0f + 90.0f;
    const float y = 140.0f + 90.0f;
    m_game->Step(6); // 0.102 s: before the delay, the old face
    EXPECT_TRUE(Near(Pixel(x, y), story_test::FaceColor(0)));
    m_game->Step(12); // 0.306 s: t = (0.306 - 0.2) / 0.4, both faces
    const uint32_t mixed = Pixel(x, y);
    EXPECT_FALSE(Near(mixed, story_test::FaceColor(0)));
    EXPECT_FALSE(Near(mixed, story_test::FaceColor(2)));
    m_game->Step(6); // 0.408 s: the change ends with its duration, the new face alone
    EXPECT_TRUE(Near(Pixel(x, y), story_test::FaceColor(2)));
}

TEST_F(StoryChapter, AColourChangeOfNoTimeRecoloursAtOnceAndAnotherMovesOverItsTime)
{
    Play(kClear + "ImageRegister(0, 0, \"White.dds\", 0, 0, 0, 0, 0)\nChangeColor(0, 0, 1, 0, 1, 0)\n"
                  "Wait(0.1)\nChangeColor(1, 0, 0, 1, 1, 0)\nWait(2)\n");
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    m_game->Step(1);
    EXPECT_TRUE(Near(Pixel(50.0f, 50.0f), 0x00FF00u));
    m_game->Step(6); // the wait is over: the second change starts
    m_game->Step(29); // 0.5 s into it
    EXPECT_TRUE(Near(Pixel(50.0f, 50.0f), 0x008080u, 16));
    m_game->Step(30);
    EXPECT_TRUE(Near(Pixel(50.0f, 50.0f), 0x0000FFu));
}

TEST_F(StoryChapter, AScreenColourHidesStagePicturesAndWindowButLeavesTheTextReadable)
{
    Play(kClear + "ImageRegister(0, 0, \"White.dds\", 0, 0, 0, 0, 0)\nShowWindow(0)\nScreenColor(0, 0, 0, 1, 1)\n"
                  "ShowText(80, 540, \"ＷＷＷＷ\", 0, 1, 0, 1, 1, 1, 1, \"\")\n");
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SCREEN_COLOR});
    m_game->Step(30);
    EXPECT_TRUE(Near(Pixel(50.0f, 50.0f), Over(story_test::kWhite, 0.49f), 16));
    m_game->Step(29); // 1.003 s
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SHOW_TEXT});
    m_game->Step(5);
    EXPECT_TRUE(Near(Pixel(50.0f, 50.0f), 0x000000u, 4));
    EXPECT_TRUE(Near(Pixel(700.0f, 600.0f), 0x000000u, 4));
    uint32_t brightest = 0;
    for (float x = 80.0f; x < 220.0f; x += 2.0f)
        for (float y = 540.0f; y < 575.0f; y += 2.0f)
            brightest = std::max(brightest, Pixel(x, y) & 0xFFu);
    EXPECT_GT(brightest, 0xC0u);
}

TEST_F(StoryChapter, TheCameraMovesUnderTheNextCommandsAndArrivesAtItsEnd)
{
    Play(kClear + "SetCamera(0, 0, -10, 0, 0, 0, 0)\nSetCamera(10, 0, -10, 0, 0, 0, 1)\n"
                  "ShowText(80, 540, \"a\", 0, 1, 0, 1, 1, 1, 1, \"\")\n");
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_SHOW_TEXT});
    m_game->Step(30); // 0.51 s
    EXPECT_NEAR(Chapter().GetCameraMove().eye.x, 5.1f, 1e-3f);
    EXPECT_EQ(Chapter().GetMessage().shown, "a");
    m_game->Step(29); // 1.003 s
    EXPECT_FLOAT_EQ(Chapter().GetCameraMove().eye.x, 10.0f);
    EXPECT_FLOAT_EQ(Chapter().GetCameraMove().duration, 0.0f);
}

TEST_F(StoryChapter, AQuakeShakesByItsStrengthAndDiesAwayOverItsLastTenth)
{
    // Strength, duration, window shake.
    Play(kClear + "ShowWindow(0)\nScreenQuake(2, 1, 1)\nWait(3)\n");
    m_game->Step(10); // 0.17 s
    EXPECT_NEAR(Chapter().QuakeOffset(), std::sin(0.17f * 70.0f) * 2.0f, 1e-3f);
    m_game->Step(45); // 0.935 s: past nine tenths
    const float e = 0.935f;
    EXPECT_NEAR(Chapter().QuakeOffset(), std::sin(e * 70.0f) * 2.0f * (1.0f - (e - 0.9f) / 0.1f), 1e-3f);
    m_game->Step(4); // 1.003 s
    EXPECT_FLOAT_EQ(Chapter().GetQuake().strength, 0.0f);
    EXPECT_FLOAT_EQ(Chapter().QuakeOffset(), 0.0f);
}

TEST_F(StoryChapter, AQuakeWithoutDurationLastsUntilTheTextIsDismissed)
{
    Play(kClear + "ScreenQuake(1, 0, 0)\nShowText(80, 540, \"a\", 0, 1, 0, 1, 1, 1, 1, \"\")\nWait(1)\n");
    m_game->Step(120);
    EXPECT_FLOAT_EQ(Chapter().GetQuake().strength, 1.0f);
    Click();
    EXPECT_FLOAT_EQ(Chapter().GetQuake().strength, 0.0f);
}

TEST_F(StoryChapter, MissingPicturesAndSlotsNeverHoldTheScript)
{
    // Slot 3 is the chapter's largest: slots 9 and 200 are ignored; a
    // picture that is not in the pack fades (invisibly) and the script goes
    // on.
    Play(kClear + "ImageRegister(0, 0, \"Missing.dds\", 0, 0, 0.2, 0, 3)\nChangeFace(0, 1, 2, 9)\n"
                  "ChangeFace(0, 1, 2, 200)\n"
                  "ChangeColor(0, 1, 1, 1, 1, 9)\nImageRegisterFree(0.2, 3)\nImageRegisterFree(0.2, 2)\nWait(1)\n");
    EXPECT_EQ(Chapter().GetPictures().size(), 4u);
    m_game->Step(11);
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_IMAGE_REGISTER});
    m_game->Step(1); // 0.204 s: on to the fade-out of slot 3
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_IMAGE_REGISTER_FREE});
    m_game->Step(12);
    EXPECT_EQ(Chapter().GetWaitKind(), uint32_t{STORY_WAIT});
    EXPECT_FALSE(Chapter().GetPictures()[3].active);
}

TEST_F(StoryChapter, MusicFadesInOverItsTimeAndStopBgmFadesItOutAndStopsIt)
{
    // Loop point, volume offset, fade-in time, rewind, name.
    Play(kClear + "PlayBgm(0, -500, 1, 1, \"Bgm_title.ogg\")\nWait(1.2)\nStopBgm(0.5, 1, \"Bgm_title.ogg\")\nWait(1)\n");
    CSoundBuffer* music = Sound("Bgm_title.ogg");
    ASSERT_NE(music, nullptr);
    EXPECT_TRUE(music->IsPlaying());
    const int32_t target = GameHarness::DefaultSettings().bgmVolume - 500;
    m_game->Step(30); // 0.51 s of 1
    EXPECT_NEAR(music->GetVolume(0), -10000 + (target + 10000) * 0.51, 40);
    m_game->Step(30);
    EXPECT_EQ(music->GetVolume(0), target);
    m_game->Step(20); // the stop starts at 1.2 s
    EXPECT_TRUE(music->IsPlaying());
    m_game->Step(32);
    EXPECT_FALSE(music->IsPlaying());
}

TEST_F(StoryChapter, NextSceneRunsTheChapterOfTheStoryDifficultyAndAnUnknownOneLeavesForTheTitle)
{
    m_game.reset();
    const std::string next = "NextScene(\"T_0\", \"T_1\", \"T_2\", \"T_3\", \"Nowhere\")\n";
    std::vector<game_test::DataFile> chapters;
    for (int i = 0; i < 4; ++i)
    {
        const std::string text = "Wait(" + std::to_string(i + 1) + ")\n" + next;
        chapters.push_back({"Story\\T_" + std::to_string(i) + ".stt", std::vector<uint8_t>(text.begin(), text.end())});
    }
    Open(chapters, 2);
    Play(next);
    m_game->Step(1);
    ASSERT_NE(Chapter().GetChapter(), nullptr);
    EXPECT_STREQ(Chapter().GetChapter()->GetName(), "T_2");
    // At the hardest difficulty the script names a chapter that is not there.
    m_game->Controller().GetGameConfig()->GetData()->storyDifficulty = 4;
    m_game->Step(3 * 1000 / kFrame + 5);
    const auto* title = dynamic_cast<CTitleScene*>(m_game->Controller().GetScene());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetFrontItem(), 0u);
}

TEST_F(StoryChapter, TheEndingBringsUpItsPictureInSepiaThenInColourAtFullSize)
{
    Play("Ending\n");
    m_game->Step(1);
    ASSERT_EQ(Story()->GetState(), CStoryScene::StoryState::Ending);
    EXPECT_TRUE(Near(Pixel(512.0f, 384.0f), 0x000000u, 4)); // dark at first
    m_game->Step(2 * 1000 / kFrame); // brightened and held: the sepia picture
    const uint32_t sepia = Pixel(512.0f, 384.0f);
    EXPECT_FALSE(Near(sepia, 0x000000u, 16));
    EXPECT_FALSE(Near(sepia, 0x406080u, 16));
    m_game->Step(4 * 1000 / kFrame + 2); // in colour, zoomed out to the whole screen
    EXPECT_EQ(Story()->GetEnding().GetPhase(), CStoryEnding::Phase::CardIn);
    EXPECT_TRUE(Near(Pixel(40.0f, 40.0f), 0x406080u));
}

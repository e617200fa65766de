// The story scene on the whole stand-in set, driven by scripted keys and
// mouse: the route ring and the difficulty, a lost battle and its retry,
// the ending's records, and a whole route from the title to the staff roll.
#include "tests/game/scene/StoryTestFiles.h"
#include "tests/game/scene/BattleProbe.h"
#include "tests/game/scene/OwnRadioChat.h"

#include "engine/core/GameText.h"
#include "game/actor/CCharacter.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CStoryScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/ModeBattle.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/scene/SceneFactory.h"
#include "game/scene/SceneGameData.h"
#include "game/scene/StorySheet.h"
#include "game/story/CStory.h"
#include "game/story/StoryBattleSetting.h"

#include <gtest/gtest.h>

#include <cmath>

using game_test::GameHarness;
using State = CStoryScene::StoryState;
using Phase = CStoryScene::RoutePhase;

namespace
{
// The story's files make their settings as the game does, for the whole
// binary: a setting is freed by the pair that made it.
class BattleSettingFactory : public ::testing::Environment
{
public:
    void SetUp() override { SetBattleSettingFactory(&CreateBattleSetting, &FreeBattleSetting); }
};
const ::testing::Environment* const kFactory = ::testing::AddGlobalTestEnvironment(new BattleSettingFactory);

constexpr uint32_t kFrame = 17;

class StoryScene : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        settings.storyDifficulty = 1;
        m_game = std::make_unique<GameHarness>(640, 480, std::vector<game_test::DataFile>{}, &CreateGameScene,
                                               &settings, &story_test::LinkStandInSet);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
    }
    void TearDown() override { m_game.reset(); }

    CStoryScene* Story() { return dynamic_cast<CStoryScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    CGameConfig* Config() { return m_game->Controller().GetGameConfig(); }

    // The route screen as the title opens it, waiting for a choice.
    void OpenRoutes(uint32_t route = 0)
    {
        m_game->Controller().ChangeScene(CController::SCENE_STORY, 0, 1.0f, route);
        ASSERT_NE(Story(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetPhase() == Phase::Choosing; }, 30));
        m_game->Step(1); // the items report themselves while the player chooses
    }
    // The story scene in its chapter state on a route, nothing running.
    void OpenChapters(uint32_t route)
    {
        tag_TOLQSCENEPARAM param;
        param.subState = static_cast<uint32_t>(State::Chapter);
        param.item = route;
        m_game->Controller().ChangeScene(CController::SCENE_STORY, &param);
        ASSERT_NE(Story(), nullptr);
    }
    void Tap(uint8_t key)
    {
        m_game->Input().SetKey(key, true);
        m_game->Step(1);
        m_game->Input().SetKey(key, false);
        m_game->Step(1);
    }
    void Click()
    {
        m_game->Input().SetMouseButton(0, true);
        m_game->Step(1);
        m_game->Input().SetMouseButton(0, false);
        m_game->Step(1);
    }
    // Every fighter but the player's goes down: the story's survival
    // battles are won.
    void WinTheBattle()
    {
        CBattleScene* battle = Story()->GetBattle();
        for (uint32_t i = 1; i < battle->GetPlayerCount(); ++i)
        {
            if (battle->GetFighter(i) != nullptr)
                battle->GetFighter(i)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
        }
    }
    bool LoseMenuOpen()
    {
        return Story() != nullptr && battle_probe::LoseMenuOpen(Story()->GetBattle());
    }
    bool BattleRunning()
    {
        return Story() != nullptr && Story()->GetState() == State::Battle &&
               battle_probe::Running(Story()->GetBattle());
    }
    // Plays on from where the story stands: texts clicked away, battles won,
    // until done() holds (at most limit frames).
    template <class Done>
    bool PlayUntil(Done done, int limit)
    {
        for (int frame = 0; frame < limit; frame += 2)
        {
            if (done())
                return true;
            if (BattleRunning())
                WinTheBattle();
            if (Story() != nullptr && Story()->GetState() == State::Chapter)
                Click();
            else
                m_game->Step(2);
        }
        return done();
    }

    std::unique_ptr<GameHarness> m_game;
};
}

TEST_F(StoryScene, TheRingTurnsOneRouteAtATimeAndWrapsWithThreeCharacters)
{
    Config()->GetPlayData()->characters.resize(3);
    OpenRoutes();
    ASSERT_EQ(Story()->GetRouteCount(), 3u);
    Tap(KEY_LEFT);
    EXPECT_EQ(Story()->GetSlide(), CStoryScene::RouteSlide::Left);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetSlide() == CStoryScene::RouteSlide::Settling; }, 15));
    EXPECT_EQ(Story()->GetRoute(), 2u);
    EXPECT_NE(Story()->GetRoutePicture(), nullptr);
    // Keys wait while the ring settles.
    Tap(KEY_LEFT);
    EXPECT_EQ(Story()->GetSlide(), CStoryScene::RouteSlide::Settling);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetSlide() == CStoryScene::RouteSlide::None; }, 15));
    Tap(KEY_RIGHT);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetSlide() == CStoryScene::RouteSlide::None; }, 30));
    EXPECT_EQ(Story()->GetRoute(), 0u);
}

// Seen as route cards cut off by the window's right and bottom edges, and
// drawn past the 4:3 area in a wide window: every card of the fan lies
// inside the 4:3 area, at rest and while the ring turns, for any number of
// routes.
TEST_F(StoryScene, TheRouteCardsKeepInsideThe4x3AreaAtRestAndWhileTheRingTurns)
{
    const MenuCell& card = StorySheet::kRouteCards[0];
    auto inside = [&](const CStoryScene::RingCard& c) {
        const float radians = c.degrees * 3.14159265f / 180.0f;
        const float halfWidth = card.Width() * c.scale * 0.5f;
        const float halfHeight = card.Height() * c.scale * 0.5f;
        const float across = halfWidth * std::fabs(std::cos(radians)) + halfHeight * std::fabs(std::sin(radians));
        const float down = halfWidth * std::fabs(std::sin(radians)) + halfHeight * std::fabs(std::cos(radians));
        return c.centre.x - across >= 0.0f && c.centre.x + across <= 1024.0f && c.centre.y - down >= 0.0f &&
               c.centre.y + down <= 768.0f;
    };
    for (uint32_t routes : {8u, 3u, 2u, 1u})
    {
        Config()->GetPlayData()->characters.resize(routes);
        OpenRoutes();
        Tap(KEY_RIGHT);
        for (int frame = 0; frame < 30; ++frame)
        {
            for (const CStoryScene::RingCard& c : Story()->GetRingCards())
                EXPECT_TRUE(inside(c)) << routes << " routes, frame " << frame << ": route " << c.route << " at "
                                       << c.centre.x << "," << c.centre.y << " turned " << c.degrees;
            m_game->Step(1);
        }
    }
    // In a wide window nothing is drawn right of the 4:3 area.
    tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
    m_game.reset();
    m_game = std::make_unique<GameHarness>(1280, 720, std::vector<game_test::DataFile>{}, &CreateGameScene, &settings,
                                           &story_test::LinkStandInSet);
    ASSERT_TRUE(m_game->Ready() && m_game->Start());
    OpenRoutes();
    auto lit = [](uint32_t rgb) { return rgb != 0; };
    EXPECT_EQ(m_game->CountPixels({.left = 1026, .top = 0, .right = 1194, .bottom = 768}, lit), 0);
    EXPECT_GT(m_game->CountPixels({.left = 812, .top = 420, .right = 952, .bottom = 608}, lit), 0);
}

TEST_F(StoryScene, TheArrowsTurnTheRingAndCancelWaitsForTheFadeThenOpensTheTitleMenu)
{
    OpenRoutes(1);
    const MenuItemRecord* right = Story()->GetFrame().FindItem(CStoryScene::kRightArrowId);
    ASSERT_NE(right, nullptr);
    m_game->PointAt(right->rect.Centre());
    Click();
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetSlide() == CStoryScene::RouteSlide::None; }, 30));
    EXPECT_EQ(Story()->GetRoute(), 2u);
    Tap(KEY_X);
    EXPECT_EQ(Story()->GetPhase(), Phase::FadeOut);
    m_game->Step(10); // 0.17 s of the 0.2 s fade
    ASSERT_NE(Story(), nullptr);
    m_game->Step(4);
    ASSERT_NE(Title(), nullptr);
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::Menu);
    EXPECT_EQ(Title()->GetFrontItem(), 0u);
}

TEST_F(StoryScene, UpAndDownChooseTheDifficultyWhichIsSaved)
{
    OpenRoutes();
    EXPECT_EQ(Story()->GetDifficulty(), 1u);
    Tap(KEY_DOWN);
    Tap(KEY_DOWN);
    Tap(KEY_DOWN);
    Tap(KEY_DOWN); // past the last: it stays
    EXPECT_EQ(Story()->GetDifficulty(), 4u);
    CGameConfig saved;
    ASSERT_NE(saved.LoadFrom((m_game->SaveFolder().string() + "/").c_str()), 0);
    EXPECT_EQ(saved.GetData()->storyDifficulty, 4u);
    for (int i = 0; i < 6; ++i)
        Tap(KEY_UP);
    EXPECT_EQ(Story()->GetDifficulty(), 0u);
}

TEST_F(StoryScene, ChoosingARouteLetsItsCharacterSpeakForFourSecondsThenPlaysItsFirstChapter)
{
    OpenRoutes(1);
    const MenuItemRecord* front = Story()->GetFrame().FindItem(CStoryScene::kSelectId);
    ASSERT_NE(front, nullptr);
    m_game->PointAt(front->rect.Centre());
    Click();
    EXPECT_EQ(Story()->GetPhase(), Phase::FadeOut);
    EXPECT_FLOAT_EQ(Story()->GetInterfaceAlpha(), 1.0f);
    m_game->Step(4000 / kFrame - 4);
    EXPECT_FLOAT_EQ(Story()->GetInterfaceAlpha(), 1.0f);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetState() == State::Chapter; }, 30));
    m_game->Step(1);
    ASSERT_NE(Story()->GetChapterPlayer().GetChapter(), nullptr);
    EXPECT_STREQ(Story()->GetChapterPlayer().GetChapter()->GetName(), "Bram_01");
}

TEST_F(StoryScene, ABlockNamingTheChapterStateWithoutAChapterOpensTheRouteScreen)
{
    OpenChapters(2);
    m_game->Step(1);
    ASSERT_NE(Story(), nullptr);
    EXPECT_EQ(Story()->GetState(), State::RouteSelect);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetPhase() == Phase::Choosing; }, 30));
    EXPECT_EQ(Story()->GetRoute(), 2u);
    // The route screen is drawn, not a black one.
    const int lit = m_game->CountPixels({.left = 0, .top = 0, .right = 1024, .bottom = 768},
                                        [](uint32_t rgb) { return rgb != 0; });
    EXPECT_GT(lit, 640 * 480 / 2);
}

TEST_F(StoryScene, ARouteWhoseFirstChapterIsMissingGoesBackToTheTitle)
{
    const CStory* first = m_game->Controller().GetResourceController()->GetStoryList()->FindByFileName("Aria_01");
    ASSERT_NE(first, nullptr);
    const_cast<CStory*>(first)->SetName("Renamed");
    OpenRoutes();
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 300));
    EXPECT_EQ(Title()->GetFrontItem(), 0u);
}

TEST_F(StoryScene, ALostBattleOffersRetryWhichFightsTheSameSettingAgainThenTheTitle)
{
    OpenChapters(0);
    Story()->StartChapter(m_game->Controller().GetResourceController()->GetStoryList()->FindByFileName("Aria_01"));
    // Nothing here is looked at on the screen: one frame in eight is drawn.
    m_game->Controller().SetFrameSkip(7);
    ASSERT_TRUE(PlayUntil([&] { return Story()->GetState() == State::Battle; }, 2000));
    const tag_TOLQBATTLESETTING* setting = Story()->GetBattle()->GetSetting();
    EXPECT_EQ(setting->record, 0u);
    ASSERT_TRUE(m_game->StepUntil([&] { return BattleRunning(); }, 1000));
    Story()->GetBattle()->GetFighter(0)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    // The lose menu's first item is retry: a new battle on the same setting.
    ASSERT_TRUE(m_game->StepUntil([&] { return LoseMenuOpen(); }, 600));
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil(
        [&] { return battle_probe::InIntro(Story()->GetBattle()); }, 200));
    EXPECT_EQ(Story()->GetBattle()->GetSetting(), setting);
    ASSERT_TRUE(m_game->StepUntil([&] { return BattleRunning(); }, 1000));
    Story()->GetBattle()->GetFighter(0)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    // Down to the title item, then chosen: the title picture.
    ASSERT_TRUE(m_game->StepUntil([&] { return LoseMenuOpen(); }, 600));
    Tap(KEY_DOWN);
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 200));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::TitlePicture);
}

TEST_F(StoryScene, ThePlayerSpeaksItsOwnRadioChatAndTheOthersTheirCharacters)
{
    scene_test::GiveOwnRadioChat(Config()->GetData(), kMaxCharacters);
    OpenChapters(0);
    Story()->StartChapter(m_game->Controller().GetResourceController()->GetStoryList()->FindByFileName("Aria_01"));
    m_game->Controller().SetFrameSkip(7);
    ASSERT_TRUE(PlayUntil([&] { return Story()->GetState() == State::Battle; }, 2000));
    const CBattleScene* battle = Story()->GetBattle();
    ASSERT_GE(battle->GetPlayerCount(), 2u);
    EXPECT_EQ(scene_test::FirstRadioLine(battle->GetFighter(0)),
              scene_test::OwnFirstLine(battle->GetSetting()->players[0].GetCharacterIndex()));
    for (uint32_t i = 1; i < battle->GetPlayerCount(); ++i)
    {
        const CCharacter* other = battle->GetFighter(i);
        EXPECT_EQ(scene_test::FirstRadioLine(other), scene_test::CharacterFirstLine(other)) << i;
    }
}

TEST_F(StoryScene, TheEndingRecordsOneClearOfTheRouteAtItsDifficultyAndItsPointsAndSavesThem)
{
    Config()->GetData()->storyDifficulty = 4;
    const uint32_t points = Config()->GetPlayData()->points;
    OpenChapters(2);
    CStory ending;
    const char script[] = "Ending\n";
    ASSERT_TRUE(ending.LoadMemory("End.stt", script, sizeof script - 1));
    Story()->StartChapter(&ending);
    m_game->Controller().SetFrameSkip(15);
    m_game->Step(1);
    ASSERT_EQ(Story()->GetState(), State::Ending);
    // The roll: the stand-in staff roll's lines, at 60 units a second.
    EXPECT_GT(Story()->GetEnding().GetStaffRoll().GetCount(), 0u);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 80 * 1000 / kFrame));
    EXPECT_EQ(Title()->GetFrontItem(), 0u);
    const tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    EXPECT_EQ(play.points, points + 200);
    for (uint32_t character = 0; character < play.characters.size(); ++character)
        for (uint32_t difficulty = 0; difficulty < 5; ++difficulty)
            EXPECT_EQ(play.characters[character].storyClear[difficulty], character == 2 && difficulty == 4 ? 1u : 0u);
    CGameConfig saved;
    ASSERT_NE(saved.LoadFrom((m_game->SaveFolder().string() + "/").c_str()), 0);
    EXPECT_EQ(saved.GetPlayData()->characters.at(2).storyClear[4], 1u);
}

TEST_F(StoryScene, AWholeRouteFromTheTitleToTheStaffRollRaisesItsClearAndThePoints)
{
    const uint32_t points = Config()->GetPlayData()->points;
    m_game->Controller().ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 0);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr && Title()->GetStep() == 1; }, 60));
    Tap(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Story() != nullptr; }, 60));
    ASSERT_TRUE(m_game->StepUntil([&] { return Story()->GetPhase() == Phase::Choosing; }, 60));
    Tap(KEY_Z);
    m_game->Controller().SetFrameSkip(7);
    ASSERT_TRUE(PlayUntil([&] { return Story() != nullptr && Story()->GetState() == State::Ending; }, 12000));
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 80 * 1000 / kFrame));
    const tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    EXPECT_EQ(play.characters[0].storyClear[1], 1u);
    EXPECT_EQ(play.points, points + CStoryScene::kClearPoints[1]);
    CGameConfig saved;
    ASSERT_NE(saved.LoadFrom((m_game->SaveFolder().string() + "/").c_str()), 0);
    EXPECT_EQ(saved.GetPlayData()->characters.at(0).storyClear[1], 1u);
}

TEST_F(StoryScene, EveryRouteLeadsFromItsFirstChapterThroughBattlesThatStartToItsEnding)
{
    OpenChapters(0);
    CResourceList<CStory*>* stories = m_game->Controller().GetResourceController()->GetStoryList();
    ASSERT_EQ(Story()->GetRouteCount(), 8u);
    for (uint32_t route = 0; route < Story()->GetRouteCount(); ++route)
    {
        SCOPED_TRACE(route);
        const CCharacterDefinition* character = SceneGameData::Character(route);
        ASSERT_NE(character, nullptr);
        const CStory* chapter = stories->FindByFileName(character->firstChapter);
        uint32_t battles = 0;
        bool ended = false;
        for (uint32_t step = 0; chapter != nullptr && step < 8 && !ended; ++step)
        {
            const CStory* next = nullptr;
            for (uint32_t i = 0; i < chapter->GetCommandCount(); ++i)
            {
                const tag_TOLQSTORYTEMPLATE* command = chapter->GetCommand(i);
                if (command->opcode == STORY_BATTLE_OPTION || command->opcode == STORY_LAST_BATTLE_OPTION)
                {
                    ModeBattle::PrepareSetting(command->battle, Config());
                    CBattleScene battle;
                    EXPECT_EQ(battle.Init(reinterpret_cast<uintptr_t>(command->battle)), 1);
                    battle.Release();
                    ++battles;
                }
                if (command->opcode == STORY_NEXT_SCENE)
                {
                    for (const char* name : command->nextScene)
                        EXPECT_NE(stories->FindByFileName(name), nullptr) << name;
                    next = stories->FindByFileName(command->nextScene[1]);
                }
                ended = ended || command->opcode == STORY_ENDING;
            }
            chapter = next;
        }
        EXPECT_TRUE(ended);
        EXPECT_GE(battles, 2u);
    }
}

// The tutorial played through by scripted keys on the stand-in arena: each
// of its 37 steps passed in order, the pass mark and the five seconds of
// frame time after it, key names that follow the settings, the stage's
// objects put back on entering steps 14 and 17, the burst gauge kept full in
// steps 23 and 24, no replay, the final battle with everything enabled and
// the title after the closing fade.
#include "tests/game/scene/OwnRadioChat.h"
#include "tests/game/scene/StandInSet.h"

#include "engine/core/GameText.h"
#include "engine/core/TextEncoding.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/actor/CWeapon.h"
#include "game/app/CGameConfig.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/CTutorialScene.h"
#include "game/scene/SceneFactory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using game_test::GameHarness;
using TutorialState = CTutorialScene::TutorialState;

namespace
{
// Frames of the lessons run at 100 ms: a step's five seconds are fifty.
constexpr uint32_t kFrame = 100;
constexpr int kStepFrames = CTutorialScene::kStepMilliseconds / kFrame;

class TutorialScene : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = scene_test::StandInGame(640, 480, settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        m_game->Controller().ChangeScene(CController::SCENE_TUTORIAL, 0, 0.0f, 0);
        ASSERT_NE(Tutorial(), nullptr);
    }
    void TearDown() override { m_game.reset(); }

    CTutorialScene* Tutorial() { return dynamic_cast<CTutorialScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    CBattleScene* Battle() { return Tutorial()->GetBattle(); }
    CCharacter* Player() { return Battle()->GetFighter(0); }
    tag_TOLQCHARASTATE* State() { return Player()->GetStateBlock(); }
    uint32_t Step() { return Tutorial()->GetStep(); }

    // Frames of the game at kFrame each, drawn only where a transition
    // passes a mark.
    void Run(int frames = 1)
    {
        m_game->Advance(kFrame, frames);
    }
    // Keys held for frames frames, then let go for one.
    void Hold(std::initializer_list<uint8_t> keys, int frames = 1)
    {
        for (uint8_t key : keys)
            m_game->Input().SetKey(key, true);
        Run(frames);
        m_game->Input().ReleaseAllKeys();
        Run();
    }
    // Keys pressed one after the other, each for one frame.
    void Press(std::initializer_list<uint8_t> keys)
    {
        for (uint8_t key : keys)
            Hold({key});
    }
    // One frame with each set of keys held in turn, then all let go: a
    // button held before another is pressed with it.
    void Chord(std::initializer_list<std::initializer_list<uint8_t>> frames)
    {
        for (const std::initializer_list<uint8_t>& keys : frames)
        {
            m_game->Input().ReleaseAllKeys();
            for (uint8_t key : keys)
                m_game->Input().SetKey(key, true);
            Run();
        }
        m_game->Input().ReleaseAllKeys();
        Run();
    }
    // A box the stage's objects can break.
    uint32_t BreakableBox()
    {
        const auto& boxes = Battle()->GetStage()->GetBoxes();
        for (uint32_t i = 0; i < boxes.size(); ++i)
        {
            if (boxes[i].life > 0)
                return i;
        }
        ADD_FAILURE() << "the arena has no box to break";
        return 0;
    }
    void Teleport(float x, float z, float yaw)
    {
        const CkvrVector3 at(x, 0.0f, z), rotation(0.0f, yaw, 0.0f);
        Player()->SetPosition(&at);
        Player()->SetRotation(&rotation);
        State()->cameraYaw = yaw;
        Run(2);
    }
    // Frames until the step is the given one; false after limit frames.
    bool RunUntilStep(uint32_t step, int limit = kStepFrames + 5)
    {
        for (int i = 0; i < limit && Step() != step; ++i)
            Run();
        return Step() == step;
    }
    // The lesson passes with what act does; then its five seconds.
    void Pass(uint32_t step, const std::function<void()>& act)
    {
        ASSERT_EQ(Step(), step);
        ASSERT_FALSE(Tutorial()->IsPassed()) << step;
        act();
        ASSERT_TRUE(Tutorial()->IsPassed()) << "step " << step << " did not pass";
        ASSERT_TRUE(RunUntilStep(step + 1)) << step;
    }
    std::string Text() { return Tutorial()->FormatLessonText(*m_game->Controller().GetGameConfig()->GetData()); }

    std::unique_ptr<GameHarness> m_game;
};

bool Contains(const std::string& text, const char* utf8)
{
    return text.find(GameText(utf8)) != std::string::npos;
}
}

TEST_F(TutorialScene, EveryStepPassesInOrderAndTheTitleFollowsTheFinalBattle)
{
    // The lesson battle: two players, the opponent fed from outside, no
    // replay, nothing on the field.
    Run();
    ASSERT_EQ(Tutorial()->GetState(), TutorialState::Lessons);
    const tag_TOLQBATTLESETTING* setting = Tutorial()->GetSetting();
    EXPECT_EQ(setting->playerCount, 2u);
    EXPECT_EQ(setting->record, 0u);
    EXPECT_EQ(setting->players[1].localInput, 0u);
    EXPECT_EQ(setting->rules.weaponMask | setting->rules.itemMask | setting->rules.elementMask, 0u);
    EXPECT_EQ(setting->players[0].factors[5], 0.0f);
    // Nothing runs through the intro and the ready call.
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_TITLE, 80));
    EXPECT_EQ(Battle()->GetConsole()->GetPhase(), ConsolePhase::Running);
    const CkvrVector3 opponentStart = *Battle()->GetFighter(1)->GetPosition();

    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_INTRODUCTION));
    ASSERT_TRUE(RunUntilStep(3));

    // 3 walk: a space for the pass mark, "入力成功" once passed, and the next
    // step exactly 5000 ms of frame time after.
    EXPECT_TRUE(Contains(Text(), "【歩く】 \n"));
    EXPECT_TRUE(Contains(Text(), "[W][S][A][D]"));
    m_game->Input().SetKey(KEY_W, true);
    Run();
    m_game->Input().SetKey(KEY_W, false);
    ASSERT_TRUE(Tutorial()->IsPassed());
    EXPECT_TRUE(Contains(Text(), "【歩く】入力成功\n"));
    EXPECT_EQ(Tutorial()->GetTimer(), kFrame);
    Run(kStepFrames - 2);
    EXPECT_EQ(Step(), 3u);
    EXPECT_EQ(Tutorial()->GetTimer(), CTutorialScene::kStepMilliseconds - kFrame);
    Run();
    EXPECT_EQ(Step(), 4u);
    EXPECT_FALSE(Tutorial()->IsPassed());

    Pass(4, [&] { Hold({KEY_W}, 6); });                    // dash
    Pass(5, [&] { Press({KEY_Z}); });                      // jump
    Run(15);
    Pass(6, [&] { Press({KEY_C}); });                      // attack
    Run(10);
    Pass(7, [&] { Hold({KEY_R}, 2); });                    // aim
    Pass(8, [&] { Chord({{KEY_R}, {KEY_R, KEY_C}}); }); // shoot
    Run(10);
    Pass(9, [&] { Hold({KEY_NUMPAD4}); });                 // camera
    Pass(10, [&] { Hold({KEY_T}); });                      // camera to the front
    Pass(11, [&] { Press({KEY_LSHIFT}); });                // lock on
    Pass(12, [&] { Press({KEY_LCONTROL}); });              // the shooting view
    Press({KEY_LCONTROL, KEY_LSHIFT});                     // back, and the lock off

    // 13 weapon switch; a box broken meanwhile stands again on entering 14.
    ASSERT_EQ(Step(), 13u);
    Press({KEY_DOWN});
    ASSERT_TRUE(Tutorial()->IsPassed());
    Press({KEY_C});
    const uint32_t box = BreakableBox();
    Battle()->GetStage()->DamageBox(box, 1000);
    ASSERT_TRUE(Battle()->GetStage()->GetBoxes()[box].broken);
    ASSERT_TRUE(RunUntilStep(14));
    EXPECT_FALSE(Battle()->GetStage()->GetBoxes()[box].broken);
    Pass(14, [&] { Press({KEY_DOWN, KEY_R}); Press({KEY_C}); }); // near and far

    // 15 weapon box: only class 6 comes out of it.
    Pass(15, [&] {
        Press({KEY_1});
        Teleport(25.0f, -1.4f, 0.0f);
        m_game->Step(1);
        scene_test::SaveScreenshot(*m_game, "tutorial-weapon-box");
        Press({KEY_C});
        Run(10);
        EXPECT_EQ(Tutorial()->GetSetting()->rules.weaponMask, 64u);
    });
    ASSERT_FALSE(Battle()->GetField()->weapons.empty());
    EXPECT_EQ(Battle()->GetField()->weapons.back()->GetDefinition()->type, 6);
    // 16 pick it up; a box broken meanwhile stands again on entering 17.
    const uint32_t secondBox = BreakableBox();
    Pass(16, [&] {
        const CkvrVector3 lying = *Battle()->GetField()->weapons.back()->GetPosition();
        Teleport(lying.x, lying.z - 0.5f, 0.0f);
        Hold({KEY_X});
        Battle()->GetStage()->DamageBox(secondBox, 1000);
        ASSERT_TRUE(Battle()->GetStage()->GetBoxes()[secondBox].broken);
    });
    EXPECT_FALSE(Battle()->GetStage()->GetBoxes()[secondBox].broken);
    Pass(17, [&] { Press({KEY_DOWN, KEY_X}); Press({KEY_C}); }); // drop it
    Pass(18, [&] {                                                // item box
        Press({KEY_1});
        Teleport(0.0f, -26.4f, 0.0f);
        Press({KEY_C});
        Run(10);
    });
    Pass(19, [&] { Teleport(48.8f, 0.0f, 90.0f); Press({KEY_E}); }); // cover
    Press({KEY_E});
    Pass(20, [&] { Teleport(0.0f, -10.0f, 0.0f); State()->ep = 5.0f; Press({KEY_Z, KEY_Z}); }); // air dash
    Run(20);
    Pass(21, [&] { State()->ep = 5.0f; Chord({{KEY_A}, {KEY_A}, {KEY_A, KEY_Q}}); }); // dodge
    Run(10);
    Pass(22, [&] { State()->ep = 5.0f; Press({KEY_V}); }); // elemental attack
    Run(20);

    // 23 burst: the gauge is full again the frame after it is emptied.
    ASSERT_EQ(Step(), 23u);
    State()->gauge = 0.0f;
    Run();
    EXPECT_EQ(State()->gauge, 100.0f);
    Pass(23, [&] { Chord({{KEY_Q}, {KEY_Q, KEY_V}}); });
    // 24 burst attack: while no burst runs the gauge is full again at once.
    ASSERT_EQ(Step(), 24u);
    State()->burstActive = 0;
    State()->gauge = 0.0f;
    Run();
    EXPECT_EQ(State()->gauge, 100.0f);
    Pass(24, [&] { Chord({{KEY_Q}, {KEY_Q, KEY_V}}); Chord({{KEY_Q}, {KEY_Q, KEY_V}}); });
    Run(20);

    // 25-30 under the blessing of the own element, its altar kept ready.
    auto bless = [&] {
        if (!Player()->IsBlessed())
            Teleport(-30.0f, -35.5f, 0.0f); // the fire altar
    };
    Pass(25, [&] { bless(); });
    EXPECT_EQ(Tutorial()->GetSetting()->rules.elementMask, 1u);
    Pass(26, [&] { bless(); Chord({{KEY_Q}, {KEY_Q, KEY_Z}}); }); // elemental jump
    Run(20);
    Pass(27, [&] { // charge, locked on from afar
        bless();
        Teleport(0.0f, -10.0f, 0.0f);
        if (State()->lockOn == 0)
            Press({KEY_LSHIFT});
        Chord({{KEY_Q}, {KEY_Q, KEY_Z}});
    });
    Run(20);
    Pass(28, [&] { // reverse, locked on and near
        bless();
        Teleport(opponentStart.x, opponentStart.z - 2.0f, 0.0f);
        if (State()->lockOn == 0)
            Press({KEY_LSHIFT});
        Chord({{KEY_Q}, {KEY_Q, KEY_Z}});
    });
    Run(10);
    Pass(29, [&] { bless(); State()->burstActive = 0; Chord({{KEY_Q}, {KEY_Q, KEY_V}}); }); // maximum
    Pass(30, [&] { bless(); State()->ep = 5.0f; Chord({{KEY_Q}, {KEY_Q, KEY_V}}); });     // maximum attack
    Run(20);
    Pass(31, [&] { Hold({KEY_TAB}); }); // the large map
    Pass(32, [&] { Press({KEY_F1}); }); // a radio line

    // 33 and 34, then the lesson battle ends and the final one is built.
    ASSERT_TRUE(RunUntilStep(34));
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_FINAL_BATTLE));
    // The opponent never moved in the lessons.
    EXPECT_EQ(Battle()->GetFighter(1)->GetPosition()->x, opponentStart.x);
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_CLOSING, 20));
    EXPECT_EQ(setting->players[1].localInput, 1u);
    EXPECT_EQ(setting->rules.weaponMask, 0x1FFFFu);
    EXPECT_EQ(setting->rules.itemMask, 63u);
    EXPECT_EQ(setting->rules.elementMask, 127u);
    EXPECT_EQ(setting->players[0].factors[5], 1.0f);
    EXPECT_EQ(setting->players[1].factors[5], 1.0f);
    Run(2);
    ASSERT_EQ(Tutorial()->GetState(), TutorialState::Lessons);
    EXPECT_EQ(Battle()->GetSetting()->players[0].startPoint, 0u);
    EXPECT_EQ(Battle()->GetSetting()->players[1].startPoint, 1u);

    // The final battle ends as by its rule: the closing text for 5000 ms over
    // a still battle, then its fade, then the title picture.
    Run(80);
    Battle()->GetConsole()->ShowWin();
    for (int i = 0; i < 100 && Battle()->GetConsole()->GetPhase() != ConsolePhase::Finish; ++i)
        Run();
    ASSERT_EQ(Battle()->GetConsole()->GetPhase(), ConsolePhase::Finish);
    // The frame that finished it counted already.
    EXPECT_EQ(Tutorial()->GetTimer(), kFrame);
    EXPECT_EQ(Battle()->GetConsole()->GetState().fade, 0.0f);
    Run(kStepFrames - 2);
    EXPECT_EQ(Step(), CTutorialScene::STEP_CLOSING);
    EXPECT_FALSE(Battle()->IsFinished());
    Run();
    EXPECT_EQ(Step(), CTutorialScene::STEP_DONE);
    for (int i = 0; i < 20 && Title() == nullptr; ++i)
        Run();
    ASSERT_NE(Title(), nullptr);
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::TitlePicture);
    EXPECT_EQ(Title()->GetFrontItem(), 9u) << "the menu comes back on the tutorial's item";

    // No replay was recorded, nor left half-written.
    for (const auto& entry : std::filesystem::directory_iterator(m_game->SaveFolder()))
        EXPECT_EQ(entry.path().filename().string().find("Replay"), std::string::npos) << entry.path();
}

TEST_F(TutorialScene, ABoxTheAttackLessonBrokeStandsAgainOnlyOnceThePlayerLeftItsPlace)
{
    Run();
    ASSERT_TRUE(RunUntilStep(3, 2 * kStepFrames + 85));
    Pass(3, [&] { Hold({KEY_W}); });
    Pass(4, [&] { Hold({KEY_W}, 6); });
    Pass(5, [&] { Press({KEY_Z}); });
    Run(15);
    // The attack lesson at the purple item box at (0, 25): the swing breaks
    // it, and its lunge carries the player into the box's place.
    Teleport(0.0f, 23.6f, 0.0f);
    Pass(6, [&] { Press({KEY_C}); });
    const auto& boxes = Battle()->GetStage()->GetBoxes();
    uint32_t box = 0;
    while (box < boxes.size() && !(boxes[box].centre.x == 0.0f && boxes[box].centre.z == 25.0f))
        ++box;
    ASSERT_LT(box, boxes.size());
    ASSERT_TRUE(boxes[box].broken);
    // Through the aim and into the shooting lesson, past the box's 15 s,
    // the player still standing there: no purple round its legs.
    Pass(7, [&] { Hold({KEY_R}, 2); });
    Run(kStepFrames + 10);
    ASSERT_EQ(Step(), 8u);
    EXPECT_TRUE(boxes[box].broken) << "the box closed round the player";
    m_game->Step(1);
    const scene_test::DrawnFrame frame(*m_game);
    int purple = 0;
    for (float y = 380.0f; y < 600.0f; y += 4.0f)
    {
        for (float x = 400.0f; x < 624.0f; x += 4.0f)
        {
            const uint32_t rgb = frame.At({x, y});
            const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            purple += b > 120 && r > 2 * g && b > r ? 1 : 0;
        }
    }
    frame.Save("tutorial-shooting-lesson-where-the-box-was");
    EXPECT_LT(purple, 20);
    // Once the player steps out, the box stands again.
    Teleport(0.0f, 22.0f, 0.0f);
    EXPECT_FALSE(boxes[box].broken);
}

TEST_F(TutorialScene, TheTextsNameTheKeysTheSettingsGiveNow)
{
    Run();
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_TITLE, 80));
    ASSERT_TRUE(RunUntilStep(3, 2 * kStepFrames + 5));
    tag_TOLQGAMECONFIG* settings = m_game->Controller().GetGameConfig()->GetData();
    EXPECT_TRUE(Contains(Text(), "[W][S][A][D]"));
    settings->keys[4] = KEY_UP;
    EXPECT_TRUE(Contains(Text(), "[UP][S][A][D]")) << ConvertShiftJisToUtf8(Text());
    // A key code past the table names nothing else.
    settings->keys[5] = 300;
    EXPECT_TRUE(Contains(Text(), "[UP][?][A][D]"));
    m_game->Step(1);
    scene_test::SaveScreenshot(*m_game, "tutorial-walk");
}

TEST_F(TutorialScene, TheLessonTextStandsInAFramedWindowAtTheTopCentre)
{
    Run();
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_TITLE, 80));
    ASSERT_TRUE(RunUntilStep(3, 2 * kStepFrames + 5));
    m_game->Step(1);
    const scene_test::DrawnFrame frame(*m_game);
    // The frame's light rim runs 36 pixels outside the inner rectangle
    // (220, 48)-(804, 184), on both sides alike.
    const float pixel = 768.0f / 480.0f;
    const float rimLeft = 220.0f - 36.0f * pixel + 1.5f * pixel;
    const float rimRight = 804.0f + 36.0f * pixel - 1.5f * pixel;
    for (float y : {80.0f, 116.0f, 150.0f})
    {
        EXPECT_TRUE(scene_test::NearColor(frame.At({rimLeft, y}), 0xE0E8F0, 24)) << std::hex << frame.At({rimLeft, y});
        EXPECT_TRUE(scene_test::NearColor(frame.At({rimRight, y}), 0xE0E8F0, 24)) << std::hex << frame.At({rimRight, y});
    }
    // The white text inside it, none of it beside the window.
    EXPECT_GT(frame.CountBright({220.0f, 48.0f, 804.0f, 184.0f}, 0xF0), 200);
    EXPECT_EQ(frame.CountBright({20.0f, 60.0f, 140.0f, 180.0f}, 0xF0), 0);
    scene_test::SaveScreenshot(*m_game, "tutorial-lesson-window");
}

TEST_F(TutorialScene, ThePlayerSpeaksItsOwnRadioChatAndTheGuideItsCharacters)
{
    // The lesson shows "the messages the settings set".
    scene_test::GiveOwnRadioChat(m_game->Controller().GetGameConfig()->GetData(), kMaxCharacters);
    Run();
    ASSERT_NE(Battle(), nullptr);
    EXPECT_EQ(scene_test::FirstRadioLine(Player()), scene_test::OwnFirstLine(0));
    EXPECT_EQ(scene_test::FirstRadioLine(Battle()->GetFighter(1)),
              scene_test::CharacterFirstLine(Battle()->GetFighter(1)));
}

TEST_F(TutorialScene, TheTitleItemOfThePauseMenuLeavesAtOnce)
{
    Run();
    ASSERT_TRUE(RunUntilStep(CTutorialScene::STEP_TITLE, 80));
    Press({KEY_RETURN});
    ASSERT_TRUE(Battle()->GetConsole()->IsPlayBlocked());
    const uint32_t timer = Tutorial()->GetTimer();
    Run(10);
    EXPECT_EQ(Tutorial()->GetTimer(), timer) << "the lessons stand still under the menu";
    Press({KEY_DOWN, KEY_Z});
    for (int i = 0; i < 20 && Title() == nullptr; ++i)
        Run();
    ASSERT_NE(Title(), nullptr);
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::TitlePicture);
    EXPECT_EQ(Title()->GetFrontItem(), 9u) << "the menu comes back on the tutorial's item";
}

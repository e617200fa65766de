// The HUD's phases, clocks, camera and menus, driven by scripted pad input
// at scripted frame times, and the result code each mode's menus give.
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/battle/PadScript.h"

#include "engine/platform/FrameTimer.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"
#include "game/menu/MenuTransitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using battletest::HoldButtons;

namespace
{
constexpr uint8_t UP = MenuKeyButton(MenuKey::Up), DOWN = MenuKeyButton(MenuKey::Down),
                  DECIDE = CBattleConsole::BUTTON_DECIDE, CANCEL = CBattleConsole::BUTTON_CANCEL,
                  MENU = CBattleConsole::BUTTON_MENU, LIST = CBattleConsole::BUTTON_PARTICIPANTS;

// The menus of the local battle, as the mode installs them.
const char* const kLocalPause[] = {"対戦に戻る", "リトライ", "モード選択に戻る", "キャラクター選択に戻る", "タイトルに戻る"};
const int8_t kLocalPauseCodes[] = {8, 1, 5, 6, 2};
const char* const kLocalEnd[] = {"リトライ", "モード選択に戻る", "キャラクター選択に戻る", "タイトルに戻る"};
const int8_t kLocalEndCodes[] = {1, 5, 6, 2};

class Hud
{
public:
    explicit Hud(uint8_t timeLimitIndex = 4, uint32_t mission = 0)
    {
        battletest::BattleData::Install();
        setting = CreateBattleSettingFrom(2, 0, nullptr);
        setting->rules.timeLimitIndex = timeLimitIndex;
        setting->mission = mission;
        EXPECT_EQ(console.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        console.SetInput(&input);
        fighter = std::make_unique<CCharacter>(&definition);
        fighter->Create(0);
        pointers[0] = fighter.get();
        console.SetCharacters(pointers, fighter.get(), 1);
    }
    ~Hud() { FreeBattleSetting(setting); }

    void LocalMenus(uint32_t blocksPlay = 1)
    {
        console.SetBanner1(5, blocksPlay, nullptr, kLocalPause, kLocalPauseCodes);
        for (auto set : {&CBattleConsole::SetBanner2, &CBattleConsole::SetBanner3, &CBattleConsole::SetBanner4})
            (console.*set)(4, blocksPlay, nullptr, kLocalEnd, kLocalEndCodes);
    }
    // One frame of ms with these buttons held.
    void Step(uint32_t ms, std::initializer_list<uint8_t> buttons = {})
    {
        SetFrameTime(ms);
        HoldButtons(&input, buttons);
        console.Update(reinterpret_cast<uintptr_t>(&camera));
    }
    // Frames of ms, nothing held, for total milliseconds.
    void Wait(uint32_t total, uint32_t ms = 10)
    {
        for (uint32_t done = 0; done < total; done += ms)
            Step(ms);
    }
    void Press(uint8_t button)
    {
        Step(10, {button});
        Step(10);
    }
    void ToRunning()
    {
        console.StartIntro();
        Wait(500);
        Wait(6400);
        ASSERT_EQ(console.GetPhase(), ConsolePhase::Running);
    }
    const tag_TOLQCONSOLESTATE& State() const { return console.GetState(); }
    // A key that closed a menu or chose its item reads as up at once: the
    // fight (the decide key jumps) and the next screen take it only once
    // it has been let go.
    bool HeldBack(uint8_t button) { return CInput::GetButtonState(input.GetPadState(0), button) == 0; }

    tag_TOLQBATTLESETTING* setting = nullptr;
    CBattleConsole console;
    CInput input;
    CCamera camera;
    CCharacterDefinition definition;
    std::unique_ptr<CCharacter> fighter;
    CCharacter* pointers[1] = {};
};
}

TEST(BattleConsole, TheIntroFadesInThenTheReadyCallPlaysItsVoicesAndHandsOverAt6400)
{
    Hud hud;
    hud.console.StartIntro();
    EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Intro);
    EXPECT_FLOAT_EQ(hud.State().fade, 1.0f);
    EXPECT_EQ(hud.fighter->GetStateBlock()->resultPose, 7);
    hud.Wait(250);
    EXPECT_NEAR(hud.State().fade, 0.5f, 1e-6);
    hud.Wait(250);
    ASSERT_EQ(hud.console.GetPhase(), ConsolePhase::Ready);
    EXPECT_LT(hud.State().voiceIndex, 7u);
    EXPECT_EQ(hud.fighter->GetStateBlock()->resultPose, 2);
    hud.Wait(3790);
    EXPECT_EQ(hud.State().voiceStep, 0u);
    hud.Wait(10); // 3800: the ready voice
    EXPECT_EQ(hud.State().voiceStep, 1u);
    EXPECT_EQ(hud.fighter->GetStateBlock()->resultPose, 7); // from 3500 the poses await
    hud.Wait(1490);
    EXPECT_EQ(hud.State().voiceStep, 1u);
    hud.Wait(10); // 5300: the go voice
    EXPECT_EQ(hud.State().voiceStep, 2u);
    hud.Wait(1090);
    EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Ready);
    hud.Wait(10); // 6400: control passes to the players
    EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Running);
    EXPECT_EQ(hud.fighter->GetStateBlock()->resultPose, 0);
}

TEST(BattleConsole, TheHudCameraFollowsTheFocusedFighterAlongItsKeys)
{
    Hud hud;
    const CkvrVector3 at(10.0f, 0.0f, -4.0f);
    hud.fighter->SetPosition(&at);
    hud.console.StartIntro();
    hud.Wait(500);
    hud.Step(1000); // key 1 of the ready call: distance 1.5, angles (-5, 160, 0)
    const CkvrVector3 target = hud.camera.GetTarget();
    EXPECT_FLOAT_EQ(target.x, 10.0f);
    EXPECT_FLOAT_EQ(target.y, 1.0f);
    EXPECT_FLOAT_EQ(target.z, -4.0f);
    const CkvrVector3 eye = hud.camera.GetEye();
    const CkvrVector3 away(eye.x - target.x, eye.y - target.y, eye.z - target.z);
    EXPECT_NEAR(std::sqrt(away.x * away.x + away.y * away.y + away.z * away.z), 1.5f, 1e-4);
    hud.Step(500); // halfway between nothing: past the last key it stays
    EXPECT_NEAR(hud.camera.GetEye().x, eye.x, 1e-5);
    EXPECT_EQ(hud.camera.GetFov(), 45);
}

TEST(BattleConsole, TheTimeLimitStopsAtZeroAndStandsStillWhileThePauseMenuIsOpen)
{
    Hud hud(0); // 150 s
    hud.LocalMenus();
    hud.ToRunning();
    EXPECT_EQ(hud.console.GetTimeLeft(), 150000u);
    hud.Wait(1000);
    EXPECT_EQ(hud.console.GetTimeLeft(), 149000u);
    hud.Press(MENU);
    ASSERT_EQ(hud.State().currentMenu, ConsoleMenu::Pause);
    EXPECT_TRUE(hud.console.IsPlayBlocked());
    const uint32_t paused = hud.console.GetTimeLeft();
    hud.Wait(5000);
    EXPECT_EQ(hud.console.GetTimeLeft(), paused);
    hud.Press(MENU); // a later press closes it
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::None);
    EXPECT_FALSE(hud.console.IsPlayBlocked());
    EXPECT_EQ(hud.console.GetTimeLeft(), paused - 10);
    hud.Wait(200000, 100);
    EXPECT_EQ(hud.console.GetTimeLeft(), 0u);
}

TEST(BattleConsole, WithoutATimeLimitTheTimeNeverCountsDown)
{
    Hud hud(4);
    hud.ToRunning();
    hud.Wait(20000, 100);
    EXPECT_EQ(hud.console.GetTimeLeft(), 1000000u);
}

TEST(BattleConsole, ThePauseMenuOpensOnItsPressAndClosesByCancelByMenuOrByResuming)
{
    Hud hud;
    hud.LocalMenus();
    hud.ToRunning();
    hud.Step(10, {MENU});
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::Pause); // the opening press doesn't close it
    hud.Step(10, {MENU});
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::Pause); // held, not pressed again
    hud.Step(10);
    hud.Step(10, {CANCEL});
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::None);
    EXPECT_TRUE(hud.HeldBack(CANCEL));
    hud.Step(10);
    hud.Press(MENU);
    hud.Step(10, {DECIDE}); // "対戦に戻る" at the cursor
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::None);
    EXPECT_TRUE(hud.HeldBack(DECIDE));
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_UNDECIDED);
    EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Running);
}

TEST(BattleConsole, RetryInThePauseMenuFadesOutFromTheRunningBattleAndFinishesWithCodeOne)
{
    Hud hud;
    hud.LocalMenus();
    hud.ToRunning();
    hud.Press(MENU);
    hud.Press(DOWN);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 1);
    hud.Step(10, {DECIDE});
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_RETRY);
    EXPECT_TRUE(hud.HeldBack(DECIDE));
    EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Finish);
    EXPECT_TRUE(hud.State().cameraKeys.empty()); // the camera stays where the battle left it
    hud.Wait(490);
    EXPECT_LT(hud.State().fade, 1.0f);
    hud.Wait(10);
    EXPECT_FLOAT_EQ(hud.State().fade, 1.0f);
}

TEST(BattleConsole, TheCursorWrapsBothWays)
{
    Hud hud;
    hud.LocalMenus();
    hud.ToRunning();
    hud.Press(MENU);
    hud.Press(UP);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 4);
    hud.Press(MenuKeyButton(MenuKey::MoveDown));
    EXPECT_EQ(hud.State().pauseMenu.cursor, 0);
    hud.Press(MenuKeyButton(MenuKey::MoveUp));
    hud.Press(UP);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 3);
}

TEST(BattleConsole, WAndSMoveTheCursorUpAndDownAsInEveryOtherMenu)
{
    // Logical buttons 12 and 13 are the movement stick's up and down (W and
    // S by default): up and down here too, as in the quit menu and the
    // setup's back menu.
    constexpr uint8_t kW = 12, kS = 13;
    Hud hud;
    hud.LocalMenus();
    hud.ToRunning();
    hud.Press(MENU);
    hud.Press(kS);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 1);
    hud.Press(kS);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 2);
    hud.Press(kW);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 1);
    hud.Press(UP);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 0);
    hud.Press(kW);
    EXPECT_EQ(hud.State().pauseMenu.cursor, 4) << "up from the first item wraps to the last";
}

TEST(BattleConsole, EveryItemOfTheLocalBattlesMenusGivesItsCode)
{
    for (uint8_t item = 0; item < 5; ++item)
    {
        Hud hud;
        hud.LocalMenus();
        hud.ToRunning();
        hud.Press(MENU);
        for (uint8_t i = 0; i < item; ++i)
            hud.Press(DOWN);
        hud.Press(DECIDE);
        EXPECT_EQ(hud.console.GetResultCode(), item == 0 ? int8_t(RESULT_UNDECIDED) : kLocalPauseCodes[item]) << int(item);
    }
    for (void (CBattleConsole::*show)() : {&CBattleConsole::ShowWin, &CBattleConsole::ShowLose, &CBattleConsole::ShowDraw})
    {
        for (uint8_t item = 0; item < 4; ++item)
        {
            Hud hud;
            hud.LocalMenus();
            hud.ToRunning();
            (hud.console.*show)();
            hud.Wait(7000);
            ASSERT_EQ(hud.console.GetPhase(), ConsolePhase::Finish);
            EXPECT_NE(hud.State().currentMenu, ConsoleMenu::None);
            for (uint8_t i = 0; i < item; ++i)
                hud.Press(DOWN);
            hud.Press(DECIDE);
            EXPECT_EQ(hud.console.GetResultCode(), kLocalEndCodes[item]);
        }
    }
}

TEST(BattleConsole, EveryModesPauseMenuGivesTheCodesItsItemsCarry)
{
    struct Mode
    {
        const char* name;
        std::vector<int8_t> codes;
    };
    // Item texts do not matter to the codes; each mode installs its own.
    const std::vector<Mode> modes = {{"mission", {8, 1, 5, 2}},
                                     {"story", {8, 1, 2}},
                                     {"replay", {8, 1, 7, 2}},
                                     {"tutorial", {8, 2}},
                                     {"network host", {8, 1, 3, 5, 6, 2}},
                                     {"network guest", {8, 4, 2}}};
    const char* const texts[6] = {"a", "b", "c", "d", "e", "f"};
    for (const Mode& mode : modes)
    {
        for (uint8_t item = 0; item < mode.codes.size(); ++item)
        {
            Hud hud;
            hud.console.SetBanner1(static_cast<uint8_t>(mode.codes.size()), 1, nullptr, texts, mode.codes.data());
            hud.ToRunning();
            hud.Press(MENU);
            for (uint8_t i = 0; i < item; ++i)
                hud.Press(DOWN);
            hud.Press(DECIDE);
            const int8_t code = mode.codes[item];
            if (code == RESULT_RESUME)
            {
                EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::None) << mode.name;
                EXPECT_EQ(hud.console.GetResultCode(), RESULT_UNDECIDED) << mode.name;
                continue;
            }
            EXPECT_EQ(hud.console.GetResultCode(), code) << mode.name << " item " << int(item);
            EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Finish) << mode.name;
        }
    }
}

TEST(BattleConsole, TheEndMenusHoldTheFadeUntilAnItemIsChosen)
{
    Hud hud;
    hud.LocalMenus();
    hud.ToRunning();
    hud.console.ShowLose();
    EXPECT_EQ(hud.fighter->GetStateBlock()->resultPose, 7);
    hud.Wait(6100);
    ASSERT_EQ(hud.console.GetPhase(), ConsolePhase::Finish);
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::Lose);
    hud.Wait(10000);
    EXPECT_FLOAT_EQ(hud.State().fade, 0.0f);
    hud.Press(DECIDE);
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_RETRY);
    hud.Wait(480);
    EXPECT_LT(hud.State().fade, 1.0f);
    hud.Wait(20);
    EXPECT_FLOAT_EQ(hud.State().fade, 1.0f);
}

TEST(BattleConsole, EachEndPhaseLastsItsStepsAndAMenuWithoutItemsFinishesAtOnce)
{
    struct Case
    {
        void (CBattleConsole::*show)();
        uint32_t end;
    };
    for (const Case& c : {Case{&CBattleConsole::ShowWin, 5800}, Case{&CBattleConsole::ShowLose, 6100},
                          Case{&CBattleConsole::ShowDraw, 5425}})
    {
        Hud hud; // no menus installed
        hud.ToRunning();
        (hud.console.*c.show)();
        hud.Wait(c.end - 25, 25);
        EXPECT_NE(hud.console.GetPhase(), ConsolePhase::Finish);
        hud.Step(25);
        EXPECT_EQ(hud.console.GetPhase(), ConsolePhase::Finish);
        EXPECT_EQ(hud.console.GetResultCode(), RESULT_RESUME);
        hud.Wait(500);
        EXPECT_FLOAT_EQ(hud.State().fade, 1.0f);
    }
}

TEST(BattleConsole, AMissionWinWaitsForTheConfirmButtonAndEndsWithCodeEight)
{
    Hud hud(4, 1);
    hud.LocalMenus();
    hud.console.SetBanner2(0, 1, nullptr, nullptr, nullptr); // the mission's win menu has no items
    hud.ToRunning();
    hud.console.ShowWin();
    hud.Wait(5800);
    ASSERT_EQ(hud.console.GetPhase(), ConsolePhase::Finish);
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::Win);
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_UNDECIDED);
    hud.Press(CANCEL);
    hud.Press(DOWN);
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_UNDECIDED);
    hud.Step(10, {DECIDE});
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_RESUME);
    EXPECT_TRUE(hud.HeldBack(DECIDE));
}

TEST(BattleConsole, APauseMenuWithoutItemsNeitherOpensNorHoldsTheBattle)
{
    Hud hud(0);
    hud.console.SetBanner1(0, 1, nullptr, nullptr, nullptr);
    hud.ToRunning();
    hud.Press(MENU);
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::None);
    EXPECT_FALSE(hud.console.IsPlayBlocked());
    EXPECT_EQ(hud.console.GetResultCode(), RESULT_UNDECIDED);
    const uint32_t left = hud.console.GetTimeLeft();
    hud.Wait(1000);
    EXPECT_EQ(hud.console.GetTimeLeft(), left - 1000);
}

TEST(BattleConsole, AMenuThatDoesNotBlockPlayLetsTheBattleRun)
{
    Hud hud;
    hud.LocalMenus(0); // online menus hold nothing
    hud.ToRunning();
    hud.Press(MENU);
    EXPECT_EQ(hud.State().currentMenu, ConsoleMenu::Pause);
    EXPECT_FALSE(hud.console.IsPlayBlocked());
}

TEST(BattleConsole, TheParticipantListStaysOpenWhileHeldAndRunsOnAfterRelease)
{
    Hud hud;
    hud.ToRunning();
    const uint32_t marks = MenuTransitions::MarksPassed();
    hud.Step(10, {LIST});
    EXPECT_EQ(hud.State().participantShown, 1u);
    EXPECT_EQ(hud.State().participantClock, 0u);
    for (int i = 0; i < 300; ++i)
        hud.Step(10, {LIST});
    EXPECT_EQ(hud.State().participantClock, 350u); // held: fully shown
    hud.Wait(2840);
    EXPECT_EQ(hud.State().participantClock, 350u + 2840u); // closing from 3000 runs on
    hud.Step(10, {LIST}); // past 2850: let it close
    EXPECT_EQ(hud.State().participantShown, 0u);            // gone at 3200
    EXPECT_EQ(MenuTransitions::MarksPassed() - marks, 6u);  // its shutter's start, middle and end, twice
    hud.Step(10, {LIST}); // and it opens again on the next frame
    EXPECT_EQ(hud.State().participantShown, 1u);
    EXPECT_EQ(hud.State().participantClock, 0u);
}

TEST(BattleConsole, LinesLeaveAfter3300MillisecondsAndTheDefeatNoticeAt1925)
{
    Hud hud;
    hud.ToRunning();
    hud.console.ShowMessage("down", 4, 0);
    hud.console.AddRadioLine("\0Go!", 1, "P", nullptr);
    hud.fighter->GetActionData()->notice = 1;
    hud.fighter->GetActionData()->noticeClock = 1900;
    hud.Wait(20);
    EXPECT_EQ(hud.fighter->GetActionData()->notice, 1u);
    hud.fighter->GetActionData()->noticeClock = 1925;
    hud.Wait(3270);
    EXPECT_EQ(hud.fighter->GetActionData()->notice, 0u);
    EXPECT_EQ(hud.State().messageShown, 1u);
    EXPECT_EQ(hud.State().radio[0].shown, 1u);
    hud.Wait(10);
    EXPECT_EQ(hud.State().messageShown, 0u);
    EXPECT_EQ(hud.State().radio[0].shown, 0u);
}

// Tests that draw only the frames around a transition's marks see the
// HUD's slides half done: a line's slide in and out, and the palette's
// (the participant list's shutter: with its own test).
TEST(BattleConsole, TheLinesAndThePalettesSlidesPassTheirMarks)
{
    Hud hud;
    hud.ToRunning();
    uint32_t before = MenuTransitions::MarksPassed();
    hud.console.ShowMessage("down", 4, 0);
    hud.console.AddRadioLine("\0Go!", 1, "P", nullptr);
    hud.Wait(3300);
    // Each line slides in over 300 ms and out from 2300 to 3300 ms, passing
    // three marks each way.
    EXPECT_EQ(MenuTransitions::MarksPassed() - before, 2u * 2u * 3u);
    tag_TOLQCHARAACTION& action = *hud.fighter->GetActionData();
    action.selectMode = 1; // the close-range list, open
    action.stepClock = 1000;
    before = MenuTransitions::MarksPassed();
    for (uint32_t clock = 20; clock <= 240; clock += 20)
    {
        action.switchClock = clock; // the fighter's own step moves it
        hud.Step(20);
    }
    EXPECT_EQ(MenuTransitions::MarksPassed() - before, 3u);
}

TEST(BattleConsole, TheKillFeedKeepsTheNewestMessageCutAtACharacterEdge)
{
    Hud hud;
    hud.ToRunning();
    hud.Wait(100);
    hud.console.ShowMessage(nullptr, 4, 0);
    EXPECT_EQ(hud.State().messageShown, 0u);
    // 62 ASCII bytes then a two-byte character: it doesn't fit whole.
    const std::string text = std::string(62, 'a') + "\x82\xa0" + "tail";
    hud.console.ShowMessage(text.c_str(), 4, 0);
    EXPECT_EQ(hud.State().messageShown, 1u);
    EXPECT_EQ(std::string(hud.State().messageText), std::string(62, 'a'));
    hud.Wait(100);
    EXPECT_EQ(hud.State().messageClock, 100u);
}

TEST(BattleConsole, RadioLinesKeepTheFourNewestAndTeamLinesOnlyInTeamBattles)
{
    Hud hud;
    hud.ToRunning();
    const char everyone[] = "\0Go!";
    for (int i = 0; i < 5; ++i)
    {
        char name[8];
        std::snprintf(name, sizeof(name), "P%d", i);
        hud.console.AddRadioLine(everyone, 1, name, nullptr);
    }
    EXPECT_STREQ(hud.State().radio[0].text, "P4:Go!");
    EXPECT_STREQ(hud.State().radio[3].text, "P1:Go!");
    const char team[] = "\x01" "Cover me";
    hud.console.AddRadioLine(team, hud.fighter->GetTeam(), "T", nullptr);
    EXPECT_STREQ(hud.State().radio[0].text, "P4:Go!"); // no teams: ignored
    hud.setting->rules.teamBattle = 1;
    hud.console.AddRadioLine(team, hud.fighter->GetTeam(), "T", nullptr);
    EXPECT_STREQ(hud.State().radio[0].text, "T:Cover me");
    hud.console.AddRadioLine("\0", 1, "E", nullptr); // an empty text
    EXPECT_STREQ(hud.State().radio[0].text, "T:Cover me");
}

TEST(BattleConsole, TeamMembersAreCountedByTeamAndTeamFourCountsAll)
{
    CCharacterDefinition definition;
    CCharacter a(&definition), b(&definition);
    a.Create(0);
    b.Create(0);
    a.GetActionData()->team = 1;
    b.GetActionData()->team = 2;
    CCharacter* characters[] = {&a, nullptr, &b};
    EXPECT_EQ(CBattleConsole::CountTeamMembers(characters, 3, 1), 1u);
    EXPECT_EQ(CBattleConsole::CountTeamMembers(characters, 3, 4), 2u);
    EXPECT_EQ(CBattleConsole::CountTeamMembers(characters, 2, 2), 0u);
}

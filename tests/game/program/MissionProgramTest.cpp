// A mission on the real program: from the title's ring to the mission list
// (over the menu background, which carries no label), into the first
// mission's battle (knockouts under a limit far beyond reach, whose score
// rows stop short of the radar), paused, and through the pause menu's
// "タイトルに戻る" back to the title and out. Screenshots of the list (its
// briefing set in whole words) and the battle stay in the test's build
// folder (qor-mission-*.png). The Z that closes the quit menu over the list
// starts nothing.
// gtest ahead of Xlib, whose macros (None, ...) clash with its names.
#include <gtest/gtest.h>

#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorScreens.h"

using namespace qortest;

TEST(MissionProgram, TheFirstMissionsListAndBattleAndBackToTheTitle)
{
    PrivateXServer server("1024x768x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    ASSERT_TRUE(ReachRing(game)) << "the menu never showed";
    ASSERT_TRUE(TurnRing(game, kStoryItem, kMissionItem));
    ASSERT_TRUE(ChooseRingItem(game));
    ASSERT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << "the mission list never showed";
    game.WaitFrames(2);
    game.Screenshot("mission-1-list");
    // The menu background under it has no label of its own: in the strip
    // under the bottom band, right of the back button, no more white than
    // a drifting mote or two make.
    auto white = [](const Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 215; };
    EXPECT_LT(game.Count(600.0f, 752.0f, 1024.0f, 768.0f, white), 60) << "a label over the menu background";
    // The Z that closes the quit menu starts no mission; a fresh one does.
    ASSERT_TRUE(CloseQuitMenuWithDecide(game, "mission-1-quit-menu"));
    EXPECT_TRUE(TitleBand(game)) << "the Z that closed the quit menu started the mission";

    // The first mission's battle; its pause menu holds four items, the
    // last going to the title picture.
    ASSERT_TRUE(game.PressUntil("z", [&] { return !TitleBand(game); })) << "the mission list never closed";
    ASSERT_TRUE(game.WaitFor([&] { return BattleHud(game); })) << "the mission never started";
    ASSERT_TRUE(OpenBattlePause(game, 4)) << "the mission's pause menu never showed";
    game.Screenshot("mission-2-battle-paused");
    // Its score rows of empty pips (grey 48), for a limit far beyond what a
    // row can show, end in the left third: past it, towards the radar, the
    // first row's band holds none of their grey.
    auto pipGrey = [](const Rgb& rgb) { return Near(rgb, 48, 48, 48, 4); };
    EXPECT_LT(game.Count(360.0f, 124.0f, 860.0f, 132.0f, pipGrey), 20) << "the score rows run on towards the radar";
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 4, 3); }, 5))
        << "the pause menu's fourth item never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !BattleMenu(game, 4); }));
    ASSERT_TRUE(game.WaitFor([&] { return TitlePicture(game); })) << "the title never came back";
    ASSERT_TRUE(ReachRing(game)) << "the title's menu never came back";
    EXPECT_TRUE(RingRestsOn(game, kMissionItem)) << "the ring did not come back on the missions";
    ASSERT_TRUE(TurnRing(game, kMissionItem, kQuitItem));
    ASSERT_TRUE(ChooseRingItem(game));
    EXPECT_EQ(game.WaitForExit(), 0);
}

// A replay whose frames but the first last a minute each, as a battle
// recorded across a suspended laptop's sleep would, written by the test
// into the save folder and played on the real program: while a frame's
// minute runs, the window still answers. Enter opens the battle's pause
// menu, Escape the quit menu over it and again closes it, the pause menu
// resumes, the camera key reaches the free camera over the stage, and the
// pause menu's "タイトルに戻る" leaves for the title, from whose menu the
// game quits with 0. Screenshots stay in the test's build folder
// (qor-stall-*.png).
// Xlib's macros (None, Status...) clash with GoogleTest's names: Xlib comes
// last.
#include <gtest/gtest.h>

#include "engine/core/CByteWriter.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorScreens.h"

#include <algorithm>

using namespace qortest;

namespace
{
using namespace std::chrono_literals;

// The intro's first second (the ready call follows), then minutes.
constexpr uint32_t kFrameTimes[] = {1000, 60000, 60000, 60000, 60000, 60000};
// Well within the first minute-long frame.
constexpr auto kAnswerTimeout = 20s;

// The human in seat 0 against a computer fighter; one record a frame, the
// human's, standing still.
bool WriteStalledReplay(const std::filesystem::path& saveFolder)
{
    std::filesystem::create_directories(saveFolder);
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(2, 0, nullptr);
    setting->seed = 5;
    for (uint8_t i = 0; i < 2; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        setting->players[i].startPoint = i;
    }
    CReplay replay;
    const std::string folder = saveFolder.string() + "/";
    bool written = replay.OpenForRecord(folder.c_str()) == 1 && replay.WriteHeader("Stalled", "Aria", 0) == 1 &&
                   replay.WriteSetting(setting) == 1;
    for (uint32_t milliseconds : kFrameTimes)
    {
        CByteWriter frame;
        frame.U32(milliseconds);
        frame.Zeros(tag_TOLQINPUTRECORD::kSize);
        written = written && replay.Write(frame.GetBytes().data(), static_cast<uint32_t>(frame.GetBytes().size())) == 1;
    }
    written = written && replay.Finish((saveFolder / "QorReplay_01.rep").c_str()) == 1;
    FreeBattleSetting(setting);
    return written;
}
}

TEST(ReplayStallProgram, TheWindowAnswersItsKeysWhileAReplayFrameOfAMinuteRuns)
{
    PrivateXServer server("1024x768x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    const std::filesystem::path saveFolder = home.Path() / "CorvaneSystem" / "QOR";
    ASSERT_TRUE(WriteStalledReplay(saveFolder));
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    ASSERT_TRUE(ReachRing(game)) << "the menu never showed";
    ASSERT_TRUE(TurnRing(game, kStoryItem, kReplayItem));
    ASSERT_TRUE(ChooseRingItem(game));
    ASSERT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << "the replay list never showed";
    game.WaitFrames(2);
    game.Screenshot("stall-1-list");
    ASSERT_TRUE(game.PressUntil("z", [&] { return !TitleBand(game); })) << "the replay list never closed";
    ASSERT_TRUE(game.WaitFor([&] { return BattleHud(game); })) << "the replay never played";

    // The battle's pause menu (its four lines) opens as soon as the fight
    // has begun, a second in: the minute-long frame is running.
    auto paused = [&] { return BattleMenu(game, 4); };
    ASSERT_TRUE(game.WaitFor(paused, [&] { game.Press("Return"); }, kAnswerTimeout))
        << "the pause menu did not open while the long frame ran";
    game.WaitFrames(2);
    game.Screenshot("stall-2-paused");

    // The quit menu over it, and Escape closes it again.
    auto quitMenu = [&] { return QuitMenu(game); };
    ASSERT_TRUE(game.PressUntil("Escape", quitMenu, 4s, 3)) << "the quit menu did not open";
    game.Screenshot("stall-3-quit-menu");
    ASSERT_TRUE(game.PressUntil("Escape", [&] { return !quitMenu() && paused(); }, 4s, 3))
        << "the quit menu did not close";

    // "対戦に戻る" resumes; the camera key steps to the free camera, where
    // the status panel's character plate gives way to the grey floor.
    ASSERT_TRUE(game.PressUntil("z", [&] { return !paused(); }, 4s, 3)) << "the pause menu did not close";
    auto freeCamera = [&] {
        const Rgb plate = game.At(16.0f, 728.0f);
        return std::abs(plate.r - plate.g) < 30 && std::abs(plate.g - plate.b) < 30 && plate.g > 90;
    };
    ASSERT_TRUE(game.StepUntil("KP_8", freeCamera, 3, 150)) << "the free camera never showed";
    game.Screenshot("stall-4-free-camera");

    // Out: the pause menu's fourth line goes back to the title.
    ASSERT_TRUE(game.WaitFor(paused, [&] { game.Press("Return"); }, kAnswerTimeout)) << "no pause menu the second time";
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 4, 3); }, 5))
        << "the pause menu's last line never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !paused(); }, 4s, 3));
    ASSERT_TRUE(ReachRing(game)) << "the title's menu did not come back";
    game.Press("Escape", 200);
    game.WaitFrames(20);
    game.Press("Up", 200);
    game.WaitFrames(2);
    game.Press("z", 200);
    EXPECT_EQ(game.WaitForExit(), 0);
}

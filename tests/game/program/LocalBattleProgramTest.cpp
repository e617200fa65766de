// The game's main road offline, played on the real program: from the logo
// through the title's ring to the local battle, over the setup's four pages
// (the player's character chosen with the keys while the pointer rests on
// another one, four seats closed, the time limit at 2:30) to a battle of
// the player against three computers; at its end "リトライ" plays again,
// whose pause menu goes back to the title, whose ring (back on the local
// battle) quits. The process must end with 0, "PlayRecord.dat" count two
// more battles, both the chosen character's, and the first battle's replay
// be saved. Screenshots of each page and of the battle stay in the test's
// build folder (qor-local-*.png).
// Xlib's macros (None, Status...) clash with GoogleTest's names: Xlib comes
// last.
#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorProcess.h"

using namespace qortest;

namespace
{
// The battle's time limit, and how long the test waits past it for the
// result and the replay.
constexpr auto kBattleLimit = std::chrono::seconds(150);
constexpr auto kBattleGrace = std::chrono::seconds(120);
// A battle's opening (the fade and the ready-go call) with some to spare.
constexpr int kOpeningMilliseconds = 9000;

// The offline battles of every character, or of one.
uint32_t CountBattles(const std::filesystem::path& saveFolder, int character = -1)
{
    const std::string bytes = TempFolder::Read(saveFolder / "PlayRecord.dat");
    tag_TOLQPLAYRECORD record;
    SetDefaultPlayRecord(&record);
    if (bytes.empty())
        return 0;
    DecodePlayRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &record);
    uint32_t battles = 0;
    for (size_t i = 0; i < record.records.size(); ++i)
        battles += character < 0 || static_cast<size_t>(character) == i ? record.records[i].offline[0] : 0;
    return battles;
}

bool HasReplay(const std::filesystem::path& saveFolder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(saveFolder, error))
    {
        const std::string name = entry.path().filename().string();
        if (name.rfind("QorReplay_", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".rep")
            return true;
    }
    return false;
}

void Keys(QorProcess& game, std::initializer_list<const char*> keys)
{
    for (const char* key : keys)
    {
        game.Press(key);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

void Pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
}

TEST(LocalBattleProgram, FromTheLogoToABattleAgainstThreeComputersPlayedTwiceAndBackToTheTitle)
{
    PrivateXServer server;
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    const std::filesystem::path saveFolder = home.Path() / "CorvaneSystem" / "QOR";
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // Screens told apart by a pixel each, in layout units: the logo's white,
    // the ring's corner logo (red over blue), the setup's white title
    // band, the solo panel (blue), the members' decide button and the
    // weapons' done button (green), the rules' reset label (teal).
    auto logo = [&] { return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6); };
    auto menu = [&] {
        const Rgb corner = game.At(740.0f, 170.0f);
        return corner.r > corner.b + 40;
    };
    auto setupBand = [&] { return Near(game.At(100.0f, 56.0f), 255, 255, 255, 6); };
    auto bluePanel = [&](float x, float y) {
        const Rgb panel = game.At(x, y);
        return panel.b > panel.r + 60;
    };
    auto green = [&](float x, float y) {
        const Rgb button = game.At(x, y);
        return button.g > button.r + 30 && button.g > button.b + 30;
    };
    auto z = [&] { game.Press("z"); };

    ASSERT_TRUE(game.WaitFor(logo, z)) << "the logo never showed";
    ASSERT_TRUE(game.WaitFor([&] { return !logo(); }));
    ASSERT_TRUE(game.WaitFor(menu, z)) << "the menu never showed";
    Pause(800);
    // One turn down brings the local battle to the front.
    game.Press("Down", 200);
    Pause(450);
    z();
    ASSERT_TRUE(game.WaitFor([&] { return setupBand() && bluePanel(300.0f, 600.0f); })) << "the mode page never showed";
    Pause(700);
    game.Screenshot("local-1-mode");
    z();
    ASSERT_TRUE(game.WaitFor([&] { return green(518.0f, 660.0f); })) << "the members page never showed";
    Pause(700);

    // The own seat: the pointer rests on the character column between the
    // blocks, on a character further down, while the keys choose the first
    // (down from random) and Z confirms it.
    game.PointAt(512.0f, 420.0f);
    Pause(300);
    Keys(game, {"z", "Down"});
    game.Screenshot("local-2-members-editing");
    Keys(game, {"z"});

    // Close the four right-hand seats: each panel opened, its seat turned
    // from the computer to closed, the editing left.
    Keys(game, {"Left", "z", "Right", "x", "Down", "z", "Right", "x", "Left", "z", "Right", "x", "Up", "z", "Right",
                "x"});
    game.Screenshot("local-2-members");
    // Panel 4 -> the decide button.
    Keys(game, {"Left", "z"});
    ASSERT_TRUE(game.WaitFor([&] {
        const Rgb reset = game.At(832.0f, 640.0f);
        return setupBand() && reset.b > reset.r + 40 && reset.g > reset.r + 30;
    })) << "the rules page never showed";
    Pause(700);
    // The time limit's row, its first cell (2:30), stored; then up to the
    // next button.
    Keys(game, {"Down", "Down", "Down", "Down", "Left", "Left", "Left", "Left", "z"});
    game.Screenshot("local-3-rules");
    Keys(game, {"Up", "Up", "Up", "Up", "Up", "z"});
    ASSERT_TRUE(game.WaitFor([&] { return green(200.0f, 690.0f); })) << "the weapons page never showed";
    Pause(800);
    game.Screenshot("local-4-weapons");
    // The preview faces the player with its head below the page's title
    // band (it ends at 102 units): the black visor over the fighter's eyes
    // shows there.
    const int visor = game.Count(600.0f, 104.0f, 740.0f, 230.0f,
                                 [](const Rgb& rgb) { return std::max({rgb.r, rgb.g, rgb.b}) < 45; });
    EXPECT_GT(visor, 40) << "the preview's face is not in view";
    const uint32_t battlesBefore = CountBattles(saveFolder);
    const uint32_t firstsBefore = CountBattles(saveFolder, 0);
    // Up wraps from the add row to the done button: the loadout the
    // character carries is complete.
    Keys(game, {"Up", "z"});
    ASSERT_TRUE(game.WaitFor([&] { return !setupBand(); })) << "the battle never started";
    Pause(kOpeningMilliseconds);
    game.Screenshot("local-5-battle");

    // The first battle runs to its time limit; then "リトライ", the first
    // item of the result menu, plays again: the ended battle's replay is
    // saved as it goes.
    std::this_thread::sleep_for(kBattleLimit);
    const auto end = Clock::now() + kBattleGrace;
    while (Clock::now() < end && !game.Ended() && !HasReplay(saveFolder))
    {
        z();
        Pause(600);
    }
    ASSERT_TRUE(HasReplay(saveFolder)) << "the first battle did not end and play again";
    // The second battle's pause menu, once its opening call is over: its
    // fifth item goes to the title picture (purple).
    Pause(kOpeningMilliseconds);
    game.Screenshot("local-6-battle-again");
    game.Press("Return");
    Pause(600);
    Keys(game, {"Down", "Down", "Down", "Down", "z"});
    auto titlePicture = [&] {
        const Rgb corner = game.At(8.0f, 8.0f);
        return corner.b > corner.g + 30 && corner.r > corner.g;
    };
    ASSERT_TRUE(game.WaitFor(titlePicture)) << "the title never came back";
    ASSERT_TRUE(game.WaitFor(menu, z)) << "the title's menu never came back";
    Pause(800);
    game.Screenshot("local-7-title");
    // The ring is back on the local battle; two turns up, past the story,
    // bring the quit item.
    game.Press("Up", 200);
    Pause(900);
    game.Press("Up", 200);
    Pause(900);
    z();
    EXPECT_EQ(game.WaitForExit(), 0);
    EXPECT_EQ(CountBattles(saveFolder), battlesBefore + 2);
    EXPECT_EQ(CountBattles(saveFolder, 0), firstsBefore + 2) << "the battles were not the chosen character's";
    EXPECT_TRUE(HasReplay(saveFolder));
}

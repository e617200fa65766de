// The game program itself on the stand-in set, under a virtual X server of
// this test's own: loading, logo, movie, title, menu, the options (the
// music volume set to its minimum and confirmed), the records (a page on,
// cancel back a page, cancel again out), then the quit item. The process
// must end with 0 and "GameConfig.dat" hold the new volume. A screenshot
// of each screen stays in the test's build folder (qor-*.png).
// gtest ahead of Xlib, whose macros (None, ...) clash with its names.
#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorProcess.h"

#include <filesystem>
#include <thread>

using namespace qortest;

TEST(QorProgram, WalksFromTheLogoThroughTheOptionsAndRecordsToTheQuitItem)
{
    PrivateXServer server;
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // Screens told apart by a pixel each (layout units of 1024 x 768): the
    // logo's white, the ring menu's corner logo (red over blue), the option
    // and record screens' white title bands.
    auto logo = [&] { return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6); };
    auto menu = [&] {
        const Rgb corner = game.At(740.0f, 170.0f);
        return corner.r > corner.b + 40;
    };
    // The option title is narrower than the record title: at x 290 the
    // options show their white band, the records their title picture.
    auto titleBands = [&] { return Near(game.At(100.0f, 56.0f), 255, 255, 255, 6); };
    auto options = [&] { return titleBands() && Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    auto records = [&] { return titleBands() && !Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    // The first character's page: its picture (purple) right of the
    // figures, where the totals page shows the blue background.
    auto firstCharacterPage = [&] {
        const Rgb picture = game.At(900.0f, 600.0f);
        return records() && picture.r > picture.g + 20;
    };
    auto z = [&] { game.Press("z"); };
    // Each press turns the ring one item down; a turn takes 300 ms of the
    // game's time, longer on a busy machine, and a press during a turn is
    // lost: each waits for the turn before it with time to spare.
    auto turnDown = [&](int items) {
        for (int turn = 0; turn < items; ++turn)
        {
            game.Press("Down", 200);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
    };

    // Loading, then any button starts the title: the logo on white.
    ASSERT_TRUE(game.WaitFor(logo, z)) << "the logo never showed";
    game.Screenshot("1-logo");
    // The opening movie (a button skips it) and the title picture (a button
    // opens the menu).
    ASSERT_TRUE(game.WaitFor([&] { return !logo(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    game.Screenshot("2-after-logo");
    ASSERT_TRUE(game.WaitFor(menu, z)) << "the menu never showed";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("3-menu");

    // Down five times brings the option item to the front.
    turnDown(5);
    game.Press("z");
    ASSERT_TRUE(game.WaitFor(titleBands)) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(options)) << "the screen that opened is not the options";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("4-option");
    // The music volume's minimum button, then the confirm row.
    game.Click(428.0f, 316.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    game.Screenshot("5-option-changed");
    game.Click(98.0f, 632.0f);
    ASSERT_TRUE(game.WaitFor(menu)) << "the options did not go back to the menu";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));

    // The record item is next. Z pages on to the first character; cancel
    // there turns back to the totals and stays, cancel on the totals
    // leaves.
    turnDown(1);
    game.Press("z");
    ASSERT_TRUE(game.WaitFor(titleBands)) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(records)) << "the screen that opened is not the records";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("6-record");
    game.Press("z");
    ASSERT_TRUE(game.WaitFor(firstCharacterPage)) << "Z did not page on to the first character";
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    game.Screenshot("6-record-character");
    game.Press("x");
    ASSERT_TRUE(game.WaitFor([&] { return !firstCharacterPage(); }));
    // Leaving would have faded the screen out and brought the menu by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_TRUE(records() && !menu()) << "cancel on a character page left the records";
    game.Press("x");
    ASSERT_TRUE(game.WaitFor(menu)) << "the records did not go back to the menu";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));

    // Four more turns bring the quit item to the front; it ends the game.
    turnDown(4);
    game.Screenshot("7-quit-item");
    game.Press("z");
    EXPECT_EQ(game.WaitForExit(), 0);

    const std::string bytes = TempFolder::Read(home.Path() / "CorvaneSystem" / "QOR" / "GameConfig.dat");
    tag_TOLQGAMECONFIG settings;
    SetDefaultGameConfig(&settings);
    ASSERT_FALSE(bytes.empty());
    DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &settings);
    EXPECT_EQ(settings.bgmVolume, -3000);
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "CorvaneSystem" / "QOR" / "PlayRecord.dat"));
}

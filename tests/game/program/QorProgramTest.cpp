// The game program itself on the stand-in set, under a virtual X server of
// this test's own: loading, logo, movie, title, menu, the options (the
// music volume set to its minimum and confirmed), the records (a page on,
// cancel back a page, cancel again out), then the quit item. The process
// must end with 0 and "GameConfig.dat" hold the new volume. A screenshot
// of each screen stays in the test's build folder (qor-*.png). The Z that
// closes the quit menu over the ring chooses nothing there.
// gtest ahead of Xlib, whose macros (None, ...) clash with its names.
#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorScreens.h"

#include <filesystem>

using namespace qortest;

TEST(QorProgram, WalksFromTheLogoThroughTheOptionsAndRecordsToTheQuitItem)
{
    PrivateXServer server("1024x768x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // The option title is narrower than the record title: at x 290 the
    // options show their white band, the records their title picture.
    auto options = [&] { return TitleBand(game) && Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    auto records = [&] { return TitleBand(game) && !Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    // The first character's page: its picture (purple) right of the
    // figures, where the totals page shows the blue background.
    auto firstCharacterPage = [&] {
        const Rgb picture = game.At(900.0f, 600.0f);
        return records() && picture.r > picture.g + 20;
    };
    // The music volume's bar, lit blue up to its level.
    auto musicSilent = [&] {
        const Rgb bar = game.At(600.0f, 316.0f);
        return bar.b < 200 && bar.b < bar.r + 60;
    };
    auto z = [&] { game.Press("z"); };

    // Loading, then any button starts the title: the logo on white.
    ASSERT_TRUE(game.WaitFor([&] { return Logo(game); }, z)) << "the logo never showed";
    game.Screenshot("1-logo");
    // The opening movie (a button skips it) and the title picture (a button
    // opens the menu).
    ASSERT_TRUE(game.WaitFor([&] { return !Logo(game); }));
    game.WaitFrames(2);
    game.Screenshot("2-after-logo");
    ASSERT_TRUE(ReachRing(game)) << "the menu never showed";
    game.Screenshot("3-menu");
    // Z that closes the quit menu opens nothing beneath: the ring still
    // rests on the story.
    ASSERT_TRUE(CloseQuitMenuWithDecide(game, "3-menu-quit-menu"));
    EXPECT_TRUE(RingRestsOn(game, kStoryItem)) << "the Z that closed the quit menu chose the ring's item";

    // Five turns down bring the option item to the front.
    ASSERT_TRUE(TurnRing(game, kStoryItem, kOptionItem)) << "the ring did not turn to the options";
    ASSERT_TRUE(ChooseRingItem(game));
    ASSERT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(options)) << "the screen that opened is not the options";
    game.WaitFrames(2);
    game.Screenshot("4-option");
    // The music volume's minimum button (clicked again should the page not
    // take the pointer yet), then the confirm row.
    for (int click = 0; click < 4 && !musicSilent(); ++click)
    {
        game.Click(428.0f, 316.0f);
        game.WaitFor(musicSilent, nullptr, std::chrono::seconds(3));
    }
    ASSERT_TRUE(musicSilent()) << "the music volume did not go to its minimum";
    game.Screenshot("5-option-changed");
    for (int click = 0; click < 4 && options(); ++click)
    {
        game.Click(98.0f, 632.0f);
        game.WaitFor([&] { return !options(); }, nullptr, std::chrono::seconds(3));
    }
    ASSERT_TRUE(BackToRing(game)) << "the options did not go back to the menu";

    // The record item is next. Z pages on to the first character; cancel
    // there turns back to the totals and stays, cancel on the totals
    // leaves.
    ASSERT_TRUE(TurnRing(game, kOptionItem, kRecordItem));
    ASSERT_TRUE(ChooseRingItem(game));
    ASSERT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(records)) << "the screen that opened is not the records";
    game.WaitFrames(2);
    game.Screenshot("6-record");
    ASSERT_TRUE(game.PressUntil("z", firstCharacterPage)) << "Z did not page on to the first character";
    game.WaitFrames(2);
    game.Screenshot("6-record-character");
    ASSERT_TRUE(game.PressUntil("x", [&] { return !firstCharacterPage(); }));
    // Leaving would have faded the screen out by now.
    game.WaitFrames(30);
    EXPECT_TRUE(records()) << "cancel on a character page left the records";
    ASSERT_TRUE(game.PressUntil("x", [&] { return !records(); })) << "the records took no cancel";
    ASSERT_TRUE(BackToRing(game)) << "the records did not go back to the menu";

    // Four more turns bring the quit item to the front; it ends the game.
    ASSERT_TRUE(TurnRing(game, kRecordItem, kQuitItem));
    game.Screenshot("7-quit-item");
    ASSERT_TRUE(ChooseRingItem(game));
    EXPECT_EQ(game.WaitForExit(), 0);

    const std::string bytes = TempFolder::Read(home.Path() / "CorvaneSystem" / "QOR" / "GameConfig.dat");
    tag_TOLQGAMECONFIG settings;
    SetDefaultGameConfig(&settings);
    ASSERT_FALSE(bytes.empty());
    DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &settings);
    EXPECT_EQ(settings.bgmVolume, -3000);
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "CorvaneSystem" / "QOR" / "PlayRecord.dat"));
}

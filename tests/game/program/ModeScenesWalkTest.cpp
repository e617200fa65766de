// The game program on the stand-in set, walked by key presses from the
// title into the shop (a weapon and a hat bought for nothing), the
// equipment screen (the first character's hat taken off), the replay list
// (a battle the test recorded, played, then back through the pause menu,
// S moving its cursor down as the cursor key does) and the tutorial (its
// first lesson, then the title through the pause menu), each time back to
// the title, and out through the quit menu (W moving its cursor up onto
// "quit"). The process must end with 0 and the play data hold the buys and
// the bare head; a second start finds the character still bare on the
// equipment screen. A screenshot of each screen stays in the test's build
// folder (qor-walk-*.png).
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/program/QorProcess.h"

#include "engine/core/GameText.h"
#include "engine/platform/FrameTimer.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using qortest::Near;
using qortest::QorProcess;

namespace
{
using namespace std::chrono_literals;

// A battle of a human standing still against a computer fighter on the
// arena, each with a blade, a rifle and a launcher, 400 frames of 50 ms
// (the intro and the ready call, then 13 s of play: the walk pauses it
// while it runs), saved as the save folder's first replay.
bool RecordReplay(const std::filesystem::path& saveFolder)
{
    battletest::BattleData::Install();
    if (battletest::BattleData::Get() == nullptr)
        return false;
    std::filesystem::create_directories(saveFolder);
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(2, 0, nullptr);
    setting->seed = 11;
    setting->record = 1;
    static const char* weapons[3] = {GameText("クレイモア"), "Rifle", "Launcher"};
    for (uint8_t i = 0; i < 2; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        setting->players[i].startPoint = i;
        std::copy(std::begin(weapons), std::end(weapons), setting->players[i].weapons);
    }
    bool saved = false;
    {
        CBattleScene battle;
        if (battle.Init(reinterpret_cast<uintptr_t>(setting)) == 1 && battle.GetReplay() != nullptr)
        {
            for (int frame = 0; frame < 400; ++frame)
            {
                SetFrameTime(50);
                battle.Update(0);
            }
            saved = battle.GetReplay()->Finish((saveFolder / "QorReplay_01.rep").c_str()) == 1;
        }
    }
    FreeBattleSetting(setting);
    return saved;
}

void Pause(std::chrono::milliseconds time)
{
    std::this_thread::sleep_for(time);
}
}

TEST(QorProgram, WalksIntoTheShopEquipmentReplayAndTutorialAndBackToTheTitle)
{
    PrivateXServer server;
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    const std::filesystem::path saveFolder = home.Path() / "CorvaneSystem" / "QOR";
    setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    ASSERT_TRUE(RecordReplay(saveFolder)) << battletest::BattleData::GetError();
    unsetenv("XDG_DATA_HOME");

    auto game = std::make_unique<QorProcess>(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game->Started());
    ASSERT_TRUE(game->FindWindow());

    // Screens told apart by a pixel each, in layout units of 1024 x 768: the
    // logo's white; the ring menu's corner logo (red over blue); the white
    // title band of the menu screens; the title picture's purple.
    auto logo = [&] { return Near(game->At(8.0f, 8.0f), 255, 255, 255, 6); };
    auto menu = [&] {
        const qortest::Rgb corner = game->At(740.0f, 170.0f);
        return corner.r > corner.b + 40;
    };
    auto titleBands = [&] { return Near(game->At(100.0f, 56.0f), 255, 255, 255, 6); };
    auto titlePicture = [&] { return Near(game->At(512.0f, 700.0f), 0x3A, 0x28, 0x58, 70); };
    auto z = [&] { game->Press("z"); };
    // The ring turns one item for each press of Down, and takes no key
    // while it turns (300 ms of frame time, longer on a busy machine).
    auto turn = [&](int items, const char* key) {
        for (int i = 0; i < items; ++i)
        {
            game->Press(key, 200);
            Pause(900ms);
        }
    };
    // Z on the front item, again while the ring still shows (a press the
    // turning ring did not take).
    auto enter = [&] {
        for (int press = 0; press < 4 && menu(); ++press)
        {
            game->Press("z", 200);
            for (int look = 0; look < 12 && menu(); ++look)
                Pause(250ms);
        }
    };
    auto choose = [&](const char* screen) {
        enter();
        EXPECT_TRUE(game->WaitFor(titleBands)) << screen << " never showed";
        Pause(800ms);
    };
    // The battle HUD's pause menu of items lines, told by the light rim of
    // its window's top edge (36 pixels above its inner rectangle, which
    // grows 14 units each way per line about the centre).
    auto pauseMenu = [&](int items) {
        const float innerTop = 384.0f - (14.0f * static_cast<float>(items) - 12.0f);
        return Near(game->At(512.0f, innerTop - 34.5f / 0.625f), 0xE0, 0xE8, 0xF0, 40);
    };
    // Enter until the menu shows: the battle's intro takes no pause.
    auto openPause = [&](int items) {
        for (int press = 0; press < 40 && !pauseMenu(items); ++press)
        {
            game->Press("Return", 200);
            Pause(1500ms);
        }
        return pauseMenu(items);
    };
    // The tutorial's lesson window, told by its frame's left rim.
    auto lessonWindow = [&] { return Near(game->At(220.0f - 34.5f / 0.625f, 116.0f), 0xE0, 0xE8, 0xF0, 40); };
    auto backToMenu = [&](const char* screen) {
        EXPECT_TRUE(game->WaitFor(menu)) << screen << " did not go back to the menu";
        Pause(800ms);
    };

    ASSERT_TRUE(game->WaitFor(logo, z)) << "the logo never showed";
    ASSERT_TRUE(game->WaitFor([&] { return !logo(); }));
    ASSERT_TRUE(game->WaitFor(menu, z)) << "the menu never showed";
    Pause(800ms);

    // The shop (item 4): the rifle and the hat, both free, bought.
    turn(4, "Down");
    choose("the shop");
    game->Press("Down");
    Pause(300ms);
    game->Press("z");
    Pause(300ms);
    game->Screenshot("walk-1-shop-weapons");
    game->Press("Right");
    Pause(300ms);
    game->Press("z");
    Pause(300ms);
    game->Screenshot("walk-2-shop-clothes");
    game->Press("x");
    backToMenu("the shop");

    // The equipment screen (item 7): the first character wears its own hat
    // at first. Z goes from the character to its head slot, to the slot's
    // list, and chooses its first item, the hat worn already, which takes
    // it off; a press a busy machine loses is made again, until the white
    // hat has gone from the fighter's head.
    turn(3, "Down");
    choose("the equipment screen");
    auto hat = [&] {
        for (float y : {118.0f, 126.0f, 134.0f})
        {
            if (Near(game->At(512.0f, y), 240, 240, 240, 30))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(game->WaitFor(hat)) << "the fighter does not wear its hat";
    game->Screenshot("walk-3-equipment-hat");
    for (int press = 0; press < 6 && hat(); ++press)
    {
        game->Press("z", 200);
        for (int look = 0; look < 8 && hat(); ++look)
            Pause(250ms);
    }
    EXPECT_FALSE(hat()) << "the hat was not taken off";
    game->Screenshot("walk-3-equipment");
    game->Press("x", 200);
    Pause(600ms);
    game->Press("x", 200);
    backToMenu("the equipment screen");

    // The replay list (item 8): the recorded battle plays; the pause menu's
    // "選択画面に戻る" brings the list back, its back row the menu.
    turn(1, "Down");
    choose("the replay list");
    game->Screenshot("walk-4-replay-list");
    game->Press("z");
    ASSERT_TRUE(game->WaitFor([&] { return !titleBands(); })) << "the replay never played";
    // Past the intro's fade, the camera key steps from fighter to fighter to
    // the free camera 50 units over the stage, where the weapons once lay
    // over each fighter as white squares. There no fighter is followed: the
    // status panel's character plate gives way to the grey floor. Before the
    // ready call's banners both fighters still stand at their start points,
    // 12 units either side of the middle: 160 layout units above and below
    // the screen's centre.
    Pause(1s);
    auto freeCamera = [&] {
        const qortest::Rgb plate = game->At(16.0f, 728.0f);
        return std::abs(plate.r - plate.g) < 30 && std::abs(plate.g - plate.b) < 30 && plate.g > 90;
    };
    for (int press = 0; press < 3 && !freeCamera(); ++press)
    {
        game->Press("KP_8", 150);
        Pause(450ms);
    }
    ASSERT_TRUE(freeCamera()) << "the replay's free camera never showed";
    game->Screenshot("walk-5-replay-free-camera");
    auto white = [](const qortest::Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 215; };
    for (const float y : {384.0f - 160.0f, 384.0f + 160.0f})
        EXPECT_LT(game->Count(512.0f - 64.0f, y - 64.0f, 512.0f + 64.0f, y + 64.0f, white), 80)
            << "white over the fighter at " << y;
    Pause(2s);
    game->Screenshot("walk-5-replay-playing");
    ASSERT_TRUE(openPause(4)) << "the replay's pause menu never showed";
    game->Screenshot("walk-6-replay-paused");
    // S is down in this menu as in every other: with the cursor key down
    // it reaches the third item.
    game->Press("s", 200);
    Pause(300ms);
    game->Press("Down", 200);
    Pause(300ms);
    game->Press("z", 200);
    EXPECT_TRUE(game->WaitFor(titleBands)) << "the list did not come back";
    Pause(800ms);
    game->Press("Up");
    Pause(300ms);
    game->Press("z");
    backToMenu("the replay list");

    // The tutorial (item 9): its first lessons, then "タイトルに戻る".
    turn(1, "Down");
    enter();
    ASSERT_TRUE(game->WaitFor([&] { return !menu(); }));
    EXPECT_TRUE(game->WaitFor(lessonWindow)) << "no lesson showed";
    Pause(1s);
    game->Screenshot("walk-7-tutorial");
    ASSERT_TRUE(openPause(2)) << "the tutorial's pause menu never showed";
    game->Press("Down", 200);
    Pause(300ms);
    game->Press("z", 200);
    EXPECT_TRUE(game->WaitFor(titlePicture)) << "the tutorial did not go back to the title";
    Pause(800ms);
    game->Screenshot("walk-8-title");

    // The title picture leads to the menu; Escape opens the quit menu on
    // "back", W moves up to "quit".
    ASSERT_TRUE(game->WaitFor(menu, z)) << "the menu did not come back";
    Pause(800ms);
    game->Screenshot("walk-9-title-menu");
    game->Press("Escape", 200);
    Pause(400ms);
    game->Press("w", 200);
    Pause(300ms);
    game->Screenshot("walk-10-quit-menu");
    game->Press("z", 200);
    EXPECT_EQ(game->WaitForExit(), 0);

    const std::string bytes = TempFolder::Read(saveFolder / "PlayData.dat");
    ASSERT_FALSE(bytes.empty());
    tag_TOLQPLAYDATA data;
    SetDefaultPlayData(&data);
    ASSERT_EQ(DecodePlayData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &data), 1);
    ASSERT_GT(data.weapons.size(), 1u);
    EXPECT_NE(data.weapons[1].owned, 0u) << "the rifle was not bought";
    ASSERT_FALSE(data.clothes.empty());
    EXPECT_NE(data.clothes[0].owned, 0u) << "the hat was not bought";
    ASSERT_FALSE(data.characters.empty());
    EXPECT_STREQ(data.characters[0].clothes[0], "") << "the hat is still worn";

    // The next start: the first character, bare since its hat came off,
    // stays bare (the loading step used to dress it again). Four turns up
    // bring the equipment item to the front.
    game = std::make_unique<QorProcess>(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game->Started());
    ASSERT_TRUE(game->FindWindow());
    ASSERT_TRUE(game->WaitFor(logo, z)) << "the logo never showed at the next start";
    ASSERT_TRUE(game->WaitFor([&] { return !logo(); }));
    ASSERT_TRUE(game->WaitFor(menu, z)) << "the menu never showed at the next start";
    Pause(800ms);
    turn(4, "Up");
    choose("the equipment screen at the next start");
    // The fighter's red shirt shows it has been drawn.
    auto shirt = [&] {
        const qortest::Rgb rgb = game->At(512.0f, 290.0f);
        return rgb.r > 180 && rgb.g < 120 && rgb.b < 120;
    };
    EXPECT_TRUE(game->WaitFor(shirt)) << "the fighter never showed";
    game->Screenshot("walk-11-equipment-next-start");
    EXPECT_FALSE(hat()) << "the loading step put the hat back on";
    // Out through the quit menu: Escape, up to its quit row, decide.
    game->Press("Escape", 200);
    Pause(300ms);
    game->Press("Up", 200);
    Pause(300ms);
    game->Press("z", 200);
    EXPECT_EQ(game->WaitForExit(), 0);
    const std::string again = TempFolder::Read(saveFolder / "PlayData.dat");
    SetDefaultPlayData(&data);
    ASSERT_EQ(DecodePlayData(reinterpret_cast<const uint8_t*>(again.data()), again.size(), &data), 1);
    ASSERT_FALSE(data.characters.empty());
    for (const char* slot : data.characters[0].clothes)
        EXPECT_STREQ(slot, "") << "the next start dressed the bare character";
}

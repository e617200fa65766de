// The game program on the stand-in set, walked by key presses from the
// title into the story (its first battle lost standing still, the end shot
// under the lose menu showing the fallen player and no torso of the
// winner, then back through that menu), the shop (a hat bought for
// nothing, not by the Z that closes the quit menu), the
// equipment screen (the first character's hat taken off, put back by the
// default button the keys reach, taken off again; each arrow clicked goes
// the way of the key on its side, the left one by a click with no hold),
// the replay list (a battle the test recorded, played, number pad 8 going
// back from the first fighter to the free camera, its fighter on the ramp's
// slope followed, then back through the pause menu, S moving its cursor
// down as the cursor key does) and the tutorial (its first lesson, then the
// title through the pause menu), each time back to the title, and out
// through the quit menu (W moving its cursor up onto "quit"). The process
// must end with 0 and the play data hold the buys and the bare head; a
// second start finds the character still bare on the equipment screen. A
// screenshot of each screen stays in the test's build folder
// (qor-walk-*.png).
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/program/QorScreens.h"

#include "engine/core/GameText.h"
#include "engine/platform/FrameTimer.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuRect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace qortest;

namespace
{
using namespace std::chrono_literals;

// The arena's start on the ramp's slope.
constexpr uint32_t kRampStart = 3;

// A battle of three humans standing still on the arena (the local one and
// two fed no inputs, the third at the start on the ramp), each with a
// blade, a rifle and a launcher, 400 frames of 50 ms (the intro and the
// ready call, then 13 s of play: the walk pauses it while it runs), saved
// as the save folder's first replay.
bool RecordReplay(const std::filesystem::path& saveFolder)
{
    battletest::BattleData::Install();
    if (battletest::BattleData::Get() == nullptr)
        return false;
    std::filesystem::create_directories(saveFolder);
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(3, 0, nullptr);
    setting->seed = 11;
    setting->record = 1;
    static const char* weapons[3] = {GameText("クレイモア"), "Rifle", "Launcher"};
    for (uint8_t i = 0; i < 3; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        setting->players[i].startPoint = i < 2 ? i : kRampStart;
        setting->players[i].slotState = static_cast<int8_t>(i);
        setting->players[i].localInput = i == 0 ? 1 : 0;
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

// The equipment screen's arrows, either side of the character's name.
constexpr MenuPoint kLeftArrow{392.0f, 704.0f};
constexpr MenuPoint kRightArrow{632.0f, 704.0f};

// Which pixels of the character's name, between the arrows, are lit: a
// name always lights the same ones.
using NameMask = std::vector<bool>;
NameMask ReadName(QorProcess& game)
{
    NameMask mask;
    for (float y = 684.0f; y <= 724.0f; y += 1.6f)
    {
        const std::vector<Rgb> row = game.Row(y);
        for (size_t x = 270; x < 370 && x < row.size(); ++x)
            mask.push_back(std::min({row[x].r, row[x].g, row[x].b}) >= 230);
    }
    return mask;
}

int Differences(const NameMask& a, const NameMask& b)
{
    int count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += a[i] != b[i] ? 1 : 0;
    return count + static_cast<int>(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
}
}

TEST(QorProgram, WalksIntoTheStoryShopEquipmentReplayAndTutorialAndBackToTheTitle)
{
    PrivateXServer server("1024x768x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    const std::filesystem::path saveFolder = home.Path() / "CorvaneSystem" / "QOR";
    setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    ASSERT_TRUE(RecordReplay(saveFolder)) << battletest::BattleData::GetError();
    unsetenv("XDG_DATA_HOME");

    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // The ring's front item chosen, and the screen it opens (its white
    // title band) in full.
    auto choose = [&](const char* screen) {
        EXPECT_TRUE(ChooseRingItem(game)) << screen << " was not chosen";
        EXPECT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << screen << " never showed";
        game.WaitFrames(2);
    };
    // Cancel until the screen fades out, then the ring comes back.
    auto leave = [&](const char* screen) {
        EXPECT_TRUE(game.PressUntil("x", [&] { return !TitleBand(game); })) << screen << " took no cancel";
        EXPECT_TRUE(BackToRing(game)) << screen << " did not go back to the menu";
    };
    // The tutorial's lesson window, told by its frame's rims left and right
    // and its dark blue inside: the menu's light beam, fading out behind the
    // ring, is as light as a rim on the left.
    auto lessonWindow = [&] {
        constexpr float kRim = 220.0f - 34.5f / 0.625f;
        return Near(game.At(kRim, 116.0f), 0xE0, 0xE8, 0xF0, 20) &&
               Near(game.At(1024.0f - kRim, 116.0f), 0xE0, 0xE8, 0xF0, 20) &&
               Near(game.At(208.0f, 192.0f), 20, 33, 59, 20);
    };

    ASSERT_TRUE(ReachRing(game)) << "the menu never showed";

    // The story (item 0): the first route, its chapter's lines (Z for each)
    // up to the battle, whose HUD shows the player's red plate. Left to
    // stand, the player falls to its rival's sabre and the battle is lost:
    // under the lose menu the end shot shows the fallen player's red, and
    // the winner (blue) whole or hardly at all, not its torso filling a
    // side of the frame. Where the rival ends up depends on the frames'
    // lengths: a whole winner standing over the fallen player fills up to
    // 11 % of the window with the HUD's blue panels (3.5 %), the torso cut
    // by the frame that was seen filled over a fifth (the camera tests
    // check the framing itself). "タイトルに戻る", the second item, leaves.
    ASSERT_TRUE(ChooseRingItem(game)) << "the story was not chosen";
    auto playerPlate = [&] {
        const Rgb plate = game.At(16.0f, 728.0f);
        return plate.r > 150 && plate.g < 100 && plate.b < 100;
    };
    ASSERT_TRUE(game.WaitFor(playerPlate, [&] { game.Press("z"); })) << "the story's battle never started";
    // Running once its pause menu (three lines) opens; the go call's glow
    // is past, which would pass for a menu's rim.
    ASSERT_TRUE(OpenBattlePause(game, 3)) << "the story's battle never ran";
    ASSERT_TRUE(game.PressUntil("x", [&] { return !BattleMenu(game, 3); }));
    ASSERT_TRUE(game.WaitFor([&] { return BattleMenu(game, 2); }, nullptr, std::chrono::seconds(150)))
        << "the story's battle was not lost";
    game.WaitFrames(2);
    game.Screenshot("walk-0-story-lost");
    auto blue = [](const Rgb& rgb) { return rgb.b > 2 * rgb.r && rgb.b > rgb.g + 30; };
    auto red = [](const Rgb& rgb) { return rgb.r > 120 && rgb.r > 2 * rgb.g; };
    constexpr int kWindowPixels = 640 * 480;
    EXPECT_LT(game.Count(0.0f, 0.0f, 1024.0f, 768.0f, blue), kWindowPixels * 3 / 20)
        << "the winner's body fills the lose shot";
    EXPECT_GT(game.Count(0.0f, 0.0f, 1024.0f, 768.0f, red), 1500) << "the fallen player is out of the lose shot";
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 2, 1); }, 3))
        << "the lose menu's second item never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !BattleMenu(game, 2); }));
    EXPECT_TRUE(game.WaitFor([&] { return TitlePicture(game); })) << "the story did not go back to the title";
    ASSERT_TRUE(ReachRing(game)) << "the menu did not come back from the story";

    // The shop (item 4): the rifle, free and so the player's from the
    // start, and the hat, free, bought. The Z that closes the quit menu
    // over the hat's row buys nothing: its row reads "SOLD OUT" (white,
    // right of the name) only after a fresh Z.
    ASSERT_TRUE(TurnRing(game, kStoryItem, kShopItem));
    choose("the shop");
    game.Press("Down");
    game.Press("z");
    game.Screenshot("walk-1-shop-weapons");
    game.Press("Right");
    auto hatSoldOut = [&] {
        return game.Count(190.0f, 156.0f, 262.0f, 174.0f,
                          [](const Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 200; }) > 30;
    };
    ASSERT_TRUE(CloseQuitMenuWithDecide(game, "walk-2-shop-quit-menu"));
    EXPECT_FALSE(hatSoldOut()) << "the Z that closed the quit menu bought the hat";
    game.Press("z");
    EXPECT_TRUE(game.WaitFor(hatSoldOut, nullptr, 10s)) << "a fresh Z did not buy the hat";
    game.Screenshot("walk-2-shop-clothes");
    leave("the shop");

    // The equipment screen (item 7): the first character wears its own hat
    // at first. Z goes from the character to its head slot, to the slot's
    // list, and chooses its first item, the hat worn already, which takes
    // it off; a press a busy machine loses is made again, until the white
    // hat has gone from the fighter's head.
    ASSERT_TRUE(TurnRing(game, kShopItem, kEquipmentItem));
    choose("the equipment screen");
    // The flat white hat on the head's top, 140 to 152 units down: most of a
    // strip across it lit (the background's glow above the head lights a
    // few pixels).
    auto hatOn = [](QorProcess& on) {
        return on.Count(470.0f, 140.0f, 550.0f, 152.0f,
                        [](const Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 210; }) > 200;
    };
    auto hat = [&] { return hatOn(game); };
    EXPECT_TRUE(game.WaitFor(hat)) << "the fighter does not wear its hat";
    game.Screenshot("walk-3-equipment-hat");
    EXPECT_TRUE(game.PressUntil("z", [&] { return !hat(); }, std::chrono::seconds(2), 6))
        << "the hat was not taken off";
    game.Screenshot("walk-3-equipment");
    // The keys reach the default button: down the head's column past the
    // last slot to the back button, right to the default button, which
    // puts the hat back; then back up to the head, whose list takes it off
    // again.
    for (const char* key : {"Down", "Down", "Down", "Right"})
        game.Press(key);
    EXPECT_TRUE(game.PressUntil("z", hat, std::chrono::seconds(2), 2)) << "the keys never pressed DEFAULT";
    game.Screenshot("walk-3-equipment-default");
    for (const char* key : {"Left", "Down", "z"})
        game.Press(key);
    EXPECT_TRUE(game.PressUntil("z", [&] { return !hat(); }, std::chrono::seconds(2), 3))
        << "the hat was not taken off again";
    // Back in the character choice, each arrow goes as the key on its side:
    // the arrow on the right shows the name that Right shows.
    game.Press("x");
    const NameMask first = ReadName(game);
    game.Press("Right");
    const NameMask second = ReadName(game);
    EXPECT_GT(Differences(first, second), 20) << "Right did not change the character";
    game.Press("Left");
    EXPECT_LT(Differences(ReadName(game), first), 10) << "Left did not go back";
    game.Click(kRightArrow.x, kRightArrow.y);
    game.WaitFrames(2);
    game.Screenshot("walk-3-equipment-right-arrow");
    EXPECT_LT(Differences(ReadName(game), second), 10) << "the right arrow went another way than Right";
    // The left arrow by a click with no hold (a touchpad's tap).
    game.QuickClick(kLeftArrow.x, kLeftArrow.y);
    game.WaitFrames(2);
    game.Screenshot("walk-3-equipment-left-arrow-tapped");
    EXPECT_LT(Differences(ReadName(game), first), 10) << "a quick click on the left arrow did not go back";
    leave("the equipment screen");

    // The replay list (item 8): the recorded battle plays; the pause menu's
    // "選択画面に戻る" brings the list back, its back row the menu.
    ASSERT_TRUE(TurnRing(game, kEquipmentItem, kReplayItem));
    choose("the replay list");
    game.Screenshot("walk-4-replay-list");
    ASSERT_TRUE(game.PressUntil("z", [&] { return !TitleBand(game); })) << "the replay list never closed";
    ASSERT_TRUE(game.WaitFor([&] { return BattleHud(game); })) << "the replay never played";
    // Past the intro's fade, the camera key steps from fighter to fighter to
    // the free camera 50 units over the stage, where the weapons once lay
    // over each fighter as white squares. There no fighter is followed: the
    // status panel's character plate gives way to the grey floor. Before the
    // ready call's banners the first two fighters still stand at their
    // start points, 12 units either side of the middle: 160 layout units
    // above and below the screen's centre.
    game.WaitFrames(10);
    auto freeCamera = [&] {
        const Rgb plate = game.At(16.0f, 728.0f);
        return std::abs(plate.r - plate.g) < 30 && std::abs(plate.g - plate.b) < 30 && plate.g > 90;
    };
    // Number pad 8 is up, so back one: from the first fighter, round to
    // the free camera at once.
    game.Press("KP_8", 150);
    ASSERT_TRUE(game.WaitFor(freeCamera, nullptr, std::chrono::seconds(5)))
        << "number pad 8 did not go back from the first fighter to the free camera";
    game.Screenshot("walk-5-replay-free-camera");
    auto white = [](const Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 215; };
    for (const float y : {384.0f - 160.0f, 384.0f + 160.0f})
        EXPECT_LT(game.Count(512.0f - 64.0f, y - 64.0f, 512.0f + 64.0f, y + 64.0f, white), 80)
            << "white over the fighter at " << y;
    // Back one from the free camera: the last fighter, the third, on the
    // ramp's slope; once the battle runs (its pause menu opened and
    // closed), the camera that follows it shows its yellow legs below the
    // screen's centre, not the ramp's brown over them.
    game.Press("KP_8", 150);
    game.WaitFrames(2);
    ASSERT_TRUE(OpenBattlePause(game, 4)) << "the replay never ran";
    ASSERT_TRUE(game.PressUntil("Return", [&] { return !BattleMenu(game, 4); }));
    auto legs = [](const Rgb& rgb) { return rgb.r > 40 && rgb.g * 10 > rgb.r * 6 && rgb.b * 10 < rgb.r * 4; };
    EXPECT_TRUE(game.WaitFor([&] { return game.Count(462.0f, 460.0f, 562.0f, 580.0f, legs) > 150; }, nullptr,
                             std::chrono::seconds(3)))
        << "the fighter on the ramp stands inside it";
    game.Screenshot("walk-5-replay-on-the-ramp");
    ASSERT_TRUE(OpenBattlePause(game, 4)) << "the replay's pause menu never showed";
    game.Screenshot("walk-6-replay-paused");
    // S is down in this menu as in every other: S, then the cursor key down,
    // reach the third item.
    ASSERT_TRUE(game.StepUntil("s", [&] { return BattleMenuLineLit(game, 4, 1); }, 3))
        << "S did not move the replay's pause menu down";
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 4, 2); }, 3))
        << "the replay's pause menu's third item never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !BattleMenu(game, 4); }));
    EXPECT_TRUE(game.WaitFor([&] { return TitleBand(game); })) << "the list did not come back";
    game.WaitFrames(2);
    game.Press("Up");
    EXPECT_TRUE(game.PressUntil("z", [&] { return !TitleBand(game); })) << "the list took no back row";
    EXPECT_TRUE(BackToRing(game)) << "the replay list did not go back to the menu";

    // The tutorial (item 9): its first lessons, then "タイトルに戻る".
    ASSERT_TRUE(TurnRing(game, kReplayItem, kTutorialItem));
    ASSERT_TRUE(ChooseRingItem(game));
    EXPECT_TRUE(game.WaitFor(lessonWindow)) << "no lesson showed";
    game.WaitFrames(2);
    game.Screenshot("walk-7-tutorial");
    ASSERT_TRUE(OpenBattlePause(game, 2)) << "the tutorial's pause menu never showed";
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 2, 1); }, 3))
        << "the tutorial's pause menu's second item never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !BattleMenu(game, 2); }));
    EXPECT_TRUE(game.WaitFor([&] { return TitlePicture(game); })) << "the tutorial did not go back to the title";
    game.WaitFrames(2);
    game.Screenshot("walk-8-title");

    // The title picture leads to the menu; Escape opens the quit menu on
    // "back", W moves up to "quit".
    ASSERT_TRUE(ReachRing(game)) << "the menu did not come back";
    game.Screenshot("walk-9-title-menu");
    game.Press("Escape", 200);
    game.WaitFrames(20);
    game.Press("w", 200);
    game.WaitFrames(2);
    game.Screenshot("walk-10-quit-menu");
    game.Press("z", 200);
    EXPECT_EQ(game.WaitForExit(), 0);

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
    // stays bare (the loading step must not dress it again). Four turns up
    // bring the equipment item to the front.
    QorProcess next(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(next.Started());
    ASSERT_TRUE(next.FindWindow());
    ASSERT_TRUE(ReachRing(next)) << "the menu never showed at the next start";
    ASSERT_TRUE(TurnRing(next, kStoryItem, kEquipmentItem));
    EXPECT_TRUE(ChooseRingItem(next)) << "the equipment screen was not chosen at the next start";
    EXPECT_TRUE(next.WaitFor([&] { return TitleBand(next); })) << "the equipment screen never showed";
    // The fighter's red shirt shows it has been drawn.
    auto shirt = [&] {
        const Rgb rgb = next.At(512.0f, 290.0f);
        return rgb.r > 180 && rgb.g < 120 && rgb.b < 120;
    };
    EXPECT_TRUE(next.WaitFor(shirt)) << "the fighter never showed";
    next.Screenshot("walk-11-equipment-next-start");
    EXPECT_FALSE(hatOn(next)) << "the loading step put the hat back on";
    // Out through the quit menu: Escape, up to its quit row, decide.
    next.Press("Escape", 200);
    next.WaitFrames(20);
    next.Press("Up", 200);
    next.WaitFrames(2);
    next.Press("z", 200);
    EXPECT_EQ(next.WaitForExit(), 0);
    const std::string again = TempFolder::Read(saveFolder / "PlayData.dat");
    SetDefaultPlayData(&data);
    ASSERT_EQ(DecodePlayData(reinterpret_cast<const uint8_t*>(again.data()), again.size(), &data), 1);
    ASSERT_FALSE(data.characters.empty());
    for (const char* slot : data.characters[0].clothes)
        EXPECT_STREQ(slot, "") << "the next start dressed the bare character";
}

// The game's main road offline, played on the real program: from the logo
// through the title's ring to the local battle, over the setup's four pages
// (the player's character chosen with the keys while the pointer rests on
// another one, four seats closed, the battle won at the first point or over
// at 2:30) to a battle of the player against three computers; at its end
// (a face its result shot shows lit as in play)
// "リトライ" plays again, whose pause menu goes back to the title, whose
// ring (back on the local battle) quits. The process must end with 0,
// "PlayRecord.dat" count two more battles, both the chosen character's, and
// the first battle's replay be saved. Screenshots of each page and of the
// battle stay in the test's build folder (qor-local-*.png).
// Xlib's macros (None, Status...) clash with GoogleTest's names: Xlib comes
// last.
#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorScreens.h"

using namespace qortest;

namespace
{
// The battle's time limit: it ends by then at the latest.
constexpr auto kBattleLimit = std::chrono::seconds(150);

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
        game.Press(key);
}
}

TEST(LocalBattleProgram, FromTheLogoToABattleAgainstThreeComputersPlayedTwiceAndBackToTheTitle)
{
    PrivateXServer server("1024x768x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    const std::filesystem::path saveFolder = home.Path() / "CorvaneSystem" / "QOR";
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // The setup's pages, told apart by a pixel each: the solo panel (blue)
    // of the mode page, the members' decide button and the weapons' done
    // button (green), the rules' reset label (teal).
    auto bluePanel = [&](float x, float y) {
        const Rgb panel = game.At(x, y);
        return panel.b > panel.r + 60;
    };
    auto modePage = [&] { return TitleBand(game) && bluePanel(300.0f, 600.0f); };
    auto membersPage = [&] { return Green(game, 518.0f, 660.0f); };
    auto rulesPage = [&] {
        const Rgb reset = game.At(832.0f, 640.0f);
        return TitleBand(game) && reset.b > reset.r + 40 && reset.g > reset.r + 30;
    };
    auto weaponsPage = [&] { return Green(game, 200.0f, 690.0f); };
    // A member panel (its top-left corner in layout units) whose seat is
    // closed: darker than the open ones, whose picture is light blue.
    auto closed = [&](float left, float top) { return game.At(left + 16.0f, top + 208.0f).b < 140; };
    // The members' decide button and the weapons' done button turn blue
    // under the cursor (probed clear of the pointer the game puts on their
    // middle).
    auto blueButton = [&](float x, float y) { return Near(game.At(x, y), 36, 88, 168, 20); };
    // The rules page: the yellow marker left of the row with the cursor (by
    // its label's top); the cursor's yellow frame on a value row's first
    // cell (its top edge, by the row's top), which pulses down to a third
    // over the blue background: redder than blue at its faintest; that
    // cell lit green once stored.
    auto rowMarked = [&](float labelY) { return Near(game.At(32.0f, labelY + 17.0f), 232, 192, 64, 30); };
    auto firstCellFocused = [&](float rowY) {
        const Rgb edge = game.At(316.0f, rowY + 2.0f);
        return edge.r > edge.b + 8;
    };
    auto firstCellStored = [&](float rowY) {
        const Rgb cell = game.At(320.0f, rowY + 8.0f);
        return cell.g > 110 && cell.g > cell.r + 40;
    };
    constexpr float kLimitLabel = 292.0f, kTimeLabel = 340.0f, kNextLabel = 612.0f;
    constexpr float kLimitRow = 296.0f, kTimeRow = 344.0f;

    ASSERT_TRUE(ReachRing(game)) << "the menu never showed";
    ASSERT_TRUE(TurnRing(game, kStoryItem, kLocalBattleItem));
    ASSERT_TRUE(ChooseRingItem(game));
    ASSERT_TRUE(game.WaitFor(modePage)) << "the mode page never showed";
    game.WaitFrames(2);
    game.Screenshot("local-1-mode");
    ASSERT_TRUE(game.PressUntil("z", membersPage)) << "the members page never showed";
    game.WaitFrames(2);

    // The own seat: the pointer rests on the character column between the
    // blocks, on a character further down, while the keys choose the first
    // (down from random) and Z confirms it.
    game.PointAt(512.0f, 420.0f);
    game.WaitFrames(2);
    Keys(game, {"z", "Down"});
    game.Screenshot("local-2-members-editing");
    Keys(game, {"z"});

    // Close the four right-hand seats: each panel opened, its seat turned
    // from the computer to closed, the editing left.
    struct Seat
    {
        const char* move;
        float left;
        float top;
    };
    for (const Seat& seat : {Seat{"Left", 796.0f, 112.0f}, Seat{"Down", 796.0f, 388.0f}, Seat{"Left", 592.0f, 388.0f},
                             Seat{"Up", 592.0f, 112.0f}})
    {
        Keys(game, {seat.move, "z", "Right", "x"});
        ASSERT_TRUE(game.WaitFor([&] { return closed(seat.left, seat.top); }, nullptr, std::chrono::seconds(5)))
            << "the seat at " << seat.left << ", " << seat.top << " did not close";
    }
    // Panel 4 -> the decide button.
    ASSERT_TRUE(game.StepUntil("Left", [&] { return blueButton(462.0f, 622.0f); }, 3))
        << "the decide button never had the cursor";
    game.Screenshot("local-2-members");
    ASSERT_TRUE(game.PressUntil("z", rulesPage)) << "the rules page never showed";
    game.WaitFrames(2);
    // The battle ends at the first point or at 2:30, whichever comes first:
    // the limit's row, its first cell (1), stored; the time limit's row, its
    // first cell (2:30), stored; then up to the next button.
    struct ValueRow
    {
        float label;
        float row;
        const char* name;
    };
    for (const ValueRow& value : {ValueRow{kLimitLabel, kLimitRow, "limit"}, ValueRow{kTimeLabel, kTimeRow, "time limit"}})
    {
        ASSERT_TRUE(game.StepUntil("Down", [&] { return rowMarked(value.label); }, 4))
            << "the " << value.name << " row never had the cursor";
        ASSERT_TRUE(game.StepUntil("Left", [&] { return firstCellFocused(value.row); }, 10))
            << "the " << value.name << " row's first cell never had the cursor";
        ASSERT_TRUE(game.PressUntil("z", [&] { return firstCellStored(value.row); }, std::chrono::seconds(2)))
            << "the " << value.name << " was not set";
    }
    game.Screenshot("local-3-rules");
    ASSERT_TRUE(game.StepUntil("Up", [&] { return rowMarked(kNextLabel); }, 12)) << "the next button never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", weaponsPage)) << "the weapons page never showed";
    game.WaitFrames(2);
    game.Screenshot("local-4-weapons");
    // The preview faces the player with its head below the page's title
    // band (it ends at 102 units): the black visor over the fighter's eyes
    // shows there.
    const int visor = game.Count(600.0f, 104.0f, 740.0f, 230.0f,
                                 [](const Rgb& rgb) { return std::max({rgb.r, rgb.g, rgb.b}) < 45; });
    EXPECT_GT(visor, 40) << "the preview's face is not in view";
    // Its hat too, whole: the hat's top (the first pixel row with a long
    // run of its white, longer than any mote) lies clear below the band,
    // which ends at 104 units.
    float hatTop = -1.0f;
    for (int y = 60; y < 125 && hatTop < 0.0f; ++y)
    {
        const float layoutY = (static_cast<float>(y) + 0.5f) / 0.625f;
        const std::vector<Rgb> row = game.Row(layoutY);
        int run = 0;
        for (size_t x = 350; x < 500 && x < row.size() && run < 16; ++x)
            run = std::min({row[x].r, row[x].g, row[x].b}) > 200 ? run + 1 : 0;
        hatTop = run >= 16 ? layoutY : -1.0f;
    }
    EXPECT_GE(hatTop, 108.0f) << "the preview's hat is cut by the title band (or missing)";
    const uint32_t battlesBefore = CountBattles(saveFolder);
    const uint32_t firstsBefore = CountBattles(saveFolder, 0);
    // Up wraps from the add row to the done button: the loadout the
    // character carries is complete.
    ASSERT_TRUE(game.StepUntil("Up", [&] { return blueButton(140.0f, 660.0f); }, 8))
        << "the done button never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !TitleBand(game); })) << "the setup never ended";
    ASSERT_TRUE(game.WaitFor([&] { return BattleHud(game); })) << "the battle never started";

    // The first battle runs to its end (a picture of it on the way); then
    // "リトライ", the first item of the result menu, plays again and the
    // ended battle's replay is saved.
    const auto battleStart = Clock::now();
    bool pictured = false;
    ASSERT_TRUE(game.WaitFor(
        [&] {
            if (!pictured && Clock::now() - battleStart > std::chrono::seconds(12))
            {
                game.Screenshot("local-5-battle");
                pictured = true;
            }
            return BattleMenu(game, 4);
        },
        nullptr, kBattleLimit + kScreenTimeout))
        << "the first battle did not end with its result menu";
    game.Screenshot("local-6-result");
    // Standing in its pose (not fallen), the player shows above the menu
    // lit as in play: skin the light meets full on reads ((229, 188, 150)),
    // aslant ((184, 151, 123)), not all of it in the shade of the ambient
    // light alone ((126, 103, 87)). A fighter standing in front of the
    // player swings the shot to its side or back: the bowed head then shows
    // a side or its back, lit aslant, its face off the middle or out of
    // sight. Skin is told by its hue from the ramp's brown and the yellow
    // and orange fighters, which lit would pass for lit skin.
    int litSkin = 0;
    const int skin = game.Count(400.0f, 100.0f, 624.0f, 280.0f, [&](const Rgb& rgb) {
        const bool isSkin =
            rgb.r > rgb.b + 30 && rgb.g > rgb.r / 2 && rgb.g * 100 < rgb.r * 92 && rgb.b * 100 > rgb.r * 55;
        litSkin += isSkin && rgb.r >= 160 ? 1 : 0;
        return isSkin;
    });
    EXPECT_TRUE(skin <= 100 || litSkin * 10 >= skin) << "the player's skin is all in shade under the result menu";
    ASSERT_TRUE(game.PressUntil("z", [&] { return HasReplay(saveFolder); })) << "the first battle did not play again";
    // The second battle's pause menu, once its opening call is over: its
    // fifth item goes to the title picture (purple).
    ASSERT_TRUE(OpenBattlePause(game, 5)) << "the second battle's pause menu never showed";
    game.Screenshot("local-7-battle-again");
    ASSERT_TRUE(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, 5, 4); }, 6))
        << "the pause menu's fifth item never had the cursor";
    ASSERT_TRUE(game.PressUntil("z", [&] { return !BattleMenu(game, 5); }));
    ASSERT_TRUE(game.WaitFor([&] { return TitlePicture(game); })) << "the title never came back";
    ASSERT_TRUE(ReachRing(game)) << "the title's menu never came back";
    game.Screenshot("local-8-title");
    // The ring is back on the local battle; two turns up, past the story,
    // bring the quit item.
    EXPECT_TRUE(RingRestsOn(game, kLocalBattleItem)) << "the ring did not come back on the local battle";
    ASSERT_TRUE(TurnRing(game, kLocalBattleItem, kQuitItem));
    ASSERT_TRUE(ChooseRingItem(game));
    EXPECT_EQ(game.WaitForExit(), 0);
    EXPECT_EQ(CountBattles(saveFolder), battlesBefore + 2);
    EXPECT_EQ(CountBattles(saveFolder, 0), firstsBefore + 2) << "the battles were not the chosen character's";
    EXPECT_TRUE(HasReplay(saveFolder));
}

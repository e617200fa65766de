// The online match played on the real program: two games side by side on
// one virtual X server, on 127.0.0.11 and 127.0.0.12, meet in the tests'
// lobby server on 127.0.0.1. Driven by key presses through the X server:
// each goes from the logo through the title's ring to the network item,
// logs in (the password typed), the first makes a room, the second enters
// it, the owner starts, both run the setup's pages together and fight; the
// owner's pause menu takes both back to the room. The room's next battle
// names the guest's player as the first did; the guest then stalls
// (SIGSTOP) until the owner has dropped it, and woken it is back in the
// lobby under the lost-connection notice. The owner, alone in its room,
// closes it.
// The lobby server's lists tell when a step has landed; the screens are
// told apart by a pixel each. Screenshots of both windows stay in the
// test's build folder (qor-net-*.png).
#include <gtest/gtest.h>

#include "tests/game/program/LobbyWalk.h"

using namespace qortest;

namespace
{
constexpr int kOwner = 0;
constexpr int kGuest = 1;
// A room's pause menu has six items; the third takes everybody back to
// the room.
constexpr int kPauseItems = 6;
constexpr int kRoomItem = 2;
// What the owner logs when it drops a guest that sent nothing in time.
constexpr const char* kGuestDropped = "sent nothing in time";
// The HUD's own player's name: its band at the bottom left, in layout
// units, and how far its text may reach in window pixels.
constexpr float kNameTop = 688.0f;
constexpr float kNameBottom = 716.0f;
constexpr size_t kNameColumns = 200;

// The own player's name at the HUD's bottom left, as the window's columns
// where its text is lit: the same name lights the same columns. Empty
// while none shows.
std::vector<int> NameColumns(QorProcess& game)
{
    std::vector<bool> lit;
    for (float y = kNameTop; y < kNameBottom; y += kPixel)
    {
        const std::vector<Rgb> row = game.Row(y);
        lit.resize(std::max(lit.size(), std::min(row.size(), kNameColumns)));
        for (size_t x = 0; x < lit.size() && x < row.size(); ++x)
            lit[x] = lit[x] || (row[x].r >= 230 && row[x].g >= 230 && row[x].b >= 230);
    }
    std::vector<int> columns;
    for (size_t x = 0; x < lit.size(); ++x)
    {
        if (lit[x])
            columns.push_back(static_cast<int>(x));
    }
    return columns;
}

// The name once the HUD has faded in: the same on two looks a few frames
// apart. Empty when it never settles.
std::vector<int> SteadyName(QorProcess& game)
{
    std::vector<int> name;
    game.WaitFor([&] {
        const std::vector<int> first = NameColumns(game);
        game.WaitFrames(3);
        name = NameColumns(game);
        return !name.empty() && name == first;
    });
    return name;
}

// The setup's pages from the owner's start (its question answered here) to
// the battle: both on the mode page, each confirming its own seat on the
// members page, the rules, the loadouts done. Screenshots numbered from
// step on.
void SetupToBattle(GamePair& pair, int step)
{
    QorProcess& owner = pair.Game(kOwner);
    QorProcess& guest = pair.Game(kGuest);
    auto shoot = [&](int page, const char* name) { pair.Shoot(std::to_string(step + page) + "-" + name); };
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return TitleBand(owner); }, std::chrono::seconds(3))))
        << "the owner's setup never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return TitleBand(guest); }))) << "the guest's setup never showed";
    owner.WaitFrames(2);
    shoot(0, "mode");
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return MembersPage(owner); })))
        << "the owner's members page never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return MembersPage(guest); })))
        << "the guest's members page never showed";
    // Each confirms its own seat on the decide button (two to the right of
    // the first panel); once both have, the owner's decide goes on.
    ASSERT_TRUE(pair.Shown(guest.StepUntil("Right", [&] { return DecideLit(guest); }, 4)))
        << "the guest's decide button never had the cursor";
    ASSERT_TRUE(pair.Shown(owner.StepUntil("Right", [&] { return DecideLit(owner); }, 4)))
        << "the owner's decide button never had the cursor";
    shoot(1, "members");
    // The owner's decide goes on once its page shows both seats confirmed.
    // Decide on a seat already confirmed does nothing: a press either game
    // lost is made again.
    const auto bothConfirmed = [&] {
        return RulesPage(owner) || (Confirmed(owner, kOwner) && Confirmed(owner, kGuest));
    };
    ASSERT_TRUE(pair.Shown(owner.WaitFor(bothConfirmed, [&] { Keys(guest, {"z"}); Keys(owner, {"z"}); })))
        << "the seats were never both confirmed";
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return RulesPage(owner); })))
        << "the owner's rules page never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return RulesPage(guest); }))) << "the guest's rules page never showed";
    shoot(2, "rules");
    // Up wraps from the stage to the next button.
    Keys(owner, {"Up"});
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return WeaponsPage(owner); })))
        << "the owner's weapons page never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return WeaponsPage(guest); })))
        << "the guest's weapons page never showed";
    shoot(3, "weapons");
    // Up wraps to the done button (blue under the cursor): the loadouts are
    // complete.
    for (QorProcess* game : {&guest, &owner})
    {
        ASSERT_TRUE(pair.Shown(game->StepUntil("Up", [&] { return DoneLit(*game); }, 8)))
            << "the done button never had the cursor";
        game->Press("z");
    }
    for (QorProcess* game : {&owner, &guest})
        ASSERT_TRUE(pair.Shown(game->WaitFor([&] { return !TitleBand(*game) && !Lobby(*game); })))
            << "the battle never started";
    owner.WaitFrames(5);
    shoot(4, "battle");
}

// The games' error logs go with a failed walk's report.
struct LogsOnFailure
{
    GamePair& pair;
    ~LogsOnFailure() { pair.PrintLogsOnFailure(); }
};
}

TEST(NetworkMatchProgram, TwoGamesMeetInTheLobbyFightARoomBattleAndAreBackInTheLobby)
{
    GamePair pair("net");
    if (!pair.HasDisplay())
        GTEST_SKIP() << "no Xvfb to run the games on";
    const LogsOnFailure logs{pair};
    ASSERT_TRUE(pair.Start()) << pair.Failure();
    QorProcess& owner = pair.Game(kOwner);
    QorProcess& guest = pair.Game(kGuest);
    lobbytest::LobbyTestServer& lobby = pair.Server();

    // The owner makes a room; the guest picks it from the list and enters.
    ASSERT_TRUE(pair.MakeRoom(kOwner, "Arena", 1)) << pair.Failure();
    pair.Shoot("5-room-info");
    ASSERT_TRUE(pair.EnterRoom(kGuest, kFirstRoom, 2)) << pair.Failure();
    pair.Shoot("6-room");

    // The owner starts and confirms: both go through the setup to a battle,
    // where the guest's HUD names its player.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_NO_FATAL_FAILURE(SetupToBattle(pair, 7));
    const std::vector<int> guestName = SteadyName(guest);
    ASSERT_TRUE(pair.Shown(!guestName.empty())) << "the guest's HUD never named its player";

    // The owner's pause menu: everybody back to the room.
    ASSERT_TRUE(pair.ChoosePauseItem(kOwner, kPauseItems, kRoomItem, "12-pause")) << pair.Failure();
    for (int i : {kOwner, kGuest})
        ASSERT_TRUE(pair.Check(pair.Game(i).WaitFor([&] { return Room(pair.Game(i)); }), "the room never came back"))
            << pair.Failure();
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    pair.Shoot("13-room-again");

    // The room's next battle (the start button still has the keys): the
    // guest's player keeps its name.
    Keys(owner, {"z"});
    ASSERT_NO_FATAL_FAILURE(SetupToBattle(pair, 14));
    EXPECT_EQ(SteadyName(guest), guestName) << "the guest's HUD names somebody else";
    pair.Shoot("19-named");

    // The guest stalls (a suspended laptop): the owner drops it and plays
    // on; woken, the guest is back in the lobby under the notice that says
    // why, and any key closes it.
    ASSERT_TRUE(guest.Signal(SIGSTOP));
    const bool dropped = WaitUntil([&] { return owner.Logged(kGuestDropped); });
    ASSERT_TRUE(guest.Signal(SIGCONT));
    ASSERT_TRUE(pair.Check(dropped, "the owner never dropped the stalled guest")) << pair.Failure();
    ASSERT_TRUE(pair.Check(guest.WaitFor([&] { return Notice(guest); }), "the dropped guest was told nothing"))
        << pair.Failure();
    pair.Shoot("20-dropped");
    EXPECT_TRUE(WaitUntil([&] { return lobby.GetRoomMembers(kFirstRoom).size() == 1; }));
    ASSERT_TRUE(pair.Check(guest.PressUntil("z", [&] { return RoomList(guest); }), "the notice never closed"))
        << pair.Failure();
    ASSERT_TRUE(pair.ChoosePauseItem(kOwner, kPauseItems, kRoomItem, "21-pause-alone")) << pair.Failure();
    ASSERT_TRUE(pair.Check(owner.WaitFor([&] { return Room(owner); }), "the owner's room never came back"))
        << pair.Failure();
    pair.Shoot("22-room-alone");

    // The owner closes the room (and confirms): both are in the lobby's
    // lists again.
    ASSERT_TRUE(pair.CloseRoom(kOwner, 0)) << pair.Failure();
    pair.Shoot("23-lobby-again");
    EXPECT_EQ(lobby.GetUserCount(), 2u);
    EXPECT_TRUE(lobby.IsConsistent());
    for (int i : {kOwner, kGuest})
    {
        EXPECT_FALSE(pair.Game(i).Ended());
        EXPECT_TRUE(Lobby(pair.Game(i)));
    }
}

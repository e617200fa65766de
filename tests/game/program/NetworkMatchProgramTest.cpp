// The online match played on the real program: two games side by side on
// one virtual X server, on 127.0.0.11 and 127.0.0.12, meet in the tests'
// lobby server on 127.0.0.1. Driven by key presses through the X server:
// each goes from the logo through the title's ring to the network item,
// logs in (the password typed), the first makes a room, the second enters
// it, the owner starts, both run the setup's pages together and fight; the
// owner's pause menu takes both back to the room. Both battles name each
// player by its login, as the HUD draws it; the guest then stalls
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
    // where each player is named by its login.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(pair.SetupToBattle(kOwner, kGuest, 7)) << pair.Failure();
    ASSERT_TRUE(pair.NamesDrawn(kOwner, kGuest, "11-names")) << pair.Failure();

    // The owner's pause menu: everybody back to the room.
    ASSERT_TRUE(pair.ChoosePauseItem(kOwner, kPauseItems, kRoomItem, "12-pause")) << pair.Failure();
    for (int i : {kOwner, kGuest})
        ASSERT_TRUE(pair.Check(pair.Game(i).WaitFor([&] { return Room(pair.Game(i)); }), "the room never came back"))
            << pair.Failure();
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    pair.Shoot("13-room-again");

    // The room's next battle (the start button still has the keys): the
    // players keep their names.
    Keys(owner, {"z"});
    ASSERT_TRUE(pair.SetupToBattle(kOwner, kGuest, 14)) << pair.Failure();
    EXPECT_TRUE(pair.NamesDrawn(kOwner, kGuest, "19-named")) << pair.Failure();

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

// The online match played on the real program: two games side by side on
// one virtual X server, on 127.0.0.11 and 127.0.0.12, meet in the tests'
// lobby server on 127.0.0.1. Driven by key presses through the X server:
// each goes from the logo through the title's ring to the network item,
// logs in (the password typed), the first makes a room, the second enters
// it, the owner starts, both run the setup's pages together and fight; the
// owner's pause menu takes both back to the room, and the owner closes it.
// The lobby server's lists tell when a step has landed; the screens are
// told apart by a pixel each. Screenshots of both windows stay in the
// test's build folder (qor-net-*.png).
#include <gtest/gtest.h>

#include "tests/game/program/LobbyWalk.h"

using namespace qortest;

TEST(NetworkMatchProgram, TwoGamesMeetInTheLobbyFightARoomBattleAndAreBackInTheLobby)
{
    const char* const names[2] = {"alice", "bob"};
    GamePair pair("net", names);
    if (!pair.HasDisplay())
        GTEST_SKIP() << "no Xvfb to run the games on";
    ASSERT_TRUE(pair.Start()) << pair.Failure();
    QorProcess& owner = pair.Game(0);
    QorProcess& guest = pair.Game(1);
    QorProcess* games[2] = {&owner, &guest};
    lobbytest::LobbyTestServer& lobby = pair.Server();

    // The owner makes a room; the guest picks it from the list and enters.
    ASSERT_TRUE(pair.MakeRoom(0, "Arena", 1)) << pair.Failure();
    pair.Shoot("5-room-info");
    ASSERT_TRUE(pair.EnterRoom(1, kFirstRoom, 2)) << pair.Failure();
    pair.Shoot("6-room");

    // The owner starts and confirms: both go to the setup's mode page.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return TitleBand(owner); }, std::chrono::seconds(3))))
        << "the owner's setup never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return TitleBand(guest); }))) << "the guest's setup never showed";
    owner.WaitFrames(2);
    pair.Shoot("7-mode");
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
    pair.Shoot("8-members");
    // Decide on a seat already confirmed does nothing: a press either game
    // lost is made again.
    bool rules = false;
    for (int round = 0; round < 3 && !rules; ++round)
    {
        Keys(guest, {"z"});
        rules = owner.PressUntil("z", [&] { return RulesPage(owner); }, std::chrono::seconds(4), 3);
    }
    ASSERT_TRUE(pair.Shown(rules)) << "the owner's rules page never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return RulesPage(guest); }))) << "the guest's rules page never showed";
    pair.Shoot("9-rules");
    // Up wraps from the stage to the next button.
    Keys(owner, {"Up"});
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return WeaponsPage(owner); })))
        << "the owner's weapons page never showed";
    ASSERT_TRUE(pair.Shown(guest.WaitFor([&] { return WeaponsPage(guest); })))
        << "the guest's weapons page never showed";
    pair.Shoot("10-weapons");
    // Up wraps to the done button (blue under the cursor): the loadouts are
    // complete.
    for (QorProcess* game : {&guest, &owner})
    {
        ASSERT_TRUE(pair.Shown(game->StepUntil("Up", [&] { return DoneLit(*game); }, 8)))
            << "the done button never had the cursor";
        game->Press("z");
    }
    for (QorProcess* game : games)
        ASSERT_TRUE(pair.Shown(game->WaitFor([&] { return !TitleBand(*game) && !Lobby(*game); })))
            << "the battle never started";
    owner.WaitFrames(5);
    pair.Shoot("11-battle");

    // The owner's pause menu, its third item: everybody back to the room.
    ASSERT_TRUE(pair.Shown(owner.WaitFor([&] { return PauseWindow(owner); },
                                           [&] { owner.Press("Return", kBattleHoldMs); })))
        << "the pause menu never opened";
    ASSERT_TRUE(pair.Shown(owner.StepUntil("Down", [&] { return BattleMenuLineLit(owner, 6, 2); }, 4, kBattleHoldMs)))
        << "the pause menu's third item never had the cursor";
    pair.Shoot("12-pause");
    ASSERT_TRUE(pair.Shown(owner.PressUntil("z", [&] { return !PauseWindow(owner); })));
    for (QorProcess* game : games)
        ASSERT_TRUE(pair.Shown(game->WaitFor([&] { return Room(*game); }))) << "the room never came back";
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    pair.Shoot("13-room-again");

    // The owner closes the room (and confirms): both are in the lobby's
    // lists again.
    ASSERT_TRUE(pair.CloseRoom(0, 0)) << pair.Failure();
    pair.Shoot("14-lobby-again");
    EXPECT_EQ(lobby.GetUserCount(), 2u);
    EXPECT_TRUE(lobby.IsConsistent());
    for (QorProcess* game : games)
    {
        EXPECT_FALSE(game->Ended());
        EXPECT_TRUE(Lobby(*game));
    }
}

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
// Xlib's macros (None, Status...) clash with GoogleTest's names: Xlib comes
// last.
#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/net/lobby/LobbyLoopbackSupport.h"
#include "tests/net/lobby/LobbyTestServer.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorScreens.h"

#include <cstring>

using namespace qortest;

namespace
{
constexpr const char* kLobbyAddress = "127.0.0.1";
constexpr const char* kAddresses[2] = {"127.0.0.11", "127.0.0.12"};
constexpr const char* kNames[2] = {"alice", "bob"};
// The test server numbers its rooms from here.
constexpr uint32_t kFirstRoom = 501;
// Keys in a battle are held at least this long: two games share the
// machine, and a lockstep battle steps only when both peers' input is in.
constexpr int kBattleHoldMs = 900;

void Keys(QorProcess& game, std::initializer_list<const char*> keys, int holdMs = 100)
{
    for (const char* key : keys)
        game.Press(key, holdMs);
}

// Settings of each game's own: its login ID, the port its room listens on,
// and no port mapping (the router's discovery would leave loopback).
void WriteSettings(const std::filesystem::path& saveFolder, const char* loginId, uint16_t ownPort)
{
    tag_TOLQGAMECONFIG config;
    SetDefaultGameConfig(&config);
    config.lobbyPort = ownPort;
    config.upnp = 0;
    std::strncpy(config.loginId, loginId, sizeof(config.loginId) - 1);
    std::filesystem::create_directories(saveFolder);
    const std::vector<uint8_t> bytes = EncodeGameConfig(config);
    TempFolder::Write(saveFolder / "GameConfig.dat", std::string(bytes.begin(), bytes.end()));
}

template <class Condition>
bool WaitUntil(Condition condition)
{
    const auto end = Clock::now() + kScreenTimeout;
    while (Clock::now() < end)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(kLookInterval);
    }
    return false;
}

// Screens by a pixel each, in layout units: the lobby's dark purple
// corner, the setup's pages (their white title band; the members page's
// decide button and the weapons page's done button green, the rules page's
// stage and NPC labels teal), the top edge of the battle's pause window.
bool Lobby(QorProcess& game) { return Near(game.At(8.0f, 8.0f), 33, 16, 49, 10); }
bool MembersPage(QorProcess& game) { return TitleBand(game) && Green(game, 518.0f, 660.0f); }
// The members' decide button lit blue: the keys' cursor is on it.
bool DecideLit(QorProcess& game) { return Near(game.At(462.0f, 622.0f), 36, 88, 168, 20); }
bool RulesPage(QorProcess& game)
{
    return TitleBand(game) && Near(game.At(96.0f, 148.0f), 46, 110, 142, 12) &&
           Near(game.At(96.0f, 587.0f), 46, 110, 142, 12);
}
bool WeaponsPage(QorProcess& game) { return TitleBand(game) && Green(game, 200.0f, 690.0f); }
bool PauseWindow(QorProcess& game)
{
    for (float x : {400.0f, 512.0f, 624.0f})
    {
        if (!Near(game.At(x, 256.0f), 224, 232, 240, 14))
            return false;
    }
    return true;
}
// The lobby's panes, by their lit text: the notice's lines, the login
// page's password row when chosen, the new-room pane's title and its room name row, the
// room information pane's title, the room's chat label (where the lobby's
// room list has a shorter one), the lobby's room list label.
bool Notice(QorProcess& game) { return Lobby(game) && Bright(game, 296.8f, 216.0f, 880.0f) >= 50; }
bool PasswordRow(QorProcess& game)
{
    return Lobby(game) && !Notice(game) && Bright(game, 423.2f, 216.0f, 400.0f) >= 15;
}
bool NewRoomPane(QorProcess& game)
{
    return Bright(game, 160.8f, 424.0f, 600.0f) >= 30 && Bright(game, 157.6f, 128.0f, 280.0f) < 10;
}
bool RoomNameRow(QorProcess& game) { return NewRoomPane(game) && Bright(game, 260.0f, 200.0f, 304.0f) >= 12; }
bool RoomInformation(QorProcess& game) { return Bright(game, 157.6f, 128.0f, 280.0f) >= 30; }
bool Room(QorProcess& game) { return Lobby(game) && Bright(game, 128.8f, 128.0f, 180.0f) >= 6; }
bool RoomList(QorProcess& game)
{
    return Lobby(game) && Bright(game, 128.8f, 48.0f, 125.0f) >= 10 && Bright(game, 128.8f, 128.0f, 180.0f) < 3;
}

void ShootBoth(QorProcess* const* games, const std::string& name)
{
    games[0]->Screenshot("net-" + name + "-owner");
    games[1]->Screenshot("net-" + name + "-guest");
}

// ok, with both windows kept when it is not.
bool Shown(QorProcess* const* games, bool ok)
{
    if (!ok)
        ShootBoth(games, "failed");
    return ok;
}
}

TEST(NetworkMatchProgram, TwoGamesMeetInTheLobbyFightARoomBattleAndAreBackInTheLobby)
{
    PrivateXServer server("1320x600x24", false);
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the games on";
    const uint16_t lobbyPort = lobbytest::FreePortOn({kLobbyAddress, kAddresses[0], kAddresses[1]});
    const uint16_t ownPort = lobbytest::FreePortOn({kAddresses[0], kAddresses[1]});
    ASSERT_NE(lobbyPort, 0);
    ASSERT_NE(ownPort, 0);
    ASSERT_NE(lobbyPort, ownPort);
    lobbytest::LobbyTestServer lobby;
    ASSERT_TRUE(lobby.Start(kLobbyAddress, lobbyPort));
    lobby.RunInThread();

    TempFolder homes[2];
    std::vector<std::unique_ptr<QorProcess>> started;
    for (int i = 0; i < 2; ++i)
    {
        WriteSettings(homes[i].Path() / "CorvaneSystem" / "QOR", kNames[i], ownPort);
        started.push_back(std::make_unique<QorProcess>(
            server.GetDisplay(), homes[i].Path().string(),
            std::vector<std::string>{std::string("KVR_LOBBY_HOST=") + kLobbyAddress,
                                     "KVR_LOBBY_PORT=" + std::to_string(lobbyPort),
                                     std::string("KVR_LOCAL_ADDRESS=") + kAddresses[i]}));
        ASSERT_TRUE(started.back()->Started());
        ASSERT_TRUE(started.back()->FindWindow());
    }
    QorProcess* games[2] = {started[0].get(), started[1].get()};
    QorProcess& owner = *games[0];
    QorProcess& guest = *games[1];
    owner.Move(0, 0);
    guest.Move(660, 0);

    // Each past the loading screen, the logo and the title picture, then
    // the ring's two turns down to the network item, and into the lobby's
    // notice.
    for (QorProcess* game : games)
    {
        ASSERT_TRUE(Shown(games, ReachRing(*game))) << "the ring never showed";
        ASSERT_TRUE(Shown(games, TurnRing(*game, kStoryItem, kNetworkItem))) << "the ring did not turn";
        ASSERT_TRUE(Shown(games, ChooseRingItem(*game)));
    }
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Notice(*game); }))) << "the lobby never showed";
    ShootBoth(games, "1-notice");

    // The notice leads to the connection and the login page, the login ID
    // filled in from the settings: the password typed, then log in.
    for (uint32_t i = 0; i < 2; ++i)
    {
        ASSERT_TRUE(Shown(games, games[i]->PressUntil("z", [&] { return lobby.GetConnectionCount() > i; })))
            << "the game never connected";
    }
    for (QorProcess* game : games)
    {
        // Down again should the page not be up yet.
        ASSERT_TRUE(Shown(games, game->PressUntil("Down", [&] { return PasswordRow(*game); },
                                                  std::chrono::seconds(4), 8)))
            << "the password row was never chosen";
        game->Type("pw");
    }
    ShootBoth(games, "2-login");
    for (uint32_t i = 0; i < 2; ++i)
    {
        games[i]->Press("Down");
        ASSERT_TRUE(Shown(games, games[i]->PressUntil("z", [&] { return lobby.GetUserCount() > i; })))
            << "the game never logged in";
    }
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return RoomList(*game); }))) << "the lobby's list never showed";
    ShootBoth(games, "3-lobby");

    // The owner makes a room: the new-room pane, its name typed.
    Keys(owner, {"Right", "Right", "Right"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return NewRoomPane(owner); })))
        << "the new-room pane never showed";
    ASSERT_TRUE(Shown(games, owner.PressUntil("Down", [&] { return RoomNameRow(owner); })))
        << "the room name row was never chosen";
    owner.Type("Arena");
    ShootBoth(games, "4-new-room");
    Keys(owner, {"Up"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return lobby.GetRoomCount() == 1; })))
        << "the room was never made";
    ASSERT_TRUE(Shown(games, owner.WaitFor([&] { return Room(owner); }))) << "the owner never entered the room";
    // The guest picks the room from the list and enters it.
    ASSERT_TRUE(Shown(games, guest.PressUntil("z", [&] { return RoomInformation(guest); })))
        << "the room's information never showed";
    ShootBoth(games, "5-room-info");
    Keys(guest, {"Left"});
    ASSERT_TRUE(Shown(games, guest.PressUntil("z", [&] { return lobby.GetRoomMembers(kFirstRoom).size() == 2; })))
        << "the guest never entered the room";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return Room(guest); }))) << "the guest's room never showed";
    ShootBoth(games, "6-room");

    // The owner starts and confirms: both go to the setup's mode page.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return TitleBand(owner); }, std::chrono::seconds(3))))
        << "the owner's setup never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return TitleBand(guest); }))) << "the guest's setup never showed";
    owner.WaitFrames(2);
    ShootBoth(games, "7-mode");
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return MembersPage(owner); })))
        << "the owner's members page never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return MembersPage(guest); })))
        << "the guest's members page never showed";
    // Each confirms its own seat on the decide button (two to the right of
    // the first panel); once both have, the owner's decide goes on.
    ASSERT_TRUE(Shown(games, guest.StepUntil("Right", [&] { return DecideLit(guest); }, 4)))
        << "the guest's decide button never had the cursor";
    ASSERT_TRUE(Shown(games, owner.StepUntil("Right", [&] { return DecideLit(owner); }, 4)))
        << "the owner's decide button never had the cursor";
    ShootBoth(games, "8-members");
    // Decide on a seat already confirmed does nothing: a press either game
    // lost is made again.
    bool rules = false;
    for (int round = 0; round < 3 && !rules; ++round)
    {
        Keys(guest, {"z"});
        rules = owner.PressUntil("z", [&] { return RulesPage(owner); }, std::chrono::seconds(4), 3);
    }
    ASSERT_TRUE(Shown(games, rules)) << "the owner's rules page never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return RulesPage(guest); }))) << "the guest's rules page never showed";
    ShootBoth(games, "9-rules");
    // Up wraps from the stage to the next button.
    Keys(owner, {"Up"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return WeaponsPage(owner); })))
        << "the owner's weapons page never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return WeaponsPage(guest); })))
        << "the guest's weapons page never showed";
    ShootBoth(games, "10-weapons");
    // Up wraps to the done button (blue under the cursor): the loadouts are
    // complete.
    for (QorProcess* game : {&guest, &owner})
    {
        ASSERT_TRUE(Shown(games, game->StepUntil("Up", [&] { return Near(game->At(140.0f, 660.0f), 36, 88, 168, 20); }, 8)))
            << "the done button never had the cursor";
        game->Press("z");
    }
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return !TitleBand(*game) && !Lobby(*game); })))
            << "the battle never started";
    owner.WaitFrames(5);
    ShootBoth(games, "11-battle");

    // The owner's pause menu, its third item: everybody back to the room.
    ASSERT_TRUE(Shown(games, owner.WaitFor([&] { return PauseWindow(owner); },
                                           [&] { owner.Press("Return", kBattleHoldMs); })))
        << "the pause menu never opened";
    ASSERT_TRUE(Shown(games, owner.StepUntil("Down", [&] { return BattleMenuLineLit(owner, 6, 2); }, 4, kBattleHoldMs)))
        << "the pause menu's third item never had the cursor";
    ShootBoth(games, "12-pause");
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return !PauseWindow(owner); })));
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Room(*game); }))) << "the room never came back";
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    ShootBoth(games, "13-room-again");

    // The owner closes the room (and confirms): both are in the lobby's
    // lists again.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return lobby.GetRoomCount() == 0; }, std::chrono::seconds(3))))
        << "the room was never closed";
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return RoomList(*game); }))) << "the lobby's list never came back";
    ShootBoth(games, "14-lobby-again");
    EXPECT_EQ(lobby.GetUserCount(), 2u);
    EXPECT_TRUE(lobby.IsConsistent());
    for (QorProcess* game : games)
    {
        EXPECT_FALSE(game->Ended());
        EXPECT_TRUE(Lobby(*game));
    }
    lobby.Stop();
}

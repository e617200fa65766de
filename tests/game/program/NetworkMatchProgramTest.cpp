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
#include "tests/game/program/QorProcess.h"

#include <cstring>

using namespace qortest;

namespace
{
constexpr const char* kLobbyAddress = "127.0.0.1";
constexpr const char* kAddresses[2] = {"127.0.0.11", "127.0.0.12"};
constexpr const char* kNames[2] = {"alice", "bob"};
// The test server numbers its rooms from here.
constexpr uint32_t kFirstRoom = 501;
// Keys are held this long: two games share the machine, and a frame must
// see each key down. A battle's frames are slower still.
constexpr int kHoldMs = 200;
constexpr int kBattleHoldMs = 900;
// A battle's opening (the fade and the ready-go call) with some to spare.
constexpr int kOpeningMs = 9000;

void Pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Keys(QorProcess& game, std::initializer_list<const char*> keys, int holdMs = kHoldMs)
{
    game.Focus();
    for (const char* key : keys)
    {
        game.Press(key, holdMs);
        Pause(300);
    }
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
        Pause(200);
    }
    return false;
}

// Screens by a pixel each, in layout units: the loading screen's full bar,
// the logo's white, the title
// picture's purple corner, the ring's
// corner logo (red over blue), the lobby's dark purple corner, the setup's
// white title band, the members page's decide button and the weapons page's
// done button (green), the rules page's stage and NPC labels (teal), the top edge of
// the battle's pause window.
bool Loaded(QorProcess& game)
{
    return Near(game.At(480.0f, 688.0f), 255, 255, 255, 6) && Near(game.At(720.0f, 688.0f), 255, 255, 255, 6);
}
bool Logo(QorProcess& game) { return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6); }
bool TitlePicture(QorProcess& game)
{
    const Rgb corner = game.At(8.0f, 8.0f);
    return corner.b > corner.g + 30 && corner.r > corner.g;
}
bool Ring(QorProcess& game)
{
    const Rgb corner = game.At(740.0f, 170.0f);
    return corner.r > corner.b + 40;
}
bool Lobby(QorProcess& game) { return Near(game.At(8.0f, 8.0f), 33, 16, 49, 10); }
bool SetupBand(QorProcess& game) { return Near(game.At(100.0f, 56.0f), 255, 255, 255, 6); }
bool Green(QorProcess& game, float x, float y)
{
    const Rgb button = game.At(x, y);
    return button.g > button.r + 30 && button.g > button.b + 30;
}
bool MembersPage(QorProcess& game) { return SetupBand(game) && Green(game, 518.0f, 660.0f); }
bool RulesPage(QorProcess& game)
{
    return SetupBand(game) && Near(game.At(96.0f, 148.0f), 46, 110, 142, 12) &&
           Near(game.At(96.0f, 587.0f), 46, 110, 142, 12);
}
bool WeaponsPage(QorProcess& game) { return SetupBand(game) && Green(game, 200.0f, 690.0f); }
bool PauseWindow(QorProcess& game)
{
    for (float x : {400.0f, 512.0f, 624.0f})
    {
        if (!Near(game.At(x, 256.0f), 224, 232, 240, 14))
            return false;
    }
    return true;
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

    // Each past the loading screen, the logo and the title picture, then the ring's two turns
    // down to the network item, and into the lobby's notice.
    for (QorProcess* game : games)
    {
        // Decide only where it skips a picture: once the ring is up, it would
        // choose the story.
        auto z = [&] {
            if (!Loaded(*game) && !Logo(*game) && !TitlePicture(*game))
                return;
            Keys(*game, {"z"});
            Pause(1500);
        };
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Ring(*game); }, z))) << "the ring never showed";
        Pause(800);
        Keys(*game, {"Down"});
        Pause(450);
        Keys(*game, {"Down"});
        Pause(450);
        Keys(*game, {"z"});
    }
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Lobby(*game); }))) << "the lobby never showed";
    Pause(1500);
    ShootBoth(games, "1-notice");

    // The notice leads to the connection and the login page, the login ID
    // filled in from the settings: the password typed, then log in.
    for (QorProcess* game : games)
        Keys(*game, {"z"});
    ASSERT_TRUE(Shown(games, WaitUntil([&] { return lobby.GetConnectionCount() == 2; }))) << "the games never connected";
    Pause(2000);
    for (QorProcess* game : games)
    {
        Keys(*game, {"Down"});
        game->Type("pw");
        Pause(300);
    }
    ShootBoth(games, "2-login");
    for (QorProcess* game : games)
        Keys(*game, {"Down", "z"});
    ASSERT_TRUE(Shown(games, WaitUntil([&] { return lobby.GetUserCount() == 2; }))) << "the games never logged in";
    Pause(1500);
    ShootBoth(games, "3-lobby");

    // The owner makes a room: the new-room pane, its name typed.
    Keys(owner, {"Right", "Right", "Right", "z"});
    Pause(800);
    Keys(owner, {"Down"});
    owner.Type("Arena");
    Pause(300);
    ShootBoth(games, "4-new-room");
    Keys(owner, {"Up", "z"});
    ASSERT_TRUE(Shown(games, WaitUntil([&] { return lobby.GetRoomCount() == 1; }))) << "the room was never made";
    Pause(1500);
    // The guest picks the room from the list and enters it.
    Keys(guest, {"z"});
    Pause(1000);
    ShootBoth(games, "5-room-info");
    Keys(guest, {"Left", "z"});
    ASSERT_TRUE(Shown(games, WaitUntil([&] { return lobby.GetRoomMembers(kFirstRoom).size() == 2; })))
        << "the guest never entered the room";
    Pause(2000);
    ShootBoth(games, "6-room");

    // The owner starts (and confirms): both go to the setup's mode page.
    Keys(owner, {"Right", "Right", "z"});
    Pause(800);
    Keys(owner, {"z"});
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return SetupBand(*game); }))) << "the setup never showed";
    Pause(1500);
    ShootBoth(games, "7-mode");
    Keys(owner, {"z"});
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return MembersPage(*game); }))) << "the members page never showed";
    Pause(1000);
    // Each confirms its own seat on the decide button (two to the right of
    // the first panel); once both have, the owner goes on.
    Keys(guest, {"Right", "Right", "z"});
    Pause(1500);
    Keys(owner, {"Right", "Right", "z"});
    Pause(2000);
    ShootBoth(games, "8-members");
    Keys(owner, {"z"});
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return RulesPage(*game); }))) << "the rules page never showed";
    Pause(1000);
    ShootBoth(games, "9-rules");
    // Up wraps from the stage to the next button.
    Keys(owner, {"Up", "z"});
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return WeaponsPage(*game); }))) << "the weapons page never showed";
    Pause(1000);
    ShootBoth(games, "10-weapons");
    // Up wraps to the done button: the loadouts are complete.
    Keys(guest, {"Up", "z"});
    Keys(owner, {"Up", "z"});
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return !SetupBand(*game) && !Lobby(*game); }))) << "the battle never started";
    Pause(kOpeningMs);
    ShootBoth(games, "11-battle");

    // The owner's pause menu, its third item: everybody back to the room.
    ASSERT_TRUE(Shown(games, owner.WaitFor([&] { return PauseWindow(owner); }, [&] { Keys(owner, {"Return"}, kBattleHoldMs); })))
        << "the pause menu never opened";
    Keys(owner, {"Down", "Down"}, kBattleHoldMs);
    ShootBoth(games, "12-pause");
    Keys(owner, {"z"}, kBattleHoldMs);
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Lobby(*game); }))) << "the room never came back";
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    Pause(2000);
    ShootBoth(games, "13-room-again");

    // The owner closes the room: both are in the lobby's lists again.
    Keys(owner, {"Right", "Right", "z"});
    Pause(800);
    Keys(owner, {"z"});
    ASSERT_TRUE(Shown(games, WaitUntil([&] { return lobby.GetRoomCount() == 0; }))) << "the room was never closed";
    Pause(2000);
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

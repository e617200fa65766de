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
// What the owner logs when it drops a guest that sent nothing in time.
constexpr const char* kGuestDropped = "sent nothing in time";
// The HUD's own player's name: its band at the bottom left, in layout
// units, and how far its text may reach in window pixels; a window pixel
// is 1.6 layout units.
constexpr float kNameTop = 688.0f;
constexpr float kNameBottom = 716.0f;
constexpr size_t kNameColumns = 200;
constexpr float kPixel = 1.6f;
// The first line of a lobby notice, in layout units.
constexpr float kNoticeLineTop = 284.0f;
constexpr float kNoticeLineBottom = 306.0f;

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
bool Notice(QorProcess& game)
{
    if (!Lobby(game))
        return false;
    // The first line's brightest row: the strokes differ from text to text.
    int most = 0;
    for (float y = kNoticeLineTop; y < kNoticeLineBottom; y += kPixel)
        most = std::max(most, Bright(game, y, 216.0f, 880.0f));
    return most >= 50;
}
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
void SetupToBattle(QorProcess* const* games, int step)
{
    QorProcess& owner = *games[0];
    QorProcess& guest = *games[1];
    auto shoot = [&](int page, const char* name) { ShootBoth(games, std::to_string(step + page) + "-" + name); };
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return TitleBand(owner); }, std::chrono::seconds(3))))
        << "the owner's setup never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return TitleBand(guest); }))) << "the guest's setup never showed";
    owner.WaitFrames(2);
    shoot(0, "mode");
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
    shoot(1, "members");
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
    shoot(2, "rules");
    // Up wraps from the stage to the next button.
    Keys(owner, {"Up"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return WeaponsPage(owner); })))
        << "the owner's weapons page never showed";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return WeaponsPage(guest); })))
        << "the guest's weapons page never showed";
    shoot(3, "weapons");
    // Up wraps to the done button (blue under the cursor): the loadouts are
    // complete.
    for (QorProcess* game : {&guest, &owner})
    {
        ASSERT_TRUE(Shown(games, game->StepUntil("Up", [&] { return Near(game->At(140.0f, 660.0f), 36, 88, 168, 20); }, 8)))
            << "the done button never had the cursor";
        game->Press("z");
    }
    for (QorProcess* game : {&owner, &guest})
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return !TitleBand(*game) && !Lobby(*game); })))
            << "the battle never started";
    owner.WaitFrames(5);
    shoot(4, "battle");
}

// The owner's pause menu, its third item ("ロビーに戻る"): back to the room.
void OwnerBackToTheRoom(QorProcess* const* games, const char* shot)
{
    QorProcess& owner = *games[0];
    ASSERT_TRUE(Shown(games, owner.WaitFor([&] { return PauseWindow(owner); },
                                           [&] { owner.Press("Return", kBattleHoldMs); })))
        << "the pause menu never opened";
    ASSERT_TRUE(Shown(games, owner.StepUntil("Down", [&] { return BattleMenuLineLit(owner, 6, 2); }, 4, kBattleHoldMs)))
        << "the pause menu's third item never had the cursor";
    ShootBoth(games, shot);
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return !PauseWindow(owner); })));
}

// The games' error logs go with a failed walk's report.
struct LogsOnFailure
{
    QorProcess* const* games;
    ~LogsOnFailure()
    {
        if (!::testing::Test::HasFailure())
            return;
        for (int i = 0; i < 2; ++i)
            std::printf("[%s's log]\n%s\n", kNames[i], games[i]->ErrorLog().c_str());
    }
};
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
                                     std::string("KVR_LOCAL_ADDRESS=") + kAddresses[i]},
            (homes[i].Path() / "errors.txt").string()));
        ASSERT_TRUE(started.back()->Started());
        ASSERT_TRUE(started.back()->FindWindow());
    }
    QorProcess* games[2] = {started[0].get(), started[1].get()};
    const LogsOnFailure logs{games};
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

    // The owner starts and confirms: both go through the setup to a battle.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_NO_FATAL_FAILURE(SetupToBattle(games, 7));
    // The guest's HUD names its player.
    const std::vector<int> guestName = SteadyName(guest);
    ASSERT_TRUE(Shown(games, !guestName.empty())) << "the guest's HUD never named its player";

    // The owner's pause menu, its third item: everybody back to the room.
    ASSERT_NO_FATAL_FAILURE(OwnerBackToTheRoom(games, "12-pause"));
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return Room(*game); }))) << "the room never came back";
    EXPECT_EQ(lobby.GetRoomMembers(kFirstRoom).size(), 2u);
    ShootBoth(games, "13-room-again");

    // The room's next battle (the start button still has the cursor): the
    // guest's player keeps its name.
    Keys(owner, {"z"});
    ASSERT_NO_FATAL_FAILURE(SetupToBattle(games, 14));
    EXPECT_EQ(SteadyName(guest), guestName) << "the guest's HUD names somebody else";
    ShootBoth(games, "18-named");

    // The guest stalls (a suspended laptop): the owner drops it and plays
    // on; woken, the guest is back in the lobby under the notice that says
    // why, and any key closes it.
    ASSERT_TRUE(guest.Signal(SIGSTOP));
    const bool dropped = owner.WaitFor([&] { return owner.Logged(kGuestDropped); });
    ASSERT_TRUE(guest.Signal(SIGCONT));
    ASSERT_TRUE(Shown(games, dropped)) << "the owner never dropped the stalled guest";
    ASSERT_TRUE(Shown(games, guest.WaitFor([&] { return Notice(guest); }))) << "the dropped guest was told nothing";
    ShootBoth(games, "19-dropped");
    EXPECT_TRUE(WaitUntil([&] { return lobby.GetRoomMembers(kFirstRoom).size() == 1; }));
    ASSERT_TRUE(Shown(games, guest.PressUntil("z", [&] { return RoomList(guest); }))) << "the notice never closed";
    ASSERT_NO_FATAL_FAILURE(OwnerBackToTheRoom(games, "20-pause-alone"));
    ASSERT_TRUE(Shown(games, owner.WaitFor([&] { return Room(owner); }))) << "the owner's room never came back";
    ShootBoth(games, "21-room-alone");

    // The owner closes the room (and confirms): both are in the lobby's
    // lists again.
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(Shown(games, owner.PressUntil("z", [&] { return lobby.GetRoomCount() == 0; }, std::chrono::seconds(3))))
        << "the room was never closed";
    for (QorProcess* game : games)
        ASSERT_TRUE(Shown(games, game->WaitFor([&] { return RoomList(*game); }))) << "the lobby's list never came back";
    ShootBoth(games, "22-lobby-again");
    EXPECT_EQ(lobby.GetUserCount(), 2u);
    EXPECT_TRUE(lobby.IsConsistent());
    for (QorProcess* game : games)
    {
        EXPECT_FALSE(game->Ended());
        EXPECT_TRUE(Lobby(*game));
    }
    lobby.Stop();
}

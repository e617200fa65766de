#pragma once

// Two real games side by side on one virtual X server, on 127.0.0.11 and
// 127.0.0.12, that meet in the tests' lobby server on 127.0.0.1, and the
// walks every online test takes with them: from the logo into the lobby's
// lists, making, entering and closing a room. Driven by key presses
// through the X server; the lobby server's lists tell when a step has
// landed, and the screens are told apart by a pixel each. Each step that
// fails keeps both windows (qor-<prefix>-failed-<n>-*.png) and says which step
// it was; each game's standard error goes to a file, for the walk to wait on
// what it logs and for a failed test's report.
// Xlib's macros (None, Status...) clash with GoogleTest's names: Xlib comes
// last, through QorScreens.h.

#include <gtest/gtest.h>

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/net/lobby/LobbyLoopbackSupport.h"
#include "tests/net/lobby/LobbyTestServer.h"
#include "tests/game/program/HudNames.h"
#include "tests/game/program/QorScreens.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qortest
{
constexpr const char* kLobbyAddress = "127.0.0.1";
constexpr const char* kGameAddresses[2] = {"127.0.0.11", "127.0.0.12"};
// The games' login IDs, the first's first.
constexpr const char* kLoginIds[2] = {"alice", "bob"};
// The test server numbers its rooms from here.
constexpr uint32_t kFirstRoom = 501;
// Keys in a battle are held at least this long: two games share the
// machine, and a lockstep battle steps only when both peers' input is in.
constexpr int kBattleHoldMs = 900;
// A window pixel in layout units.
constexpr float kPixel = 1.6f;
// The first line of a lobby notice, in layout units.
constexpr float kNoticeLineTop = 284.0f;
constexpr float kNoticeLineBottom = 306.0f;

inline void Keys(QorProcess& game, std::initializer_list<const char*> keys, int holdMs = 100)
{
    for (const char* key : keys)
        game.Press(key, holdMs);
}

// Settings of each game's own: its login ID, the port its room listens on,
// and no port mapping (the router's discovery would leave loopback).
inline void WriteSettings(const std::filesystem::path& saveFolder, const char* loginId, uint16_t ownPort)
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
// stage and NPC labels teal).
inline bool Lobby(QorProcess& game) { return Near(game.At(8.0f, 8.0f), 33, 16, 49, 10); }
inline bool MembersPage(QorProcess& game) { return TitleBand(game) && Green(game, 518.0f, 660.0f); }
// The members' decide button lit blue: the keys' cursor is on it.
inline bool DecideLit(QorProcess& game) { return Near(game.At(462.0f, 622.0f), 36, 88, 168, 20); }
// Where each player's seat lies on the members page: the first (a room's
// owner, a match's host) top left, the next beside it.
constexpr float kPanelTopLeft[2][2] = {{24.0f, 112.0f}, {232.0f, 112.0f}};
// A seat's panel marked "OK!" (a green cell): its player has confirmed it.
inline bool Confirmed(QorProcess& game, int panel)
{
    return Green(game, kPanelTopLeft[panel][0] + 12.0f, kPanelTopLeft[panel][1] + 176.0f);
}
inline bool RulesPage(QorProcess& game)
{
    return TitleBand(game) && Near(game.At(96.0f, 148.0f), 46, 110, 142, 12) &&
           Near(game.At(96.0f, 587.0f), 46, 110, 142, 12);
}
inline bool WeaponsPage(QorProcess& game) { return TitleBand(game) && Green(game, 200.0f, 690.0f); }
// The weapons page's done button lit blue under the cursor: the loadout is
// complete.
inline bool DoneLit(QorProcess& game) { return Near(game.At(140.0f, 660.0f), 36, 88, 168, 20); }

// Pixels of the text's rectangle that the window shows otherwise than the
// text (its glyphs lit, their outline dark); -1 without a window.
inline int Mismatches(QorProcess& game, const DrawnText& text)
{
    int mismatches = 0;
    for (int row = 0; row < text.height; ++row)
    {
        const std::vector<Rgb> pixels = game.Row((static_cast<float>(text.top + row) + 0.5f) / 0.625f);
        if (pixels.empty())
            return -1;
        for (int column = 0; column < text.width; ++column)
        {
            const DrawnText::Pixel expected = text.pixels[static_cast<size_t>(row * text.width + column)];
            const size_t x = static_cast<size_t>(text.left + column);
            if (expected == DrawnText::BEHIND || x >= pixels.size())
                continue;
            const bool lit = LitText(pixels[x].r, pixels[x].g, pixels[x].b);
            mismatches += lit != (expected == DrawnText::LIT) ? 1 : 0;
        }
    }
    return mismatches;
}

// The window shows the text where the HUD draws it: but for a few pixels of
// the glyphs' edges, those lit and no others.
inline bool ShowsText(QorProcess& game, const DrawnText& text)
{
    const int mismatches = Mismatches(game, text);
    return text.LitCount() > 0 && mismatches >= 0 && mismatches * 10 <= text.LitCount();
}

// The lobby's panes, by their lit text: the notice's lines, the login
// page's password row when chosen, an editor's title (the new room's, the
// random match's) and the new room's name row, the room information pane's
// title, the room's chat label (where the lobby's room list has a shorter
// one), the lobby's room list label.
inline bool Notice(QorProcess& game)
{
    if (!Lobby(game))
        return false;
    // The first line's brightest row: the strokes differ from text to text.
    int most = 0;
    for (float y = kNoticeLineTop; y < kNoticeLineBottom; y += kPixel)
        most = std::max(most, Bright(game, y, 216.0f, 880.0f));
    return most >= 50;
}
inline bool PasswordRow(QorProcess& game)
{
    return Lobby(game) && !Notice(game) && Bright(game, 423.2f, 216.0f, 400.0f) >= 15;
}
inline bool EditorPane(QorProcess& game)
{
    return Bright(game, 160.8f, 424.0f, 600.0f) >= 30 && Bright(game, 157.6f, 128.0f, 280.0f) < 10;
}
inline bool RoomNameRow(QorProcess& game) { return EditorPane(game) && Bright(game, 260.0f, 200.0f, 304.0f) >= 12; }
inline bool RoomInformation(QorProcess& game) { return Bright(game, 157.6f, 128.0f, 280.0f) >= 30; }
inline bool Room(QorProcess& game) { return Lobby(game) && Bright(game, 128.8f, 128.0f, 180.0f) >= 6; }
inline bool RoomList(QorProcess& game)
{
    return Lobby(game) && Bright(game, 128.8f, 48.0f, 125.0f) >= 10 && Bright(game, 128.8f, 128.0f, 180.0f) < 3;
}
// Where the keys are in the lobby and the room: the room list's lit left
// edge; the buttons along the bottom, lit white (the new room's and the
// random match's in the lobby, the owner's close button in the room).
constexpr float kButtonRowY = 731.2f;
inline bool RoomListFocused(QorProcess& game) { return Near(game.At(38.5f, 400.0f), 254, 254, 255, 10); }
inline bool NewRoomFocused(QorProcess& game) { return Bright(game, kButtonRowY, 214.0f, 456.0f) >= 20; }
inline bool RandomMatchFocused(QorProcess& game) { return Bright(game, kButtonRowY, 552.0f, 824.0f) >= 20; }
inline bool CloseRoomFocused(QorProcess& game) { return Bright(game, kButtonRowY, 736.0f, 976.0f) >= 20; }
// The lobby's (or the room's) panes turn with Right: round to the one
// focused() tells.
inline bool FocusPane(QorProcess& game, bool (*focused)(QorProcess&))
{
    return game.StepUntil("Right", [&] { return focused(game); }, 6);
}

// The lobby server and the two games, started in the lobby's lists. Each
// step returns false once it fails, with Failure() naming it.
class GamePair
{
public:
    // shots: the screenshots' prefix.
    explicit GamePair(const std::string& shots) : m_shots(shots) {}
    ~GamePair()
    {
        m_games.clear();
        m_lobby.Stop();
    }

    // False without an X server to run the games on (the test skips).
    bool HasDisplay() const { return !m_x.GetDisplay().empty(); }

    // The server, both games, and each from the logo through the title's
    // ring and the login into the lobby's lists, the first in first.
    bool Start()
    {
        m_lobbyPort = lobbytest::FreePortOn({kLobbyAddress, kGameAddresses[0], kGameAddresses[1]});
        const uint16_t lobbyPort = m_lobbyPort;
        const uint16_t ownPort = lobbytest::FreePortOn({kGameAddresses[0], kGameAddresses[1]});
        if (!Check(lobbyPort != 0 && ownPort != 0 && lobbyPort != ownPort, "no free ports") ||
            !Check(m_lobby.Start(kLobbyAddress, lobbyPort), "the lobby server did not start"))
            return false;
        m_lobby.RunInThread();
        for (int i = 0; i < 2; ++i)
        {
            WriteSettings(m_homes[i].Path() / "CorvaneSystem" / "QOR", kLoginIds[i], ownPort);
            m_games.push_back(std::make_unique<QorProcess>(
                m_x.GetDisplay(), m_homes[i].Path().string(),
                std::vector<std::string>{std::string("KVR_LOBBY_HOST=") + kLobbyAddress,
                                         "KVR_LOBBY_PORT=" + std::to_string(lobbyPort),
                                         std::string("KVR_LOCAL_ADDRESS=") + kGameAddresses[i]},
                (m_homes[i].Path() / "errors.txt").string()));
            if (!Check(m_games.back()->Started() && m_games.back()->FindWindow(), "a game did not start"))
                return false;
        }
        Game(0).Move(0, 0);
        Game(1).Move(660, 0);
        return IntoTheLobby();
    }

    QorProcess& Game(int i) { return *m_games[static_cast<size_t>(i)]; }
    lobbytest::LobbyTestServer& Server() { return m_lobby; }
    uint16_t LobbyPort() const { return m_lobbyPort; }
    const std::string& Failure() const { return m_failure; }

    void Shoot(const std::string& name)
    {
        for (int i = 0; i < 2 && static_cast<size_t>(i) < m_games.size(); ++i)
            Game(i).Screenshot(m_shots + "-" + name + "-" + kLoginIds[i]);
    }

    // ok; when it is not, the step's name is kept and both windows shot.
    bool Check(bool ok, const std::string& step)
    {
        if (ok)
            return true;
        if (m_failure.empty())
            m_failure = step;
        Shoot("failed-" + std::to_string(++m_failures));
        return false;
    }

    // ok; when it is not, both windows shot (the caller names the step).
    bool Shown(bool ok) { return Check(ok, "a step of the test's own"); }

    // The owner makes a room named name: the new-room pane, its name typed.
    bool MakeRoom(int owner, const char* name, size_t rooms)
    {
        QorProcess& game = Game(owner);
        if (!Check(FocusPane(game, NewRoomFocused), "the new-room button never had the keys") ||
            !Check(game.PressUntil("z", [&] { return EditorPane(game); }), "the new-room pane never showed") ||
            !Check(game.PressUntil("Down", [&] { return RoomNameRow(game); }), "the room name row was never chosen"))
            return false;
        game.Type(name);
        Keys(game, {"Up"});
        return Check(game.PressUntil("z", [&] { return m_lobby.GetRoomCount() == rooms; }),
                     "the room was never made") &&
               Check(game.WaitFor([&] { return Room(game); }), "the owner never entered the room");
    }

    // The guest picks the first room of the list and enters it.
    bool EnterRoom(int guest, uint32_t room, size_t members)
    {
        QorProcess& game = Game(guest);
        if (!Check(FocusPane(game, RoomListFocused), "the room list never had the keys") ||
            !Check(game.PressUntil("z", [&] { return RoomInformation(game); }), "the room's information never showed"))
            return false;
        Keys(game, {"Left"});
        return Check(game.PressUntil("z", [&] { return m_lobby.GetRoomMembers(room).size() == members; }),
                     "the guest never entered the room") &&
               Check(game.WaitFor([&] { return Room(game); }), "the guest's room never showed");
    }

    // The owner closes its room (and confirms): both are in the lobby's
    // lists again.
    bool CloseRoom(int owner, size_t roomsLeft)
    {
        QorProcess& game = Game(owner);
        if (!Check(FocusPane(game, CloseRoomFocused), "the close button never had the keys"))
            return false;
        Keys(game, {"z"});
        if (!Check(game.PressUntil("z", [&] { return m_lobby.GetRoomCount() == roomsLeft; }, std::chrono::seconds(3)),
                   "the room was never closed"))
            return false;
        return BackInTheLobby();
    }

    // The setup's pages from the owner's start (its question answered here)
    // to the battle: both on the mode page, each confirming its own seat on
    // the members page, the rules, the loadouts done. Screenshots numbered
    // from step on.
    bool SetupToBattle(int ownerIndex, int guestIndex, int step)
    {
        QorProcess& owner = Game(ownerIndex);
        QorProcess& guest = Game(guestIndex);
        auto shoot = [&](int page, const char* name) { Shoot(std::to_string(step + page) + "-" + name); };
        if (!Check(owner.PressUntil("z", [&] { return TitleBand(owner); }, std::chrono::seconds(3)),
                   "the owner's setup never showed") ||
            !Check(guest.WaitFor([&] { return TitleBand(guest); }), "the guest's setup never showed"))
            return false;
        owner.WaitFrames(2);
        shoot(0, "mode");
        if (!Check(owner.PressUntil("z", [&] { return MembersPage(owner); }),
                   "the owner's members page never showed") ||
            !Check(guest.WaitFor([&] { return MembersPage(guest); }), "the guest's members page never showed"))
            return false;
        // Each confirms its own seat on the decide button (two to the right
        // of the first panel); once both have, the owner's decide goes on.
        if (!Check(guest.StepUntil("Right", [&] { return DecideLit(guest); }, 4),
                   "the guest's decide button never had the cursor") ||
            !Check(owner.StepUntil("Right", [&] { return DecideLit(owner); }, 4),
                   "the owner's decide button never had the cursor"))
            return false;
        shoot(1, "members");
        // The owner's page shows both seats confirmed (the owner's first, the
        // guest's beside it). Decide on a seat already confirmed does
        // nothing: a press either game lost is made again.
        const auto bothConfirmed = [&] { return RulesPage(owner) || (Confirmed(owner, 0) && Confirmed(owner, 1)); };
        if (!Check(owner.WaitFor(bothConfirmed, [&] { Keys(guest, {"z"}); Keys(owner, {"z"}); }),
                   "the seats were never both confirmed") ||
            !Check(owner.PressUntil("z", [&] { return RulesPage(owner); }), "the owner's rules page never showed") ||
            !Check(guest.WaitFor([&] { return RulesPage(guest); }), "the guest's rules page never showed"))
            return false;
        shoot(2, "rules");
        // Up wraps from the stage to the next button.
        Keys(owner, {"Up"});
        if (!Check(owner.PressUntil("z", [&] { return WeaponsPage(owner); }),
                   "the owner's weapons page never showed") ||
            !Check(guest.WaitFor([&] { return WeaponsPage(guest); }), "the guest's weapons page never showed"))
            return false;
        shoot(3, "weapons");
        // Up wraps to the done button (blue under the cursor): the loadouts
        // are complete.
        for (QorProcess* game : {&guest, &owner})
        {
            if (!Check(game->StepUntil("Up", [&] { return DoneLit(*game); }, 8),
                       "the done button never had the cursor"))
                return false;
            game->Press("z");
        }
        for (QorProcess* game : {&owner, &guest})
        {
            if (!Check(game->WaitFor([&] { return BattleHud(*game); }), "the battle never started"))
                return false;
        }
        owner.WaitFrames(5);
        shoot(4, "battle");
        return true;
    }

    // Each player's own name at the bottom left of its battle's HUD, and
    // both in seat order (the room's owner first) in the participant list,
    // held open by its key, on each side: each player is named by its
    // login, as the HUD draws it. Each window shot as shot, its list open.
    bool NamesDrawn(int ownerIndex, int guestIndex, const std::string& shot)
    {
        const std::vector<std::string> seats = {kLoginIds[ownerIndex], kLoginIds[guestIndex]};
        const std::vector<DrawnText> lines = ListLinesDrawn(seats);
        if (!Check(lines.size() == seats.size(), "the HUD could not be drawn offscreen"))
            return false;
        for (int i : {ownerIndex, guestIndex})
        {
            QorProcess& game = Game(i);
            const DrawnText own = OwnNameDrawn(kLoginIds[i]);
            if (!Check(game.WaitFor([&] { return ShowsText(game, own); }),
                       std::string(kLoginIds[i]) + "'s HUD never named its player " + kLoginIds[i]))
                return false;
        }
        // The list shows once the battle runs (after its opening) and while
        // its key is held, which a game takes only while it has the focus:
        // one game at a time.
        for (int i : {ownerIndex, guestIndex})
        {
            QorProcess& game = Game(i);
            game.Hold("Tab");
            const bool listed = game.WaitFor([&] { return ShowsText(game, lines[0]) && ShowsText(game, lines[1]); });
            game.Screenshot(m_shots + "-" + shot + "-" + kLoginIds[i]);
            game.LetGo("Tab");
            if (!Check(listed, std::string(kLoginIds[i]) + "'s participant list never named both players"))
                return false;
        }
        return true;
    }

    // The player's pause menu of items lines in a battle, Enter until it
    // opens (the battle's opening takes no pause); the cursor down to item,
    // both windows shot as shot, and the item chosen.
    bool ChoosePauseItem(int player, int items, int item, const std::string& shot)
    {
        QorProcess& game = Game(player);
        if (!Check(game.WaitFor([&] { return BattleMenu(game, items); },
                                [&] { game.Press("Return", kBattleHoldMs); }),
                   "the pause menu never opened") ||
            !Check(game.StepUntil("Down", [&] { return BattleMenuLineLit(game, items, item); }, 4, kBattleHoldMs),
                   "the pause menu's item never had the cursor"))
            return false;
        Shoot(shot);
        return Check(game.PressUntil("z", [&] { return !BattleMenu(game, items); }), "the pause menu stayed");
    }

    // Both games' error logs, when the running test has failed.
    void PrintLogsOnFailure()
    {
        if (!::testing::Test::HasFailure())
            return;
        for (size_t i = 0; i < m_games.size(); ++i)
            std::printf("[%s's log]\n%s\n", kLoginIds[i], m_games[i]->ErrorLog().c_str());
    }

    bool BackInTheLobby()
    {
        for (int i = 0; i < 2; ++i)
        {
            if (!Check(Game(i).WaitFor([&] { return RoomList(Game(i)); }), "the lobby's list never came back"))
                return false;
        }
        return true;
    }

private:
    bool IntoTheLobby()
    {
        for (int i = 0; i < 2; ++i)
        {
            QorProcess& game = Game(i);
            if (!Check(ReachRing(game), "the ring never showed") ||
                !Check(TurnRing(game, kStoryItem, kNetworkItem), "the ring did not turn") ||
                !Check(ChooseRingItem(game), "the network item was not taken"))
                return false;
        }
        for (int i = 0; i < 2; ++i)
        {
            if (!Check(Game(i).WaitFor([&] { return Notice(Game(i)); }), "the lobby never showed"))
                return false;
        }
        Shoot("1-notice");
        // The notice leads to the connection and the login page, the login
        // ID filled in from the settings: the password typed, then log in.
        for (uint32_t i = 0; i < 2; ++i)
        {
            if (!Check(Game(i).PressUntil("z", [&] { return m_lobby.GetConnectionCount() > i; }),
                       "the game never connected"))
                return false;
        }
        for (int i = 0; i < 2; ++i)
        {
            // Down again should the page not be up yet.
            QorProcess& game = Game(i);
            if (!Check(game.PressUntil("Down", [&] { return PasswordRow(game); }, std::chrono::seconds(4), 8),
                       "the password row was never chosen"))
                return false;
            game.Type("pw");
        }
        Shoot("2-login");
        for (uint32_t i = 0; i < 2; ++i)
        {
            Game(i).Press("Down");
            if (!Check(Game(i).PressUntil("z", [&] { return m_lobby.GetUserCount() > i; }), "the game never logged in"))
                return false;
        }
        if (!BackInTheLobby())
            return false;
        Shoot("3-lobby");
        return true;
    }

    std::string m_shots;
    std::string m_failure;
    int m_failures = 0;
    PrivateXServer m_x{"1320x600x24", false};
    lobbytest::LobbyTestServer m_lobby;
    uint16_t m_lobbyPort = 0;
    TempFolder m_homes[2];
    std::vector<std::unique_ptr<QorProcess>> m_games;
};
}

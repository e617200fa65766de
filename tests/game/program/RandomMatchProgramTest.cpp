// Online play on the real program: two games in the tests' lobby (LobbyWalk.h)
// hear a third player's long and short lines, each window's lobby chat ending
// on the newest, then ask for a random match through the lobby's random-match
// editor with its defaults and go to the setup's members page. The first
// to ask thinks better of it and leaves by the setup's back menu; the
// other asks, and no match is made with the one who left until it asks
// again. The match is made while both still sit on the members page, as
// players who take their time would: only then does each choose a
// character, confirm its seat, finish its loadout and wait; the match's
// host starts the battle once both are ready, and its pause menu takes
// both back to the lobby. Then the same two games meet again, the other
// asking first, after the one that hosts every match (the test server
// gives a match to the longest logged in of those who ask) was last a
// guest in a room that closed under it. Back in the lobby, the second
// match's guest makes a room and its host enters: the room's battle names
// each player by its login, as the HUD draws it (nothing of the match
// outlives it). The owner's pause menu takes both back to the room, and
// its next battle names them alike; the guest then stalls (SIGSTOP) until
// the owner has dropped it, and woken it is back in the lobby under the
// lost-connection notice. The lobby server then goes while the owner plays
// on alone: both are told over the lobby, the owner once it is back from
// its battle, and any key takes each to the title. One walk, so that the
// games start once. Screenshots of both windows stay in the test's build
// folder (qor-match-*.png).
#include <gtest/gtest.h>

#include "engine/core/GameText.h"
#include "net/LobbyProtocol.h"
#include "tests/game/program/LobbyWalk.h"

#include <algorithm>

using namespace qortest;

namespace
{
constexpr int kHost = 0;
constexpr int kGuest = 1;
// The pause menu of a random match: back to the battle, the lobby, the title.
constexpr int kPauseItems = 3;
constexpr int kLobbyItem = 1;
// A room's pause menu has six items; the third takes everybody back to
// the room.
constexpr int kRoomPauseItems = 6;
constexpr int kRoomItem = 2;
// What a room's owner logs when it drops a guest that sent nothing in time.
constexpr const char* kGuestDropped = "sent nothing in time";

// A seat's panel shows a player: its frame is lit (blue, or gold under the
// cursor), where a closed panel's is a dark grey.
bool SeatShown(QorProcess& game, int panel)
{
    const Rgb frame = game.At(kPanelTopLeft[panel][0] + 8.0f, kPanelTopLeft[panel][1] + 128.0f);
    return std::max({frame.r, frame.g, frame.b}) > 140;
}

// The random-match editor's start button, lit white under the cursor.
bool StartButtonLit(QorProcess& game)
{
    return Bright(game, 656.0f, 380.0f, 644.0f) >= 20;
}

// A random match's rules page: its music row only (teal label), where a
// room's rules page starts with the stage row.
bool MatchRulesPage(QorProcess& game)
{
    return TitleBand(game) && Near(game.At(72.0f, 216.0f), 46, 110, 142, 12) &&
           !Near(game.At(96.0f, 148.0f), 46, 110, 142, 12);
}

// The setup's back menu ("戻りますか？", yes, no) over the page: the white
// outline of its window's top edge, a title and two rows of 40 units and
// a margin of 20 above and below, centred.
bool BackMenuShown(QorProcess& game)
{
    int most = 0;
    for (float y = 302.0f; y <= 306.0f; y += kPixel)
        most = std::max(most, Bright(game, y, 300.0f, 720.0f));
    return most >= 200;
}

// The lobby chat ends on three short lines under their names (nothing right
// of x 420 on its last six lines), the last line of a long one above them.
bool ChatEndsOnTheShortLines(QorProcess& game)
{
    // The white pixels of the window row across the line's glyphs with most.
    auto bright = [&](int line, float fromX, float toX) {
        const float top = 146.0f + 24.0f * static_cast<float>(line);
        int most = 0;
        for (float y = top + 2.0f; y < top + 18.0f; y += kPixel)
            most = std::max(most, Bright(game, y, fromX, toX));
        return most;
    };
    for (int line = 14; line < 20; ++line)
    {
        if (bright(line, 420.0f, 740.0f) > 0 || (line % 2 == 1 && bright(line, 312.0f, 420.0f) == 0))
            return false;
    }
    return bright(13, 420.0f, 740.0f) > 0;
}

// How many times the server heard a message.
size_t Heard(lobbytest::LobbyTestServer& server, int16_t id)
{
    const std::vector<int16_t> ids = server.GetReceivedIds();
    return static_cast<size_t>(std::count(ids.begin(), ids.end(), id));
}

class RandomMatchProgram : public ::testing::Test
{
protected:
    // The games' error logs go with a failed test's report.
    void TearDown() override { m_pair.PrintLogsOnFailure(); }

    void SetUp() override
    {
        if (!m_pair.HasDisplay())
            GTEST_SKIP() << "no Xvfb to run the games on";
        ASSERT_TRUE(m_pair.Start()) << m_pair.Failure();
    }

    GamePair& Pair() { return m_pair; }

    // The lobby's random-match button, its editor with the defaults, Up
    // round to its start button, and the members page.
    bool AskForAMatch(int player)
    {
        QorProcess& game = Pair().Game(player);
        const size_t asked = Heard(Pair().Server(), LOBBY_MSG_RANDOM_MATCH);
        if (!Pair().Check(FocusPane(game, RandomMatchFocused), "the random-match button never had the keys") ||
            !Pair().Check(game.PressUntil("z", [&] { return EditorPane(game); }),
                          "the random-match editor never showed"))
            return false;
        if (!Pair().Check(game.StepUntil("Up", [&] { return StartButtonLit(game); }, 3),
                          "the editor's start button never had the cursor"))
            return false;
        Pair().Shoot("editor-" + std::string(kLoginIds[player]));
        const auto askedNow = [&] { return Heard(Pair().Server(), LOBBY_MSG_RANDOM_MATCH) > asked; };
        if (!Pair().Check(game.PressUntil("z", askedNow), "the match was never asked for") ||
            !Pair().Check(game.WaitFor([&] { return MembersPage(game); }), "the members page never showed"))
            return false;
        // The status line counts the player itself from the first.
        Pair().Shoot("asked-" + std::string(kLoginIds[player]));
        return true;
    }

    // The setup's back menu and its yes: out of the match's setup, in the
    // lobby's lists again.
    bool LeaveTheMatch(int player)
    {
        QorProcess& game = Pair().Game(player);
        if (!Pair().Check(game.PressUntil("x", [&] { return BackMenuShown(game); }), "the back menu never opened"))
            return false;
        Pair().Shoot("back-menu-" + std::string(kLoginIds[player]));
        return Pair().Check(game.PressUntil("z", [&] { return RoomList(game); }), "the match's setup was never left");
    }

    // The player's own seat: decide, a character (Down from random is the
    // first, Up the last), decide again; then right to the members' decide
    // button and on to the weapons page; its done button; the rules page.
    bool ChooseAndGetReady(int player, const char* characterKey)
    {
        QorProcess& game = Pair().Game(player);
        Keys(game, {"z", characterKey, "z"});
        return Pair().Check(game.WaitFor([&] { return Confirmed(game, player); }), "the seat was never confirmed") &&
               Pair().Check(game.StepUntil("Right", [&] { return DecideLit(game); }, 4),
                            "the decide button never had the cursor") &&
               Pair().Check(game.PressUntil("z", [&] { return WeaponsPage(game); }), "the weapons page never showed") &&
               Pair().Check(game.StepUntil("Up", [&] { return DoneLit(game); }, 8),
                            "the done button never had the cursor") &&
               Pair().Check(game.PressUntil("z", [&] { return MatchRulesPage(game) || !TitleBand(game); }),
                            "the loadout was never done");
    }

    // Both ask, first the one then the other; the match is made while both
    // sit on the members page; each chooses in the same order; they fight;
    // the host's pause menu takes both back to the lobby.
    void PlayAMatch(int first, int second, const std::string& shots)
    {
        GamePair& pair = Pair();
        const size_t matches = Heard(pair.Server(), LOBBY_MSG_HOST);
        ASSERT_TRUE(AskForAMatch(first)) << pair.Failure();
        ASSERT_TRUE(AskForAMatch(second)) << pair.Failure();
        ASSERT_TRUE(pair.Check(WaitUntil([&] { return Heard(pair.Server(), LOBBY_MSG_HOST) > matches; }),
                               "the match was never made"))
            << pair.Failure();
        for (int player : {kHost, kGuest})
        {
            QorProcess& game = pair.Game(player);
            ASSERT_TRUE(pair.Check(game.WaitFor([&] { return MembersPage(game) && SeatShown(game, kHost) &&
                                                             SeatShown(game, kGuest); }),
                                   "the members page never showed both seats"))
                << pair.Failure();
        }
        pair.Shoot(shots + "-members");
        // The one who asked first is the first to be done choosing: the other
        // still sits on the members page while it goes through its pages.
        ASSERT_TRUE(ChooseAndGetReady(first, "Up")) << pair.Failure();
        ASSERT_TRUE(ChooseAndGetReady(second, "Down")) << pair.Failure();
        pair.Shoot(shots + "-ready");
        for (int player : {kHost, kGuest})
        {
            QorProcess& game = pair.Game(player);
            ASSERT_TRUE(pair.Check(game.WaitFor([&] { return BattleHud(game); }), "the battle never started"))
                << pair.Failure();
        }
        // The host's pause menu (the battle's own: it opens in a battle only).
        ASSERT_TRUE(pair.ChoosePauseItem(kHost, kPauseItems, kLobbyItem, shots + "-battle")) << pair.Failure();
        ASSERT_TRUE(pair.BackInTheLobby()) << pair.Failure();
        pair.Shoot(shots + "-lobby-again");
        EXPECT_TRUE(pair.Server().IsConsistent());
    }

private:
    GamePair m_pair{"match"};
};
}

TEST_F(RandomMatchProgram, MatchesMadeWhileBothChooseThenARoomWhoseBattlesNameThePlayersAndWhoseStalledGuestIsDropped)
{
    // A third player's four lines of 127 kanji once hid the three short ones
    // after them (the box showed what fitted from its first line on).
    CLobbyClient carol;
    lobbytest::SetUpClient(carol, "127.0.0.13", Pair().LobbyPort(), 0, "carol");
    ASSERT_TRUE(lobbytest::LogIn(carol, "pw"));
    const char* said[] = {"漢", "字", "話", "題", "はい", "了解", "よろしく"};
    for (int i = 0; i < 7; ++i)
    {
        std::string text;
        for (int n = 0; n < (i < 4 ? 127 : 1); ++n)
            text += GameText(said[i]);
        std::vector<uint8_t> line(kLobbyChatLineSize);
        lobbytest::PutText(line, 0, "carol", kLobbyNameSize);
        lobbytest::PutText(line, kLobbyNameSize, text, kLobbyChatTextSize);
        carol.SendMessageData(LOBBY_MSG_LOBBY_CHAT, line.data(), static_cast<uint32_t>(line.size()));
    }
    for (int i : {kHost, kGuest})
        ASSERT_TRUE(Pair().Check(Pair().Game(i).WaitFor([&] { return ChatEndsOnTheShortLines(Pair().Game(i)); }),
                                 "the lobby chat never ended on the newest lines"))
            << Pair().Failure();
    Pair().Shoot("lobby-chat");
    carol.Release();

    // The one who asks and leaves seeks no match: the other's is not made
    // with it (it would wait for a guest who never comes).
    ASSERT_TRUE(AskForAMatch(kGuest)) << Pair().Failure();
    ASSERT_TRUE(LeaveTheMatch(kGuest)) << Pair().Failure();
    PlayAMatch(kHost, kGuest, "while-choosing");
    if (HasFatalFailure())
        return;
    // The host's last room was as a guest: it closed under it. Its own seat
    // is the match host's all the same, and it makes the match.
    GamePair& pair = Pair();
    ASSERT_TRUE(pair.MakeRoom(kGuest, "Hall", 1)) << pair.Failure();
    ASSERT_TRUE(pair.EnterRoom(kHost, pair.Server().GetNewestRoom(), 2)) << pair.Failure();
    ASSERT_TRUE(pair.CloseRoom(kGuest, 0)) << pair.Failure();
    PlayAMatch(kGuest, kHost, "after-a-room");
    if (HasFatalFailure())
        return;
    // Back in the lobby, the match's guest makes a room and its host enters:
    // the room's battle names each player by its login, nothing of the
    // match.
    constexpr int kOwner = kGuest;
    constexpr int kRoomGuest = kHost;
    QorProcess& owner = pair.Game(kOwner);
    QorProcess& guest = pair.Game(kRoomGuest);
    lobbytest::LobbyTestServer& lobby = pair.Server();
    ASSERT_TRUE(pair.MakeRoom(kOwner, "Den", 1)) << pair.Failure();
    const uint32_t room = lobby.GetNewestRoom();
    ASSERT_TRUE(pair.EnterRoom(kRoomGuest, room, 2)) << pair.Failure();
    Keys(owner, {"Right", "Right", "z"});
    ASSERT_TRUE(pair.SetupToBattle(kOwner, kRoomGuest, 1)) << pair.Failure();
    EXPECT_TRUE(pair.NamesDrawn(kOwner, kRoomGuest, "room-names")) << pair.Failure();

    // The owner's pause menu: everybody back to the room.
    ASSERT_TRUE(pair.ChoosePauseItem(kOwner, kRoomPauseItems, kRoomItem, "room-pause")) << pair.Failure();
    for (int i : {kOwner, kRoomGuest})
        ASSERT_TRUE(pair.Check(pair.Game(i).WaitFor([&] { return Room(pair.Game(i)); }), "the room never came back"))
            << pair.Failure();
    EXPECT_EQ(lobby.GetRoomMembers(room).size(), 2u);
    pair.Shoot("room-again");

    // The room's next battle (the start button still has the keys): the
    // players keep their names.
    Keys(owner, {"z"});
    ASSERT_TRUE(pair.SetupToBattle(kOwner, kRoomGuest, 7)) << pair.Failure();
    EXPECT_TRUE(pair.NamesDrawn(kOwner, kRoomGuest, "room-named-again")) << pair.Failure();

    // The guest stalls (a suspended laptop): the owner drops it and plays
    // on; woken, the guest is back in the lobby under the notice that says
    // why, and any key closes it.
    ASSERT_TRUE(guest.Signal(SIGSTOP));
    const bool dropped = WaitUntil([&] { return owner.Logged(kGuestDropped); });
    ASSERT_TRUE(guest.Signal(SIGCONT));
    ASSERT_TRUE(pair.Check(dropped, "the owner never dropped the stalled guest")) << pair.Failure();
    ASSERT_TRUE(pair.Check(guest.WaitFor([&] { return Notice(guest); }), "the dropped guest was told nothing"))
        << pair.Failure();
    pair.Shoot("room-dropped");
    EXPECT_TRUE(WaitUntil([&] { return lobby.GetRoomMembers(room).size() == 1; }));
    ASSERT_TRUE(pair.Check(guest.PressUntil("z", [&] { return RoomList(guest); }), "the notice never closed"))
        << pair.Failure();
    EXPECT_EQ(lobby.GetUserCount(), 2u);
    EXPECT_TRUE(lobby.IsConsistent());

    // The lobby server goes while the owner plays on alone: the player in
    // the lobby's lists is told at once, the owner as soon as its pause menu
    // has taken it back from the battle (its room went with the
    // connection), and any key leaves each for the title.
    lobby.Stop();
    ASSERT_TRUE(pair.Check(guest.WaitFor([&] { return Notice(guest); }), "the lists never told of the lost lobby"))
        << pair.Failure();
    ASSERT_TRUE(pair.ChoosePauseItem(kOwner, kRoomPauseItems, kRoomItem, "lobby-gone-pause")) << pair.Failure();
    ASSERT_TRUE(pair.Check(owner.WaitFor([&] { return Notice(owner); }), "the owner was never told of the lost lobby"))
        << pair.Failure();
    pair.Shoot("lobby-gone");
    for (int i : {kOwner, kRoomGuest})
    {
        QorProcess& game = pair.Game(i);
        ASSERT_TRUE(pair.Check(game.PressUntil("z", [&] { return RingRestsOn(game, kNetworkItem); }),
                               "the notice never led to the title"))
            << pair.Failure();
        EXPECT_FALSE(game.Ended());
    }
    pair.Shoot("lobby-gone-title");
}

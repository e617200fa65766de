// Real lobby clients against the test lobby server over loopback. The
// two-player walk runs the server in a process of its own; the
// misbehaving server runs on a thread so that its lists can be checked.
#include "LobbyLoopbackSupport.h"
#include "LobbyTestServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace lobbytest;

namespace
{
bool ChatHas(CLobbyClient& client, bool room, const char* text)
{
    auto lock = client.Lock();
    const tag_KVRLOBBYSTATE& s = client.GetStateBlock();
    const tag_KVRLOBBYCHATLINE* log = room ? s.roomChat : s.lobbyChat;
    const int32_t count = room ? s.roomChatCount : s.lobbyChatCount;
    for (int32_t i = 0; i < count; ++i)
        if (std::strcmp(log[i].text, text) == 0)
            return true;
    return false;
}

int16_t MemberCount(CLobbyClient& client)
{
    auto lock = client.Lock();
    return client.GetCurrentRoom() != nullptr ? client.GetCurrentRoom()->GetPlayerCount() : -1;
}

// The lobby server on a thread of the test's own, and two players logged
// in to it from addresses of their own (the first with a room port).
::testing::AssertionResult LogInBoth(LobbyTestServer& server, CLobbyClient& first, const char* firstAddress,
                                     const char* firstName, CLobbyClient& second, const char* secondAddress,
                                     const char* secondName)
{
    const uint16_t lobbyPort = FreePortOn({"127.0.0.1", firstAddress, secondAddress});
    const uint16_t hostPort = FreePortOn({firstAddress});
    if (lobbyPort == 0 || !server.Start("127.0.0.1", lobbyPort))
        return ::testing::AssertionFailure() << "no lobby server";
    server.RunInThread();
    SetUpClient(first, firstAddress, lobbyPort, hostPort, firstName);
    SetUpClient(second, secondAddress, lobbyPort, 0, secondName);
    if (!LogIn(first, "pw") || !LogIn(second, "pw"))
        return ::testing::AssertionFailure() << "not logged in";
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(LobbyLoopback, TwoPlayersMeetInARoomAndStartABattle)
{
    const uint16_t lobbyPort = FreePortOn({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
    const uint16_t hostPort = FreePortOn({"127.0.0.2"});
    ASSERT_NE(lobbyPort, 0);
    ASSERT_NE(hostPort, 0);
    nettest::ChildProcess server([lobbyPort] {
        LobbyTestServer lobby;
        if (!lobby.Start("127.0.0.1", lobbyPort))
            return 1;
        lobby.Run(120000);
        return 0;
    });
    ASSERT_TRUE(server.Started());
    // Wait until the server listens (the probe's greeting is thrown away).
    ASSERT_TRUE(nettest::ConnectRetrying("127.0.0.1", "127.0.0.1", lobbyPort).IsValid());

    CLobbyClient alice;
    CLobbyClient bob;
    SetUpClient(alice, "127.0.0.2", lobbyPort, hostPort, "alice");
    SetUpClient(bob, "127.0.0.3", lobbyPort, 0, "bob");
    ASSERT_TRUE(LogIn(alice, "pw"));
    ASSERT_TRUE(LogIn(bob, "pw"));
    EXPECT_TRUE(StepUntil({&alice, &bob}, [&] { return UserCount(alice) == 2 && UserCount(bob) == 2; }));

    // Lobby chat: the line comes back from the server to both.
    alice.OnInput(LOBBY_KEY_RIGHT);
    alice.GetEditor()->Insert("hello");
    alice.OnInput(LOBBY_KEY_ENTER);
    EXPECT_TRUE(StepUntil({&alice, &bob}, [&] { return ChatHas(alice, false, "hello") && ChatHas(bob, false, "hello"); }));

    // Alice makes a room: pane 3, the editor opens on its button.
    alice.OnInput(LOBBY_KEY_RIGHT);
    alice.OnInput(LOBBY_KEY_RIGHT);
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(alice.GetState(), LOBBY_NEW_ROOM_EDITOR);
    alice.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_EQ(alice.GetState(), LOBBY_ROOM_NAME_MISSING); // no name yet
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(alice.GetState(), LOBBY_NEW_ROOM_EDITOR);
    alice.OnInput(LOBBY_KEY_DOWN); // wraps from the button to the name
    alice.GetEditor()->Insert("Arena");
    alice.OnInput(LOBBY_KEY_UP); // and back up to the button
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(alice, LOBBY_ROOM));
    EXPECT_EQ(alice.GetSession()->GetListenPort(), hostPort);

    // Bob sees it, looks at it, tests his line to its host and enters.
    ASSERT_TRUE(StepUntil({&alice, &bob}, [&] {
        auto lock = bob.Lock();
        return bob.GetRooms().size() == 1;
    }));
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_ROOM_INFO));
    bob.OnInput(LOBBY_KEY_RIGHT); // from the enter button to the line test
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_LINE_TEST_RESULT, 60000));
    {
        auto lock = bob.Lock();
        // Datagrams may be dropped even on loopback under load: some came.
        const tag_KVRNETWORKTESTRESULT& result = bob.GetStateBlock().lineTest;
        EXPECT_GT(result.receivedFromPeer + result.receivedByPeer, 0u);
        EXPECT_LE(result.receivedFromPeer, 100u);
    }
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(bob.GetState(), LOBBY_ROOM_INFO);
    bob.OnInput(LOBBY_KEY_LEFT);
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_ROOM));
    ASSERT_TRUE(nettest::WaitUntil([&] { return HoldsGuest(alice, "127.0.0.3"); }, 10000));
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return MemberCount(alice) == 2 && MemberCount(bob) == 2; }));

    // Room chat goes through the owner to everybody.
    bob.GetEditor()->Insert("yo");
    bob.OnInput(LOBBY_KEY_ENTER);
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return ChatHas(alice, true, "yo") && ChatHas(bob, true, "yo"); }));

    // A room state from a guest is not the owner's word: ignored. The chat
    // line behind it on the same connection shows it was handled.
    uint8_t leave[4] = {11, 0, 0, 0};
    bob.GetSession()->SendToAll(LOBBY_MSG_ROOM_STATE, 1, leave, sizeof(leave), kNetKindTcp);
    bob.GetEditor()->Insert("still here");
    bob.OnInput(LOBBY_KEY_ENTER);
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return ChatHas(alice, true, "still here"); }));
    EXPECT_EQ(alice.GetState(), LOBBY_ROOM);

    // Bob leaves (his peer threads still running) and comes back.
    bob.OnInput(LOBBY_KEY_RIGHT);
    bob.OnInput(LOBBY_KEY_RIGHT);
    bob.OnInput(LOBBY_KEY_RIGHT);
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(bob.GetState(), LOBBY_LEAVE_QUESTION);
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepAnswered({&alice, &bob}, [&] { return bob.GetState() == LOBBY_IN_LOBBY; }));
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return MemberCount(alice) == 1; }));
    EXPECT_EQ(bob.GetSession()->GetPeerCount(), 0u);
    auto aliceHoldsBob = [&] {
        NetClientPtr peer = alice.GetSession()->FindPeer("127.0.0.3");
        return peer && peer->HasLiveConnection();
    };
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return !aliceHoldsBob(); }));
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_ROOM_INFO));
    bob.OnInput(LOBBY_KEY_LEFT);
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_ROOM));
    // Bob is in once alice has taken his new connection and its greeting
    // in, which her threads do in their own time (the server and bob count
    // him before): a start before then would not reach him.
    ASSERT_TRUE(nettest::WaitUntil([&] { return HoldsGuest(alice, "127.0.0.3"); }, 10000));
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return MemberCount(alice) == 2; }));

    // The owner starts: the guest follows through the relayed room state.
    alice.OnInput(LOBBY_KEY_RIGHT);
    alice.OnInput(LOBBY_KEY_RIGHT);
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(alice.GetState(), LOBBY_START_QUESTION);
    alice.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepAnswered({&alice, &bob}, [&] { return alice.GetState() == LOBBY_ROOM_BATTLE && bob.GetState() == LOBBY_ROOM_BATTLE; }));

    // Bob logs out; alice hears of it; bob comes back.
    bob.Release();
    EXPECT_TRUE(StepUntil({&alice}, [&] { return UserCount(alice) == 1; }));
    CLobbyClient again;
    SetUpClient(again, "127.0.0.3", lobbyPort, 0, "bob");
    ASSERT_TRUE(LogIn(again, "pw"));
    EXPECT_TRUE(StepUntil({&alice, &again}, [&] { return UserCount(alice) == 2; }));
    again.Release();
    alice.Release();
}

TEST(LobbyLoopback, RandomMatchPairsAHostAndAGuest)
{
    LobbyTestServer server;
    CLobbyClient dave;
    CLobbyClient erin;
    ASSERT_TRUE(LogInBoth(server, dave, "127.0.0.5", "dave", erin, "127.0.0.6", "erin"));
    // From the lobby's first pane to the match's setup, where the player
    // counts itself from the first frame on (until the server counts).
    auto ask = [](CLobbyClient& client) {
        if (client.GetStateBlock().pane != 4)
            client.OnInput(LOBBY_KEY_LEFT); // from the first pane round to the random match's
        client.OnInput(LOBBY_KEY_DECIDE);
        ASSERT_EQ(client.GetState(), LOBBY_MATCH_EDITOR);
        client.OnInput(LOBBY_KEY_UP); // wraps to the start button
        client.OnInput(LOBBY_KEY_DECIDE);
        ASSERT_TRUE(StepToState(client, LOBBY_MATCH_SOUGHT));
        auto lock = client.Lock();
        EXPECT_EQ(static_cast<int>(client.GetStateBlock().matchedPlayers), 1);
    };
    // A player that leaves its match's setup seeks no more: nobody is
    // matched with it, and an answer already on its way makes it nobody's
    // host. A host that could not listen closes the match it never had.
    const uint32_t erinId = [&] {
        auto lock = erin.Lock();
        return erin.GetOwnUser()->data.id;
    }();
    ASSERT_NO_FATAL_FAILURE(ask(erin));
    EXPECT_TRUE(server.IsSeeking(erinId));
    erin.LeaveMatch();
    EXPECT_TRUE(nettest::WaitUntil([&] { return !server.IsSeeking(erinId); }, 10000));
    const std::vector<uint8_t> answer = MatchHostAnswer("127.0.0.6", 1);
    ASSERT_TRUE(Deliver(erin, LOBBY_MSG_MATCHING, 1, std::vector<uint8_t>(answer.begin(), answer.begin() + 734)));
    EXPECT_EQ(erin.GetState(), LOBBY_IN_LOBBY);
    ASSERT_NO_FATAL_FAILURE(ask(erin));
    erin.SendMessage(LOBBY_MSG_CLOSE_ROOM);
    EXPECT_TRUE(nettest::WaitUntil([&] { return !server.IsSeeking(erinId); }, 10000));
    erin.SetState(LOBBY_IN_LOBBY);
    for (CLobbyClient* client : {&dave, &erin})
    {
        ASSERT_NO_FATAL_FAILURE(ask(*client));
        client->OpenMatchSetup();
    }
    // The one who waited first hosts once both poll.
    erin.SendMatchingPoll();
    dave.SendMatchingPoll();
    EXPECT_TRUE(StepUntil({&dave, &erin}, [&] { return dave.GetState() == LOBBY_MATCH_HOST && erin.GetState() == LOBBY_MATCH_GUEST; }));
    EXPECT_TRUE(StepUntil({&dave, &erin}, [&] { return dave.GetSession()->GetPeerCount() == 1; }));
    {
        auto lock = dave.Lock();
        EXPECT_EQ(dave.GetRoomRecord()->GetPlayerCount(), 2);
    }
    // The guest, back in the lobby, asks again alone: not the last match's
    // two.
    erin.SetState(LOBBY_IN_LOBBY);
    ASSERT_NO_FATAL_FAILURE(ask(erin));
    erin.Release();
    dave.Release();
    server.Stop();
    EXPECT_TRUE(server.IsConsistent());
}

TEST(LobbyLoopback, KeyedRoomSettingsChangeAndRemovingAMember)
{
    LobbyTestServer server;
    CLobbyClient owner;
    CLobbyClient guest;
    ASSERT_TRUE(LogInBoth(server, owner, "127.0.0.7", "owner", guest, "127.0.0.8", "guest"));

    // A room with a key: name, rank band, weapons, key, comment, button.
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(owner.GetState(), LOBBY_NEW_ROOM_EDITOR);
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.GetEditor()->Insert("Vault");
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_RIGHT); // weapons: initial only
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.GetEditor()->Insert("k1");
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM));
    {
        auto lock = owner.Lock();
        EXPECT_STREQ(owner.GetCurrentRoom()->data.key, "k1");
        EXPECT_EQ(owner.GetCurrentRoom()->GetValue(0), 1);
    }

    // The guest needs the key: a wrong one is refused, the right one opens
    // the room's info.
    ASSERT_TRUE(StepUntil({&owner, &guest}, [&] {
        auto lock = guest.Lock();
        return guest.GetRooms().size() == 1;
    }));
    guest.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(guest.GetState(), LOBBY_ROOM_KEY_EDITOR);
    guest.GetEditor()->Insert("zz");
    guest.OnInput(LOBBY_KEY_ENTER);
    ASSERT_TRUE(StepToState(guest, LOBBY_WRONG_ROOM_KEY));
    guest.OnInput(LOBBY_KEY_DECIDE);
    guest.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(guest.GetState(), LOBBY_ROOM_KEY_EDITOR);
    guest.GetEditor()->Insert("k1");
    guest.OnInput(LOBBY_KEY_ENTER);
    ASSERT_TRUE(StepToState(guest, LOBBY_ROOM_INFO));
    guest.OnInput(LOBBY_KEY_LEFT);
    guest.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepUntil({&owner, &guest}, [&] { return guest.GetState() == LOBBY_ROOM; }));
    ASSERT_TRUE(StepUntil({&owner, &guest}, [&] {
        auto lock = owner.Lock();
        return owner.GetCurrentRoom()->GetPlayerCount() == 2;
    }));

    // The guest's highlight on the owner stays there while lobby chat comes
    // in (it once moved on with the eighth line): decide asks for the owner.
    guest.OnInput(LOBBY_KEY_RIGHT);
    std::vector<uint8_t> line(kLobbyChatLineSize);
    PutText(line, 0, "owner", kLobbyNameSize);
    for (int i = 0; i < 8; ++i)
    {
        PutText(line, kLobbyNameSize, "line " + std::to_string(i), kLobbyChatTextSize);
        owner.SendMessageData(LOBBY_MSG_LOBBY_CHAT, line.data(), static_cast<uint32_t>(line.size()));
    }
    ASSERT_TRUE(StepUntil({&owner, &guest}, [&] { return ChatHas(guest, false, "line 7"); }));
    guest.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(guest, LOBBY_MEMBER_INFO));
    {
        auto ownerLock = owner.Lock();
        auto guestLock = guest.Lock();
        EXPECT_EQ(guest.GetStateBlock().selectedId, owner.GetOwnUser()->data.id);
    }
    guest.OnInput(LOBBY_KEY_CANCEL);
    ASSERT_EQ(guest.GetState(), LOBBY_ROOM);

    // The owner changes the comment through the settings editor.
    owner.OnInput(LOBBY_KEY_RIGHT);
    owner.OnInput(LOBBY_KEY_RIGHT);
    owner.OnInput(LOBBY_KEY_RIGHT);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM_SETTINGS));
    owner.OnInput(LOBBY_KEY_UP);
    owner.GetEditor()->Insert("fun");
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM));
    {
        auto lock = owner.Lock();
        EXPECT_STREQ(owner.GetCurrentRoom()->data.comment, "fun");
    }

    // And removes the guest.
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(owner, LOBBY_MEMBER_INFO));
    owner.OnInput(LOBBY_KEY_RIGHT);
    owner.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(owner.GetState(), LOBBY_REMOVE_QUESTION);
    owner.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepUntil({&owner, &guest}, [&] { return owner.GetState() == LOBBY_ROOM && guest.GetState() == LOBBY_REMOVED; }));
    guest.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepUntil({&owner, &guest}, [&] { return guest.GetState() == LOBBY_IN_LOBBY; }));
    guest.Release();
    owner.Release();
    server.Stop();
    EXPECT_TRUE(server.IsConsistent());
}

// The fault a stalled battle once left behind: a room's owner that sent
// leave-room kept its room on the server, and its next room was refused
// while the client waited for ever. Now leaving takes the room along, and
// a refused room leads to its notice and back to the lobby.
TEST(LobbyLoopback, AnOwnerThatLeavesTakesItsRoomAlongAndARefusedRoomLeadsBackToTheLobby)
{
    const uint16_t lobbyPort = FreePortOn({"127.0.0.1", "127.0.0.9"});
    const uint16_t hostPort = FreePortOn({"127.0.0.9"});
    ASSERT_NE(lobbyPort, 0);
    LobbyTestServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", lobbyPort));
    server.RunInThread();
    CLobbyClient owner;
    SetUpClient(owner, "127.0.0.9", lobbyPort, hostPort, "frank");
    ASSERT_TRUE(LogIn(owner, "pw"));
    // From the room list: left twice to the new-room pane.
    auto makeRoom = [&] {
        {
            auto lock = owner.Lock();
            owner.GetStateBlock().pane = 0;
        }
        owner.OnInput(LOBBY_KEY_LEFT);
        owner.OnInput(LOBBY_KEY_LEFT);
        owner.OnInput(LOBBY_KEY_DECIDE);
        ASSERT_EQ(owner.GetState(), LOBBY_NEW_ROOM_EDITOR);
        owner.OnInput(LOBBY_KEY_DOWN);
        owner.GetEditor()->Insert("Den");
        owner.OnInput(LOBBY_KEY_UP);
        owner.OnInput(LOBBY_KEY_DECIDE);
    };
    makeRoom();
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM));
    ASSERT_EQ(server.GetRoomCount(), 1u);

    // The client believes itself out of the room while the server still
    // has it there: the new room is refused, and the player can go on.
    owner.SetState(LOBBY_IN_LOBBY);
    makeRoom();
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM_NOT_MADE));
    owner.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_EQ(owner.GetState(), LOBBY_IN_LOBBY);

    // Leave-room from the owner closes the room; the owner hears of it
    // and can make a new one.
    owner.SendMessage(LOBBY_MSG_LEAVE_ROOM);
    ASSERT_TRUE(StepUntil({&owner}, [&] { return server.GetRoomCount() == 0; }));
    makeRoom();
    ASSERT_TRUE(StepToState(owner, LOBBY_ROOM));
    EXPECT_EQ(server.GetRoomCount(), 1u);

    // The server ends the room under its owner: no connection was lost,
    // and the owner leaves untold.
    std::vector<uint8_t> roomId(4);
    Put32(roomId, 0, server.GetNewestRoom());
    ASSERT_TRUE(Deliver(owner, LOBBY_MSG_CLOSE_ROOM, 1, roomId));
    EXPECT_TRUE(StepUntil({&owner}, [&] { return owner.GetState() != LOBBY_LEAVING_ROOM; }));
    EXPECT_EQ(owner.GetState(), LOBBY_IN_LOBBY);
    owner.Release();
    server.Stop();
    EXPECT_TRUE(server.IsConsistent());
}

// Seen as "alice(25)●" still marked after alice had closed her room: a
// user's mark says that the user is in a room, from the room's making to
// its closing, whether or not anybody has asked about the user.
TEST(LobbyLoopback, AUsersMarkComesWithTheRoomAndGoesWithIt)
{
    LobbyTestServer server;
    CLobbyClient alice;
    CLobbyClient bob;
    ASSERT_TRUE(LogInBoth(server, alice, "127.0.0.10", "alice", bob, "127.0.0.11", "bob"));
    ASSERT_TRUE(StepUntil({&alice, &bob}, [&] { return UserCount(bob) == 2; }));
    auto aliceMarked = [&] {
        auto lock = bob.Lock();
        for (const auto& user : bob.GetUsers())
        {
            if (std::strcmp(user->data.name, "alice") == 0)
                return user->data.status != 0;
        }
        return false;
    };
    // Bob looks at alice (first in his user list): no room, no mark.
    bob.OnInput(LOBBY_KEY_LEFT);
    bob.OnInput(LOBBY_KEY_LEFT);
    bob.OnInput(LOBBY_KEY_LEFT);
    bob.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(bob, LOBBY_USER_INFO));
    EXPECT_FALSE(aliceMarked());
    bob.OnInput(LOBBY_KEY_CANCEL);

    // Alice makes a room: marked on bob's list without his asking.
    alice.OnInput(LOBBY_KEY_LEFT);
    alice.OnInput(LOBBY_KEY_LEFT);
    alice.OnInput(LOBBY_KEY_DECIDE);
    alice.OnInput(LOBBY_KEY_DOWN);
    alice.GetEditor()->Insert("Den");
    alice.OnInput(LOBBY_KEY_UP);
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(alice, LOBBY_ROOM));
    EXPECT_TRUE(StepUntil({&alice, &bob}, aliceMarked));

    // She closes it (the last pane, and yes): the mark goes.
    alice.OnInput(LOBBY_KEY_LEFT);
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(alice.GetState(), LOBBY_LEAVE_QUESTION);
    alice.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepUntil({&alice, &bob}, [&] { return alice.GetState() == LOBBY_IN_LOBBY && server.GetRoomCount() == 0; }));
    EXPECT_TRUE(StepUntil({&alice, &bob}, [&] { return !aliceMarked(); }));
    bob.Release();
    alice.Release();
    server.Stop();
    EXPECT_TRUE(server.IsConsistent());
}

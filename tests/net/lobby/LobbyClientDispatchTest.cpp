// The client's handlers driven directly with server messages, mostly
// without a connection: keys, states, lists, chat logs and every length
// check.
#include "HostileParties.h"

#include "engine/platform/CImeInput.h"
#include "net/lobby/CLobbyClient.h"

#include <gtest/gtest.h>

#include "tests/net/HeldListener.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ThreadPark.h"
#include "tests/support/ThreadsInCall.h"
#include "tests/support/TimeScale.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace lobbytest;

namespace
{
class LobbyDispatchTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(client.Initialize(nullptr, "QOR", "", nullptr, nullptr, nullptr)); }

    void Feed(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
    {
        ASSERT_TRUE(Deliver(client, id, sub, payload));
    }

    static std::vector<uint8_t> Entry(uint32_t id, const std::string& name, int32_t rank)
    {
        std::vector<uint8_t> out(33);
        Put32(out, 0, id);
        PutText(out, 4, name, 25);
        Put32(out, 29, static_cast<uint32_t>(rank));
        return out;
    }

    static std::vector<uint8_t> Chat(const std::string& name, const std::string& text)
    {
        std::vector<uint8_t> out(281);
        PutText(out, 0, name, 25);
        PutText(out, 25, text, 256);
        return out;
    }

    static std::vector<uint8_t> Room(uint32_t id, uint32_t owner, int16_t count)
    {
        std::vector<uint8_t> out(734);
        Put32(out, 0, id);
        PutText(out, 4, "room", 25);
        Put16(out, 37, 8);
        out[305] = 13;
        Put16(out, 435, static_cast<uint16_t>(count));
        Put32(out, 437, owner);
        Put32(out, 470, owner);
        return out;
    }

    CLobbyClient client;
};
} // namespace

TEST_F(LobbyDispatchTest, GreetingKeyAppliesFromTheNextMessageInTheSameRun)
{
    client.SetState(LOBBY_CONNECTING);
    std::vector<uint8_t> run = ServerMessage(100, 1, {'j', 0x42}, kLobbyInitialSessionKey);
    // The next message is scrambled with the key the greeting carried.
    const std::vector<uint8_t> next = ServerMessage(1001, 2, {}, 0x42);
    run.insert(run.end(), next.begin(), next.end());
    ASSERT_TRUE(client.Reassemble(run.data(), run.size()));
    ASSERT_TRUE(client.DispatchQueued());
    EXPECT_EQ(client.GetState(), LOBBY_LOGIN);
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().sessionKey, 0x42);
}

TEST_F(LobbyDispatchTest, GreetingVariantsAndStrayGreetings)
{
    client.SetState(LOBBY_CONNECTING);
    Feed(100, 1, {'x', 0x42});
    EXPECT_EQ(client.GetState(), LOBBY_WRONG_VERSION);
    client.SetState(LOBBY_CONNECTING);
    Feed(100, 2, {});
    EXPECT_EQ(client.GetState(), LOBBY_SERVICE_CLOSED);
    client.SetState(LOBBY_CONNECTING);
    Feed(100, 1, {'j'});
    EXPECT_EQ(client.GetState(), LOBBY_WRONG_VERSION);
    // A greeting outside the connect step changes neither state nor key.
    client.SetState(LOBBY_IN_LOBBY);
    Feed(100, 1, {'j', 0x99});
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().sessionKey, kLobbyInitialSessionKey);
}

TEST_F(LobbyDispatchTest, UnsolicitedConnectOrdersAreIgnored)
{
    client.SetState(LOBBY_IN_LOBBY);
    std::vector<uint8_t> answer = Room(7, 1, 1);
    answer.resize(740);
    answer[734] = 127;
    answer[737] = 1;
    Put16(answer, 738, 9);
    Feed(1002, 1, std::vector<uint8_t>(answer.begin(), answer.begin() + 37));
    Feed(1005, 1, answer);
    Feed(1019, 1, answer);
    Feed(1018, 1, std::vector<uint8_t>(answer.begin(), answer.begin() + 734));
    Feed(1023, 1, {127, 0, 0, 1});
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    EXPECT_EQ(client.GetSession()->GetPeerCount(), 0u);
}

TEST_F(LobbyDispatchTest, ShortPayloadsChangeNothing)
{
    client.SetState(LOBBY_IN_LOBBY);
    Feed(1012, 1, Entry(5, "alice", 10));
    for (int16_t id = 1001; id <= 1024; ++id)
        for (uint32_t size : {0u, 1u, 3u, 36u, 298u, 313u, 733u, 739u})
            Feed(id, 1, std::vector<uint8_t>(size, 0xFF));
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    auto lock = client.Lock();
    ASSERT_EQ(client.GetUsers().size(), 2u); // alice, and the 33-byte-or-longer runs of 0xFF
}

TEST_F(LobbyDispatchTest, UserListsSkipEmptyNamesAndRefreshKnownUsers)
{
    client.SetState(LOBBY_IN_LOBBY);
    std::vector<uint8_t> list = Entry(1, "one", 5);
    const std::vector<uint8_t> empty = Entry(2, "", 5);
    const std::vector<uint8_t> three = Entry(3, "three", 7);
    list.insert(list.end(), empty.begin(), empty.end());
    list.insert(list.end(), three.begin(), three.end());
    list.resize(list.size() + 10, 'z'); // a partial entry at the end
    Feed(1012, 1, list);
    Feed(1010, 1, Entry(3, "drei", 8));
    {
        auto lock = client.Lock();
        ASSERT_EQ(client.GetUsers().size(), 2u);
        EXPECT_STREQ(client.FindUser(3)->data.name, "drei");
        EXPECT_EQ(client.FindUser(3)->data.rank, 8);
        EXPECT_EQ(client.FindUser(2), nullptr);
        client.GetStateBlock().userCursor = 1;
    }
    // The list shrinks under the cursor: the cursor stays inside it.
    std::vector<uint8_t> id(4);
    Put32(id, 0, 3);
    Feed(1013, 1, id);
    auto lock = client.Lock();
    EXPECT_EQ(client.GetUsers().size(), 1u);
    EXPECT_EQ(client.GetStateBlock().userCursor, 0);
}

// The server sends a user's data unasked whenever a room mark changes:
// while the player waits for one user's information, another user's data
// (listed or not) neither opens the box nor fails it; the asked one's does.
TEST_F(LobbyDispatchTest, OnlyTheDataOfTheUserAskedAboutEndsTheWaitForIt)
{
    client.SetState(LOBBY_IN_LOBBY);
    std::vector<uint8_t> list = Entry(5, "dora", 30);
    const std::vector<uint8_t> other = Entry(6, "eve", 40);
    list.insert(list.end(), other.begin(), other.end());
    Feed(1012, 1, list);
    auto data = [](uint32_t id, const std::string& name) {
        std::vector<uint8_t> out(314);
        Put32(out, 0, id);
        PutText(out, 4, name, 25);
        return out;
    };
    const LobbyState waits[][2] = {{LOBBY_USER_INFO_ASKED, LOBBY_USER_INFO},
                                   {LOBBY_MEMBER_INFO_ASKED, LOBBY_MEMBER_INFO}};
    for (const auto& [waiting, shown] : waits)
    {
        {
            auto lock = client.Lock();
            client.GetStateBlock().selectedId = 5;
        }
        client.SetState(waiting);
        Feed(1015, 1, data(6, "eve"));
        Feed(1015, 1, data(9, "zed"));
        EXPECT_EQ(client.GetState(), waiting);
        Feed(1015, 1, data(5, "dora"));
        EXPECT_EQ(client.GetState(), shown);
    }
}

TEST_F(LobbyDispatchTest, ListsAreIgnoredBeforeTheLogin)
{
    client.SetState(LOBBY_LOGIN_REFUSED);
    Feed(1012, 1, Entry(1, "one", 5));
    Feed(1011, 1, std::vector<uint8_t>(37, 1));
    Feed(1020, 1, Chat("a", "b"));
    auto lock = client.Lock();
    EXPECT_TRUE(client.GetUsers().empty());
    EXPECT_TRUE(client.GetRooms().empty());
    EXPECT_EQ(client.GetStateBlock().lobbyChatCount, 0);
}

// The chat box ends on its view: the newest line while the player follows
// it, the line scrolled back to otherwise, even as a full log drops its
// oldest; leaving a room puts it on the newest again.
TEST_F(LobbyDispatchTest, LobbyChatKeepsSixtyLinesAndFollowsTheNewest)
{
    client.SetState(LOBBY_IN_LOBBY);
    auto say = [&](int first, int end) {
        for (int i = first; i < end; ++i)
            Feed(1020, 1, Chat("n", "line" + std::to_string(i)));
    };
    auto viewed = [&] {
        auto lock = client.Lock();
        const tag_KVRLOBBYSTATE& s = client.GetStateBlock();
        return std::string(s.lobbyChat[s.lobbyChatView].text);
    };
    auto scrollTo = [&](int32_t view) {
        auto lock = client.Lock();
        client.GetStateBlock().lobbyChatView = view;
    };
    say(0, 10);
    EXPECT_EQ(viewed(), "line9");
    scrollTo(3);
    say(10, 11);
    EXPECT_EQ(viewed(), "line3");
    scrollTo(10);
    say(11, 61);
    EXPECT_EQ(viewed(), "line60");
    scrollTo(20);
    say(61, 62);
    EXPECT_EQ(viewed(), "line21");
    {
        auto lock = client.Lock();
        EXPECT_EQ(client.GetStateBlock().lobbyChatCount, 60);
        EXPECT_STREQ(client.GetStateBlock().lobbyChat[0].text, "line2");
    }
    client.SetState(LOBBY_LEAVING_ROOM);
    for (int i = 0; i < 10 && client.GetState() == LOBBY_LEAVING_ROOM; ++i)
        client.Update(0.05f);
    ASSERT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    EXPECT_EQ(viewed(), "line61");
}

TEST_F(LobbyDispatchTest, MatchCountNeedsExactlyOneByte)
{
    client.SetState(LOBBY_MATCH_SOUGHT);
    Feed(1018, 2, {3, 4});
    {
        auto lock = client.Lock();
        EXPECT_EQ(client.GetStateBlock().matchedPlayers, 0);
    }
    Feed(1018, 2, {3});
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().matchedPlayers, 3);
}

// The answer may overtake the step into the match's setup: during the
// fade after the ask, or before the caller's frame saw the wait. It is
// kept, the lobby goes to the guest's state, and the guest connects only
// once the caller says its setup is open; a host it can't reach ends the
// match at once.
TEST_F(LobbyDispatchTest, AMatchsHostAnswerThatComesEarlyIsKeptUntilTheSetupIsOpen)
{
    constexpr const char* kHost = "127.0.62.1";
    CNetSession host;
    host.Initialize(1, "QOR", "", nullptr);
    host.SetLocalAddress(kHost);
    std::atomic<int> connected{0};
    const NetPeerCallback count = [](void* argument, CNetClient*) -> uint32_t {
        static_cast<std::atomic<int>*>(argument)->fetch_add(1);
        return 1;
    };
    ASSERT_TRUE(host.ConfigureListen(0, count, &connected, nullptr, nullptr, nullptr, nullptr) && host.Listen());
    const std::vector<uint8_t> answer = MatchHostAnswer(kHost, host.GetListenPort());
    for (const LobbyState early : {LOBBY_MATCH_ACCEPTED, LOBBY_MATCH_SOUGHT})
    {
        CLobbyClient guest;
        ASSERT_TRUE(guest.Initialize(nullptr, "QOR", "", nullptr, nullptr, nullptr));
        guest.SetLocalAddress("127.0.62.2");
        guest.SetState(early);
        ASSERT_TRUE(Deliver(guest, 1019, 1, answer));
        for (int frame = 0; frame < 20 && guest.GetState() == LOBBY_MATCH_ACCEPTED; ++frame)
            guest.Update(0.1f);
        EXPECT_EQ(guest.GetState(), LOBBY_MATCH_GUEST) << early;
        EXPECT_FALSE(guest.IsConnectingToMatchHost()) << early;
        const int before = connected.load();
        guest.OpenMatchSetup();
        EXPECT_TRUE(nettest::WaitUntil([&] { return connected.load() == before + 1; }, 10000)) << early;
        EXPECT_EQ(guest.GetState(), LOBBY_MATCH_GUEST) << early;
        connected.store(0);
    }
    // Out of a match's wait the answer is nobody's.
    client.SetState(LOBBY_IN_LOBBY);
    Feed(1019, 1, answer);
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    // A host nobody answers for: the match failed, at once.
    host.Shutdown();
    client.SetState(LOBBY_MATCH_SOUGHT);
    client.OpenMatchSetup();
    Feed(1019, 1, answer);
    EXPECT_TRUE(nettest::WaitUntil([&] { return client.GetState() == LOBBY_MATCH_FAILED; }, 10000))
        << client.GetState();
}

// The room's owner may start before its guest has taken the connection
// in: a guest still entering takes no room state (the owner tells it of
// the start again when it greets), or it would find itself on its way into
// battle and cut the connection it had not taken yet. A guest on its way
// out takes none either: a room state that waits for the lock while the
// player leaves, whichever way, finds nobody's host. Once the guest has
// left, the connection it made serves no room: its host's chat is nobody's,
// whatever room the player is in next.
TEST_F(LobbyDispatchTest, AGuestTakesRoomMessagesOnlyOnceInAndOnlyFromTheHostItServes)
{
    std::atomic<int> heard{0};
    std::atomic<int> taken{0};
    std::atomic<int> ended{0};
    const NetMessageHandler count = [](void* argument, CNetClient*, const uint8_t*, int32_t, uint32_t) -> uint32_t {
        static_cast<std::atomic<int>*>(argument)->fetch_add(1);
        return 1;
    };
    const NetPeerCallback tally = [](void* argument, CNetClient*) -> uint32_t {
        static_cast<std::atomic<int>*>(argument)->fetch_add(1);
        return 1;
    };
    CNetSession owner;
    owner.Initialize(1, "QOR", "", nullptr);
    owner.SetLocalAddress("127.0.62.5");
    // With a handler, so that the owner hears the answers to its keep-alives.
    const NetMessageHandler ignore = [](void*, CNetClient*, const uint8_t*, int32_t, uint32_t) -> uint32_t {
        return 1;
    };
    ASSERT_TRUE(owner.ConfigureListen(0, tally, &taken, ignore, nullptr, nullptr, nullptr) && owner.Listen());
    client.SetLocalAddress("127.0.62.6");
    client.SetPeerCallbacks(nullptr, nullptr, count, &heard, tally, &ended);
    client.SetState(LOBBY_ENTERING);
    in_addr address{};
    ASSERT_TRUE(ParseIPv4("127.0.62.5", &address) && client.ConnectAsGuest(address.s_addr, owner.GetListenPort()));
    ASSERT_TRUE(nettest::WaitUntil([&] { return taken.load() == 1; }, 10000));
    std::vector<uint8_t> start(4);
    Put32(start, 0, LOBBY_BATTLE_STARTING);
    owner.SendToAll(LOBBY_MSG_ROOM_STATE, 1, start.data(), 4, kNetKindTcp);
    owner.SendToAllEmpty(3, 1, kNetKindTcp);
    ASSERT_TRUE(nettest::WaitUntil([&] { return heard.load() == 1; }, 10000));
    EXPECT_EQ(client.GetState(), LOBBY_ENTERING);

    // The first way out runs the lobby's frame, whose upkeep would close
    // ended connections under the held lock: it goes while the session has
    // none.
    const std::pair<LobbyState, std::function<void()>> leavings[] = {
        {LOBBY_LEAVING_ROOM, [&] { client.Update(1.0f); }},
        {LOBBY_ROOM, [&] { client.DropRoomPeers(); }},
        {LOBBY_MATCH_GUEST, [&] { client.LeaveMatch(); }},
    };
    for (const auto& [inside, leave] : leavings)
    {
        client.SetState(inside);
        const int before = ended.load();
        LobbyState left = inside;
        {
            auto lock = client.Lock();
            const void* protocolLock = lock.mutex()->native_handle();
            owner.SendToAll(LOBBY_MSG_ROOM_STATE, 1, start.data(), 4, kNetKindTcp);
            ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, protocolLock) == 1; }, 10000));
            leave();
            left = client.GetState();
        }
        // Whatever comes next from the host it left ends the connection.
        owner.SendToAllEmpty(3, 1, kNetKindTcp);
        ASSERT_TRUE(nettest::WaitUntil([&] { return ended.load() == before + 1; }, 10000)) << inside;
        EXPECT_EQ(client.GetState(), left) << inside;
        ASSERT_TRUE(client.ConnectAsGuest(address.s_addr, owner.GetListenPort()));
        ASSERT_TRUE(nettest::WaitUntil([&] { return taken.load() == before + 2; }, 10000));
    }

    client.SetState(LOBBY_MATCH_GUEST);
    client.LeaveMatch();
    client.SetState(LOBBY_MATCH_HOST);
    const std::vector<uint8_t> line = Chat("owner", "stale");
    owner.SendToAll(LOBBY_MSG_ROOM_CHAT, 1, line.data(), static_cast<uint32_t>(line.size()), kNetKindTcp);
    // The line was handled once the guest has cut the connection or
    // answered the keep-alive sent after it.
    const NetClientPtr guest = owner.FindPeer("127.0.62.6");
    ASSERT_TRUE(guest);
    guest->SetKeepAliveMiss(1);
    owner.SendToAllEmpty(kNetKeepAliveRequest, 1, kNetKindTcp);
    ASSERT_TRUE(nettest::WaitUntil([&] { return !guest->HasLiveConnection() || guest->GetKeepAliveMiss() == 0; },
                                   10000));
    {
        auto lock = client.Lock();
        EXPECT_EQ(client.GetStateBlock().roomChatCount, 0);
    }
    owner.Shutdown();
}

// The game quits while the match's host still takes the connection in (a
// slow line). The connect thread is held in its connect until the quit
// waits for it, and only then comes back from the cancelled connect and
// takes the protocol lock; the server's connection stays open meanwhile
// (its thread is held too). The quit ends without waiting out the
// connect, reports no failure that did not happen and tells the server
// nothing.
TEST_F(LobbyDispatchTest, QuittingWhileTheMatchsHostTakesItsTimeEndsAtOnceAndSaysNothing)
{
    LobbyTestServer server;
    const uint16_t port = FreePortOn({"127.0.0.1", "127.0.62.4"});
    ASSERT_TRUE(port != 0 && server.Start("127.0.0.1", port));
    server.RunInThread();
    SetUpClient(client, "127.0.62.4", port, 0, "zed");
    ASSERT_TRUE(LogIn(client, "pw"));
    const void* protocolLock = client.Lock().mutex()->native_handle();
    // The server's connection's thread: the one that waits for the lock
    // with the server's keep-alive.
    std::vector<pid_t> receiving;
    {
        auto lock = client.Lock();
        server.PingAll();
        ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, protocolLock) == 1; }, 10000));
        receiving = Threads(SYS_futex, protocolLock);
    }
    ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadIsInCall(receiving[0], kPollCall); }, 10000));
    ThreadPark serverConnection(receiving[0]);
    ASSERT_TRUE(serverConnection.Parked());

    nettest::HeldListener slowHost("127.0.62.3");
    ASSERT_NE(slowHost.Port(), 0);
    client.GetSession()->SetConnectTimeout(60000);
    client.SetState(LOBBY_MATCH_SOUGHT);
    client.OpenMatchSetup();
    const std::vector<pid_t> before = Threads();
    Feed(LOBBY_MSG_HOST, 1, MatchHostAnswer("127.0.62.3", slowHost.Port()));
    ASSERT_TRUE(nettest::WaitUntil([&] { return slowHost.HasWaitingConnection(); }, 10000));
    std::vector<pid_t> connecting = Threads();
    std::erase_if(connecting, [&](pid_t thread) { return std::ranges::count(before, thread) != 0; });
    ASSERT_EQ(connecting.size(), 1u);
    ThreadPark hostConnection(connecting[0]);
    ASSERT_TRUE(hostConnection.Parked());

    // The quit waits for the connect thread (for another thread, not for
    // the lock): the connect thread comes back, and once it has ended the
    // server's connection's thread does.
    const pid_t quitting = gettid();
    std::atomic<bool> quits{false};
    std::thread letGo([&] {
        nettest::WaitUntil([&] {
            return quits.load() && ThreadIsInCall(quitting, SYS_futex) &&
                   !ThreadIsInCall(quitting, SYS_futex, protocolLock);
        }, 10000);
        hostConnection.LetGo();
        nettest::WaitUntil([&] { return std::ranges::count(Threads(), connecting[0]) == 0; }, 10000);
        serverConnection.LetGo();
    });
    Watchdog watchdog(30000, "quitting while the match's connect thread comes back");
    ::testing::internal::CaptureStderr();
    quits.store(true);
    client.Release();
    letGo.join();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(nettest::WaitUntil([&] { return server.GetConnectionCount() == 0; }, 10000));
    const std::vector<int16_t> received = server.GetReceivedIds();
    EXPECT_EQ(std::ranges::count(received, LOBBY_MSG_LEAVE_ROOM), 0);
}

TEST_F(LobbyDispatchTest, RoomEntriesAddRefreshAndRemoveRooms)
{
    client.SetState(LOBBY_IN_LOBBY);
    const std::vector<uint8_t> room = Room(7, 0, 1);
    std::vector<uint8_t> entries(room.begin(), room.begin() + 37);
    const std::vector<uint8_t> other = Room(8, 0, 1);
    entries.insert(entries.end(), other.begin(), other.begin() + 37);
    Feed(1011, 1, entries);
    std::vector<uint8_t> busy(room.begin(), room.begin() + 37);
    Put32(busy, 29, 1);
    Feed(1008, 1, busy);
    {
        auto lock = client.Lock();
        ASSERT_EQ(client.GetRooms().size(), 2u);
        EXPECT_EQ(client.FindRoom(7)->data.busy, 1u);
        // New rooms are copies of the template: one attribute, limit 8.
        EXPECT_EQ(client.FindRoom(8)->GetAttributeCount(), 1);
        EXPECT_EQ(client.FindRoom(8)->data.playerLimit, 8);
        client.GetStateBlock().roomCursor = 1;
    }
    std::vector<uint8_t> id(4);
    Put32(id, 0, 8);
    Feed(1003, 1, id);
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    auto lock = client.Lock();
    EXPECT_EQ(client.FindRoom(8), nullptr);
    EXPECT_EQ(client.GetStateBlock().roomCursor, 0);
}

TEST_F(LobbyDispatchTest, RelayedChatNeedsTheRoomAndAWholeLine)
{
    const std::vector<uint8_t> line = Chat("guest", "hi");
    client.SetState(LOBBY_IN_LOBBY);
    EXPECT_FALSE(client.OnChatMessage(line.data(), static_cast<uint32_t>(line.size())));
    client.SetState(LOBBY_ROOM);
    EXPECT_FALSE(client.OnChatMessage(line.data(), 280));
    EXPECT_TRUE(client.OnChatMessage(line.data(), static_cast<uint32_t>(line.size())));
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().roomChatCount, 1);
    EXPECT_STREQ(client.GetStateBlock().roomChat[0].name, "guest");
}

TEST_F(LobbyDispatchTest, KeepAliveIsAnsweredWithoutAConnection)
{
    client.SetState(LOBBY_IN_LOBBY);
    Feed(1024, 1, {});
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    EXPECT_FALSE(client.SendMessage(LOBBY_MSG_KEEPALIVE));
}

TEST_F(LobbyDispatchTest, LoginIdIsCutAtAWholeCharacter)
{
    // 31 letters and a double-byte character do not fit 33 bytes with the
    // NUL: the character goes, not half of it.
    client.SetLoginId((std::string(31, 'a') + "\x82\xA0").c_str());
    auto lock = client.Lock();
    EXPECT_EQ(std::strlen(client.GetStateBlock().loginId), 31u);
}

TEST_F(LobbyDispatchTest, AnyKeyLeavesTheFailureNotices)
{
    for (LobbyState state :
         {LOBBY_SERVICE_CLOSED, LOBBY_WRONG_VERSION, LOBBY_PORT_MAPPING_FAILED, LOBBY_CONNECTION_LOST})
    {
        client.SetState(state);
        client.OnInput(0);
        EXPECT_EQ(client.GetState(), state);
        client.OnInput(LOBBY_KEY_DECIDE);
        EXPECT_EQ(client.GetState(), LOBBY_LEAVING);
    }
    for (int i = 0; i < 10; ++i)
        client.Update(0.05f);
    EXPECT_EQ(client.GetState(), LOBBY_FINISHED);
}

// Every refusal the server can send while the client waits for an answer
// leads to the screen of that refusal, and a key from there to one the
// player can act on: none leaves the waiting mark up for good.
TEST_F(LobbyDispatchTest, EveryRefusalWhileWaitingLeadsToAScreenThePlayerCanLeave)
{
    struct Refusal
    {
        LobbyState waiting;
        int16_t id;
        LobbyState shown;
        LobbyState afterKey;
    };
    const Refusal refusals[] = {
        {LOBBY_CONNECTING, 100, LOBBY_SERVICE_CLOSED, LOBBY_LEAVING},
        {LOBBY_LOGIN_SENT, 1001, LOBBY_LOGIN_REFUSED, LOBBY_LOGIN},
        {LOBBY_USER_INFO_ASKED, 1015, LOBBY_USER_INFO_FAILED, LOBBY_IN_LOBBY},
        {LOBBY_ROOM_ASKED, 1002, LOBBY_ROOM_NOT_MADE, LOBBY_IN_LOBBY},
        {LOBBY_ROOM_ASKED, 1009, LOBBY_ROOM_NOT_MADE, LOBBY_IN_LOBBY},
        {LOBBY_ROOM_ASKED, 1004, LOBBY_ROOM_NOT_MADE, LOBBY_IN_LOBBY},
        {LOBBY_ROOM_INFO_ASKED, 1009, LOBBY_ROOM_INFO_FAILED, LOBBY_IN_LOBBY},
        {LOBBY_LINE_TEST_ASKED, 1023, LOBBY_LINE_TEST_RESULT, LOBBY_ROOM_INFO},
        {LOBBY_ENTERING, 1005, LOBBY_NOT_ENTERED, LOBBY_IN_LOBBY},
        {LOBBY_ROOM_KEY_SENT, 1006, LOBBY_WRONG_ROOM_KEY, LOBBY_IN_LOBBY},
        {LOBBY_MEMBER_INFO_ASKED, 1015, LOBBY_MEMBER_INFO_FAILED, LOBBY_ROOM},
        {LOBBY_ROOM_DATA_ASKED, 1009, LOBBY_ROOM_DATA_FAILED, LOBBY_ROOM},
        {LOBBY_SETTINGS_SENT, 1004, LOBBY_SETTINGS_REFUSED, LOBBY_ROOM_SETTINGS},
        {LOBBY_MATCH_ASKED, 1017, LOBBY_MATCH_REFUSED, LOBBY_IN_LOBBY},
    };
    for (const Refusal& refusal : refusals)
    {
        client.SetState(refusal.waiting);
        Feed(refusal.id, kLobbySubRefused, {});
        EXPECT_EQ(client.GetState(), refusal.shown) << refusal.waiting << " " << refusal.id;
        client.OnInput(LOBBY_KEY_DECIDE);
        EXPECT_EQ(client.GetState(), refusal.afterKey) << refusal.waiting << " " << refusal.id;
    }
    // A refused removal: back to the room, with nobody removed.
    client.SetState(LOBBY_REMOVE_SENT);
    Feed(1014, kLobbySubRefused, {});
    EXPECT_EQ(client.GetState(), LOBBY_ROOM);
}

TEST_F(LobbyDispatchTest, RoomInfoOpensOnItsEnterButtonAndEachSideKeyPicksItsButton)
{
    client.SetState(LOBBY_IN_LOBBY);
    const std::vector<uint8_t> room = Room(7, 99, 1);
    Feed(1011, 1, std::vector<uint8_t>(room.begin(), room.begin() + 37));
    {
        auto lock = client.Lock();
        client.GetStateBlock().selectedId = 7;
        client.GetStateBlock().row = 0;
    }
    client.SetState(LOBBY_ROOM_INFO_ASKED);
    Feed(1009, 1, room);
    ASSERT_EQ(client.GetState(), LOBBY_ROOM_INFO);
    auto row = [&] {
        auto lock = client.Lock();
        return client.GetStateBlock().row;
    };
    EXPECT_EQ(row(), 1);
    const int32_t keys[] = {LOBBY_KEY_RIGHT, LOBBY_KEY_RIGHT, LOBBY_KEY_LEFT, LOBBY_KEY_LEFT, LOBBY_KEY_DOWN, LOBBY_KEY_UP};
    const int32_t rows[] = {2, 2, 1, 1, 2, 1};
    for (size_t i = 0; i < std::size(keys); ++i)
    {
        client.OnInput(keys[i]);
        EXPECT_EQ(row(), rows[i]) << i;
        EXPECT_EQ(client.GetState(), LOBBY_ROOM_INFO);
    }
}

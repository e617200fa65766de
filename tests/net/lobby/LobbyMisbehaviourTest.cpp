// A lobby server that misbehaves leaves the client running in a sound
// state, and the server's own lists consistent.
#include "LobbyLoopbackSupport.h"
#include "LobbyTestServer.h"
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace lobbytest;

namespace
{
class LobbyMisbehaviourTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = FreePortOn({"127.0.0.1", "127.0.0.4"});
        ASSERT_NE(port, 0);
        ASSERT_TRUE(server.Start("127.0.0.1", port));
        server.RunInThread();
        SetUpClient(client, "127.0.0.4", port, 0, "carol");
    }
    void TearDown() override
    {
        client.Release();
        server.Stop();
    }

    uint16_t port = 0;
    LobbyTestServer server;
    CLobbyClient client;
};
} // namespace

TEST_F(LobbyMisbehaviourTest, ClosedServiceAndWrongVersionShowTheirNotices)
{
    server.SetMisbehaviour(Misbehaviour::ServiceClosed);
    EXPECT_EQ(ConnectClient(client), LOBBY_SERVICE_CLOSED);
    client.Release();
    SetUpClient(client, "127.0.0.4", port, 0, "carol");
    server.SetMisbehaviour(Misbehaviour::WrongVersion);
    EXPECT_EQ(ConnectClient(client), LOBBY_WRONG_VERSION);
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepToState(client, LOBBY_FINISHED));
}

// A server that can't be reached is no server under maintenance: the
// notice names the network and the port, and any key leaves.
TEST_F(LobbyMisbehaviourTest, NoServerShowsTheNetworkNoticeNotTheMaintenanceOne)
{
    server.Stop();
    EXPECT_EQ(ConnectClient(client), LOBBY_PORT_MAPPING_FAILED);
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepToState(client, LOBBY_FINISHED));
}

TEST_F(LobbyMisbehaviourTest, RefusedLoginReturnsToTheEditor)
{
    ASSERT_EQ(ConnectClient(client), LOBBY_LOGIN);
    client.OnInput(LOBBY_KEY_DOWN);
    client.GetEditor()->Insert("wrong");
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(client, LOBBY_LOGIN_REFUSED));
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_EQ(client.GetState(), LOBBY_LOGIN);
    EXPECT_EQ(server.GetUserCount(), 0u);
}

TEST_F(LobbyMisbehaviourTest, ShortPayloadsAreRefused)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    ASSERT_TRUE(StepUntil({&client}, [&] {
        auto lock = client.Lock();
        return client.GetUsers().size() == 1;
    }));
    server.SetMisbehaviour(Misbehaviour::ShortPayloads);
    // The user list arrived whole before; the user info now comes cut.
    client.OnInput(LOBBY_KEY_RIGHT);
    client.OnInput(LOBBY_KEY_RIGHT);
    {
        auto lock = client.Lock();
        EXPECT_EQ(client.GetStateBlock().pane, 2);
        EXPECT_EQ(client.GetUsers().size(), 1u);
    }
    client.OnInput(LOBBY_KEY_DECIDE);
    // The cut answer may already have been refused by the receive thread.
    const int32_t waiting = client.GetState();
    ASSERT_TRUE(waiting == 13 || waiting == 14) << waiting;
    EXPECT_TRUE(StepToState(client, LOBBY_USER_INFO_FAILED));
    EXPECT_TRUE(server.IsConsistent());
}

TEST_F(LobbyMisbehaviourTest, UnsolicitedOrdersAreIgnored)
{
    server.SetMisbehaviour(Misbehaviour::Unsolicited);
    ASSERT_TRUE(LogIn(client, "pw"));
    StepUntil({&client}, [] { return false; }, 300);
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
    EXPECT_EQ(client.GetSession()->GetPeerCount(), 0u);
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().sessionKey, LobbyTestServer::kSessionKey);
}

TEST_F(LobbyMisbehaviourTest, SlowDripStillLogsIn)
{
    server.SetMisbehaviour(Misbehaviour::SlowDrip);
    ASSERT_TRUE(LogIn(client, "pw"));
    EXPECT_EQ(server.GetUserCount(), 1u);
}

TEST_F(LobbyMisbehaviourTest, DisconnectMidFrameEndsTheConnection)
{
    server.SetMisbehaviour(Misbehaviour::DisconnectMidFrame);
    ASSERT_EQ(ConnectClient(client), LOBBY_LOGIN);
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepToState(client, LOBBY_CONNECTION_LOST));
    EXPECT_TRUE(nettest::WaitUntil([&] { return server.GetUserCount() == 0; }, 5000));
    EXPECT_TRUE(server.IsConsistent());
    // What the network scene sets on the way back from a battle or a
    // match's setup leaves the loss told.
    EXPECT_FALSE(client.SetRoomState(LOBBY_IN_LOBBY));
    EXPECT_FALSE(client.SetState(LOBBY_MATCH_FAILED));
    EXPECT_EQ(client.GetState(), LOBBY_CONNECTION_LOST);
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepToState(client, LOBBY_FINISHED));
}

// The connection ends just as the player leaves the lobby: the loss, which
// its thread finds once the player's frame gives the lock up, stops nobody
// on the way out.
TEST_F(LobbyMisbehaviourTest, AConnectionThatEndsAsThePlayerLeavesKeepsItLeaving)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    {
        auto lock = client.Lock();
        const void* protocolLock = lock.mutex()->native_handle();
        client.SetState(LOBBY_LEAVING);
        server.Stop();
        ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, protocolLock) == 1; }, 10000));
    }
    EXPECT_FALSE(nettest::WaitUntil([&] { return client.GetState() == LOBBY_CONNECTION_LOST; }, 500));
    EXPECT_TRUE(StepToState(client, LOBBY_FINISHED));
}

TEST_F(LobbyMisbehaviourTest, OversizeFrameDropsTheConnection)
{
    server.SetMisbehaviour(Misbehaviour::Oversize);
    ASSERT_EQ(ConnectClient(client), LOBBY_LOGIN);
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DECIDE);
    EXPECT_TRUE(StepToState(client, LOBBY_CONNECTION_LOST));
    EXPECT_TRUE(nettest::WaitUntil([&] { return server.GetConnectionCount() == 0; }, 5000));
    EXPECT_TRUE(server.IsConsistent());
}

TEST_F(LobbyMisbehaviourTest, BadMemberBlocksAreClamped)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    server.SetMisbehaviour(Misbehaviour::BadMembers);
    client.OnInput(LOBBY_KEY_LEFT);
    client.OnInput(LOBBY_KEY_LEFT);
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(client.GetState(), LOBBY_NEW_ROOM_EDITOR);
    client.OnInput(LOBBY_KEY_DOWN);
    client.GetEditor()->Insert("Den");
    client.OnInput(LOBBY_KEY_UP);
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepToState(client, LOBBY_ROOM));
    auto lock = client.Lock();
    EXPECT_EQ(client.GetCurrentRoom()->GetPlayerCount(), 0);
    EXPECT_EQ(std::strlen(client.GetCurrentRoom()->data.members.owner.name), kLobbyNameSize - 1);
}

TEST_F(LobbyMisbehaviourTest, KeepAliveIsAnswered)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    server.PingAll();
    EXPECT_TRUE(nettest::WaitUntil([&] { return server.GetKeepAliveAnswers() >= 1; }, 5000));
    EXPECT_EQ(client.GetState(), LOBBY_IN_LOBBY);
}

TEST_F(LobbyMisbehaviourTest, ReleaseWhileConnectingJoinsTheConnectThread)
{
    ASSERT_TRUE(StepToState(client, LOBBY_BETA_NOTICE));
    client.OnInput(LOBBY_KEY_DECIDE);
    client.Update(kFrameSeconds);
    client.Release();
    EXPECT_EQ(client.GetState(), -1);
}

TEST_F(LobbyMisbehaviourTest, PortMappingWithoutAGatewayStillConnects)
{
    // Nobody answers the search on this port: no router, nothing mapped.
    const uint16_t silent = nettest::FreePort("127.0.0.1", SOCK_DGRAM);
    client.SetPortMapping(1);
    client.SetUpnpTarget("127.0.0.1", silent, 200);
    EXPECT_EQ(ConnectClient(client), LOBBY_LOGIN);
}

TEST_F(LobbyMisbehaviourTest, AFrameThatCannotGoOutWholeClosesTheConnection)
{
    client.SetConnectTimeout(300);
    ASSERT_TRUE(LogIn(client, "pw"));
    server.SetMisbehaviour(Misbehaviour::Deaf);
    // The server reads nothing more: sooner or later a frame stops half
    // way, and rather than leave half a frame in the stream the client
    // closes the connection.
    std::vector<uint8_t> big(kLobbyMaxPayload, 'x');
    bool failed = false;
    for (int i = 0; i < 64 && !failed; ++i)
        failed = !client.SendMessageData(LOBBY_MSG_LOBBY_CHAT, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_TRUE(failed);
    EXPECT_TRUE(StepToState(client, LOBBY_CONNECTION_LOST));
    EXPECT_FALSE(client.SendMessage(LOBBY_MSG_KEEPALIVE));
}

// The lobby client against a lobby server, a line-test target and a router
// that misbehave: a server that floods the user list, one that floods
// keep-alives and stops reading, a target that drips its line test, and a
// router that drips its answers. None of them may freeze the client's
// frame, grow its lists without bound or hold up quitting.
#include "HostileParties.h"

#include "tests/net/FakeGateway.h"

#include <gtest/gtest.h>

using namespace lobbytest;

namespace
{
// The line tests' deadline. A frame or a release that waited for a
// dripping party would sleep with it until the drip or this deadline ends.
constexpr uint32_t kLineTestTimeoutMs = 3000;
// A line-test deadline no test lives to see: a day.
constexpr uint32_t kNoLineTestDeadlineMs = 24 * 60 * 60 * 1000;

// Takes the line-test connection on address:port and answers the test by
// dripping one byte now and then, for ever: every read of the tester gets
// a byte before its step deadline, and the test never ends on its own.
class DrippingTarget
{
public:
    DrippingTarget(const char* address, uint16_t port)
    {
        in_addr local{};
        ParseIPv4(address, &local);
        m_listen = CNetSocket(OpenNetSocket(SOCK_STREAM));
        BindNetSocket(m_listen.Get(), &local, port);
        ::listen(m_listen.Get(), 1);
        m_thread = std::thread([this] { Serve(); });
    }
    ~DrippingTarget()
    {
        m_wake.Signal();
        m_thread.join();
    }
    bool Connected() const { return m_connected.load(); }
    int Drips() const { return m_drips.load(); }
    bool HungUp() const { return m_hungUp.load(); }

private:
    void Serve()
    {
        if (WaitReadable(m_listen.Get(), m_wake.Get(), 10000) != 1)
            return;
        CNetSocket tester(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        m_connected.store(tester.IsValid());
        uint8_t sink[4096];
        for (int i = 0; i < 1000 && tester.IsValid(); ++i)
        {
            if (WaitReadable(m_wake.Get(), -1, 20) != 0)
                return;
            ssize_t got = 0;
            while ((got = ::recv(tester.Get(), sink, sizeof(sink), 0)) > 0)
            {
            }
            // A tester that closes with a drip still unread resets the
            // connection: that is a hang-up too.
            if (got == 0 || (errno != EAGAIN && errno != EINTR))
            {
                m_hungUp.store(true);
                return;
            }
            const uint8_t byte = 0x5A;
            if (::send(tester.Get(), &byte, 1, MSG_NOSIGNAL) < 0 && errno != EAGAIN)
            {
                m_hungUp.store(errno == EPIPE || errno == ECONNRESET);
                return;
            }
            m_drips.fetch_add(1);
        }
    }

    CNetSocket m_listen;
    CNetWakeEvent m_wake;
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_drips{0};
    std::atomic<bool> m_hungUp{false};
    std::thread m_thread;
};

class HostileServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = FreePortOn({"127.0.0.1", "127.0.0.4", "127.0.0.9"});
        ASSERT_NE(port, 0);
        ASSERT_TRUE(server.Start("127.0.0.1", port));
        SetUpClient(client, "127.0.0.4", port, 0, "carol");
    }
    void TearDown() override
    {
        client.Release();
        server.Stop();
    }

    // The server answers the line test the client waits for with the
    // target's address (127.0.0.9); true once the test reached the target
    // and the target is dripping its answer.
    bool TestLineTo(const DrippingTarget& target, uint32_t timeoutMs = kLineTestTimeoutMs)
    {
        client.SetLineTestTimeout(timeoutMs);
        client.SetState(LOBBY_LINE_TEST_ASKED);
        server.Push(1023, 1, {127, 0, 0, 9});
        return nettest::WaitUntil([&] { return target.Connected() && target.Drips() >= 2; }, 5000);
    }

    void WatchedRelease(CallWatch& watch)
    {
        Watchdog watchdog(30000, "releasing the lobby client");
        watch.Run([&] { client.Release(); });
    }

    uint16_t port = 0;
    HostileLobby server;
    CLobbyClient client;
};

} // namespace

// Four messages of a mebibyte each, every entry a new user: the list stops
// at its bound, the server is dropped, and no frame does the parsing (a
// frame may wait for one message's handling, here the one that ends it).
TEST_F(HostileServer, AUserListFloodIsBoundedAndEndsTheConnection)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    constexpr uint32_t kEntries = (1u << 20) / 33;
    uint32_t next = 1000;
    for (int message = 0; message < 4; ++message)
    {
        std::vector<uint8_t> entries(kEntries * 33);
        for (uint32_t i = 0; i < kEntries; ++i)
        {
            Put32(entries, i * 33, next++);
            std::string name = "u";
            name += std::to_string(next);
            PutText(entries, i * 33 + 4, name, 25);
            Put32(entries, i * 33 + 29, 25);
        }
        server.Push(1012, 1, entries);
    }
    CallWatch watch;
    EXPECT_TRUE(StepUntil({}, [&] {
        WatchedFrame(client, watch);
        return client.GetState() == LOBBY_CONNECTION_LOST;
    }, 10000));
    EXPECT_LE(UserCount(client), kLobbyMaxUsers);
    EXPECT_LT(watch.LongestWork(), kFrameWorkBudgetMs);
}

// The server sends keep-alives without end and reads none of the answers.
TEST_F(HostileServer, AKeepAliveFloodFromADeafServerCannotFreezeTheFrame)
{
    // The answers pile up until this deadline gives the server up; a frame
    // that waited for room for them would sleep until then.
    constexpr uint32_t kSendTimeoutMs = 2000;
    client.SetConnectTimeout(kSendTimeoutMs);
    ASSERT_TRUE(LogIn(client, "pw"));
    server.SetDeaf(true);
    std::vector<uint8_t> burst;
    const std::vector<uint8_t> one = ServerMessage(1024, 1, {}, HostileLobby::kKey);
    for (int i = 0; i < 32768; ++i)
        burst.insert(burst.end(), one.begin(), one.end());
    CallWatch watch;
    EXPECT_TRUE(StepUntil({}, [&] {
        if (server.Pending() < burst.size())
            server.PushBytes(burst);
        WatchedFrame(client, watch);
        return client.GetState() == LOBBY_CONNECTION_LOST;
    }, kFloodCutMs));
    EXPECT_TRUE(NoStall(watch));
    EXPECT_LT(watch.LongestWork(), kFrameWorkBudgetMs);
}

// The target of a line test drips its answer. The player can walk away
// from the test, quitting stops it at once, and it has an end of its own.
TEST_F(HostileServer, ADrippingLineTestCanBeCancelled)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    DrippingTarget target("127.0.0.9", port);
    // No deadline ends the test: only the cancel does.
    ASSERT_TRUE(TestLineTo(target, kNoLineTestDeadlineMs));
    CallWatch watch;
    watch.Run([&] { client.OnInput(LOBBY_KEY_CANCEL); });
    EXPECT_EQ(client.GetState(), LOBBY_ROOM_INFO);
    // The cancelled test ends at once and is collected by a frame; its
    // result never shows.
    EXPECT_TRUE(StepUntil({}, [&] {
        WatchedFrame(client, watch);
        return target.HungUp();
    })) << "the cancelled test went on";
    for (int i = 0; i < 20; ++i)
        WatchedFrame(client, watch);
    EXPECT_TRUE(NoStall(watch));
    EXPECT_LT(watch.LongestWork(), kFrameWorkBudgetMs);
    EXPECT_NE(client.GetState(), LOBBY_LINE_TEST_RESULT);
    WatchedRelease(watch);
    EXPECT_TRUE(NoStall(watch));
}

TEST_F(HostileServer, QuittingDuringADrippingLineTestIsImmediate)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    DrippingTarget target("127.0.0.9", port);
    ASSERT_TRUE(TestLineTo(target));
    CallWatch watch;
    WatchedRelease(watch);
    EXPECT_TRUE(NoStall(watch));
}

TEST_F(HostileServer, ADrippingLineTestEndsAtItsDeadline)
{
    ASSERT_TRUE(LogIn(client, "pw"));
    DrippingTarget target("127.0.0.9", port);
    ASSERT_TRUE(TestLineTo(target));
    CallWatch watch;
    EXPECT_TRUE(StepUntil({}, [&] {
        WatchedFrame(client, watch);
        return client.GetState() == LOBBY_LINE_TEST_RESULT;
    }, 2 * kLineTestTimeoutMs));
    EXPECT_TRUE(NoStall(watch));
    EXPECT_LT(watch.LongestWork(), kFrameWorkBudgetMs);
    auto lock = client.Lock();
    EXPECT_EQ(client.GetStateBlock().lineTest.receivedByPeer, 0u);
}

// The router drips every answer while the ports are being mapped: quitting
// then doesn't wait for the mapping.
TEST_F(HostileServer, QuittingWhileADrippingRouterMapsPortsIsImmediate)
{
    nettest::FakeGateway gateway("127.0.0.8");
    gateway.mode = nettest::FakeGateway::Mode::DripSoap;
    gateway.Start();
    client.SetOwnPort(port);
    client.SetPortMapping(1);
    client.SetUpnpTarget("127.0.0.8", gateway.SsdpPort(), 3000);
    ASSERT_TRUE(StepToState(client, LOBBY_BETA_NOTICE));
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(StepUntil({&client}, [&] { return !gateway.Actions().empty(); }, 5000));
    EXPECT_EQ(client.GetState(), LOBBY_CONNECTING);
    CallWatch watch;
    WatchedRelease(watch);
    EXPECT_TRUE(NoStall(watch));
    gateway.Stop();
}

// The ports were mapped; at release the router answers the first delete and
// drips its answers to the rest, four mappings on two services. The deletes
// get the release's own time: the first removes its mapping, the next takes
// the rest of the time and is hung up on mid-drip, and no other is tried.
TEST_F(HostileServer, ADrippingRouterCannotHoldUpQuitting)
{
    nettest::FakeGateway gateway("127.0.0.8");
    gateway.Start();
    client.SetOwnPort(static_cast<uint16_t>(port + 1));
    client.SetPortMapping(1);
    client.SetUpnpTarget("127.0.0.8", gateway.SsdpPort(), 3000);
    ASSERT_EQ(ConnectClient(client), LOBBY_LOGIN);
    ASSERT_EQ(gateway.Mappings().size(), 8u);
    gateway.mode = nettest::FakeGateway::Mode::DripDeletes;
    {
        Watchdog watchdog(30000, "releasing the lobby client");
        client.Release();
    }
    // The router reads what the release sent at its own pace: a request it
    // reads after the release gave up still counts.
    const auto deletes = [&] {
        return std::ranges::count_if(
            gateway.Actions(), [](const std::string& action) { return action.starts_with("DeletePortMapping"); });
    };
    EXPECT_TRUE(nettest::WaitUntil([&] { return gateway.Mappings().size() == 7u; }, 10000))
        << "quitting removed " << 8 - gateway.Mappings().size() << " mappings";
    EXPECT_TRUE(nettest::WaitUntil([&] { return gateway.DripsHungUpOn() == deletes() - 1; }, 10000));
    EXPECT_LE(deletes(), 2);
    gateway.Stop();
}

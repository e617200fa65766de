#include "NetTestSupport.h"

#include "net/CNetSession.h"
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace nettest;

namespace
{
struct Received
{
    int32_t id;
    std::vector<uint8_t> payload;
};

// Collects what a session hands its owner.
struct Recorder
{
    std::mutex lock;
    std::vector<Received> messages;
    std::atomic<int> connected{0};
    std::atomic<int> disconnected{0};
    std::atomic<uint32_t> answer{1};

    static uint32_t OnMessage(void* argument, CNetClient*, const uint8_t* payload, int32_t id, uint32_t length)
    {
        Recorder* self = static_cast<Recorder*>(argument);
        std::lock_guard<std::mutex> guard(self->lock);
        self->messages.push_back({id, std::vector<uint8_t>(payload, payload + length)});
        return self->answer.load();
    }
    static uint32_t OnConnected(void* argument, CNetClient*)
    {
        static_cast<Recorder*>(argument)->connected.fetch_add(1);
        return 1;
    }
    static uint32_t OnDisconnected(void* argument, CNetClient*)
    {
        static_cast<Recorder*>(argument)->disconnected.fetch_add(1);
        return 1;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> guard(lock);
        return messages.size();
    }
    std::vector<Received> Take()
    {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }
};

// A session listening on host (port 0), recording into recorder.
void StartHost(CNetSession& session, Recorder& recorder, const char* host)
{
    ASSERT_EQ(session.Initialize(1, "QORBeta", "QORBeta", "QOR"), 1u);
    ASSERT_EQ(session.SetLocalAddress(host), 1u);
    ASSERT_EQ(session.ConfigureListen(0, Recorder::OnConnected, &recorder, Recorder::OnMessage, &recorder,
                                      Recorder::OnDisconnected, &recorder),
              1u);
    ASSERT_EQ(session.Listen(), 1u);
}

uint32_t ConnectGuest(CNetSession& guest, Recorder& recorder, const char* local, const char* host, uint16_t port)
{
    if (!guest.Initialize(1, "QORBeta", "QORBeta", "QOR") || !guest.SetLocalAddress(local))
        return 0;
    return guest.Connect(host, port, kNetKindTcp, Recorder::OnMessage, &recorder, Recorder::OnDisconnected, &recorder);
}

// The order in which the host let a connection in, by the peer's id.
uint32_t OrderOf(CNetSession& host, const std::string& id)
{
    for (const NetClientPtr& peer : host.GetPeers())
    {
        if (peer->GetId() == id)
            return peer->GetConnectionOrder();
    }
    return 0;
}

// Ends a connection with a reset rather than a hang-up, as a machine or a
// line that fails does: the connection breaks.
void Break(CNetSocket& socket)
{
    const linger reset{1, 0};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
    socket = CNetSocket();
}
} // namespace

TEST(NetSession, InitializeNeedsAnOwner)
{
    CNetSession session;
    EXPECT_EQ(session.Initialize(0, "a", "b", "c"), 0u);
    EXPECT_EQ(session.Initialize(7, "QORBeta", nullptr, "QOR"), 1u);
    EXPECT_STREQ(session.GetName(0), "QORBeta");
    EXPECT_STREQ(session.GetName(1), "");
    EXPECT_EQ(session.Listen(), 0u) << "no listen block yet";
}

TEST(NetSession, PeerIdIsFiveGroupsOfEightLetters)
{
    CRandom random;
    CNetClient peer("127.0.0.2", random);
    const std::string id = peer.GetId();
    ASSERT_EQ(id.size(), 45u);
    for (size_t i = 0; i < id.size(); ++i)
    {
        if (i % 9 == 8)
            EXPECT_EQ(id[i], '-');
        else
            EXPECT_TRUE((id[i] >= 'a' && id[i] <= 'z') || (id[i] >= 'A' && id[i] <= 'Z')) << id;
    }
    CNetClient second("127.0.0.3", random);
    EXPECT_NE(id, second.GetId());
}

// Messages both ways arrive whole and in order; keep-alives are answered by
// the layer and never reach the handler.
TEST(NetSession, MessagesBothWaysAndKeepAlives)
{
    Recorder hostSide;
    Recorder guestSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.1.1");
    CNetSession guest;
    ASSERT_EQ(ConnectGuest(guest, guestSide, "127.0.1.2", "127.0.1.1", host.GetListenPort()), 1u);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 1; }, 5000));
    NetClientPtr hostView = host.FindPeer("127.0.1.2");
    ASSERT_TRUE(hostView);

    std::vector<uint8_t> big(3000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    for (int i = 0; i < 50; ++i)
    {
        const uint32_t value = static_cast<uint32_t>(i);
        ASSERT_EQ(guest.SendToAll(10, 1, &value, sizeof(value), kNetKindTcp), 1u);
    }
    ASSERT_EQ(hostView->Send(11, 1, big.data(), static_cast<uint32_t>(big.size()), kNetKindTcp), 1u);

    // The guest's keep-alive reaches the host's layer, which answers.
    guest.SetKeepAlive(1, 100);
    guest.Poll(100);
    NetClientPtr guestView = guest.FindPeer("127.0.1.1");
    ASSERT_TRUE(guestView);
    // The answer may already be back when the count is read on a busy
    // machine; it must come back in any case.
    EXPECT_LE(guestView->GetKeepAliveMiss(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return guestView->GetKeepAliveMiss() == 0; }, 5000));

    ASSERT_TRUE(WaitUntil([&] { return hostSide.Count() == 50 && guestSide.Count() == 1; }, 5000));
    const auto atHost = hostSide.Take();
    for (int i = 0; i < 50; ++i)
    {
        ASSERT_EQ(atHost[i].id, 10);
        uint32_t value = 0;
        ASSERT_EQ(atHost[i].payload.size(), 4u);
        std::memcpy(&value, atHost[i].payload.data(), 4);
        EXPECT_EQ(value, static_cast<uint32_t>(i));
    }
    EXPECT_EQ(guestSide.Take()[0].payload, big);
}

TEST(NetSession, SilentPeerIsCutAtTheSecondTick)
{
    Recorder hostSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.2.1");
    host.SetKeepAlive(1, 10000);
    // The keep-alive alone decides here, not the admission.
    host.SetAdmissionTime(0);
    // A raw peer that reads nothing and answers nothing.
    CNetSocket raw = ConnectRetrying("127.0.2.2", "127.0.2.1", host.GetListenPort());
    ASSERT_TRUE(raw.IsValid());
    ASSERT_TRUE(WaitUntil([&] { return host.GetPeerCount() == 1; }, 5000));
    host.Poll(9999);
    EXPECT_EQ(host.FindPeer("127.0.2.2")->GetKeepAliveMiss(), 0u);
    host.Poll(1);
    EXPECT_EQ(host.FindPeer("127.0.2.2")->GetKeepAliveMiss(), 1u);
    host.Poll(10000);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.disconnected.load() == 1; }, 5000));
    ASSERT_TRUE(WaitUntil(
        [&] {
            host.Poll(0);
            return host.GetPeerCount() == 0;
        },
        5000));
    // What the raw peer got: two header-only keep-alive requests.
    uint8_t bytes[64] = {};
    size_t got = 0;
    WaitUntil(
        [&] {
            const ssize_t n = ::recv(raw.Get(), bytes + got, sizeof(bytes) - got, 0);
            if (n > 0)
                got += static_cast<size_t>(n);
            return got >= 16 || n == 0;
        },
        2000);
    ASSERT_GE(got, 8u);
    EXPECT_EQ(ReadNetHeader(bytes).id, kNetKeepAliveRequest);
    EXPECT_EQ(ReadNetHeader(bytes).length, 0u);
}

// Two connections from one address (two players behind one router) are two
// peers. One that comes once one of them is over (the guest connecting
// again) takes that one's peer, with its id, even while the host has not
// read that end yet (its thread is in the handler), whether it hung up or
// broke; never the peer of a connection that goes on, though that one
// came first.
TEST(NetSession, ConnectionsFromOneAddressAreTwoPeersUntilOneIsOver)
{
    Recorder hostSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.3.1");
    CNetSocket first = ConnectRetrying("127.0.3.2", "127.0.3.1", host.GetListenPort());
    ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 1; }, 5000));
    const std::string firstId = host.GetPeers()[0]->GetId();
    CNetSocket second = ConnectRetrying("127.0.3.2", "127.0.3.1", host.GetListenPort());
    ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 2; }, 5000));
    ASSERT_EQ(host.GetPeerCount(), 2u);
    const std::string secondId = host.GetPeers()[1]->GetId();
    for (const NetClientPtr& peer : host.GetPeers())
    {
        EXPECT_STREQ(peer->GetName(), "127.0.3.2");
        EXPECT_TRUE(peer->HasLiveConnection());
    }
    CNetSocket again;
    CNetSocket secondAgain;
    {
        std::lock_guard<std::mutex> hold(hostSide.lock);
        const auto frame = Frame(5, {1, 2, 3});
        for (CNetSocket* socket : {&first, &second})
            ASSERT_EQ(SendWithDeadline(socket->Get(), frame.data(), frame.size(), 2000), 1u);
        ASSERT_TRUE(WaitUntil([&] { return ThreadsInCall(SYS_futex, hostSide.lock.native_handle()) == 2; }, 5000));
        first = CNetSocket();
        again = ConnectRetrying("127.0.3.2", "127.0.3.1", host.GetListenPort());
        ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 3; }, 5000));
        ASSERT_EQ(host.GetPeerCount(), 2u);
        EXPECT_EQ(OrderOf(host, firstId), 3u);
        EXPECT_EQ(OrderOf(host, secondId), 2u);
        // The second breaks while the first peer, the first of the address,
        // goes on with its new connection.
        Break(second);
        secondAgain = ConnectRetrying("127.0.3.2", "127.0.3.1", host.GetListenPort());
        ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 4; }, 5000));
        ASSERT_EQ(host.GetPeerCount(), 2u) << "a broken connection's peer was not taken over";
        EXPECT_EQ(OrderOf(host, firstId), 3u) << "a live connection's peer was taken over";
        EXPECT_EQ(OrderOf(host, secondId), 4u);
    }
    // The old connections' ends are told on their own threads, in their
    // own time.
    EXPECT_TRUE(WaitUntil([&] { return hostSide.disconnected.load() == 2; }, 5000));
    EXPECT_EQ(hostSide.Count(), 2u);
    // A different address is a different peer.
    CNetSocket third = ConnectRetrying("127.0.3.3", "127.0.3.1", host.GetListenPort());
    ASSERT_TRUE(WaitUntil([&] { return host.GetPeerCount() == 3; }, 5000));
}

// Two hosts on one address (two players behind one router) are two peers
// of the side that connects to both, and a guest from that address a third:
// no connection takes another's place.
TEST(NetSession, ConnectionsToTwoPortsOfOneAddressAreTwoPeers)
{
    Recorder firstSide;
    Recorder secondSide;
    Recorder ownSide;
    CNetSession first;
    CNetSession second;
    CNetSession own;
    StartHost(first, firstSide, "127.0.11.1");
    StartHost(second, secondSide, "127.0.11.1");
    StartHost(own, ownSide, "127.0.11.2");
    for (CNetSession* host : {&first, &second})
        ASSERT_EQ(own.Connect("127.0.11.1", host->GetListenPort(), kNetKindTcp, Recorder::OnMessage, &ownSide,
                              Recorder::OnDisconnected, &ownSide),
                  1u);
    CNetSocket guest = ConnectRetrying("127.0.11.1", "127.0.11.2", own.GetListenPort());
    ASSERT_TRUE(WaitUntil([&] { return ownSide.connected.load() == 1; }, 5000));
    ASSERT_EQ(own.GetPeerCount(), 3u);
    for (const NetClientPtr& peer : own.GetPeers())
    {
        EXPECT_STREQ(peer->GetName(), "127.0.11.1");
        EXPECT_TRUE(peer->HasLiveConnection());
    }
    EXPECT_EQ(firstSide.disconnected.load() + secondSide.disconnected.load(), 0);
}

TEST(NetSession, PeersBeyondTheLimitAreRefused)
{
    Recorder hostSide;
    CNetSession host;
    host.SetMaxPeers(3);
    StartHost(host, hostSide, "127.0.4.1");
    // Three peers that have said something hold their places.
    std::vector<CNetSocket> sockets;
    const auto hello = Frame(1, {1});
    for (int i = 0; i < 3; ++i)
    {
        const std::string local = "127.0.4." + std::to_string(10 + i);
        sockets.push_back(ConnectRetrying(local.c_str(), "127.0.4.1", host.GetListenPort()));
        ASSERT_EQ(SendWithDeadline(sockets.back().Get(), hello.data(), hello.size(), 2000), 1u);
    }
    // A peer is admitted once the handler of its first message has
    // returned, a moment after the handler counted it.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<NetClientPtr> peers = host.GetPeers();
            return peers.size() == 3 && std::all_of(peers.begin(), peers.end(),
                                                    [](const NetClientPtr& peer) { return peer->IsAdmitted(); });
        },
        5000));
    for (int i = 3; i < 5; ++i)
    {
        const std::string local = "127.0.4." + std::to_string(10 + i);
        sockets.push_back(ConnectRetrying(local.c_str(), "127.0.4.1", host.GetListenPort()));
    }
    // The refused ones see their connection closed.
    uint8_t byte = 0;
    ASSERT_TRUE(WaitUntil([&] { return ::recv(sockets[4].Get(), &byte, 1, 0) == 0; }, 5000));
    EXPECT_EQ(hostSide.connected.load(), 3);
    EXPECT_EQ(host.GetPeerCount(), 3u);
}

// Frames from several threads on one connection never interleave.
TEST(NetSession, ConcurrentSendersKeepFramesWhole)
{
    Recorder hostSide;
    Recorder guestSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.5.1");
    CNetSession guest;
    ASSERT_EQ(ConnectGuest(guest, guestSide, "127.0.5.2", "127.0.5.1", host.GetListenPort()), 1u);
    constexpr int kThreads = 4;
    constexpr int kEach = 300;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
    {
        senders.emplace_back([&, t] {
            std::vector<uint8_t> payload(1000 + t * 700, static_cast<uint8_t>(t));
            for (int i = 0; i < kEach; ++i)
                guest.SendToAll(static_cast<int16_t>(t), 1, payload.data(), static_cast<uint32_t>(payload.size()),
                                kNetKindTcp);
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(WaitUntil([&] { return hostSide.Count() == kThreads * kEach; }, 20000));
    for (const Received& message : hostSide.Take())
    {
        ASSERT_GE(message.id, 0);
        ASSERT_LT(message.id, kThreads);
        ASSERT_EQ(message.payload.size(), static_cast<size_t>(1000 + message.id * 700));
        for (uint8_t byte : message.payload)
            ASSERT_EQ(byte, static_cast<uint8_t>(message.id));
    }
}

// A peer that stops reading makes a send fail at its deadline instead of
// blocking forever; the connection is cut, and later sends go nowhere.
TEST(NetSession, SendToAPeerThatNeverReadsFailsAtTheDeadline)
{
    Recorder hostSide;
    CNetSession host;
    host.SetSendTimeout(200);
    StartHost(host, hostSide, "127.0.6.1");
    CNetSocket raw = ConnectRetrying("127.0.6.2", "127.0.6.1", host.GetListenPort());
    ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 1; }, 5000));
    NetClientPtr peer = host.FindPeer("127.0.6.2");
    std::vector<uint8_t> payload(60000, 0xAB);
    uint32_t result = 1;
    // The send that finds the connection behind fails, unless the writer
    // gave the connection up first (a busy machine may hold the sender
    // back past the deadline): then the sends after go nowhere, quietly.
    for (int i = 0; i < 2000 && result == 1 && peer->HasLiveConnection(); ++i)
        result = peer->Send(1, 1, payload.data(), static_cast<uint32_t>(payload.size()), kNetKindTcp);
    EXPECT_TRUE(result == 0 || !peer->HasLiveConnection());
    ASSERT_TRUE(WaitUntil([&] { return hostSide.disconnected.load() == 1; }, 5000));
    EXPECT_FALSE(peer->HasLiveConnection());
    EXPECT_EQ(peer->Send(1, 1, payload.data(), 4, kNetKindTcp), 1u) << "a cut connection takes sends silently";
    EXPECT_EQ(peer->Send(1, 1, payload.data(), kNetMaxPayload + 1, kNetKindTcp), 0u);
}

TEST(NetSession, HandlerRefusalEndsTheConnection)
{
    Recorder hostSide;
    hostSide.answer.store(0);
    CNetSession host;
    StartHost(host, hostSide, "127.0.7.1");
    CNetSocket raw = ConnectRetrying("127.0.7.2", "127.0.7.1", host.GetListenPort());
    const auto frames = Frame(1, {1});
    ASSERT_EQ(SendWithDeadline(raw.Get(), frames.data(), frames.size(), 2000), 1u);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.disconnected.load() == 1; }, 5000));
    EXPECT_EQ(hostSide.Count(), 1u);
}

// Datagrams between two sessions; a datagram from an unknown address or
// with a broken frame is dropped.
TEST(NetSession, DatagramsBetweenPeers)
{
    Recorder hostSide;
    Recorder guestSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.8.1");
    ASSERT_EQ(host.OpenUdp(0), 1u);
    CNetSession guest;
    ASSERT_EQ(ConnectGuest(guest, guestSide, "127.0.8.2", "127.0.8.1", host.GetListenPort()), 1u);
    ASSERT_EQ(guest.OpenUdp(0), 1u);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.connected.load() == 1; }, 5000));
    host.FindPeer("127.0.8.2")->SetUdpPort(guest.GetUdpPort());
    guest.FindPeer("127.0.8.1")->SetUdpPort(host.GetUdpPort());

    const uint32_t value = 42;
    ASSERT_EQ(guest.SendToAll(20, 1, &value, 4, kNetKindUdp), 1u);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.Count() == 1; }, 5000));
    ASSERT_EQ(host.FindPeer("127.0.8.2")->Send(21, 1, &value, 4, kNetKindUdp), 1u);
    ASSERT_TRUE(WaitUntil([&] { return guestSide.Count() == 1; }, 5000));
    EXPECT_EQ(guestSide.Take()[0].id, 21);

    // From an address that is no peer: dropped.
    CNetSocket stranger(OpenNetSocket(SOCK_DGRAM));
    in_addr local{};
    in_addr target{};
    ParseIPv4("127.0.8.9", &local);
    ParseIPv4("127.0.8.1", &target);
    ASSERT_TRUE(BindNetSocket(stranger.Get(), &local, 0));
    const auto frame = Frame(22, {9});
    const sockaddr_in to = MakeAddress(target, host.GetUdpPort());
    ::sendto(stranger.Get(), frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    // A frame too big for one datagram is refused by the sender.
    std::vector<uint8_t> big(5000);
    EXPECT_EQ(guest.FindPeer("127.0.8.1")->Send(23, 1, big.data(), 5000, kNetKindUdp), 0u);
    ASSERT_EQ(guest.SendToAll(24, 1, &value, 4, kNetKindUdp), 1u);
    ASSERT_TRUE(WaitUntil([&] { return hostSide.Count() == 2; }, 5000));
    EXPECT_EQ(hostSide.Take()[1].id, 24);
}

// Shutting down while handlers broadcast and peers send must not deadlock.
TEST(NetSession, ShutdownWhileHandlersBroadcast)
{
    struct Echo
    {
        CNetSession* session;
        static uint32_t OnMessage(void* argument, CNetClient*, const uint8_t* payload, int32_t id, uint32_t length)
        {
            static_cast<Echo*>(argument)->session->SendToAll(static_cast<int16_t>(id), 1, payload, length, kNetKindTcp);
            return 1;
        }
    };
    CNetSession host;
    Echo echo{&host};
    ASSERT_EQ(host.Initialize(1, "QORBeta", "QORBeta", "QOR"), 1u);
    ASSERT_EQ(host.SetLocalAddress("127.0.9.1"), 1u);
    ASSERT_EQ(host.ConfigureListen(0, nullptr, nullptr, Echo::OnMessage, &echo, nullptr, nullptr), 1u);
    ASSERT_EQ(host.Listen(), 1u);
    // The recorders outlive the guest sessions whose threads write to them.
    std::vector<std::unique_ptr<Recorder>> recorders;
    std::vector<std::unique_ptr<CNetSession>> guests;
    for (int i = 0; i < 3; ++i)
    {
        guests.push_back(std::make_unique<CNetSession>());
        recorders.push_back(std::make_unique<Recorder>());
        const std::string local = "127.0.9." + std::to_string(2 + i);
        ASSERT_EQ(ConnectGuest(*guests.back(), *recorders.back(), local.c_str(), "127.0.9.1", host.GetListenPort()),
                  1u);
    }
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (auto& guest : guests)
    {
        CNetSession* session = guest.get();
        senders.emplace_back([session, &stop] {
            const uint32_t value = 1;
            for (int i = 0; i < 5000 && !stop.load(); ++i)
                session->SendToAll(1, 1, &value, 4, kNetKindTcp);
        });
    }
    ASSERT_TRUE(WaitUntil([&] { return recorders[0]->Count() > 10; }, 10000));
    host.Shutdown();
    stop.store(true);
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_EQ(host.GetPeerCount(), 0u);
}

// Posted messages go out in order from the send channel's own thread.
TEST(NetSession, SendChannelSendsPostedMessagesInOrder)
{
    Recorder hostSide;
    Recorder guestSide;
    CNetSession host;
    StartHost(host, hostSide, "127.0.10.1");
    ASSERT_EQ(host.OpenUdp(0), 1u);
    CNetSession guest;
    ASSERT_EQ(ConnectGuest(guest, guestSide, "127.0.10.2", "127.0.10.1", host.GetListenPort()), 1u);
    ASSERT_EQ(guest.OpenUdp(0), 1u);
    NetClientPtr peer = guest.FindPeer("127.0.10.1");
    const uint32_t value = 0;
    EXPECT_EQ(peer->Post(1, 1, &value, 4, kNetKindTcp), 0u) << "no send channel yet";
    ASSERT_EQ(peer->OpenSendChannel(kNetKindTcp), 1u);
    ASSERT_EQ(peer->OpenSendChannel(kNetKindUdp), 1u);
    peer->SetUdpPort(host.GetUdpPort());
    constexpr uint32_t kCount = 2000;
    for (uint32_t i = 0; i < kCount; ++i)
    {
        while (peer->Post(1, 1, &i, 4, kNetKindTcp) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    auto received = [&](int32_t id) {
        std::lock_guard<std::mutex> guard(hostSide.lock);
        size_t count = 0;
        for (const Received& message : hostSide.messages)
            count += message.id == id ? 1 : 0;
        return count;
    };
    ASSERT_TRUE(WaitUntil([&] { return received(1) >= kCount; }, 20000));
    // A datagram may be dropped even on loopback when the machine is busy:
    // send until one arrives.
    bool datagram = false;
    for (int attempt = 0; attempt < 50 && !datagram; ++attempt)
    {
        ASSERT_EQ(peer->Post(2, 1, &value, 4, kNetKindUdp), 1u);
        datagram = WaitUntil([&] { return received(2) > 0; }, 200);
    }
    ASSERT_TRUE(datagram);
    uint32_t next = 0;
    for (const Received& message : hostSide.Take())
    {
        if (message.id != 1)
            continue;
        uint32_t got = 0;
        std::memcpy(&got, message.payload.data(), 4);
        ASSERT_EQ(got, next++);
    }
    EXPECT_EQ(next, kCount);
    // Closing with messages still queued neither hangs nor leaks.
    std::vector<uint8_t> big(60000);
    for (int i = 0; i < 50; ++i)
        peer->Post(3, 1, big.data(), static_cast<uint32_t>(big.size()), kNetKindTcp);
    guest.Shutdown();
}

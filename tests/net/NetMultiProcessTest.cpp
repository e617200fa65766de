// Sessions between real processes, each standing for one host on its own
// loopback address.
#include "NetTestSupport.h"

#include "net/CNetSession.h"
#include "tests/support/ChildOfTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using namespace nettest;

namespace
{
constexpr uint32_t kStreamCount = 3000;
constexpr uint32_t kDatagramCount = 300;
constexpr int16_t kIdStream = 1;
constexpr int16_t kIdDatagram = 2;
constexpr int16_t kIdBye = 9;
constexpr uint32_t kKeepAliveInterval = 10000;

// Payload of stream message seq: the number, then seq % 61 bytes of it.
std::vector<uint8_t> StreamPayload(uint32_t seq)
{
    std::vector<uint8_t> payload(4 + seq % 61, static_cast<uint8_t>(seq));
    std::memcpy(payload.data(), &seq, 4);
    return payload;
}

bool CheckStreamPayload(const std::vector<uint8_t>& payload, uint32_t expected)
{
    return payload == StreamPayload(expected);
}

// What arrived from each peer, by the peer's address.
struct Inbox
{
    std::mutex lock;
    std::map<std::string, std::vector<std::pair<int32_t, std::vector<uint8_t>>>> byPeer;
    std::atomic<int> connected{0};
    std::atomic<int> disconnected{0};

    static uint32_t OnMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length)
    {
        Inbox* self = static_cast<Inbox*>(argument);
        std::lock_guard<std::mutex> guard(self->lock);
        self->byPeer[peer->GetName()].emplace_back(id, std::vector<uint8_t>(payload, payload + length));
        return 1;
    }
    static uint32_t OnConnected(void* argument, CNetClient*)
    {
        static_cast<Inbox*>(argument)->connected.fetch_add(1);
        return 1;
    }
    static uint32_t OnDisconnected(void* argument, CNetClient*)
    {
        static_cast<Inbox*>(argument)->disconnected.fetch_add(1);
        return 1;
    }
    size_t Count(const std::string& peer, int32_t id)
    {
        std::lock_guard<std::mutex> guard(lock);
        size_t count = 0;
        for (const auto& message : byPeer[peer])
            count += message.first == id ? 1 : 0;
        return count;
    }
    // 1 when the stream messages from peer are exactly 0..count-1 in order.
    bool StreamInOrder(const std::string& peer, uint32_t count)
    {
        std::lock_guard<std::mutex> guard(lock);
        uint32_t next = 0;
        for (const auto& message : byPeer[peer])
        {
            if (message.first != kIdStream)
                continue;
            if (!CheckStreamPayload(message.second, next))
                return false;
            ++next;
        }
        return next == count;
    }
    // Datagrams may be lost, never corrupted or repeated.
    bool DatagramsSound(const std::string& peer, uint32_t sent)
    {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<bool> seen(sent, false);
        for (const auto& message : byPeer[peer])
        {
            if (message.first != kIdDatagram)
                continue;
            uint32_t seq = 0;
            if (message.second.size() != 4)
                return false;
            std::memcpy(&seq, message.second.data(), 4);
            if (seq >= sent || seen[seq])
                return false;
            seen[seq] = true;
        }
        return true;
    }
};

void SendStream(CNetSession& session)
{
    for (uint32_t seq = 0; seq < kStreamCount; ++seq)
    {
        const std::vector<uint8_t> payload = StreamPayload(seq);
        session.SendToAll(kIdStream, 1, payload.data(), static_cast<uint32_t>(payload.size()), kNetKindTcp);
    }
}

void SendDatagrams(CNetSession& session)
{
    for (uint32_t seq = 0; seq < kDatagramCount; ++seq)
    {
        session.SendToAll(kIdDatagram, 1, &seq, 4, kNetKindUdp);
        if (seq % 32 == 31)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// One keep-alive round: every peer must answer.
bool KeepAliveRound(CNetSession& session)
{
    session.Poll(kKeepAliveInterval);
    return WaitUntil(
        [&] {
            for (const NetClientPtr& peer : session.GetPeers())
            {
                if (peer->GetKeepAliveMiss() != 0)
                    return false;
            }
            return true;
        },
        10000);
}

// A guest host: connects to the hub, streams and sends datagrams, checks
// what the hub sends back, answers and sends keep-alives, and ends at the
// hub's goodbye.
int RunGuest(const std::string& self, const std::string& hub, uint16_t tcpPort, uint16_t udpPort)
{
    Inbox inbox;
    CNetSession session;
    if (!session.Initialize(1, "QORBeta", "QORBeta", "QOR") || !session.SetLocalAddress(self.c_str()))
        return 10;
    session.SetKeepAlive(1, kKeepAliveInterval);
    if (!session.OpenUdp(udpPort))
        return 11;
    bool connected = false;
    for (int attempt = 0; attempt < 400 && !connected; ++attempt)
    {
        connected = session.Connect(hub.c_str(), tcpPort, kNetKindTcp, Inbox::OnMessage, &inbox,
                                    Inbox::OnDisconnected, &inbox) == 1;
        if (!connected)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!connected)
        return 12;
    SendStream(session);
    SendDatagrams(session);
    if (!WaitUntil([&] { return inbox.Count(hub, kIdStream) == kStreamCount; }, 60000))
        return 13;
    if (!inbox.StreamInOrder(hub, kStreamCount))
        return 14;
    if (!inbox.DatagramsSound(hub, kDatagramCount))
        return 15;
    if (!KeepAliveRound(session))
        return 16;
    if (!WaitUntil([&] { return inbox.Count(hub, kIdBye) == 1; }, 60000))
        return 17;
    session.Shutdown();
    return 0;
}

void RunHub(int guests, const char* block)
{
    const std::string hub = std::string(block) + ".1";
    const uint16_t tcpPort = FreePort(hub.c_str(), SOCK_STREAM);
    const uint16_t udpPort = FreePortBoth(hub.c_str());
    ASSERT_NE(tcpPort, 0);
    ASSERT_NE(udpPort, 0);
    std::vector<std::string> names;
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < guests; ++i)
    {
        names.push_back(std::string(block) + "." + std::to_string(2 + i));
        const std::string self = names.back();
        children.push_back(
            std::make_unique<ChildProcess>([=] { return RunGuest(self, hub, tcpPort, udpPort); }));
        ASSERT_TRUE(children.back()->Started());
    }

    Inbox inbox;
    CNetSession session;
    ASSERT_EQ(session.Initialize(1, "QORBeta", "QORBeta", "QOR"), 1u);
    ASSERT_EQ(session.SetLocalAddress(hub.c_str()), 1u);
    session.SetKeepAlive(1, kKeepAliveInterval);
    ASSERT_EQ(session.OpenUdp(udpPort), 1u);
    ASSERT_EQ(session.ConfigureListen(tcpPort, Inbox::OnConnected, &inbox, Inbox::OnMessage, &inbox,
                                      Inbox::OnDisconnected, &inbox),
              1u);
    ASSERT_EQ(session.Listen(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return inbox.connected.load() == guests; }, 30000));
    SendStream(session);
    SendDatagrams(session);
    for (const std::string& name : names)
    {
        ASSERT_TRUE(WaitUntil([&] { return inbox.Count(name, kIdStream) == kStreamCount; }, 60000)) << name;
        EXPECT_TRUE(inbox.StreamInOrder(name, kStreamCount)) << name;
        EXPECT_TRUE(inbox.DatagramsSound(name, kDatagramCount)) << name;
    }
    EXPECT_TRUE(KeepAliveRound(session));
    EXPECT_EQ(session.GetPeerCount(), static_cast<size_t>(guests));
    session.SendToAllEmpty(kIdBye, 1, kNetKindTcp);
    for (size_t i = 0; i < children.size(); ++i)
        EXPECT_EQ(children[i]->Wait(60000), 0) << names[i];
    // Every guest closed; the hub notices and lets them go.
    ASSERT_TRUE(WaitUntil([&] { return inbox.disconnected.load() == guests; }, 10000));
    session.Poll(0);
    EXPECT_EQ(session.GetPeerCount(), 0u);
}

// A host that listens on block.1 for raw peers, recording.
struct RawHost
{
    Inbox inbox;
    CNetSession session;
    std::string address;

    // Started after the raw peer's process was forked: a process with
    // threads is not forked.
    uint32_t Start(const char* block, uint16_t port)
    {
        address = std::string(block) + ".1";
        session.Initialize(1, "QORBeta", "QORBeta", "QOR");
        session.SetLocalAddress(address.c_str());
        session.ConfigureListen(port, Inbox::OnConnected, &inbox, Inbox::OnMessage, &inbox, Inbox::OnDisconnected,
                                &inbox);
        return session.Listen();
    }
};
} // namespace

TEST(NetMultiProcess, TwoHostsExchangeStreamsAndDatagrams)
{
    RunHub(1, "127.0.20");
}

TEST(NetMultiProcess, FourHostsExchangeStreamsAndDatagrams)
{
    RunHub(3, "127.0.21");
}

TEST(NetMultiProcess, PeerKilledMidFrameIsReleased)
{
    RawHost host;
    const uint16_t port = FreePort("127.0.22.1", SOCK_STREAM);
    ASSERT_NE(port, 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    ChildProcess child([&] {
        CNetSocket socket = ConnectRetrying("127.0.22.2", "127.0.22.1", port);
        std::vector<uint8_t> frame = Frame(3, std::vector<uint8_t>(1000, 0x33));
        // The header and a tenth of the payload, then nothing more.
        if (!SendWithDeadline(socket.Get(), frame.data(), 108, 2000))
            return 1;
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1)
            return 2;
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return 3;
    });
    ASSERT_EQ(host.Start("127.0.22", port), 1u);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(WaitUntil([&] { return host.inbox.connected.load() == 1; }, 5000));
    child.Kill();
    ASSERT_TRUE(WaitUntil([&] { return host.inbox.disconnected.load() == 1; }, 10000));
    // The disconnect is told before its thread has ended: the upkeep frees
    // the peer once it has.
    EXPECT_TRUE(WaitUntil(
        [&] {
            host.session.Poll(0);
            return host.session.GetPeerCount() == 0;
        },
        10000));
    EXPECT_EQ(host.inbox.Count("127.0.22.2", 3), 0u);
}

// A host whose test is killed before it can end it (a time limit, Ctrl-C)
// goes with the test instead of waiting on its sockets for ever.
TEST(NetMultiProcess, AHostEndsWithATestThatIsKilled)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ChildProcess test([&] {
        const auto* host = new ChildProcess([] { return pause(); }); // never deleted: the test is killed
        const pid_t pid = host->Pid();
        return write(fds[1], &pid, sizeof(pid)) == static_cast<ssize_t>(sizeof(pid)) ? pause() : 1;
    });
    pid_t host = 0;
    const bool told = read(fds[0], &host, sizeof(host)) == static_cast<ssize_t>(sizeof(host));
    close(fds[0]);
    close(fds[1]);
    test.Kill();
    ASSERT_TRUE(told);
    EXPECT_FALSE(childoftest::StillRuns(host));
}

TEST(NetMultiProcess, TricklingPeerStillAssemblesFrames)
{
    RawHost host;
    const uint16_t port = FreePort("127.0.23.1", SOCK_STREAM);
    ASSERT_NE(port, 0);
    ChildProcess child([&] {
        CNetSocket socket = ConnectRetrying("127.0.23.2", "127.0.23.1", port);
        std::vector<uint8_t> stream;
        for (uint32_t seq = 0; seq < 3; ++seq)
        {
            const std::vector<uint8_t> frame = Frame(kIdStream, StreamPayload(seq));
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        for (uint8_t byte : stream)
        {
            if (!SendWithDeadline(socket.Get(), &byte, 1, 2000))
                return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Close right after the last byte: nothing sent may be lost.
        return 0;
    });
    ASSERT_EQ(host.Start("127.0.23", port), 1u);
    EXPECT_EQ(child.Wait(30000), 0);
    ASSERT_TRUE(WaitUntil([&] { return host.inbox.Count("127.0.23.2", kIdStream) == 3; }, 10000));
    EXPECT_TRUE(host.inbox.StreamInOrder("127.0.23.2", 3));
}

TEST(NetMultiProcess, PeerAnnouncingFourGigabytesIsDropped)
{
    RawHost host;
    const uint16_t port = FreePort("127.0.24.1", SOCK_STREAM);
    ASSERT_NE(port, 0);
    ChildProcess child([&] {
        CNetSocket socket = ConnectRetrying("127.0.24.2", "127.0.24.1", port);
        uint8_t header[8];
        tag_KVRNETHEADER announced;
        announced.id = 1;
        announced.sub = 1;
        announced.length = 0xFFFFFFFFu;
        WriteNetHeader(header, announced);
        if (!SendWithDeadline(socket.Get(), header, sizeof(header), 2000))
            return 1;
        std::vector<uint8_t> filler(100, 0x11);
        SendWithDeadline(socket.Get(), filler.data(), filler.size(), 2000);
        // The host must close the connection.
        uint8_t byte = 0;
        const bool closed = WaitUntil([&] { return ::recv(socket.Get(), &byte, 1, 0) == 0; }, 20000);
        return closed ? 0 : 2;
    });
    ASSERT_EQ(host.Start("127.0.24", port), 1u);
    EXPECT_EQ(child.Wait(30000), 0);
    ASSERT_TRUE(WaitUntil([&] { return host.inbox.disconnected.load() == 1; }, 10000));
    EXPECT_EQ(host.inbox.Count("127.0.24.2", 1), 0u);
}

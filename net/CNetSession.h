#pragma once

#include "engine/core/CRandom.h"
#include "net/CNetClient.h"
#include "net/NetHeader.h"
#include "net/NetSocket.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The traffic between the players of a room: a listening TCP socket (the
// room owner's), outgoing TCP connections (a guest's), one datagram socket
// shared by all peers, the list of peers and the keep-alive. Every message
// is an 8-byte header and its payload; the keep-alive ids 32766 and 32767
// are answered and consumed here, all others go to the owner's handler.
//
// Locks, outermost first: a connection's channel lock (held while the
// handler runs), the owner's own locks, the peer-list lock. Threads are
// joined only with no lock held that they take.
//
// Poll, Shutdown and Release run on the owner's thread, never from inside
// a handler or callback: they wait for the very threads that call those.
class CNetSession
{
public:
    CNetSession() = default;
    ~CNetSession();
    CNetSession(const CNetSession&) = delete;
    CNetSession& operator=(const CNetSession&) = delete;

    // 0 when the owner value is 0. The first name begins UPnP mapping
    // descriptions.
    uint32_t Initialize(uint32_t owner, const char* name1, const char* name2, const char* name3);
    // The local address every socket of the session binds to (listener,
    // outgoing connections, datagrams); any address by default. Tests give
    // each process its own 127.0.0.x so that peers tell each other apart.
    uint32_t SetLocalAddress(const char* dotted);
    void SetConnectTimeout(uint32_t milliseconds) { m_connectTimeoutMs = milliseconds; }
    void SetSendTimeout(uint32_t milliseconds) { m_sendTimeoutMs = milliseconds; }
    // Peers beyond this many are refused at accept and connect.
    void SetMaxPeers(size_t count) { m_maxPeers = count; }
    void SetKeepAlive(uint32_t on, uint32_t intervalMs);

    uint32_t ConfigureListen(uint16_t port, NetPeerCallback onConnected, void* connectedArgument,
                             NetMessageHandler handler, void* handlerArgument, NetPeerCallback onDisconnected,
                             void* disconnectedArgument);
    uint32_t Listen();
    uint32_t StopListening();
    // The port the listener is bound to (useful after listening on port 0).
    uint16_t GetListenPort() const;

    // Connects to host:port over TCP (kind 1) with a deadline, outside every
    // lock; kind 2 only records the peer for datagrams.
    uint32_t Connect(const char* host, uint16_t port, uint32_t kind, NetMessageHandler handler, void* handlerArgument,
                     NetPeerCallback onDisconnected, void* disconnectedArgument);
    uint32_t ConnectAddress(const uint32_t* address, uint16_t port, uint32_t kind, NetMessageHandler handler,
                            void* handlerArgument, NetPeerCallback onDisconnected, void* disconnectedArgument);

    // The session's datagram socket on the local address and port, with its
    // receive thread. Datagrams from unknown addresses are dropped; a peer's
    // datagrams go to the same port on its address unless told otherwise.
    uint32_t OpenUdp(uint16_t port);
    uint16_t GetUdpPort() const;

    uint32_t SendToAll(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind);
    uint32_t SendToAllEmpty(int16_t id, uint16_t sub, uint32_t kind);
    uint32_t SendToAllUnlocked(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind);

    // Per-frame upkeep on the owner's thread: frees peers whose connections
    // ended and runs the keep-alive on the elapsed milliseconds.
    void Poll(uint32_t elapsedMs);
    void Shutdown();
    uint32_t Release();

    NetClientPtr FindPeer(const char* name) const;
    size_t GetPeerCount() const;
    std::vector<NetClientPtr> GetPeers() const;
    const char* GetName(int index) const;

private:
    struct Listener
    {
        std::atomic<int32_t> state{0};
        uint16_t port = 0;
        uint32_t kind = kNetKindTcp;
        std::thread thread;
        CNetSocket socket;
        std::unique_ptr<CNetWakeEvent> wake;
        std::mutex lock;
        NetPeerCallback onConnected = nullptr;
        void* connectedArgument = nullptr;
        tag_KVRNETCALLBACKS callbacks;
    };

    void AcceptThread();
    void AcceptOne(CNetSocket socket, const sockaddr_in& from);
    void UdpThread(NetChannelPtr channel);
    // Finds or makes the peer named name under the peer-list lock and hands
    // it the connection; the channel it replaces comes back to be closed.
    NetClientPtr AttachPeer(const std::string& name, CNetSocket socket, uint16_t port, uint32_t kind,
                            const tag_KVRNETCALLBACKS& callbacks, NetChannelPtr* replaced);
    const in_addr* LocalAddress() const { return m_localAddress.Get(); }

    bool m_initialized = false;
    std::string m_names[3];
    uint32_t m_keepAliveOn = 0;
    uint32_t m_keepAliveIntervalMs = 10000;
    uint32_t m_keepAliveTimerMs = 0;
    uint32_t m_owner = 0;

    NetLocalAddress m_localAddress;
    uint32_t m_connectTimeoutMs = 5000;
    uint32_t m_sendTimeoutMs = 5000;
    size_t m_maxPeers = 16;

    std::unique_ptr<Listener> m_listener;
    mutable std::recursive_mutex m_peerLock;
    std::vector<NetClientPtr> m_peers;
    NetChannelPtr m_udp;
    uint16_t m_udpPort = 0;
    CRandom m_random;
};

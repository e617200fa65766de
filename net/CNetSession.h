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
// Nothing here waits for the network or for another thread while its
// caller may hold a lock, so the owner may call these from its main thread
// and under its own locks: sends queue what the socket does not take at
// once (each connection has a bounded outgoing queue, and a connection
// that falls behind is cut alone, see CNetSendQueue); StopListening and
// DropPeers only ask threads to end, and Poll collects them once they
// have. Connect waits for the connection (up to the connect timeout, or
// until CancelConnects): call it from a thread of its own.
//
// Shutdown and Release wait for every thread of the session: call them on
// the owner's thread with no lock held that a handler or a callback takes,
// never from inside one.
//
// Inbound connections must earn their place: one that hands the owner no
// message within the admission time (answering keep-alives doesn't count)
// is cut, and when every peer slot is taken a new connection replaces the
// oldest connection that has not been admitted yet.
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
    // For peers made from now on: how long a connection's oldest unsent
    // byte may wait and how many bytes may wait before it is cut.
    void SetSendTimeout(uint32_t milliseconds) { m_sendTimeoutMs = milliseconds; }
    void SetSendQueueLimit(size_t bytes) { m_sendQueueBytes = bytes; }
    // Peers beyond this many are refused at accept and connect, unless an
    // unadmitted inbound connection can make room.
    void SetMaxPeers(size_t count) { m_maxPeers = count; }
    void SetKeepAlive(uint32_t on, uint32_t intervalMs);
    // Milliseconds of upkeep (Poll's elapsed time) an inbound connection
    // may spend before its first message; 0 never cuts.
    void SetAdmissionTime(uint32_t milliseconds) { m_admissionMs = milliseconds; }
    // Ends every Connect in progress at once, and all later ones, until the
    // session is initialised again; for an owner that is going away.
    void CancelConnects();

    uint32_t ConfigureListen(uint16_t port, NetPeerCallback onConnected, void* connectedArgument,
                             NetMessageHandler handler, void* handlerArgument, NetPeerCallback onDisconnected,
                             void* disconnectedArgument);
    uint32_t Listen();
    // Closes the listening socket and asks the accept thread to end; Poll
    // or Shutdown collects it. The port is free again at once.
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
    // ended and threads that ended, cuts connections that stayed
    // unadmitted, and runs the keep-alive on the elapsed milliseconds.
    // Never waits for a thread that is still running.
    void Poll(uint32_t elapsedMs);
    // Stops listening and cuts every peer's connection without waiting:
    // the peers leave the list at once and Poll frees them as their
    // threads end. A spared peer stays, its connection with it.
    void DropPeers(const CNetClient* spared = nullptr);
    // Whether every peer's system has taken everything sent to it (see
    // CNetClient::IsDelivered); an owner that is going away waits for it,
    // within a bound of its own, before it closes the connections.
    bool IsDelivered() const;
    void Shutdown();
    uint32_t Release();

    // The first peer of that address, whichever way it connected.
    NetClientPtr FindPeer(const char* name) const;
    // The peer of the connection this side made to that address and port.
    NetClientPtr FindOutgoingPeer(const char* name, uint16_t port) const;
    size_t GetPeerCount() const;
    std::vector<NetClientPtr> GetPeers() const;
    const char* GetName(int index) const;

private:
    // What ConfigureListen sets up; it outlives every accept thread.
    struct ListenSetup
    {
        uint16_t port = 0;
        NetPeerCallback onConnected = nullptr;
        void* connectedArgument = nullptr;
        tag_KVRNETCALLBACKS callbacks;
    };
    // One listening socket and its accept thread, from Listen until the
    // thread has ended; the socket is closed only after that.
    struct Acceptor
    {
        std::atomic<int32_t> state{0};
        ListenSetup setup;
        CNetSocket socket;
        CNetWakeEvent wake;
        std::thread thread;
    };
    using AcceptorPtr = std::shared_ptr<Acceptor>;

    void AcceptThread(AcceptorPtr acceptor);
    void AcceptOne(const Acceptor& acceptor, CNetSocket socket, const sockaddr_in& from);
    void UdpThread(NetChannelPtr channel);
    // Finds or makes the peer the connection belongs to (named name) under
    // the peer-list lock and hands it the connection. When every slot is
    // taken, an unadmitted inbound connection gives its place to a new
    // inbound one.
    NetClientPtr AttachPeer(const std::string& name, CNetSocket socket, uint16_t port, uint32_t kind,
                            const tag_KVRNETCALLBACKS& callbacks, bool inbound);
    // Under the peer-list lock: takes the oldest unadmitted inbound peer
    // out of the list and cuts it; false when there is none.
    bool EvictUnadmittedLocked();
    // Asks the running accept thread to end (listen lock held).
    void RetireAcceptorLocked();
    // Frees dropped peers and ended accept threads; with wait, also the
    // ones whose threads still run (Shutdown only).
    void CollectPeers(bool wait);
    void CollectAcceptors(bool wait);
    const in_addr* LocalAddress() const { return m_localAddress.Get(); }

    bool m_initialized = false;
    std::string m_names[3];
    uint32_t m_keepAliveOn = 0;
    uint32_t m_keepAliveIntervalMs = 10000;
    uint32_t m_keepAliveTimerMs = 0;
    uint32_t m_owner = 0;

    NetLocalAddress m_localAddress;
    uint32_t m_connectTimeoutMs = 5000;
    uint32_t m_sendTimeoutMs = CNetSendQueue::kDefaultDeadlineMs;
    size_t m_sendQueueBytes = CNetSendQueue::kDefaultMaxBytes;
    size_t m_maxPeers = 16;
    uint32_t m_admissionMs = 5000;
    std::unique_ptr<CNetWakeEvent> m_cancelConnects = std::make_unique<CNetWakeEvent>();

    // Guards the listen set-up, the running accept thread and the ones
    // asked to end.
    mutable std::mutex m_listenLock;
    std::unique_ptr<ListenSetup> m_listenSetup;
    AcceptorPtr m_acceptor;
    std::vector<AcceptorPtr> m_endingAcceptors;

    mutable std::recursive_mutex m_peerLock;
    std::vector<NetClientPtr> m_peers;
    // Peers taken out of the list whose threads may still run.
    std::vector<NetClientPtr> m_droppedPeers;
    uint64_t m_connectionCount = 0;
    NetChannelPtr m_udp;
    uint16_t m_udpPort = 0;
    CRandom m_random;
};

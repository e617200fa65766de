#pragma once

#include "engine/core/CRandom.h"
#include "engine/core/CResourceBase.h"
#include "net/tag_KVRNETCHANNEL.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One remote peer of a session, named by its dotted IPv4 address text. It
// holds the TCP connection's receive channel (whose thread cuts the byte
// stream into messages and hands them to the owner's handler) and reaches
// the session's datagram socket for UDP.
class CNetClient : public CResourceBase
{
public:
    static constexpr size_t kIdLength = 45;
    // Messages a send channel holds before it refuses more.
    static constexpr int32_t kMaxPosted = 4096;

    // The id is drawn from the session's generator: five groups of eight
    // letters, each followed by '-'.
    CNetClient(const char* name, CRandom& random);
    ~CNetClient() override;
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;

    // Closes the channels (waiting for their threads) and frees the name.
    // Call with no lock held that a receive thread takes.
    uint32_t Release() override;
    const char* GetClassName() const override { return "CNetClient"; }

    const char* GetId() const { return m_id; }

    // Takes a connected socket as this peer's TCP connection and starts its
    // receive thread and its outgoing queue (kind 1), or records the UDP
    // side (kind 2, no thread). A connection this one replaces is cut at
    // once and its thread collected later (ReapRetired, Release), so that
    // opening never waits for a receive thread. An inbound connection must
    // be admitted (see Dispatch) before the session's admission time ends.
    uint32_t OpenReceiveChannel(CNetSocket socket, uint16_t port, uint32_t kind, const tag_KVRNETCALLBACKS& callbacks,
                                bool inbound = false);
    // Closes replaced connections whose threads have ended; never waits.
    void ReapRetired();

    // One message to this peer: kind 1 over its TCP connection, kind 2 as a
    // datagram to its UDP address. Never waits for the network: what the
    // connection does not take at once waits in its outgoing queue. 0 when
    // the frame can't be sent or queued (the connection is then cut).
    uint32_t Send(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind);
    uint32_t SendEmpty(int16_t id, uint16_t sub, uint32_t kind);
    uint32_t SendRaw(const uint8_t* frame, size_t length, uint32_t kind);

    // A send channel of the given kind: messages posted to it are sent, in
    // order, by its own thread, so that the poster never waits for the
    // network. A TCP send channel ends when the connection is cut.
    uint32_t OpenSendChannel(uint32_t kind);
    // Queues one message on the send channel of that kind. 0 without an
    // open channel, for a message above the payload limit, or when too many
    // messages wait already.
    uint32_t Post(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind);

    // The session's datagram socket and where this peer's datagrams go.
    void SetUdp(const NetChannelPtr& udp, uint16_t port);
    void SetUdpPort(uint16_t port);
    // Cuts one received datagram into messages and delivers them.
    void DeliverDatagram(const uint8_t* bytes, size_t n);

    // For connections opened from now on: how long the oldest unsent byte
    // may wait, and how many bytes may wait, before the connection is cut.
    void SetSendTimeout(uint32_t milliseconds) { m_sendTimeoutMs = milliseconds; }
    void SetSendQueueLimit(size_t bytes) { m_sendQueueBytes = bytes; }

    // True once every channel is absent or its thread has ended.
    bool IsEnded() const;
    // True while the TCP connection's receive thread runs on a live socket.
    bool HasLiveConnection() const;
    // True when there is no TCP connection, or it was cut, or its thread
    // ended, or its far end closed it (even before the thread has read that
    // far).
    bool IsConnectionOver() const;
    // Shuts the TCP connection down; its receive thread then ends.
    void CutConnection();
    // Whether the peer's system has taken everything sent on the TCP
    // connection, or the connection is over and never will.
    bool IsDelivered() const;

    uint32_t GetKeepAliveMiss() const { return m_keepAliveMiss.load(); }
    void SetKeepAliveMiss(uint32_t miss) { m_keepAliveMiss.store(miss); }

    // An inbound connection is admitted once the owner's handler has taken
    // a message from it (keep-alives don't count); outgoing ones are
    // admitted from the start. The session drops connections that stay
    // unadmitted too long, and gives their slots away first.
    bool IsAdmitted() const { return m_admitted.load(); }
    // True when the current connection came in through the listener, false
    // when this side connected out (or has no connection).
    bool IsInbound() const { return m_inbound.load(); }
    // The port of the current TCP connection: the one this side connected
    // to, or the listening port of one that came in. With the name it tells
    // apart two hosts on one address (two players behind one router).
    uint16_t GetPort() const { return m_tcpReceivePort.load(); }
    // Milliseconds of session upkeep the current connection has spent
    // unadmitted, advanced by the session's Poll.
    uint32_t AddUnadmittedTime(uint32_t milliseconds) { return m_unadmittedMs.fetch_add(milliseconds) + milliseconds; }
    // The order in which connections were opened, for choosing the oldest.
    uint64_t GetConnectionOrder() const { return m_connectionOrder.load(); }
    void SetConnectionOrder(uint64_t order) { m_connectionOrder.store(order); }

    // Runs one complete queued message: keep-alives are answered or noted
    // here, the rest go to the handler (and admit the connection when it
    // takes them). 0 when the handler ends the connection.
    uint32_t Dispatch(const tag_KVRNETCALLBACKS& callbacks, uint32_t kind, bool live, const uint8_t* frame,
                      uint32_t total);

private:
    NetChannelPtr GetTcp() const;

    char m_id[kIdLength + 1] = {};
    std::atomic<uint16_t> m_tcpReceivePort{0};
    uint16_t m_udpPort = 0;
    uint32_t m_sendTimeoutMs = CNetSendQueue::kDefaultDeadlineMs;
    size_t m_sendQueueBytes = CNetSendQueue::kDefaultMaxBytes;
    in_addr m_address{};
    std::atomic<uint32_t> m_keepAliveMiss{0};
    std::atomic<bool> m_admitted{true};
    std::atomic<bool> m_inbound{false};
    std::atomic<uint32_t> m_unadmittedMs{0};
    std::atomic<uint64_t> m_connectionOrder{0};

    mutable std::mutex m_channelsLock;
    NetChannelPtr m_tcpReceive;
    NetChannelPtr m_udpReceive;
    NetChannelPtr m_tcpSend;
    NetChannelPtr m_udpSend;
    NetChannelPtr m_udpSocket;
    // Replaced connections whose threads may still run.
    std::vector<NetChannelPtr> m_retired;
    // Keeps datagrams of this peer in order through delivery, and out of a
    // peer being released.
    std::mutex m_datagramLock;
    bool m_released = false;
};

using NetClientPtr = std::shared_ptr<CNetClient>;

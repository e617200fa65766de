#pragma once

#include "engine/core/CRandom.h"
#include "engine/core/CResourceBase.h"
#include "net/tag_KVRNETCHANNEL.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

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
    // receive thread (kind 1), or records the UDP side (kind 2, no thread).
    // A channel this one replaces comes back in replaced, for the caller to
    // close once it holds no lock.
    uint32_t OpenReceiveChannel(CNetSocket socket, uint16_t port, uint32_t kind, const tag_KVRNETCALLBACKS& callbacks,
                                NetChannelPtr* replaced);

    // One message to this peer: kind 1 over its TCP connection, kind 2 as a
    // datagram to its UDP address. 0 when the frame could not go out whole
    // (the connection is then cut).
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

    void SetSendTimeout(uint32_t milliseconds) { m_sendTimeoutMs = milliseconds; }

    // True once every channel is absent or its thread has ended.
    bool IsEnded() const;
    // True while the TCP connection's receive thread runs on a live socket.
    bool HasLiveConnection() const;
    // Shuts the TCP connection down; its receive thread then ends.
    void CutConnection();

    uint32_t GetKeepAliveMiss() const { return m_keepAliveMiss.load(); }
    void SetKeepAliveMiss(uint32_t miss) { m_keepAliveMiss.store(miss); }

    // Runs one complete queued message: keep-alives are answered or noted
    // here, the rest go to the handler. 0 when the handler ends the
    // connection.
    uint32_t Dispatch(const tag_KVRNETCALLBACKS& callbacks, uint32_t kind, bool live, const uint8_t* frame,
                      uint32_t total);

private:
    NetChannelPtr GetTcp() const;

    char m_id[kIdLength + 1] = {};
    uint16_t m_tcpReceivePort = 0;
    uint16_t m_udpPort = 0;
    uint32_t m_sendTimeoutMs = 5000;
    in_addr m_address{};
    std::atomic<uint32_t> m_keepAliveMiss{0};

    mutable std::mutex m_channelsLock;
    NetChannelPtr m_tcpReceive;
    NetChannelPtr m_udpReceive;
    NetChannelPtr m_tcpSend;
    NetChannelPtr m_udpSend;
    NetChannelPtr m_udpSocket;
    // Keeps datagrams of this peer in order through delivery, and out of a
    // peer being released.
    std::mutex m_datagramLock;
    bool m_released = false;
};

using NetClientPtr = std::shared_ptr<CNetClient>;

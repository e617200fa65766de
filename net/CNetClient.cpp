#include "net/CNetClient.h"

#include "net/NetHeader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/socket.h>
#include <vector>

namespace
{
// Datagrams are read whole into this much; larger ones are refused.
constexpr size_t kReadSize = 4096;
// A stream read takes whatever is waiting, up to this much: fewer system
// calls when a peer sends many small messages.
constexpr size_t kStreamReadSize = 64 * 1024;
// A receive thread wakes at least this often to notice a stop request.
constexpr uint32_t kReceiveWaitMs = 1000;

// Hands one complete message of a TCP channel to its peer's dispatch.
uint32_t DispatchFromChannel(void* argument, const uint8_t* frame, uint32_t total)
{
    tag_KVRNETCHANNEL& channel = *static_cast<tag_KVRNETCHANNEL*>(argument);
    const bool live = channel.broken.load() == 0;
    return channel.owner->Dispatch(channel.callbacks, channel.kind, live, frame, total);
}

// One per TCP connection: reads what arrives and delivers whole messages.
// Reads block for at most a second at a time, so a stop request is seen
// within one; cutting or closing the channel shuts the socket down, which
// ends a waiting read at once. Everything the peer sent before closing is
// read and delivered before the thread ends.
void NetReceiveThread(NetChannelPtr channel)
{
    int32_t expected = kNetChannelCreated;
    channel->state.compare_exchange_strong(expected, kNetChannelRunning);
    std::vector<uint8_t> storage(kStreamReadSize);
    uint8_t* buffer = storage.data();
    for (;;)
    {
        if (channel->state.load() == kNetChannelStopRequested)
            break;
        const ssize_t n = ::recv(channel->socket.Get(), buffer, storage.size(), 0);
        if (n == 0)
            break;
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            break;
        }
        std::lock_guard<std::mutex> guard(channel->lock);
        if (!channel->queue.Deliver(buffer, static_cast<size_t>(n), DispatchFromChannel, channel.get()))
            break;
    }
    // Nothing more goes out on a connection whose reader has stopped.
    CutNetChannel(*channel);
    if (channel->callbacks.onDisconnected != nullptr)
        channel->callbacks.onDisconnected(channel->callbacks.disconnectedArgument, channel->owner);
    {
        std::lock_guard<std::mutex> guard(channel->lock);
        channel->queue.Clear();
    }
    channel->state.store(kNetChannelEnded);
}
// One per send channel: sends what is posted, oldest first.
void NetSendThread(NetChannelPtr channel)
{
    int32_t expected = kNetChannelCreated;
    channel->state.compare_exchange_strong(expected, kNetChannelRunning);
    for (;;)
    {
        tag_KVRPACKETNODE* node = nullptr;
        {
            std::unique_lock<std::mutex> guard(channel->lock);
            channel->ready.wait_for(guard, std::chrono::milliseconds(kReceiveWaitMs), [&] {
                return channel->queue.count > 0 || channel->state.load() == kNetChannelStopRequested;
            });
            if (channel->state.load() == kNetChannelStopRequested)
                break;
            node = channel->queue.PopFront();
        }
        if (node == nullptr)
            continue;
        const uint32_t sent = channel->owner->SendRaw(node->data, static_cast<size_t>(node->size), channel->kind);
        CPacketQueue::FreeNode(node);
        if (!sent && channel->kind != kNetKindUdp)
            break;
        if (channel->kind != kNetKindUdp && !channel->owner->HasLiveConnection())
            break;
    }
    {
        std::lock_guard<std::mutex> guard(channel->lock);
        channel->queue.Clear();
    }
    channel->state.store(kNetChannelEnded);
}
} // namespace

CNetClient::CNetClient(const char* name, CRandom& random) : CResourceBase(name)
{
    for (size_t i = 0; i < kIdLength; ++i)
    {
        if (i % 9 == 8)
        {
            m_id[i] = '-';
            continue;
        }
        const uint32_t letter = random.Next() % 26u;
        const uint32_t lower = random.Next() % 2u;
        m_id[i] = static_cast<char>((lower > 0 ? 'a' : 'A') + letter);
    }
    m_id[kIdLength] = '\0';
    ParseIPv4(name, &m_address);
}

CNetClient::~CNetClient()
{
    CNetClient::Release();
}

uint32_t CNetClient::Release()
{
    std::vector<NetChannelPtr> channels;
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        // Send threads first: they send through the connection.
        channels.push_back(std::move(m_tcpSend));
        channels.push_back(std::move(m_udpSend));
        channels.push_back(std::move(m_tcpReceive));
        channels.push_back(std::move(m_udpReceive));
        for (NetChannelPtr& retired : m_retired)
            channels.push_back(std::move(retired));
        m_retired.clear();
    }
    for (NetChannelPtr& channel : channels)
        CloseNetChannel(channel);
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        m_udpSocket.reset();
    }
    // A datagram being delivered still uses this peer; later ones find it
    // released.
    {
        std::lock_guard<std::mutex> guard(m_datagramLock);
        m_released = true;
    }
    return CResourceBase::Release();
}

uint32_t CNetClient::OpenReceiveChannel(CNetSocket socket, uint16_t port, uint32_t kind,
                                        const tag_KVRNETCALLBACKS& callbacks, bool inbound)
{
    NetChannelPtr channel = NetChannelPtr(new tag_KVRNETCHANNEL);
    channel->kind = kind;
    channel->callbacks = callbacks;
    channel->owner = this;
    if (kind == kNetKindUdp)
    {
        // Datagrams are read by the session's one UDP thread.
        channel->state.store(kNetChannelRunning);
        std::lock_guard<std::mutex> guard(m_channelsLock);
        m_udpReceive = channel;
        if (port != 0)
            m_udpPort = port;
        return 1;
    }
    if (!socket.IsValid() || !SetBlockingReads(socket.Get(), kReceiveWaitMs))
        return 0;
    channel->socket = std::move(socket);
    if (!StartNetChannelSender(*channel, m_sendQueueBytes, m_sendTimeoutMs))
        return 0;
    m_keepAliveMiss.store(0);
    m_unadmittedMs.store(0);
    m_admitted.store(!inbound);
    m_inbound.store(inbound);
    m_tcpReceivePort.store(port);
    // The thread starts under the lock that publishes its channel: a first
    // message that is already waiting may be answered at once, and the
    // answer must go out on this connection, not be dropped for want of
    // one (nor sent on the old one).
    std::lock_guard<std::mutex> guard(m_channelsLock);
    channel->thread = std::thread(NetReceiveThread, channel);
    if (m_tcpReceive)
    {
        // The old connection's thread may be waiting for a lock that this
        // caller's caller holds: it is cut here and collected later.
        CutNetChannel(*m_tcpReceive);
        m_retired.push_back(std::move(m_tcpReceive));
    }
    m_tcpReceive = channel;
    return 1;
}

void CNetClient::ReapRetired()
{
    std::vector<NetChannelPtr> ended;
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        for (size_t i = 0; i < m_retired.size();)
        {
            if (m_retired[i]->state.load() == kNetChannelEnded)
            {
                ended.push_back(std::move(m_retired[i]));
                m_retired.erase(m_retired.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            ++i;
        }
    }
    for (NetChannelPtr& channel : ended)
        CloseNetChannel(channel);
}

uint32_t CNetClient::OpenSendChannel(uint32_t kind)
{
    NetChannelPtr channel = NetChannelPtr(new tag_KVRNETCHANNEL);
    channel->kind = kind == kNetKindUdp ? kNetKindUdp : kNetKindTcp;
    channel->owner = this;
    channel->thread = std::thread(NetSendThread, channel);
    NetChannelPtr replaced;
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        NetChannelPtr& slot = kind == kNetKindUdp ? m_udpSend : m_tcpSend;
        replaced = std::move(slot);
        slot = channel;
    }
    CloseNetChannel(replaced);
    return 1;
}

uint32_t CNetClient::Post(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind)
{
    std::vector<uint8_t> frame;
    if (!BuildNetFrame(frame, id, sub, payload, length))
        return 0;
    NetChannelPtr channel;
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        channel = kind == kNetKindUdp ? m_udpSend : m_tcpSend;
    }
    if (!channel || channel->state.load() == kNetChannelEnded || channel->state.load() == kNetChannelStopRequested)
        return 0;
    std::lock_guard<std::mutex> guard(channel->lock);
    if (channel->queue.count >= kMaxPosted)
        return 0;
    if (!channel->queue.Push(frame.data(), static_cast<int32_t>(frame.size()), static_cast<int32_t>(frame.size())))
        return 0;
    channel->ready.notify_one();
    return 1;
}

NetChannelPtr CNetClient::GetTcp() const
{
    std::lock_guard<std::mutex> guard(m_channelsLock);
    return m_tcpReceive;
}

uint32_t CNetClient::Send(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind)
{
    // Small messages, the bulk of a battle's traffic, are framed on the
    // stack.
    uint8_t small[512];
    if (length <= sizeof(small) - kNetHeaderSize)
    {
        tag_KVRNETHEADER header;
        header.id = id;
        header.sub = sub;
        header.length = length;
        WriteNetHeader(small, header);
        if (payload != nullptr && length > 0)
            std::memcpy(small + kNetHeaderSize, payload, length);
        return SendRaw(small, kNetHeaderSize + length, kind);
    }
    std::vector<uint8_t> frame;
    if (!BuildNetFrame(frame, id, sub, payload, length))
        return 0;
    return SendRaw(frame.data(), frame.size(), kind);
}

uint32_t CNetClient::SendEmpty(int16_t id, uint16_t sub, uint32_t kind)
{
    uint8_t frame[kNetHeaderSize];
    tag_KVRNETHEADER header;
    header.id = id;
    header.sub = sub;
    WriteNetHeader(frame, header);
    return SendRaw(frame, sizeof(frame), kind);
}

uint32_t CNetClient::SendRaw(const uint8_t* frame, size_t length, uint32_t kind)
{
    if (frame == nullptr || length < kNetHeaderSize)
        return 0;
    if (kind != kNetKindUdp)
    {
        NetChannelPtr tcp = GetTcp();
        // A peer without a connection has nothing to send on.
        if (!tcp)
            return 1;
        return SendOnNetChannel(*tcp, frame, length);
    }
    NetChannelPtr udp;
    sockaddr_in target{};
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        udp = m_udpSocket;
        target = MakeAddress(m_address, m_udpPort);
    }
    if (!udp || !udp->socket.IsValid() || m_udpPort == 0)
        return 0;
    // A datagram carries whole frames only; one too big for the reader's
    // buffer would arrive cut.
    if (length > kReadSize)
        return 0;
    const ssize_t sent = ::sendto(udp->socket.Get(), frame, length, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof(target));
    return sent == static_cast<ssize_t>(length) ? 1u : 0u;
}

void CNetClient::SetUdp(const NetChannelPtr& udp, uint16_t port)
{
    std::lock_guard<std::mutex> guard(m_channelsLock);
    m_udpSocket = udp;
    if (m_udpPort == 0)
        m_udpPort = port;
}

void CNetClient::SetUdpPort(uint16_t port)
{
    std::lock_guard<std::mutex> guard(m_channelsLock);
    m_udpPort = port;
}

void CNetClient::DeliverDatagram(const uint8_t* bytes, size_t n)
{
    // Datagrams of this peer go through delivery one at a time, in order.
    std::lock_guard<std::mutex> order(m_datagramLock);
    if (m_released)
        return;
    tag_KVRNETCALLBACKS callbacks;
    {
        std::lock_guard<std::mutex> guard(m_channelsLock);
        const NetChannelPtr& source = m_udpReceive ? m_udpReceive : m_tcpReceive;
        if (!source)
            return;
        callbacks = source->callbacks;
    }
    // Datagrams may be lost or reordered, so each is cut on its own: a
    // frame never continues into the next datagram.
    struct Target
    {
        CNetClient* peer;
        const tag_KVRNETCALLBACKS* callbacks;
        static uint32_t Deliver(void* argument, const uint8_t* frame, uint32_t total)
        {
            Target* target = static_cast<Target*>(argument);
            return target->peer->Dispatch(*target->callbacks, kNetKindUdp, true, frame, total);
        }
    };
    Target target{this, &callbacks};
    CPacketQueue queue;
    queue.Deliver(bytes, n, Target::Deliver, &target);
}

uint32_t CNetClient::Dispatch(const tag_KVRNETCALLBACKS& callbacks, uint32_t kind, bool live, const uint8_t* frame,
                              uint32_t total)
{
    if (callbacks.handler == nullptr)
        return 1;
    const tag_KVRNETHEADER header = ReadNetHeader(frame);
    if (header.id == kNetKeepAliveRequest && live)
    {
        SendEmpty(kNetKeepAliveAnswer, 1, kind);
        return 1;
    }
    if (header.id == kNetKeepAliveAnswer && live)
    {
        m_keepAliveMiss.store(0);
        return 1;
    }
    const uint32_t result = callbacks.handler(callbacks.handlerArgument, this, frame + kNetHeaderSize, header.id,
                                              total - static_cast<uint32_t>(kNetHeaderSize));
    if (result != 0)
        m_admitted.store(true);
    return result;
}

bool CNetClient::IsEnded() const
{
    std::lock_guard<std::mutex> guard(m_channelsLock);
    const bool tcpEnded = !m_tcpReceive || m_tcpReceive->state.load() == kNetChannelEnded;
    const bool udpEnded = !m_udpReceive || m_udpReceive->state.load() == kNetChannelEnded;
    const bool sendEnded = !m_tcpSend || m_tcpSend->state.load() == kNetChannelEnded;
    bool retiredEnded = true;
    for (const NetChannelPtr& retired : m_retired)
        retiredEnded = retiredEnded && retired->state.load() == kNetChannelEnded;
    // A datagram send channel alone does not keep a peer whose other
    // channels ended.
    return tcpEnded && udpEnded && sendEnded && retiredEnded;
}

bool CNetClient::HasLiveConnection() const
{
    NetChannelPtr tcp = GetTcp();
    return tcp && tcp->broken.load() == 0 && tcp->state.load() != kNetChannelEnded;
}

bool CNetClient::IsConnectionOver() const
{
    NetChannelPtr tcp = GetTcp();
    return !tcp || tcp->broken.load() != 0 || tcp->state.load() == kNetChannelEnded ||
           HasNetPeerHungUp(tcp->socket.Get());
}

bool CNetClient::IsDelivered() const
{
    NetChannelPtr tcp = GetTcp();
    return !tcp || tcp->broken.load() != 0 || tcp->sender.IsDelivered();
}

void CNetClient::CutConnection()
{
    NetChannelPtr tcp = GetTcp();
    if (tcp)
        CutNetChannel(*tcp);
}

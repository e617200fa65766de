#include "net/CNetSession.h"

#include "net/NetHeader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace
{
constexpr int kListenBacklog = 16;
constexpr uint32_t kAcceptWaitMs = 1000;
constexpr size_t kDatagramSize = 4096;
} // namespace

CNetSession::~CNetSession()
{
    Release();
}

uint32_t CNetSession::Initialize(uint32_t owner, const char* name1, const char* name2, const char* name3)
{
    if (owner == 0)
        return 0;
    const char* names[3] = {name1, name2, name3};
    for (int i = 0; i < 3; ++i)
        m_names[i] = names[i] != nullptr ? names[i] : "";
    m_keepAliveOn = 1;
    m_keepAliveIntervalMs = 10000;
    m_keepAliveTimerMs = 0;
    m_owner = owner;
    m_initialized = true;
    return 1;
}

uint32_t CNetSession::SetLocalAddress(const char* dotted)
{
    return m_localAddress.Set(dotted);
}

void CNetSession::SetKeepAlive(uint32_t on, uint32_t intervalMs)
{
    m_keepAliveOn = on;
    m_keepAliveIntervalMs = intervalMs;
}

const char* CNetSession::GetName(int index) const
{
    if (index < 0 || index > 2)
        return nullptr;
    return m_names[index].c_str();
}

uint32_t CNetSession::ConfigureListen(uint16_t port, NetPeerCallback onConnected, void* connectedArgument,
                                      NetMessageHandler handler, void* handlerArgument, NetPeerCallback onDisconnected,
                                      void* disconnectedArgument)
{
    StopListening();
    m_listener = std::make_unique<Listener>();
    m_listener->port = port;
    m_listener->onConnected = onConnected;
    m_listener->connectedArgument = connectedArgument;
    m_listener->callbacks.handler = handler;
    m_listener->callbacks.handlerArgument = handlerArgument;
    m_listener->callbacks.onDisconnected = onDisconnected;
    m_listener->callbacks.disconnectedArgument = disconnectedArgument;
    return 1;
}

uint32_t CNetSession::Listen()
{
    if (!m_listener)
        return 0;
    Listener& listener = *m_listener;
    if (listener.thread.joinable())
    {
        if (listener.state.load() == 1)
            return 1;
        // An accept thread that ended on its own is collected first.
        listener.thread.join();
    }
    CNetSocket socket(OpenNetSocket(SOCK_STREAM));
    if (!socket.IsValid())
        return 0;
    if (!BindNetSocket(socket.Get(), LocalAddress(), listener.port))
        return 0;
    if (::listen(socket.Get(), kListenBacklog) != 0)
        return 0;
    auto wake = std::make_unique<CNetWakeEvent>();
    if (!wake->IsValid())
        return 0;
    {
        std::lock_guard<std::mutex> guard(listener.lock);
        listener.socket = std::move(socket);
        listener.wake = std::move(wake);
        listener.state.store(1);
    }
    listener.thread = std::thread(&CNetSession::AcceptThread, this);
    return 1;
}

uint32_t CNetSession::StopListening()
{
    if (!m_listener)
        return 0;
    Listener& listener = *m_listener;
    {
        std::lock_guard<std::mutex> guard(listener.lock);
        if (listener.state.load() == 1)
            listener.state.store(2);
        if (listener.wake)
            listener.wake->Signal();
    }
    if (listener.thread.joinable())
        listener.thread.join();
    std::lock_guard<std::mutex> guard(listener.lock);
    listener.socket.Close();
    listener.wake.reset();
    listener.state.store(0);
    return 1;
}

uint16_t CNetSession::GetListenPort() const
{
    if (!m_listener)
        return 0;
    std::lock_guard<std::mutex> guard(m_listener->lock);
    if (!m_listener->socket.IsValid())
        return m_listener->port;
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    if (getsockname(m_listener->socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return m_listener->port;
    return ntohs(bound.sin_port);
}

void CNetSession::AcceptThread()
{
    Listener& listener = *m_listener;
    int listenFd = -1;
    int wakeFd = -1;
    {
        std::lock_guard<std::mutex> guard(listener.lock);
        listenFd = listener.socket.Get();
        wakeFd = listener.wake ? listener.wake->Get() : -1;
    }
    for (;;)
    {
        if (listener.state.load() != 1)
            break;
        const int ready = WaitReadable(listenFd, wakeFd, kAcceptWaitMs);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        CNetSocket accepted(
            ::accept4(listenFd, reinterpret_cast<sockaddr*>(&from), &length, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!accepted.IsValid())
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED ||
                errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                continue;
            break;
        }
        AcceptOne(std::move(accepted), from);
    }
    std::lock_guard<std::mutex> guard(listener.lock);
    listener.state.store(0);
}

void CNetSession::AcceptOne(CNetSocket socket, const sockaddr_in& from)
{
    const int on = 1;
    setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    const std::string name = FormatIPv4(from.sin_addr);
    NetChannelPtr replaced;
    // The peer stays alive through the callback even if its connection ends
    // at once and Poll drops it from the list meanwhile.
    NetClientPtr peer =
        AttachPeer(name, std::move(socket), m_listener->port, kNetKindTcp, m_listener->callbacks, &replaced);
    CloseNetChannel(replaced);
    if (!peer)
        return;
    if (m_listener->onConnected != nullptr && !m_listener->onConnected(m_listener->connectedArgument, peer.get()))
        peer->CutConnection();
}

NetClientPtr CNetSession::AttachPeer(const std::string& name, CNetSocket socket, uint16_t port, uint32_t kind,
                                     const tag_KVRNETCALLBACKS& callbacks, NetChannelPtr* replaced)
{
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    NetClientPtr peer;
    for (const NetClientPtr& candidate : m_peers)
    {
        if (candidate->GetName() != nullptr && name == candidate->GetName())
        {
            peer = candidate;
            break;
        }
    }
    if (!peer)
    {
        if (m_peers.size() >= m_maxPeers)
            return nullptr;
        peer = NetClientPtr(new CNetClient(name.c_str(), m_random));
        peer->SetSendTimeout(m_sendTimeoutMs);
        if (m_udp)
            peer->SetUdp(m_udp, m_udpPort);
        m_peers.push_back(peer);
    }
    if (!peer->OpenReceiveChannel(std::move(socket), port, kind, callbacks, replaced))
        return nullptr;
    return peer;
}

uint32_t CNetSession::Connect(const char* host, uint16_t port, uint32_t kind, NetMessageHandler handler,
                              void* handlerArgument, NetPeerCallback onDisconnected, void* disconnectedArgument)
{
    if (host == nullptr || !m_initialized)
        return 0;
    in_addr address{};
    if (!ResolveIPv4(host, &address))
        return 0;
    tag_KVRNETCALLBACKS callbacks;
    callbacks.handler = handler;
    callbacks.handlerArgument = handlerArgument;
    callbacks.onDisconnected = onDisconnected;
    callbacks.disconnectedArgument = disconnectedArgument;
    const std::string name = FormatIPv4(address);
    NetChannelPtr replaced;
    if (kind == kNetKindUdp)
    {
        NetClientPtr peer = AttachPeer(name, CNetSocket(), port, kind, callbacks, &replaced);
        CloseNetChannel(replaced);
        return peer ? 1 : 0;
    }
    CNetSocket socket = ConnectWithDeadline(MakeAddress(address, port), LocalAddress(), m_connectTimeoutMs);
    if (!socket.IsValid())
        return 0;
    NetClientPtr peer = AttachPeer(name, std::move(socket), port, kind, callbacks, &replaced);
    CloseNetChannel(replaced);
    return peer ? 1 : 0;
}

uint32_t CNetSession::ConnectAddress(const uint32_t* address, uint16_t port, uint32_t kind, NetMessageHandler handler,
                                     void* handlerArgument, NetPeerCallback onDisconnected, void* disconnectedArgument)
{
    if (address == nullptr)
        return 0;
    in_addr value{};
    value.s_addr = *address;
    const std::string text = FormatIPv4(value);
    return Connect(text.c_str(), port, kind, handler, handlerArgument, onDisconnected, disconnectedArgument);
}

uint32_t CNetSession::OpenUdp(uint16_t port)
{
    if (m_udp)
        return 1;
    NetChannelPtr channel = NetChannelPtr(new tag_KVRNETCHANNEL);
    channel->kind = kNetKindUdp;
    channel->socket = CNetSocket(OpenNetSocket(SOCK_DGRAM));
    if (!channel->socket.IsValid() || !channel->wake.IsValid())
        return 0;
    if (!BindNetSocket(channel->socket.Get(), LocalAddress(), port))
        return 0;
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    if (getsockname(channel->socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    channel->thread = std::thread(&CNetSession::UdpThread, this, channel);
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    m_udp = channel;
    m_udpPort = ntohs(bound.sin_port);
    for (const NetClientPtr& peer : m_peers)
        peer->SetUdp(m_udp, m_udpPort);
    return 1;
}

uint16_t CNetSession::GetUdpPort() const
{
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    return m_udpPort;
}

void CNetSession::UdpThread(NetChannelPtr channel)
{
    int32_t expected = kNetChannelCreated;
    channel->state.compare_exchange_strong(expected, kNetChannelRunning);
    uint8_t buffer[kDatagramSize];
    for (;;)
    {
        if (channel->state.load() == kNetChannelStopRequested)
            break;
        const int ready = WaitReadable(channel->socket.Get(), channel->wake.Get(), kAcceptWaitMs);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        const ssize_t n = ::recvfrom(channel->socket.Get(), buffer, sizeof(buffer), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED)
                continue;
            break;
        }
        // A datagram larger than the buffer arrived cut: drop it.
        if (static_cast<size_t>(n) > sizeof(buffer) || length < sizeof(sockaddr_in))
            continue;
        const std::string name = FormatIPv4(from.sin_addr);
        NetClientPtr peer = FindPeer(name.c_str());
        if (peer)
            peer->DeliverDatagram(buffer, static_cast<size_t>(n));
    }
    channel->state.store(kNetChannelEnded);
}

uint32_t CNetSession::SendToAll(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind)
{
    std::vector<uint8_t> frame;
    if (!BuildNetFrame(frame, id, sub, payload, length))
        return 0;
    // Every connection serialises its own frames, so the sends themselves
    // need not hold the peer-list lock (a stalled peer would hold up
    // accepts and every other broadcaster).
    for (const NetClientPtr& peer : GetPeers())
        peer->SendRaw(frame.data(), frame.size(), kind);
    return 1;
}

uint32_t CNetSession::SendToAllEmpty(int16_t id, uint16_t sub, uint32_t kind)
{
    return SendToAll(id, sub, nullptr, 0, kind);
}

uint32_t CNetSession::SendToAllUnlocked(int16_t id, uint16_t sub, const void* payload, uint32_t length, uint32_t kind)
{
    return SendToAll(id, sub, payload, length, kind);
}

void CNetSession::Poll(uint32_t elapsedMs)
{
    std::vector<NetClientPtr> ended;
    {
        std::lock_guard<std::recursive_mutex> guard(m_peerLock);
        for (size_t i = 0; i < m_peers.size();)
        {
            if (m_peers[i]->IsEnded())
            {
                ended.push_back(std::move(m_peers[i]));
                m_peers.erase(m_peers.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            ++i;
        }
    }
    for (const NetClientPtr& peer : ended)
        peer->Release();
    ended.clear();

    if (!m_keepAliveOn)
        return;
    m_keepAliveTimerMs += elapsedMs;
    if (m_keepAliveTimerMs < m_keepAliveIntervalMs)
        return;
    for (const NetClientPtr& peer : GetPeers())
    {
        if (peer->GetKeepAliveMiss() != 0 && peer->HasLiveConnection())
            peer->CutConnection();
        else
            peer->SetKeepAliveMiss(1);
    }
    SendToAllEmpty(kNetKeepAliveRequest, 1, kNetKindTcp);
    m_keepAliveTimerMs = 0;
}

void CNetSession::Shutdown()
{
    if (m_listener)
    {
        StopListening();
        m_listener.reset();
    }
    NetChannelPtr udp;
    std::vector<NetClientPtr> peers;
    {
        std::lock_guard<std::recursive_mutex> guard(m_peerLock);
        udp = std::move(m_udp);
        peers.swap(m_peers);
    }
    CloseNetChannel(udp);
    for (const NetClientPtr& peer : peers)
        peer->Release();
}

uint32_t CNetSession::Release()
{
    Shutdown();
    for (std::string& name : m_names)
        name.clear();
    m_initialized = false;
    return 1;
}

NetClientPtr CNetSession::FindPeer(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    for (const NetClientPtr& peer : m_peers)
    {
        const char* own = peer->GetName();
        if (own != nullptr && std::string(own) == name)
            return peer;
    }
    return nullptr;
}

size_t CNetSession::GetPeerCount() const
{
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    return m_peers.size();
}

std::vector<NetClientPtr> CNetSession::GetPeers() const
{
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    return m_peers;
}

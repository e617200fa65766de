#include "net/CNetSession.h"

#include "net/NetHeader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace
{
// Moves out of items, in order, those for which take holds.
template <typename T, typename Take>
std::vector<T> TakeOut(std::vector<T>& items, Take take)
{
    std::vector<T> taken;
    for (size_t i = 0; i < items.size();)
    {
        if (take(items[i]))
        {
            taken.push_back(std::move(items[i]));
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
    return taken;
}

// Whether a new connection belongs to peer. Two players behind one router
// share an address: one's connection must never take the other's place. A
// connection this side makes belongs to the peer it made to that address
// and port (two hosts there are two peers). One that comes in is another
// guest while the one that came in from that address before goes on, and
// takes its place once that one is over (a guest that connects again keeps
// its peer, and its seat with it). A datagram record goes with the first
// peer of its address.
bool TakesConnection(const CNetClient& peer, const std::string& name, uint16_t port, uint32_t kind, bool inbound)
{
    if (peer.GetName() == nullptr || name != peer.GetName())
        return false;
    if (kind == kNetKindUdp)
        return true;
    if (peer.IsInbound() != inbound)
        return false;
    return inbound ? peer.IsConnectionOver() : peer.GetPort() == port;
}

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
    m_cancelConnects = std::make_unique<CNetWakeEvent>();
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
    auto setup = std::make_unique<ListenSetup>();
    setup->port = port;
    setup->onConnected = onConnected;
    setup->connectedArgument = connectedArgument;
    setup->callbacks.handler = handler;
    setup->callbacks.handlerArgument = handlerArgument;
    setup->callbacks.onDisconnected = onDisconnected;
    setup->callbacks.disconnectedArgument = disconnectedArgument;
    std::lock_guard<std::mutex> guard(m_listenLock);
    RetireAcceptorLocked();
    m_listenSetup = std::move(setup);
    return 1;
}

uint32_t CNetSession::Listen()
{
    std::lock_guard<std::mutex> guard(m_listenLock);
    if (!m_listenSetup)
        return 0;
    if (m_acceptor)
    {
        if (m_acceptor->state.load() == 1)
            return 1;
        // An accept thread that ended on its own is collected later.
        RetireAcceptorLocked();
    }
    auto acceptor = std::make_shared<Acceptor>();
    acceptor->setup = *m_listenSetup;
    acceptor->socket = CNetSocket(OpenNetSocket(SOCK_STREAM));
    if (!acceptor->socket.IsValid() || !acceptor->wake.IsValid())
        return 0;
    if (!BindNetSocket(acceptor->socket.Get(), LocalAddress(), acceptor->setup.port))
        return 0;
    if (::listen(acceptor->socket.Get(), kListenBacklog) != 0)
        return 0;
    acceptor->state.store(1);
    acceptor->thread = std::thread(&CNetSession::AcceptThread, this, acceptor);
    m_acceptor = std::move(acceptor);
    return 1;
}

uint32_t CNetSession::StopListening()
{
    std::lock_guard<std::mutex> guard(m_listenLock);
    if (!m_listenSetup)
        return 0;
    RetireAcceptorLocked();
    return 1;
}

void CNetSession::RetireAcceptorLocked()
{
    if (!m_acceptor)
        return;
    int32_t running = 1;
    m_acceptor->state.compare_exchange_strong(running, 2);
    m_acceptor->wake.Signal();
    // A listening socket that is shut down accepts no more and leaves its
    // port free for the next Listen; the descriptor itself stays open
    // until the accept thread that polls it has ended.
    ::shutdown(m_acceptor->socket.Get(), SHUT_RDWR);
    m_endingAcceptors.push_back(std::move(m_acceptor));
}

uint16_t CNetSession::GetListenPort() const
{
    std::lock_guard<std::mutex> guard(m_listenLock);
    if (!m_listenSetup)
        return 0;
    if (!m_acceptor)
        return m_listenSetup->port;
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    if (getsockname(m_acceptor->socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return m_listenSetup->port;
    return ntohs(bound.sin_port);
}

void CNetSession::AcceptThread(AcceptorPtr acceptor)
{
    const int listenFd = acceptor->socket.Get();
    for (;;)
    {
        if (acceptor->state.load() != 1)
            break;
        const int ready = WaitReadable(listenFd, acceptor->wake.Get(), kAcceptWaitMs);
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
        AcceptOne(*acceptor, std::move(accepted), from);
    }
    acceptor->state.store(0);
}

void CNetSession::AcceptOne(const Acceptor& acceptor, CNetSocket socket, const sockaddr_in& from)
{
    const int on = 1;
    setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    const std::string name = FormatIPv4(from.sin_addr);
    const ListenSetup& setup = acceptor.setup;
    // The peer stays alive through the callback even if its connection ends
    // at once and Poll drops it from the list meanwhile.
    NetClientPtr peer = AttachPeer(name, std::move(socket), setup.port, kNetKindTcp, setup.callbacks, true);
    if (!peer)
        return;
    if (setup.onConnected != nullptr && !setup.onConnected(setup.connectedArgument, peer.get()))
        peer->CutConnection();
}

NetClientPtr CNetSession::AttachPeer(const std::string& name, CNetSocket socket, uint16_t port, uint32_t kind,
                                     const tag_KVRNETCALLBACKS& callbacks, bool inbound)
{
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    NetClientPtr peer;
    for (const NetClientPtr& candidate : m_peers)
    {
        if (TakesConnection(*candidate, name, port, kind, inbound))
        {
            peer = candidate;
            break;
        }
    }
    if (!peer)
    {
        if (m_peers.size() >= m_maxPeers && !(inbound && EvictUnadmittedLocked()))
            return nullptr;
        peer = NetClientPtr(new CNetClient(name.c_str(), m_random));
        peer->SetSendTimeout(m_sendTimeoutMs);
        peer->SetSendQueueLimit(m_sendQueueBytes);
        if (m_udp)
            peer->SetUdp(m_udp, m_udpPort);
        m_peers.push_back(peer);
    }
    if (!peer->OpenReceiveChannel(std::move(socket), port, kind, callbacks, inbound))
        return nullptr;
    if (kind != kNetKindUdp)
        peer->SetConnectionOrder(++m_connectionCount);
    return peer;
}

bool CNetSession::EvictUnadmittedLocked()
{
    size_t oldest = m_peers.size();
    for (size_t i = 0; i < m_peers.size(); ++i)
    {
        const NetClientPtr& peer = m_peers[i];
        if (peer->IsAdmitted() || !peer->HasLiveConnection())
            continue;
        if (oldest == m_peers.size() || peer->GetConnectionOrder() < m_peers[oldest]->GetConnectionOrder())
            oldest = i;
    }
    if (oldest == m_peers.size())
        return false;
    NetClientPtr victim = std::move(m_peers[oldest]);
    m_peers.erase(m_peers.begin() + static_cast<std::ptrdiff_t>(oldest));
    victim->CutConnection();
    m_droppedPeers.push_back(std::move(victim));
    return true;
}

void CNetSession::CancelConnects()
{
    m_cancelConnects->Signal();
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
    if (kind == kNetKindUdp)
        return AttachPeer(name, CNetSocket(), port, kind, callbacks, false) ? 1 : 0;
    CNetSocket socket =
        ConnectWithDeadline(MakeAddress(address, port), LocalAddress(), m_connectTimeoutMs, m_cancelConnects->Get());
    if (!socket.IsValid())
        return 0;
    return AttachPeer(name, std::move(socket), port, kind, callbacks, false) ? 1 : 0;
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
        ended = TakeOut(m_peers, [](const NetClientPtr& peer) { return peer->IsEnded(); });
    }
    // Their threads have ended: releasing them waits for nothing.
    for (const NetClientPtr& peer : ended)
        peer->Release();
    ended.clear();
    CollectPeers(false);
    CollectAcceptors(false);

    const std::vector<NetClientPtr> peers = GetPeers();
    for (const NetClientPtr& peer : peers)
    {
        peer->ReapRetired();
        if (m_admissionMs != 0 && !peer->IsAdmitted() && peer->HasLiveConnection() &&
            peer->AddUnadmittedTime(elapsedMs) >= m_admissionMs)
            peer->CutConnection();
    }

    if (!m_keepAliveOn)
        return;
    m_keepAliveTimerMs += elapsedMs;
    if (m_keepAliveTimerMs < m_keepAliveIntervalMs)
        return;
    for (const NetClientPtr& peer : peers)
    {
        if (peer->GetKeepAliveMiss() != 0 && peer->HasLiveConnection())
            peer->CutConnection();
        else
            peer->SetKeepAliveMiss(1);
    }
    SendToAllEmpty(kNetKeepAliveRequest, 1, kNetKindTcp);
    m_keepAliveTimerMs = 0;
}

void CNetSession::CollectPeers(bool wait)
{
    std::vector<NetClientPtr> peers;
    {
        std::lock_guard<std::recursive_mutex> guard(m_peerLock);
        peers = TakeOut(m_droppedPeers, [wait](const NetClientPtr& peer) { return wait || peer->IsEnded(); });
    }
    for (const NetClientPtr& peer : peers)
        peer->Release();
}

void CNetSession::CollectAcceptors(bool wait)
{
    std::vector<AcceptorPtr> acceptors;
    {
        std::lock_guard<std::mutex> guard(m_listenLock);
        acceptors = TakeOut(m_endingAcceptors,
                            [wait](const AcceptorPtr& acceptor) { return wait || acceptor->state.load() == 0; });
    }
    for (const AcceptorPtr& acceptor : acceptors)
    {
        if (acceptor->thread.joinable())
            acceptor->thread.join();
    }
}

void CNetSession::DropPeers(const CNetClient* spared)
{
    StopListening();
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    std::vector<NetClientPtr> dropped =
        TakeOut(m_peers, [spared](const NetClientPtr& peer) { return peer.get() != spared; });
    for (NetClientPtr& peer : dropped)
    {
        peer->CutConnection();
        m_droppedPeers.push_back(std::move(peer));
    }
}

bool CNetSession::IsDelivered() const
{
    for (const NetClientPtr& peer : GetPeers())
    {
        if (!peer->IsDelivered())
            return false;
    }
    return true;
}

void CNetSession::Shutdown()
{
    {
        std::lock_guard<std::mutex> guard(m_listenLock);
        RetireAcceptorLocked();
        m_listenSetup.reset();
    }
    // No accept thread adds a peer once they have all ended.
    CollectAcceptors(true);
    DropPeers();
    NetChannelPtr udp;
    {
        std::lock_guard<std::recursive_mutex> guard(m_peerLock);
        udp = std::move(m_udp);
    }
    CloseNetChannel(udp);
    CollectPeers(true);
}

uint32_t CNetSession::Release()
{
    CancelConnects();
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

NetClientPtr CNetSession::FindOutgoingPeer(const char* name, uint16_t port) const
{
    if (name == nullptr)
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(m_peerLock);
    for (const NetClientPtr& peer : m_peers)
    {
        if (TakesConnection(*peer, name, port, kNetKindTcp, false))
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

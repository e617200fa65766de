// The lobby client's connection to the lobby server: sending, the connect
// thread (port mapping, then the connection), the receive thread, and the
// work deferred until the protocol lock is given up.
#include "net/lobby/CLobbyClient.h"

#include "net/CUpnpClient.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>

namespace
{
constexpr size_t kReceiveChunk = 4096;
// The longest a lobby thread gives way to a waiting frame.
constexpr uint32_t kGiveWayMs = 100;
// The lobby's own messages are small; this leaves room for the largest
// frame twice over.
constexpr size_t kLobbySendQueueBytes = 2 * (kLobbyMaxPayload + 16);
constexpr int kLobbySocketBuffer = 64 * 1024;

// The first IPv4 address of this host's own name, network order; 0 when
// it has none.
uint32_t OwnHostAddress()
{
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return 0;
    in_addr address{};
    if (!ResolveIPv4(name, &address))
        return 0;
    return address.s_addr;
}
} // namespace

bool CLobbyClient::SendMessage(int16_t id)
{
    return SendMessageData(id, nullptr, 0);
}

bool CLobbyClient::SendMessageData(int16_t id, const void* payload, uint32_t length)
{
    if (!m_state)
        return false;
    std::vector<uint8_t> frame;
    uint8_t key = 0;
    {
        auto guard = Lock();
        key = m_state->sessionKey;
    }
    if (!BuildLobbyClientFrame(frame, id, payload, length, key))
        return false;
    // Frames leave whole and in order from the connection's queue; one the
    // queue can't take (the server reads too little) ends the connection.
    return m_sender.Post(frame.data(), frame.size()) != 0;
}

bool CLobbyClient::SendRoomStatus(uint32_t status)
{
    uint8_t payload[4];
    WriteLobbyU32(payload, status);
    SendMessageData(LOBBY_MSG_ROOM_STATUS, payload, sizeof(payload));
    return true;
}

bool CLobbyClient::SendBattleResult(uint32_t result)
{
    uint8_t payload[4];
    WriteLobbyU32(payload, result);
    SendMessageData(LOBBY_MSG_BATTLE_RESULT, payload, sizeof(payload));
    return true;
}

bool CLobbyClient::SendMatchingPoll()
{
    SendMessage(LOBBY_MSG_MATCHING);
    return true;
}

void CLobbyClient::ConnectThread()
{
    uint16_t ownPort = 0;
    uint16_t lobbyPort = 0;
    uint32_t mapping = 0;
    std::string host;
    {
        auto guard = WorkerLock();
        ownPort = m_state->ownPort;
        lobbyPort = m_state->lobbyPort;
        mapping = m_state->portMapping;
        host = m_state->lobbyHost;
    }
    const bool mapped = mapping == 0 || (MapPorts(ownPort) && MapPorts(lobbyPort));
    // A release that came meanwhile has cut the mapping short: nothing to
    // report.
    if (m_closing.load())
        return;
    if (!mapped)
    {
        SetState(LOBBY_PORT_MAPPING_FAILED);
        return;
    }
    // A server that can't be reached gets the notice that names the
    // network and the port; the server's own refusal (greeting sub 2)
    // keeps the maintenance notice.
    if (!Connect(host.c_str(), lobbyPort))
        SetState(LOBBY_PORT_MAPPING_FAILED);
}

bool CLobbyClient::MapPorts(uint16_t port)
{
    if (!m_upnp)
    {
        auto upnp = std::make_unique<CUpnpClient>();
        if (!m_upnpTarget.empty())
            upnp->SetSsdpTarget(m_upnpTarget.c_str(), m_upnpPort);
        if (m_hasLocalAddress)
            upnp->SetLocalAddress(FormatIPv4(m_localAddress).c_str());
        if (m_upnpDiscoverMs != 0)
            upnp->SetTimeouts(m_upnpDiscoverMs, m_upnpDiscoverMs);
        {
            // Published before the first exchange, so that Release can cut
            // every exchange short.
            std::lock_guard<std::mutex> guard(m_upnpLock);
            m_upnp = std::move(upnp);
            if (m_closing.load())
                m_upnp->Cancel();
        }
        if (!m_upnp->Discover())
        {
            std::lock_guard<std::mutex> guard(m_upnpLock);
            m_upnp.reset();
            return true;
        }
    }
    in_addr local{};
    local.s_addr = m_hasLocalAddress ? m_localAddress.s_addr : OwnHostAddress();
    const std::string client = FormatIPv4(local);
    for (const char* protocol : {"TCP", "UDP"})
    {
        if (m_upnp->CheckPortMapping(port, protocol))
            continue;
        const std::string description = m_gameId + std::to_string(port) + protocol;
        if (!m_upnp->AddPortMapping(port, port, protocol, client.c_str(), description.c_str()))
            return false;
    }
    return true;
}

bool CLobbyClient::Connect(const char* host, uint16_t port)
{
    in_addr address{};
    if (host == nullptr || !ResolveIPv4(host, &address))
        return false;
    CNetSocket socket = ConnectWithDeadline(MakeAddress(address, port), m_hasLocalAddress ? &m_localAddress : nullptr,
                                            m_connectTimeoutMs, m_wake->Get());
    if (!socket.IsValid())
        return false;
    {
        auto guard = WorkerLock();
        auto own = std::make_unique<CLobbyUser>();
        own->login.port = m_state->ownPort;
        CopyLobbyString(own->login.loginId, m_state->loginId, kLobbyLoginIdSize);
        const uint32_t local = m_hasLocalAddress ? m_localAddress.s_addr : OwnHostAddress();
        std::memcpy(own->login.address, &local, 4);
        m_ownUser = std::move(own);
        m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
        m_lineTestService = std::make_unique<CNetworkTest>();
        if (m_hasLocalAddress)
            m_lineTestService->SetLocalAddress(FormatIPv4(m_localAddress).c_str());
        m_lineTestService->SetPause(m_lineTestPauseMs);
        // Peers test their line to this machine on the lobby port number.
        if (!m_lineTestService->Start(port))
            m_lineTestService.reset();
        m_stream.Clear();
        m_state->sessionKey = kLobbyInitialSessionKey;
    }
    // The lobby's messages are few and small: a modest kernel buffer, so
    // that a server that stops reading is found out by the send deadline
    // rather than after megabytes have piled up unseen.
    const int sendBuffer = kLobbySocketBuffer;
    setsockopt(socket.Get(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof(sendBuffer));
    m_socket = std::move(socket);
    if (!m_sender.Start(m_socket.Get(), kLobbySendQueueBytes, m_connectTimeoutMs, &CLobbyClient::SendFailed, this))
        return false;
    m_receiveThread = std::thread(&CLobbyClient::ReceiveThread, this);
    return true;
}

void CLobbyClient::SendFailed(void* argument)
{
    // The receive thread sees the shut-down socket and reports the loss.
    ::shutdown(static_cast<CLobbyClient*>(argument)->m_socket.Get(), SHUT_RDWR);
}

void CLobbyClient::ReceiveThread()
{
    std::vector<uint8_t> buffer(kReceiveChunk);
    const int fd = m_socket.Get();
    for (;;)
    {
        const int ready = WaitReadable(fd, m_wake->Get(), 1000);
        if (ready == 0)
            continue;
        if (ready < 0 || m_closing.load())
            break;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        bool ok = false;
        {
            auto guard = WorkerLock();
            ok = Reassemble(buffer.data(), static_cast<size_t>(n)) && DispatchQueued();
        }
        RunDeferred();
        if (!ok)
            break;
    }
    // The server hears of a broken stream as of a close.
    ::shutdown(fd, SHUT_RDWR);
    // Under the protocol lock: a frame reads the state and moves it on
    // under that lock (the fade after the login ends in the lobby), and the
    // loss must not land between the two and be overwritten.
    // A player already on the way out of the lobby is not stopped by it.
    auto guard = WorkerLock();
    const LobbyState state = GetState();
    if (!m_closing.load() && state != LOBBY_LEAVING && state != LOBBY_FINISHED)
        SetState(LOBBY_CONNECTION_LOST);
}

void CLobbyClient::CloseConnection()
{
    if (m_wake)
        m_wake->Signal();
    if (m_socket.IsValid())
        ::shutdown(m_socket.Get(), SHUT_RDWR);
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    // The socket outlives every thread that uses it.
    m_sender.Stop();
    m_socket.Close();
}

void CLobbyClient::CancelNetworkWaits()
{
    // The connect step's connection and the receive thread's wait.
    if (m_wake)
        m_wake->Signal();
    {
        std::lock_guard<std::mutex> guard(m_upnpLock);
        if (m_upnp)
            m_upnp->Cancel();
    }
    // Connecting to a room's host, on the receive thread.
    if (m_session)
        m_session->CancelConnects();
    auto guard = Lock();
    if (m_lineTestService)
        m_lineTestService->CancelTests();
}

void CLobbyClient::JoinLineTest()
{
    if (m_lineTestThread.joinable())
        m_lineTestThread.join();
}

std::unique_lock<std::recursive_mutex> CLobbyClient::Lock()
{
    m_framesWaiting.fetch_add(1);
    std::unique_lock<std::recursive_mutex> guard(m_protocolLock);
    if (m_framesWaiting.fetch_sub(1) == 1)
    {
        std::lock_guard<std::mutex> turn(m_turnLock);
        m_turn.notify_all();
    }
    return guard;
}

std::unique_lock<std::recursive_mutex> CLobbyClient::WorkerLock()
{
    // A mutex hands itself to whoever asks first once it is free, and a
    // thread that gives it up and takes it again at once nearly always
    // wins: without this turn a flood's reader would keep the frame out.
    // The wait is bounded, so a frame that never comes costs nothing.
    if (m_framesWaiting.load() != 0)
    {
        std::unique_lock<std::mutex> turn(m_turnLock);
        m_turn.wait_for(turn, std::chrono::milliseconds(kGiveWayMs), [this] { return m_framesWaiting.load() == 0; });
    }
    return std::unique_lock<std::recursive_mutex>(m_protocolLock);
}

void CLobbyClient::Defer(Deferred action)
{
    std::lock_guard<std::mutex> guard(m_deferredLock);
    m_deferred.push_back({std::this_thread::get_id(), std::move(action)});
}

void CLobbyClient::RunDeferred()
{
    // Each thread runs only what it deferred itself: what the receive
    // thread defers (connecting to a room's host) waits for the network,
    // which the main thread never does.
    const std::thread::id self = std::this_thread::get_id();
    std::vector<DeferredAction> actions;
    {
        std::lock_guard<std::mutex> guard(m_deferredLock);
        auto mine = std::stable_partition(m_deferred.begin(), m_deferred.end(),
                                          [self](const DeferredAction& a) { return a.thread == self; });
        std::move(m_deferred.begin(), mine, std::back_inserter(actions));
        m_deferred.erase(m_deferred.begin(), mine);
    }
    for (DeferredAction& action : actions)
        action.run();
}

bool CLobbyClient::Reassemble(const uint8_t* bytes, size_t count)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (m_stream.Feed(bytes, count))
        return true;
    m_stream.Clear();
    return false;
}

bool CLobbyClient::DispatchQueued()
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    tag_KVRLOBBYMESSAGE message;
    while (m_stream.Take(message))
    {
        // A server that breaks a limit is not read any further.
        if (!DispatchMessage(message.payload.data(), message.header.sub, message.header.id,
                             static_cast<uint32_t>(message.payload.size())))
        {
            m_stream.Clear();
            return false;
        }
    }
    return true;
}

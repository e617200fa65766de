// The lobby client's connection to the lobby server: sending, the connect
// thread (port mapping, then the connection), the receive thread, and the
// work deferred until the protocol lock is given up.
#include "net/lobby/CLobbyClient.h"

#include "net/CUpnpClient.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
constexpr size_t kReceiveChunk = 4096;

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
        std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
        key = m_state->sessionKey;
    }
    if (!BuildLobbyClientFrame(frame, id, payload, length, key))
        return false;
    // One frame at a time: the receive thread answers while the main
    // thread sends, and a frame cut short would leave the stream broken for
    // good, so the connection is shut down instead.
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (!m_socket.IsValid())
        return false;
    if (SendWithDeadline(m_socket.Get(), frame.data(), frame.size(), m_connectTimeoutMs))
        return true;
    ::shutdown(m_socket.Get(), SHUT_RDWR);
    return false;
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
        std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
        ownPort = m_state->ownPort;
        lobbyPort = m_state->lobbyPort;
        mapping = m_state->portMapping;
        host = m_state->lobbyHost;
    }
    if (mapping != 0 && (!MapPorts(ownPort) || !MapPorts(lobbyPort)))
    {
        SetState(6);
        return;
    }
    if (m_closing.load())
        return;
    if (!Connect(host.c_str(), lobbyPort))
        SetState(4);
}

bool CLobbyClient::MapPorts(uint16_t port)
{
    if (!m_upnp)
    {
        m_upnp = std::make_unique<CUpnpClient>();
        if (!m_upnpTarget.empty())
            m_upnp->SetSsdpTarget(m_upnpTarget.c_str(), m_upnpPort);
        if (m_hasLocalAddress)
            m_upnp->SetLocalAddress(FormatIPv4(m_localAddress).c_str());
        if (m_upnpDiscoverMs != 0)
            m_upnp->SetTimeouts(m_upnpDiscoverMs, m_upnpDiscoverMs);
        if (!m_upnp->Discover())
        {
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
    CNetSocket socket =
        ConnectWithDeadline(MakeAddress(address, port), m_hasLocalAddress ? &m_localAddress : nullptr,
                            m_connectTimeoutMs);
    if (!socket.IsValid())
        return false;
    {
        std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
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
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        m_socket = std::move(socket);
    }
    m_receiveThread = std::thread(&CLobbyClient::ReceiveThread, this);
    return true;
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
            std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
            ok = Reassemble(buffer.data(), static_cast<size_t>(n)) && DispatchQueued();
        }
        RunDeferred();
        if (!ok)
            break;
    }
    // The server hears of a broken stream as of a close.
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        ::shutdown(fd, SHUT_RDWR);
    }
    if (!m_closing.load())
        SetState(68);
}

void CLobbyClient::CloseConnection()
{
    if (m_wake)
        m_wake->Signal();
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        if (m_socket.IsValid())
            ::shutdown(m_socket.Get(), SHUT_RDWR);
    }
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    std::lock_guard<std::mutex> guard(m_sendLock);
    m_socket.Close();
}

void CLobbyClient::JoinLineTest()
{
    if (m_lineTestThread.joinable())
        m_lineTestThread.join();
}

void CLobbyClient::Defer(Deferred action)
{
    std::lock_guard<std::mutex> guard(m_deferredLock);
    m_deferred.push_back(std::move(action));
}

void CLobbyClient::RunDeferred()
{
    std::vector<Deferred> actions;
    {
        std::lock_guard<std::mutex> guard(m_deferredLock);
        actions.swap(m_deferred);
    }
    for (Deferred& action : actions)
        action();
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
        DispatchMessage(message.payload.data(), message.header.sub, message.header.id,
                        static_cast<uint32_t>(message.payload.size()));
    return true;
}

#include "net/lobby/CLobbyClient.h"

#include "engine/core/ShiftJisText.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"
#include "net/CUpnpClient.h"
#include "net/lobby/CLobbyScreens.h"
#include "net/lobby/LobbyHost.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace
{
constexpr int32_t kEditorBufferSize = 260;
constexpr uint16_t kLineTestBlockSize = 1000;
constexpr uint16_t kLineTestBlockCount = 100;
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

// A copy of at most size - 1 bytes that never ends in half a double-byte
// character.
void CopyWholeCharacters(char* out, const char* in, size_t size)
{
    size_t n = 0;
    while (in != nullptr && in[n] != '\0')
    {
        const size_t length = ShiftJisCharLength(in + n);
        if (length == 0 || n + length + 1 > size)
            break;
        n += length;
    }
    std::memset(out, 0, size);
    if (n != 0)
        std::memcpy(out, in, n);
}
} // namespace

CLobbyClient::CLobbyClient() = default;

CLobbyClient::~CLobbyClient()
{
    Release();
}

bool CLobbyClient::Initialize(CSystem* system, const char* gameId, const char* name2, CGraphics* graphics,
                              CTexture* lobbyTexture, CFontTexture* font)
{
    Release();
    m_system = system;
    m_graphics = graphics;
    m_texture = lobbyTexture;
    m_font = font;
    m_gameId = gameId != nullptr ? gameId : "";
    m_state = std::make_unique<tag_KVRLOBBYSTATE>();
    m_state->lobbyHost = GetLobbyHostName();
    m_state->lobbyPort = kLobbyDefaultPort;
    m_wake = std::make_unique<CNetWakeEvent>();
    m_session = std::make_unique<CNetSession>();
    m_session->Initialize(1, m_gameId.c_str(), name2, nullptr);
    m_editor = std::make_unique<CImeInput>();
    m_editor->Create(kEditorBufferSize);
    m_editor->SetFont(font);
    m_editor->SetEnable(1);
    m_roomTemplate = std::make_unique<CLobbyRoom>(8, kLobbyRoomAttributeCount, GetLobbyRoomSchema());
    m_matchRecord = std::make_unique<CLobbyRoom>(8, kLobbyMatchAttributeCount, GetLobbyMatchSchema());
    m_closing.store(false);
    return true;
}

void CLobbyClient::Release()
{
    m_closing.store(true);
    // The connect thread touches the lobby's objects: it ends before they go.
    if (m_connectThread.joinable())
        m_connectThread.join();
    CloseConnection();
    JoinLineTest();
    {
        // What waited for the lock (connecting to a host, closing peers) is
        // moot once everything goes.
        std::lock_guard<std::mutex> guard(m_deferredLock);
        m_deferred.clear();
    }
    if (m_session)
        m_session->Release();
    m_session.reset();
    if (m_upnp)
        m_upnp->Release();
    m_upnp.reset();
    if (m_lineTestService)
        m_lineTestService->Release();
    m_lineTestService.reset();
    if (m_editor)
        m_editor->Release();
    m_editor.reset();
    m_ownUser.reset();
    m_currentRoom.reset();
    m_roomTemplate.reset();
    m_matchRecord.reset();
    m_users.clear();
    m_rooms.clear();
    m_stream.Clear();
    m_state.reset();
    m_wake.reset();
    m_listening = false;
    m_hostPeer.clear();
}

void CLobbyClient::SetLobbyHost(const char* host, uint16_t port)
{
    if (!m_state)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    m_state->lobbyHost = host != nullptr ? host : GetLobbyHostName();
    m_state->lobbyPort = port;
}

void CLobbyClient::SetLoginId(const char* loginId)
{
    if (!m_state)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    CopyWholeCharacters(m_state->loginId, loginId, kLobbyLoginIdSize);
}

void CLobbyClient::SetOwnPort(uint16_t port)
{
    if (m_state)
        m_state->ownPort = port;
}

void CLobbyClient::SetPortMapping(uint32_t on)
{
    if (m_state)
        m_state->portMapping = on;
}

bool CLobbyClient::SetLocalAddress(const char* dotted)
{
    if (dotted == nullptr || !ParseIPv4(dotted, &m_localAddress))
    {
        m_hasLocalAddress = false;
        return dotted == nullptr;
    }
    m_hasLocalAddress = true;
    if (m_session)
        m_session->SetLocalAddress(dotted);
    return true;
}

void CLobbyClient::SetUpnpTarget(const char* dotted, uint16_t port, uint32_t discoverMs)
{
    m_upnpTarget = dotted != nullptr ? dotted : "";
    m_upnpPort = port;
    m_upnpDiscoverMs = discoverMs;
}

void CLobbyClient::SetPeerCallbacks(NetPeerCallback connected, void* connectedArgument, NetMessageHandler message,
                                    void* messageArgument, NetPeerCallback disconnected, void* disconnectedArgument)
{
    m_peerConnected = connected;
    m_peerConnectedArgument = connectedArgument;
    m_peerMessage = message;
    m_peerMessageArgument = messageArgument;
    m_peerDisconnected = disconnected;
    m_peerDisconnectedArgument = disconnectedArgument;
}

// ---------------------------------------------------------------------------
// State

int32_t CLobbyClient::GetState() const
{
    if (!m_state)
        return -1;
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_state->state;
}

int32_t CLobbyClient::GetPreviousState() const
{
    if (!m_state)
        return -1;
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_state->previousState;
}

bool CLobbyClient::SetState(int32_t state)
{
    if (!m_state)
        return false;
    std::lock_guard<std::mutex> guard(m_stateLock);
    m_state->previousState = m_state->state;
    m_state->state = state;
    return true;
}

bool CLobbyClient::SetRoomState(int32_t state)
{
    if (!m_session || !m_state)
        return false;
    uint8_t payload[4];
    WriteLobbyU32(payload, static_cast<uint32_t>(state));
    m_session->SendToAll(LOBBY_MSG_ROOM_STATE, 1, payload, sizeof(payload), kNetKindTcp);
    return SetState(state);
}

// ---------------------------------------------------------------------------
// Sending

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

// ---------------------------------------------------------------------------
// Connecting and receiving

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

bool CLobbyClient::DispatchMessage(uint8_t* payload, uint16_t sub, int16_t id, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (!m_state || (payload == nullptr && length != 0))
        return true;
    LobbyScramble(m_state->sessionKey, payload, length);
    switch (id)
    {
    case LOBBY_MSG_HELLO: OnHello(payload, length, sub); break;
    case LOBBY_MSG_LOGIN: OnLogin(payload, length, sub); break;
    case LOBBY_MSG_CREATE_ROOM:
    case LOBBY_MSG_ROOM_STATUS:
    case LOBBY_MSG_ROOM_LIST: OnRoomEntries(payload, length); break;
    case LOBBY_MSG_CLOSE_ROOM: OnRoomRemoved(payload, length); break;
    case LOBBY_MSG_ROOM_SETTINGS:
    case LOBBY_MSG_ROOM_KEY:
    case LOBBY_MSG_ROOM_INFO: OnRoomData(payload, length, sub); break;
    case LOBBY_MSG_JOIN_ROOM: OnJoinRoom(payload, length, sub); break;
    case LOBBY_MSG_LEAVE_ROOM:
    case LOBBY_MSG_KICK: OnMembers(payload, length, id); break;
    case LOBBY_MSG_USER_ENTRIES:
    case LOBBY_MSG_USER_LIST:
    case LOBBY_MSG_BATTLE_RESULT: OnUserEntries(payload, length); break;
    case LOBBY_MSG_LOGOUT: OnLogout(payload, length); break;
    case LOBBY_MSG_USER_INFO: OnUserData(payload, length, sub); break;
    case LOBBY_MSG_RANDOM_MATCH: OnRandomMatch(sub); break;
    case LOBBY_MSG_MATCHING: OnMatching(payload, length, sub); break;
    case LOBBY_MSG_HOST: OnMatchHost(payload, length); break;
    case LOBBY_MSG_LOBBY_CHAT: OnLobbyChat(payload, length); break;
    case LOBBY_MSG_LINE_TEST: OnLineTest(payload, length, sub); break;
    case LOBBY_MSG_KEEPALIVE: SendMessage(LOBBY_MSG_KEEPALIVE); break;
    default: break;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Handlers

void CLobbyClient::OnHello(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // Only the answer to a connection that is being made counts.
    if (GetState() != 3)
        return;
    if (sub == kLobbySubRefused)
    {
        SetState(4);
        return;
    }
    if (sub != kLobbySubOk || length < kLobbyHelloSize || payload[0] != kLobbyHelloMark)
    {
        SetState(5);
        return;
    }
    m_state->sessionKey = payload[1];
    m_state->pane = 0;
    EditorOn(1, 32, 0.0f);
    if (m_ownUser)
        m_editor->SetText(m_ownUser->login.loginId);
    SetState(7);
}

void CLobbyClient::OnLogin(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    if (GetState() != 8)
        return;
    tag_KVRLOBBYUSERDATA data;
    if (sub != kLobbySubOk || !m_ownUser || !ReadLobbyUserData(payload, length, data))
    {
        SetState(9);
        return;
    }
    m_ownUser->SetData(data);
    SetState(10);
}

void CLobbyClient::OnRoomEntries(const uint8_t* payload, uint32_t length)
{
    if (GetState() < 10)
        return;
    for (uint32_t at = 0; at + kLobbyRoomEntrySize <= length; at += kLobbyRoomEntrySize)
    {
        tag_KVRLOBBYROOMDATA entry;
        ReadLobbyRoomEntry(payload + at, kLobbyRoomEntrySize, entry);
        CLobbyRoom* room = FindRoom(entry.id);
        if (room == nullptr)
        {
            m_rooms.push_back(std::make_unique<CLobbyRoom>(*m_roomTemplate));
            room = m_rooms.back().get();
        }
        std::memcpy(room->data.name, entry.name, sizeof(entry.name));
        room->data.id = entry.id;
        room->data.busy = entry.busy;
        room->data.keyFlag = entry.keyFlag;
        if (m_currentRoom && m_ownUser && m_currentRoom->data.id == entry.id &&
            IsLobbyMember(m_currentRoom->data, m_ownUser->data.id))
        {
            std::memcpy(m_currentRoom->data.name, entry.name, sizeof(entry.name));
            m_currentRoom->data.busy = entry.busy;
            m_currentRoom->data.keyFlag = entry.keyFlag;
        }
    }
    ClampCursors();
}

void CLobbyClient::OnUserEntries(const uint8_t* payload, uint32_t length)
{
    if (GetState() < 10)
        return;
    for (uint32_t at = 0; at + kLobbyUserEntrySize <= length; at += kLobbyUserEntrySize)
    {
        tag_KVRLOBBYUSERENTRY entry;
        ReadLobbyUserEntry(payload + at, kLobbyUserEntrySize, entry);
        if (entry.name[0] == '\0')
            continue;
        CLobbyUser* user = FindUser(entry.id);
        if (user == nullptr)
        {
            m_users.push_back(std::make_unique<CLobbyUser>());
            user = m_users.back().get();
        }
        user->SetEntry(entry);
    }
    ClampCursors();
}

void CLobbyClient::OnRoomRemoved(const uint8_t* payload, uint32_t length)
{
    if (length < kLobbyIdSize)
        return;
    RemoveRoom(ReadLobbyU32(payload));
}

void CLobbyClient::OnLogout(const uint8_t* payload, uint32_t length)
{
    if (length < kLobbyIdSize)
        return;
    RemoveUser(ReadLobbyU32(payload));
}

void CLobbyClient::OnRoomData(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    const int32_t state = GetState();
    if (state < 10)
        return;
    tag_KVRLOBBYROOMDATA data;
    CLobbyRoom* room = nullptr;
    if (sub == kLobbySubOk && ReadLobbyRoomData(payload, length, data))
        room = FindRoom(data.id);
    if (room == nullptr)
    {
        const int32_t from[] = {21, 29, 44, 48};
        const int32_t to[] = {22, 30, 45, 49};
        for (int i = 0; i < 4; ++i)
            if (state == from[i])
                SetState(to[i]);
        return;
    }
    room->SetData(data);
    const bool member = m_ownUser && IsLobbyMember(data, m_ownUser->data.id);
    if (!member)
    {
        if (state == 21 || state == 29)
            SetState(20);
        return;
    }
    if (m_currentRoom)
        m_currentRoom->SetData(data);
    if (state == 16)
        SetState(19);
    else if (state == 48)
        SetState(36);
    else if (state == 44)
        SetState(46);
}

void CLobbyClient::OnJoinRoom(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // A server sending the client to a host it did not ask for is ignored.
    if (GetState() != 25)
        return;
    tag_KVRLOBBYHOSTANSWER answer;
    if (sub != kLobbySubOk || !ReadLobbyHostAnswer(payload, length, answer))
    {
        SetState(26);
        return;
    }
    CLobbyRoom* room = FindRoom(answer.room.id);
    if (room == nullptr || answer.room.id != m_state->selectedId)
    {
        SetState(26);
        return;
    }
    room->SetData(answer.room);
    // Connecting waits for the host: it happens after the protocol lock is
    // given up; state 25 holds until then.
    Defer([this, answer] { ConnectToHost(answer, true); });
}

void CLobbyClient::ConnectToHost(const tag_KVRLOBBYHOSTANSWER& answer, bool reportFailure)
{
    uint32_t address = 0;
    std::memcpy(&address, answer.address, 4);
    const uint32_t ok = m_session->ConnectAddress(&address, answer.port, kNetKindTcp, &CLobbyClient::PeerMessage,
                                                  this, &CLobbyClient::PeerDisconnected, this);
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (!reportFailure)
    {
        in_addr host{};
        host.s_addr = address;
        m_hostPeer = FormatIPv4(host);
        return;
    }
    if (GetState() != 25)
        return;
    if (!ok)
    {
        SendMessage(LOBBY_MSG_LEAVE_ROOM);
        SetState(26);
        return;
    }
    in_addr host{};
    host.s_addr = address;
    m_hostPeer = FormatIPv4(host);
    m_currentRoom->SetData(answer.room);
    SetState(27);
}

void CLobbyClient::OnMembers(const uint8_t* payload, uint32_t length, int16_t id)
{
    const int32_t state = GetState();
    if (state < 10 || !m_currentRoom || !m_ownUser)
        return;
    tag_KVRLOBBYMEMBERS members;
    if (!ReadLobbyMembers(payload, length, members))
        return;
    if (state == 41)
        SetState(36);
    m_currentRoom->data.members = members;
    if (CLobbyRoom* listed = FindRoom(m_currentRoom->data.id))
        listed->data.members = members;
    ClampCursors();
    if (state < 36 || IsLobbyMember(m_currentRoom->data, m_ownUser->data.id))
        return;
    SetState(id == LOBBY_MSG_LEAVE_ROOM ? 56 : 43);
}

void CLobbyClient::OnUserData(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    const int32_t state = GetState();
    if (state < 10)
        return;
    tag_KVRLOBBYUSERDATA data;
    CLobbyUser* user = nullptr;
    if (sub == kLobbySubOk && ReadLobbyUserData(payload, length, data))
        user = FindUser(data.id);
    // The icon must lie within the payload.
    const bool iconFits = user != nullptr && data.iconSize >= 0 &&
                          static_cast<uint64_t>(data.iconSize) <= length - kLobbyUserDataSize &&
                          data.iconSize <= CLobbyUser::kMaxIconSize;
    if (user == nullptr || !iconFits)
    {
        if (state == 13)
            SetState(14);
        else if (state == 38)
            SetState(39);
        return;
    }
    user->SetData(data);
    if (data.iconSize >= 1)
        user->SetIcon(payload + kLobbyUserDataSize, data.iconSize);
    if (state == 13)
        SetState(12);
    else if (state == 38)
        SetState(37);
}

void CLobbyClient::OnRandomMatch(uint16_t sub)
{
    if (GetState() != 58)
        return;
    SetState(sub == kLobbySubOk ? 62 : 59);
}

void CLobbyClient::OnMatching(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // Only a client waiting for its match takes these.
    if (GetState() != 64)
        return;
    if (sub == kLobbySubRefused)
    {
        if (length == 1)
            m_state->matchedPlayers = payload[0];
        return;
    }
    tag_KVRLOBBYROOMDATA data;
    if (sub != kLobbySubOk || !ReadLobbyRoomData(payload, length, data))
        return;
    m_state->matchedPlayers = 0;
    m_matchRecord->SetData(data);
    if (ListenAsOwner())
    {
        SendMessage(LOBBY_MSG_HOST);
        SetState(65);
        return;
    }
    SendMessage(LOBBY_MSG_CLOSE_ROOM);
    SetState(33);
}

void CLobbyClient::OnMatchHost(const uint8_t* payload, uint32_t length)
{
    if (GetState() != 64)
        return;
    tag_KVRLOBBYHOSTANSWER answer;
    if (!ReadLobbyHostAnswer(payload, length, answer))
        return;
    m_matchRecord->SetData(answer.room);
    SetState(66);
    Defer([this, answer] { ConnectToHost(answer, false); });
}

void CLobbyClient::OnLobbyChat(const uint8_t* payload, uint32_t length)
{
    if (GetState() < 10)
        return;
    tag_KVRLOBBYCHATLINE line;
    if (!ReadLobbyChatLine(payload, length, line))
        return;
    AppendChat(m_state->lobbyChat, m_state->lobbyChatCount, m_state->scroll[1], line);
}

void CLobbyClient::OnLineTest(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    if (GetState() != 23)
        return;
    m_state->lineTest = tag_KVRNETWORKTESTRESULT();
    if (sub != kLobbySubOk || length < 4 || !m_lineTestService || m_lineTestThread.joinable())
    {
        SetState(24);
        return;
    }
    // The four address bytes are in network order, as an in_addr holds them.
    uint32_t networkOrder = 0;
    std::memcpy(&networkOrder, payload, 4);
    // The test takes seconds: it runs on its own thread, and the state
    // moves on when it is done (Update reaps it).
    m_lineTestDone.store(false);
    CNetworkTest* service = m_lineTestService.get();
    m_lineTestThread = std::thread([this, service, networkOrder] {
        tag_KVRNETWORKTESTRESULT result;
        service->TestPeerAddress(networkOrder, kLineTestBlockSize, kLineTestBlockCount, &result);
        m_lineTestResult = result;
        m_lineTestDone.store(true);
    });
}

// ---------------------------------------------------------------------------
// Lists

CLobbyUser* CLobbyClient::FindUser(uint32_t id) const
{
    for (const auto& user : m_users)
        if (user->data.id == id)
            return user.get();
    return nullptr;
}

CLobbyRoom* CLobbyClient::FindRoom(uint32_t id) const
{
    for (const auto& room : m_rooms)
        if (room->data.id == id)
            return room.get();
    return nullptr;
}

void CLobbyClient::RemoveUser(uint32_t id)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    m_users.erase(std::remove_if(m_users.begin(), m_users.end(), [id](const auto& u) { return u->data.id == id; }),
                  m_users.end());
    ClampCursors();
}

void CLobbyClient::RemoveRoom(uint32_t id)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (m_currentRoom && m_ownUser && m_currentRoom->data.id == id && GetState() >= 36 &&
        IsLobbyMember(m_currentRoom->data, m_ownUser->data.id))
        SetState(56);
    m_rooms.erase(std::remove_if(m_rooms.begin(), m_rooms.end(), [id](const auto& r) { return r->data.id == id; }),
                  m_rooms.end());
    ClampCursors();
}

bool CLobbyClient::IsOwner() const
{
    return m_currentRoom && m_ownUser && m_ownUser->data.id != 0 &&
           m_currentRoom->data.members.owner.id == m_ownUser->data.id;
}

bool CLobbyClient::CanJoin(const CLobbyRoom* room, const CLobbyUser* user) const
{
    if (room == nullptr || user == nullptr)
        return false;
    return CanJoinLobbyRoom(room->data, user->data.rank);
}

void CLobbyClient::ClampCursors()
{
    if (!m_state)
        return;
    tag_KVRLOBBYSTATE& s = *m_state;
    auto clamp = [](int32_t& cursor, int32_t& scroll, int32_t count) {
        cursor = std::clamp(cursor, 0, std::max(count - 1, 0));
        scroll = std::clamp(scroll, std::max(cursor - kLobbyListRows + 1, 0), cursor);
    };
    if (GetState() >= 36 && GetState() <= 56)
    {
        const int32_t members = m_currentRoom ? m_currentRoom->data.members.count : 0;
        clamp(s.scroll[1], s.scroll[2], members);
        return;
    }
    clamp(s.roomCursor, s.scroll[0], static_cast<int32_t>(m_rooms.size()));
    clamp(s.userCursor, s.scroll[2], static_cast<int32_t>(m_users.size()));
}

void CLobbyClient::AppendChat(tag_KVRLOBBYCHATLINE* log, int32_t& count, int32_t& scroll,
                              const tag_KVRLOBBYCHATLINE& line)
{
    if (count >= kLobbyChatLines)
    {
        std::move(log + 1, log + kLobbyChatLines, log);
        log[kLobbyChatLines - 1] = line;
        count = kLobbyChatLines;
        return;
    }
    if (scroll == count - 7)
        ++scroll;
    log[count++] = line;
}

void CLobbyClient::ClearRoomChat()
{
    m_state->roomChatCount = 0;
    for (tag_KVRLOBBYCHATLINE& line : m_state->roomChat)
        line = tag_KVRLOBBYCHATLINE();
}

// ---------------------------------------------------------------------------
// Room chat and room state between peers

bool CLobbyClient::SendRoomChat()
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (!m_editor || !m_ownUser || m_editor->GetCompositionLength() > 0 || m_editor->GetLength() == 0)
        return true;
    tag_KVRLOBBYCHATLINE line;
    CopyWholeCharacters(line.name, m_ownUser->data.name, kLobbyNameSize);
    TakeEditorText(line.text, kLobbyChatTextSize);
    uint8_t payload[kLobbyChatLineSize];
    WriteLobbyChatLine(payload, line);
    m_session->SendToAll(LOBBY_MSG_ROOM_CHAT, 1, payload, sizeof(payload), kNetKindTcp);
    if (IsOwner())
        AppendChat(m_state->roomChat, m_state->roomChatCount, m_state->scroll[0], line);
    return true;
}

bool CLobbyClient::OnChatMessage(const uint8_t* payload, uint32_t length)
{
    tag_KVRLOBBYCHATLINE line;
    if (!m_state || GetState() < 36 || !ReadLobbyChatLine(payload, length, line))
        return false;
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (IsOwner())
    {
        uint8_t copy[kLobbyChatLineSize];
        WriteLobbyChatLine(copy, line);
        m_session->SendToAll(LOBBY_MSG_ROOM_CHAT, 1, copy, sizeof(copy), kNetKindTcp);
    }
    AppendChat(m_state->roomChat, m_state->roomChatCount, m_state->scroll[0], line);
    return true;
}

void CLobbyClient::OnRoomStateMessage(CNetClient* peer, const uint8_t* payload, uint32_t length)
{
    if (length < 4 || peer == nullptr || peer->GetName() == nullptr)
        return;
    const int32_t state = static_cast<int32_t>(ReadLobbyU32(payload));
    if (state != 11 && state != 36 && state != 54)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    // Only the room's owner moves its guests.
    if (IsOwner() || m_hostPeer.empty() || m_hostPeer != peer->GetName())
        return;
    SetState(state);
}

uint32_t CLobbyClient::PeerMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                   uint32_t length)
{
    CLobbyClient* self = static_cast<CLobbyClient*>(argument);
    if (id == LOBBY_MSG_ROOM_CHAT)
    {
        self->OnChatMessage(payload, length);
        return 1;
    }
    if (id == LOBBY_MSG_ROOM_STATE)
    {
        self->OnRoomStateMessage(peer, payload, length);
        return 1;
    }
    if (self->m_peerMessage != nullptr)
        return self->m_peerMessage(self->m_peerMessageArgument, peer, payload, id, length);
    return 1;
}

uint32_t CLobbyClient::PeerConnected(void* argument, CNetClient* peer)
{
    CLobbyClient* self = static_cast<CLobbyClient*>(argument);
    if (self->m_peerConnected != nullptr)
        return self->m_peerConnected(self->m_peerConnectedArgument, peer);
    return 1;
}

uint32_t CLobbyClient::PeerDisconnected(void* argument, CNetClient* peer)
{
    CLobbyClient* self = static_cast<CLobbyClient*>(argument);
    if (self->m_peerDisconnected != nullptr)
        return self->m_peerDisconnected(self->m_peerDisconnectedArgument, peer);
    return 1;
}

bool CLobbyClient::ListenAsOwner()
{
    if (m_listening)
    {
        m_session->StopListening();
        m_listening = false;
    }
    if (!m_session->ConfigureListen(m_state->ownPort, &CLobbyClient::PeerConnected, this, &CLobbyClient::PeerMessage,
                                    this, &CLobbyClient::PeerDisconnected, this))
        return false;
    m_listening = m_session->Listen() != 0;
    return m_listening;
}

// ---------------------------------------------------------------------------
// The per-frame step

bool CLobbyClient::Update()
{
    return Update(GetElapsedSeconds());
}

bool CLobbyClient::Update(float elapsedSeconds)
{
    if (!m_state)
        return false;
    {
        std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
        m_state->blinkTimer += elapsedSeconds;
        Step(elapsedSeconds);
    }
    RunDeferred();
    // Freeing ended peers waits for their threads, which may be waiting for
    // the protocol lock: the session's upkeep runs outside it.
    if (m_session)
        m_session->Poll(static_cast<uint32_t>(elapsedSeconds * 1000.0f));
    return true;
}

void CLobbyClient::Fade(int index, float target, float seconds)
{
    float& level = m_state->fade[index];
    const float step = 4.0f * seconds;
    level = target > level ? std::min(target, level + step) : std::max(target, level - step);
}

void CLobbyClient::Step(float seconds)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    switch (GetState())
    {
    case 0:
        Fade(0, 1.0f, seconds);
        if (s.fade[0] >= 1.0f && !s.lobbyHost.empty())
            SetState(1);
        break;
    case 2:
        SetState(3);
        if (!m_connectThread.joinable())
            m_connectThread = std::thread(&CLobbyClient::ConnectThread, this);
        break;
    case 7: Fade(1, 1.0f, seconds); break;
    case 10:
        Fade(1, 0.0f, seconds);
        if (s.fade[1] <= 0.0f)
        {
            s.pane = 0;
            EditorOff();
            SetState(11);
        }
        break;
    case 11:
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        if (s.fade[2] >= 1.0f && s.pane == 1 && !m_editor->IsEnable())
            EditorOn(2, 44, 24.0f);
        break;
    case 12:
        if (FindUser(s.selectedId) == nullptr)
            SetState(11);
        break;
    case 19:
    case 27: RoomStep(seconds); break;
    case 20:
        if (FindRoom(s.selectedId) == nullptr)
            SetState(11);
        break;
    case 23:
        if (m_lineTestDone.load())
        {
            JoinLineTest();
            s.lineTest = m_lineTestResult;
            m_lineTestDone.store(false);
            SetState(24);
        }
        break;
    case 36:
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        if (s.fade[2] >= 1.0f && s.pane == 0 && !m_editor->IsEnable())
            EditorOn(2, 64, 24.0f);
        break;
    case 37:
        if (FindUser(s.selectedId) == nullptr)
            SetState(36);
        break;
    case 54:
    case 62:
        for (int i = 0; i < 3; ++i)
            Fade(i, 0.0f, seconds);
        if (s.fade[0] <= 0.0f && s.fade[1] <= 0.0f && s.fade[2] <= 0.0f)
        {
            EditorOff();
            if (GetState() == 54)
            {
                if (m_listening)
                    m_session->StopListening();
                m_listening = false;
                SetState(63);
            }
            else
            {
                SetState(64);
            }
        }
        break;
    case 56: LeaveStep(seconds); break;
    case 69:
        for (int i = 0; i < 3; ++i)
            Fade(i, 0.0f, seconds);
        if (s.fade[0] <= 0.0f && s.fade[1] <= 0.0f && s.fade[2] <= 0.0f)
            SetState(70);
        break;
    default: break;
    }
}

void CLobbyClient::RoomStep(float seconds)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    Fade(2, 0.0f, seconds);
    if (s.fade[2] > 0.0f)
        return;
    s.pane = 0;
    std::fill(std::begin(s.scroll), std::end(s.scroll), 0);
    s.roomCursor = 0;
    s.userCursor = 0;
    s.choice = 0;
    s.row = 0;
    EditorOn(2, 64, 24.0f);
    if (IsOwner() && !ListenAsOwner())
    {
        SendMessage(LOBBY_MSG_CLOSE_ROOM);
        SetState(17);
        return;
    }
    ClearRoomChat();
    SetState(36);
}

void CLobbyClient::LeaveStep(float seconds)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    Fade(2, 0.0f, seconds);
    if (s.fade[2] > 0.0f)
        return;
    s.pane = 0;
    ClearRoomChat();
    SendMessage(IsOwner() ? LOBBY_MSG_CLOSE_ROOM : LOBBY_MSG_LEAVE_ROOM);
    m_listening = false;
    m_hostPeer.clear();
    // Closing the peers waits for their threads, which may be waiting for
    // the protocol lock: it runs once the lock is given up.
    Defer([this] { m_session->Shutdown(); });
    s.scroll[0] = 0;
    s.scroll[1] = std::max(s.lobbyChatCount - 1, 0);
    s.scroll[2] = 0;
    s.roomCursor = 0;
    s.userCursor = 0;
    EditorOff();
    m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
    SetState(11);
}

// ---------------------------------------------------------------------------
// Input

bool CLobbyClient::OnInput(int32_t keys)
{
    if (!m_state)
        return false;
    {
        std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
        OnInputLocked(keys);
        m_state->lastKeys = keys;
    }
    RunDeferred();
    return true;
}

void CLobbyClient::OnInputLocked(int32_t keys)
{
    const int32_t state = GetState();
    if (keys == 0 || state < 1 || state > 68)
        return;
    switch (state)
    {
    case 1: SetState(2); break;
    case 4:
    case 5:
    case 6:
    case 68: SetState(69); break;
    case 7: InputLogin(keys); break;
    case 9: SetState(7); break;
    case 11: InputLobby(keys); break;
    case 12:
        if (keys & LOBBY_KEY_CANCEL)
            SetState(11);
        break;
    case 14:
    case 17:
    case 22:
    case 26:
    case 30:
    case 33:
    case 59: SetState(11); break;
    case 15:
    case 46: InputRoomEditor(keys); break;
    case 18: SetState(15); break;
    case 20: InputRoomInfo(keys); break;
    case 24: SetState(20); break;
    case 28: InputKeyEditor(keys); break;
    case 31: InputMatchEditor(keys); break;
    case 34:
    case 40:
    case 50:
    case 55: AskYesNo(keys); break;
    case 36: InputRoom(keys); break;
    case 37: InputMemberInfo(keys); break;
    case 39:
    case 45:
    case 53: SetState(36); break;
    case 43: SetState(56); break;
    case 47:
    case 49: SetState(46); break;
    default: break;
    }
}

void CLobbyClient::EditorOn(int32_t lines, int32_t charsPerLine, float lineSpacing)
{
    m_editor->SetEnable(0);
    m_editor->SetMultiLine(lines > 1 ? 1 : 0);
    m_editor->SetLimits(lines, lineSpacing, charsPerLine);
    m_editor->SetMaxLength(charsPerLine);
    m_editor->SetEnable(1);
}

void CLobbyClient::EditorOff()
{
    m_editor->SetEnable(0);
}

void CLobbyClient::TakeEditorText(char* field, size_t size)
{
    std::vector<char> text(m_editor->GetBufferSize() + 1, 0);
    m_editor->GetText(text.data(), static_cast<uint32_t>(text.size()));
    CopyWholeCharacters(field, text.data(), size);
}

bool CLobbyClient::EditorEnter(bool sendAllowed, const std::function<void()>& send)
{
    if (m_editor->GetLength() == 0)
        return false;
    if (m_editor->IsComposing())
    {
        m_editor->SetCompositionFlag(0);
        return true;
    }
    if (sendAllowed && m_editor->GetCompositionLength() == 0)
        send();
    return true;
}

void CLobbyClient::InputLogin(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    char* fields[2] = {m_ownUser->login.loginId, m_ownUser->login.password};
    const size_t sizes[2] = {kLobbyLoginIdSize, kLobbyPasswordSize};
    const int32_t limits[2] = {32, 16};
    int32_t row = s.pane;
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        const int32_t next = std::clamp(row + ((keys & LOBBY_KEY_UP) ? -1 : 1), 0, 2);
        if (next == row)
            return;
        if (row < 2)
            TakeEditorText(fields[row], sizes[row]);
        s.pane = next;
        if (next < 2)
        {
            EditorOn(1, limits[next], 0.0f);
            m_editor->SetText(fields[next]);
        }
        else
        {
            EditorOff();
        }
        return;
    }
    if ((keys & LOBBY_KEY_DECIDE) && row == 2)
    {
        uint8_t payload[kLobbyLoginSize];
        WriteLobbyLogin(payload, m_ownUser->login);
        SetState(SendMessageData(LOBBY_MSG_LOGIN, payload, sizeof(payload)) ? 8 : 9);
        return;
    }
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(69);
    }
}

void CLobbyClient::InputLobby(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    if (m_editor->GetLength() > 0)
    {
        if (!(keys & LOBBY_KEY_ENTER))
            return;
        EditorEnter(s.pane == 1, [this] {
            tag_KVRLOBBYCHATLINE line;
            CopyWholeCharacters(line.name, m_ownUser->data.name, kLobbyNameSize);
            TakeEditorText(line.text, kLobbyChatTextSize);
            uint8_t payload[kLobbyChatLineSize];
            WriteLobbyChatLine(payload, line);
            SendMessageData(LOBBY_MSG_LOBBY_CHAT, payload, sizeof(payload));
        });
        return;
    }
    if (keys & (LOBBY_KEY_LEFT | LOBBY_KEY_RIGHT))
    {
        s.pane = ((s.pane + ((keys & LOBBY_KEY_LEFT) ? -1 : 1)) % 5 + 5) % 5;
        if (s.pane == 1)
            EditorOn(2, 44, 24.0f);
        else
            EditorOff();
        return;
    }
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        const int32_t step = (keys & LOBBY_KEY_UP) ? -1 : 1;
        if (s.pane == 0)
            s.roomCursor += step;
        else if (s.pane == 2)
            s.userCursor += step;
        else if (s.pane == 1)
            s.scroll[1] = std::clamp(s.scroll[1] + step, 0, std::max(s.lobbyChatCount - 1, 0));
        ClampCursors();
        return;
    }
    if (keys & LOBBY_KEY_DECIDE)
    {
        ClampCursors();
        if (s.pane == 0 && s.roomCursor < static_cast<int32_t>(m_rooms.size()))
        {
            s.row = 0;
            SelectRoom(m_rooms[s.roomCursor].get());
        }
        else if (s.pane == 2 && s.userCursor < static_cast<int32_t>(m_users.size()))
        {
            s.row = 0;
            s.selectedId = m_users[s.userCursor]->data.id;
            uint8_t payload[4];
            WriteLobbyU32(payload, s.selectedId);
            SendMessageData(LOBBY_MSG_USER_INFO, payload, sizeof(payload));
            SetState(13);
        }
        else if (s.pane == 3)
        {
            m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
            s.row = m_currentRoom->GetAttributeCount() + 4;
            EditorOff();
            SetState(15);
        }
        else if (s.pane == 4)
        {
            s.row = 0;
            m_matchRecord->ResetValues();
            EditorOff();
            SetState(31);
        }
        return;
    }
    if (keys & LOBBY_KEY_CANCEL)
        SetState(34);
}

void CLobbyClient::SelectRoom(CLobbyRoom* room)
{
    m_state->selectedId = room->data.id;
    if (room->data.keyFlag != 0)
    {
        EditorOn(1, 8, 0.0f);
        m_editor->SetText(m_currentRoom ? m_currentRoom->data.key : "");
        SetState(28);
        return;
    }
    uint8_t payload[4];
    WriteLobbyU32(payload, room->data.id);
    SendMessageData(LOBBY_MSG_ROOM_INFO, payload, sizeof(payload));
    SetState(21);
}

void CLobbyClient::InputKeyEditor(int32_t keys)
{
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(11);
        return;
    }
    if (!(keys & LOBBY_KEY_ENTER) || m_editor->IsComposing())
    {
        if (keys & LOBBY_KEY_ENTER)
            m_editor->SetCompositionFlag(0);
        return;
    }
    char key[kLobbyRoomKeySize];
    TakeEditorText(key, sizeof(key));
    EditorOff();
    if (FindRoom(m_state->selectedId) == nullptr)
    {
        SetState(30);
        return;
    }
    uint8_t payload[kLobbyRoomKeyRequestSize] = {};
    WriteLobbyU32(payload, m_state->selectedId);
    std::memcpy(payload + 4, key, kLobbyRoomKeySize);
    SendMessageData(LOBBY_MSG_ROOM_KEY, payload, sizeof(payload));
    SetState(29);
}

void CLobbyClient::InputRoomInfo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    if (keys & LOBBY_KEY_CANCEL)
    {
        SetState(11);
        return;
    }
    CLobbyRoom* room = FindRoom(s.selectedId);
    if (room == nullptr)
    {
        SetState(11);
        return;
    }
    if (s.row == 0)
    {
        s.row = 1;
        return;
    }
    if (keys & (LOBBY_KEY_LEFT | LOBBY_KEY_UP))
        s.row = 1;
    if (keys & (LOBBY_KEY_RIGHT | LOBBY_KEY_DOWN))
        s.row = 2;
    if (!(keys & LOBBY_KEY_DECIDE) || !CanJoin(room, m_ownUser.get()))
        return;
    if (s.row == 1)
    {
        uint8_t payload[kLobbyJoinRequestSize];
        WriteLobbyU32(payload, room->data.id);
        WriteLobbyUserEntry(payload + 4, m_ownUser->GetEntry());
        SendMessageData(LOBBY_MSG_JOIN_ROOM, payload, sizeof(payload));
        SetState(25);
        return;
    }
    uint8_t payload[4];
    WriteLobbyU32(payload, room->data.id);
    SendMessageData(LOBBY_MSG_LINE_TEST, payload, sizeof(payload));
    SetState(23);
}

void CLobbyClient::InputRoomEditor(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    const bool change = GetState() == 46;
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(change ? 36 : 11);
        return;
    }
    if (change && !IsOwner())
        return;
    CLobbyRoom& room = *m_currentRoom;
    const int32_t n = room.GetAttributeCount();
    const int32_t keyRow = n + 2;
    const int32_t commentRow = n + 3;
    const int32_t button = n + 4;
    auto field = [&](int32_t row, char** text, size_t* size) {
        if (row == 0)
            *text = room.data.name, *size = kLobbyNameSize;
        else if (row == keyRow)
            *text = room.data.key, *size = kLobbyRoomKeySize;
        else if (row == commentRow)
            *text = room.data.comment, *size = kLobbyRoomCommentSize;
        else
            return false;
        return true;
    };
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        const int32_t first = change ? 2 : 0;
        int32_t next = s.row + ((keys & LOBBY_KEY_UP) ? -1 : 1);
        if (!change)
            next = next < 0 ? button : (next > button ? 0 : next);
        else
            next = std::clamp(next, first, button);
        if (next == s.row)
            return;
        char* text = nullptr;
        size_t size = 0;
        if (field(s.row, &text, &size))
        {
            TakeEditorText(text, size);
            room.data.keyFlag = room.data.key[0] != '\0' ? 1 : 0;
        }
        s.row = next;
        if (field(next, &text, &size))
        {
            if (next == commentRow)
                EditorOn(5, 24, 32.0f);
            else
                EditorOn(1, next == 0 ? 24 : 8, 0.0f);
            m_editor->SetText(text);
        }
        else
        {
            EditorOff();
        }
        return;
    }
    if (keys & (LOBBY_KEY_LEFT | LOBBY_KEY_RIGHT))
    {
        const int32_t direction = (keys & LOBBY_KEY_LEFT) ? -1 : 1;
        if (s.row == 1)
            room.data.rankBand = StepLobbyRankBand(room.data.rankBand, direction, m_ownUser->data.rank);
        else if (s.row >= 2 && s.row < 2 + n)
            room.SetValue(s.row - 2,
                          StepLobbyChoice(room.GetValue(s.row - 2), direction, room.FindAttribute(s.row - 2)->choices));
        return;
    }
    if (!(keys & LOBBY_KEY_DECIDE) || s.row != button)
        return;
    if (room.data.name[0] == '\0')
    {
        SetState(change ? 47 : 18);
        return;
    }
    if (change)
        ChangeRoomSettings();
    else
        CreateRoom();
}

void CLobbyClient::CreateRoom()
{
    tag_KVRLOBBYMEMBERS members;
    members.count = 1;
    members.owner = m_ownUser->GetEntry();
    members.members[0] = members.owner;
    uint8_t payload[kLobbyRoomPayloadSize];
    WriteLobbyRoomPayload(payload, m_currentRoom->data.name, m_currentRoom->PackData(false), members);
    SendMessageData(LOBBY_MSG_CREATE_ROOM, payload, sizeof(payload));
    SetState(16);
}

void CLobbyClient::ChangeRoomSettings()
{
    uint8_t payload[kLobbyRoomSettingsSize];
    WriteLobbyRoomSettings(payload, m_currentRoom->PackData(false));
    SendMessageData(LOBBY_MSG_ROOM_SETTINGS, payload, sizeof(payload));
    SetState(48);
}

void CLobbyClient::StartRandomMatch()
{
    tag_KVRLOBBYMEMBERS members;
    members.count = 1;
    members.owner = m_ownUser->GetEntry();
    members.members[0] = members.owner;
    uint8_t payload[kLobbyRoomPayloadSize];
    WriteLobbyRoomPayload(payload, m_ownUser->data.name, m_matchRecord->PackData(true), members);
    SendMessageData(LOBBY_MSG_RANDOM_MATCH, payload, sizeof(payload));
    SetState(58);
}

void CLobbyClient::InputMatchEditor(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    CLobbyRoom& match = *m_matchRecord;
    const int32_t n = match.GetAttributeCount();
    const int32_t button = n + 2;
    if (keys & LOBBY_KEY_CANCEL)
    {
        SetState(11);
        return;
    }
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        s.row = StepLobbyChoice(s.row, (keys & LOBBY_KEY_UP) ? -1 : 1, button + 1);
        return;
    }
    if (keys & (LOBBY_KEY_LEFT | LOBBY_KEY_RIGHT))
    {
        const int32_t direction = (keys & LOBBY_KEY_LEFT) ? -1 : 1;
        if (s.row == 0)
            match.data.hostPreference =
                static_cast<uint8_t>(StepLobbyChoice(match.data.hostPreference, direction, kLobbyHostPreferenceCount));
        else if (s.row == 1)
            match.data.rankBand = StepLobbyRankBand(match.data.rankBand, direction, m_ownUser->data.rank);
        else if (s.row < button)
        {
            const int32_t choices = match.FindAttribute(s.row - 2)->choices;
            match.SetValue(s.row - 2, StepLobbyChoice(match.GetValue(s.row - 2), direction, choices));
        }
        return;
    }
    if ((keys & LOBBY_KEY_DECIDE) && s.row == button)
        StartRandomMatch();
}

void CLobbyClient::InputRoom(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    const bool owner = IsOwner();
    if (m_editor->GetLength() > 0)
    {
        if (keys & LOBBY_KEY_ENTER)
            EditorEnter(s.pane == 0, [this] { SendRoomChat(); });
        return;
    }
    if (keys & (LOBBY_KEY_LEFT | LOBBY_KEY_RIGHT))
    {
        const int32_t panes = owner ? 5 : 4;
        s.pane = ((s.pane + ((keys & LOBBY_KEY_LEFT) ? -1 : 1)) % panes + panes) % panes;
        if (s.pane == 0)
            EditorOn(2, 64, 24.0f);
        else
            EditorOff();
        return;
    }
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        const int32_t step = (keys & LOBBY_KEY_UP) ? -1 : 1;
        if (s.pane == 0)
            s.scroll[0] = std::clamp(s.scroll[0] + step, 0, std::max(s.roomChatCount - 1, 0));
        else if (s.pane == 1)
            s.scroll[1] += step;
        ClampCursors();
        return;
    }
    if (keys & LOBBY_KEY_DECIDE)
    {
        ClampCursors();
        uint8_t payload[4];
        if (s.pane == 1)
        {
            if (s.scroll[1] >= m_currentRoom->data.members.count)
                return;
            const uint32_t id = m_currentRoom->data.members.members[s.scroll[1]].id;
            if (FindUser(id) == nullptr)
                return;
            s.row = 0;
            s.selectedId = id;
            WriteLobbyU32(payload, id);
            SendMessageData(LOBBY_MSG_USER_INFO, payload, sizeof(payload));
            SetState(38);
        }
        else if (s.pane == 2 && owner)
        {
            SetState(m_currentRoom->data.members.count > 1 ? 50 : 53);
        }
        else if ((s.pane == 2 && !owner) || (s.pane == 3 && owner))
        {
            s.row = owner ? m_currentRoom->GetAttributeCount() + 4 : 0;
            WriteLobbyU32(payload, m_currentRoom->data.id);
            SendMessageData(LOBBY_MSG_ROOM_INFO, payload, sizeof(payload));
            EditorOff();
            SetState(44);
        }
        else if (s.pane == 3 || s.pane == 4)
        {
            SetState(55);
        }
    }
}

void CLobbyClient::InputMemberInfo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    if ((keys & LOBBY_KEY_CANCEL) || FindUser(s.selectedId) == nullptr)
    {
        SetState(36);
        return;
    }
    if (!IsOwner() || s.selectedId == m_ownUser->data.id)
        return;
    if (s.row == 0)
    {
        s.row = 1;
        return;
    }
    if (keys & LOBBY_KEY_DECIDE)
        SetState(40);
}

void CLobbyClient::AskYesNo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    const int32_t state = GetState();
    if (keys & LOBBY_KEY_LEFT)
        s.choice = 0;
    if (keys & LOBBY_KEY_RIGHT)
        s.choice = 1;
    if (keys & LOBBY_KEY_CANCEL || ((keys & LOBBY_KEY_DECIDE) && s.choice == 1))
    {
        // A question returns where it was asked from.
        SetState(state == 34 ? 11 : (state == 40 ? 37 : 36));
        return;
    }
    if (!(keys & LOBBY_KEY_DECIDE))
        return;
    if (state == 34)
    {
        EditorOff();
        SetState(69);
    }
    else if (state == 40)
    {
        uint8_t payload[4];
        WriteLobbyU32(payload, s.selectedId);
        SendMessageData(LOBBY_MSG_KICK, payload, sizeof(payload));
        SetState(41);
    }
    else if (state == 50)
    {
        SendRoomStatus(1);
        SetRoomState(54);
    }
    else if (state == 55)
    {
        SetState(56);
    }
}

// ---------------------------------------------------------------------------
// Drawing

bool CLobbyClient::Render()
{
    if (!m_state)
        return false;
    CLobbyScreens screens(*this);
    screens.DrawBackground();
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    screens.DrawState(GetState() == 69 ? GetPreviousState() : GetState());
    return true;
}

void CLobbyClient::DrawRoomChat(float x, float y, float scale, uint32_t color, int32_t lineLimit)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    CLobbyScreens(*this).DrawRoomChatLines(x, y, scale, color, lineLimit);
}

void CLobbyClient::DrawMatchingStatus(uint32_t timeMs, uint32_t color)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    CLobbyScreens(*this).DrawMatchingStatus(timeMs, color);
}

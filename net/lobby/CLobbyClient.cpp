// The lobby client's life cycle, its set-up, the state pair, the lists and
// drawing. The rest of the class lives beside it by concern:
// LobbyClientConnection.cpp (the lobby server connection and its threads),
// LobbyClientMessages.cpp (the server's messages), LobbyClientSteps.cpp and
// LobbyClientInput.cpp (each state's per-frame step and input), and
// LobbyClientRoomPeers.cpp (the room's peer session).
#include "net/lobby/CLobbyClient.h"

#include "engine/platform/CImeInput.h"
#include "net/CUpnpClient.h"
#include "net/lobby/CLobbyScreens.h"
#include "net/lobby/LobbyHost.h"
#include "net/lobby/LobbyText.h"

#include <algorithm>

namespace
{
constexpr int32_t kEditorBufferSize = 260;
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
    CloseOwnRoom();
    m_closing.store(true);
    CancelNetworkWaits();
    // The connect thread touches the lobby's objects: it ends before they go.
    if (m_connectThread.joinable())
        m_connectThread.join();
    // The match's connect thread ends at once (its connect is cancelled)
    // and takes the protocol lock on its way out: joined without it. The
    // receive thread starts it under the lock, and no more once closing.
    std::thread matchConnect;
    {
        auto guard = Lock();
        matchConnect = std::move(m_matchConnectThread);
    }
    if (matchConnect.joinable())
        matchConnect.join();
    {
        // The receive thread starts line tests under the lock; a cancelled
        // one ends at once.
        auto guard = Lock();
        JoinLineTest();
    }
    CloseConnection();
    {
        // What waited for the lock (connecting to a host) is moot once
        // everything goes.
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
    m_userIndex.clear();
    m_roomIndex.clear();
    m_iconUser = 0;
    m_stream.Clear();
    m_state.reset();
    m_wake.reset();
    m_listening = false;
    m_hostPeer = HostAddress();
    m_formerHost = HostAddress();
    m_matchHostAnswer.reset();
    m_matchSetupOpen = false;
    m_matchConnecting = false;
}

void CLobbyClient::SetLobbyHost(const char* host, uint16_t port)
{
    if (!m_state)
        return;
    auto guard = Lock();
    m_state->lobbyHost = host != nullptr ? host : GetLobbyHostName();
    m_state->lobbyPort = port;
}

void CLobbyClient::SetLoginId(const char* loginId)
{
    if (!m_state)
        return;
    auto guard = Lock();
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

LobbyState CLobbyClient::GetState() const
{
    if (!m_state)
        return LOBBY_NONE;
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_state->state;
}

LobbyState CLobbyClient::GetPreviousState() const
{
    if (!m_state)
        return LOBBY_NONE;
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_state->previousState;
}

bool CLobbyClient::SetState(LobbyState state)
{
    if (!m_state)
        return false;
    std::lock_guard<std::mutex> guard(m_stateLock);
    // A lost connection is told until the player leaves: whatever the lobby
    // or its caller does meanwhile (back from a battle, out of a match's
    // setup) would put the player in lists that no longer change.
    if (m_state->state == LOBBY_CONNECTION_LOST && state != LOBBY_LEAVING)
        return false;
    m_state->previousState = m_state->state;
    m_state->state = state;
    return true;
}

// ---------------------------------------------------------------------------
// Lists

CLobbyUser* CLobbyClient::FindUser(uint32_t id) const
{
    const auto found = m_userIndex.find(id);
    return found != m_userIndex.end() ? found->second : nullptr;
}

CLobbyRoom* CLobbyClient::FindRoom(uint32_t id) const
{
    const auto found = m_roomIndex.find(id);
    return found != m_roomIndex.end() ? found->second : nullptr;
}

CLobbyUser* CLobbyClient::AddUser(uint32_t id)
{
    if (m_users.size() >= kLobbyMaxUsers)
        return nullptr;
    m_users.push_back(std::make_unique<CLobbyUser>());
    CLobbyUser* user = m_users.back().get();
    user->data.id = id;
    m_userIndex[id] = user;
    return user;
}

CLobbyRoom* CLobbyClient::AddRoom(uint32_t id)
{
    if (m_rooms.size() >= kLobbyMaxRooms)
        return nullptr;
    m_rooms.push_back(std::make_unique<CLobbyRoom>(*m_roomTemplate));
    CLobbyRoom* room = m_rooms.back().get();
    room->data.id = id;
    m_roomIndex[id] = room;
    return room;
}

void CLobbyClient::RemoveUser(uint32_t id)
{
    auto guard = Lock();
    const CLobbyUser* user = FindUser(id);
    if (user == nullptr)
        return;
    m_userIndex.erase(id);
    m_users.erase(std::find_if(m_users.begin(), m_users.end(), [user](const auto& u) { return u.get() == user; }));
    if (m_iconUser == id)
        m_iconUser = 0;
    ClampCursors();
}

void CLobbyClient::RemoveRoom(uint32_t id)
{
    auto guard = Lock();
    if (m_currentRoom && m_ownUser && m_currentRoom->data.id == id && GetState() >= LOBBY_ROOM &&
        IsLobbyMember(m_currentRoom->data, m_ownUser->data.id))
        LeaveEndedRoom();
    const CLobbyRoom* room = FindRoom(id);
    if (room == nullptr)
        return;
    m_roomIndex.erase(id);
    m_rooms.erase(std::find_if(m_rooms.begin(), m_rooms.end(), [room](const auto& r) { return r.get() == room; }));
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
    if (GetState() >= LOBBY_ROOM && GetState() <= LOBBY_LEAVING_ROOM)
    {
        const int32_t members = m_currentRoom ? m_currentRoom->data.members.count : 0;
        clamp(s.scroll[1], s.scroll[2], members);
        return;
    }
    clamp(s.roomCursor, s.scroll[0], static_cast<int32_t>(m_rooms.size()));
    clamp(s.userCursor, s.scroll[2], static_cast<int32_t>(m_users.size()));
}

uint8_t CLobbyClient::MatchedPlayers() const
{
    const int32_t count = m_matchRecord ? m_matchRecord->GetPlayerCount() : 0;
    return static_cast<uint8_t>(std::clamp(count, 0, UINT8_MAX));
}

void CLobbyClient::AppendChat(tag_KVRLOBBYCHATLINE* log, int32_t& count, int32_t& view,
                              const tag_KVRLOBBYCHATLINE& line)
{
    const bool following = view >= count - 1;
    if (count >= kLobbyChatLines)
    {
        std::move(log + 1, log + kLobbyChatLines, log);
        log[kLobbyChatLines - 1] = line;
        count = kLobbyChatLines;
        view = following ? count - 1 : std::max(view - 1, 0);
        return;
    }
    log[count++] = line;
    if (following)
        view = count - 1;
}

void CLobbyClient::ClearRoomChat()
{
    m_state->roomChatCount = 0;
    m_state->roomChatView = 0;
    for (tag_KVRLOBBYCHATLINE& line : m_state->roomChat)
        line = tag_KVRLOBBYCHATLINE();
}

// ---------------------------------------------------------------------------
// Drawing

bool CLobbyClient::Render()
{
    if (!m_state)
        return false;
    CLobbyScreens screens(*this);
    screens.DrawBackground();
    auto guard = Lock();
    screens.DrawState(GetState() == LOBBY_LEAVING ? GetPreviousState() : GetState());
    return true;
}

void CLobbyClient::DrawRoomChat(float x, float y, float width, float scale, uint32_t color, int32_t lineLimit)
{
    auto guard = Lock();
    CLobbyScreens(*this).DrawRoomChatLines(x, y, width, scale, color, lineLimit);
}

void CLobbyClient::DrawMatchingStatus(uint32_t timeMs, uint32_t color)
{
    auto guard = Lock();
    CLobbyScreens(*this).DrawMatchingStatus(timeMs, color);
}

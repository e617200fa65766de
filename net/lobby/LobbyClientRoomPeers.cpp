// The lobby client's room peer session: the room state and the room chat
// between the members, the peer callbacks, listening as the room's owner,
// connecting to a room's or a match's host, and leaving a room's or a
// match's peers.
#include "net/lobby/CLobbyClient.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/CImeInput.h"
#include "net/lobby/LobbyText.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>
#include <utility>

namespace
{
// How long a game that ends under its room's guests waits for them and the
// server to take its word: a lost segment is sent again after about that.
constexpr uint32_t kGoodbyeMs = 1000;
constexpr auto kGoodbyeLook = std::chrono::milliseconds(5);

// A peer's name: its address as the session names it.
std::string PeerName(uint32_t address)
{
    in_addr host{};
    host.s_addr = address;
    return FormatIPv4(host);
}
} // namespace

bool CLobbyClient::SetRoomState(LobbyState state)
{
    if (!m_session || !m_state)
        return false;
    TellRoomState(state);
    return SetState(state);
}

void CLobbyClient::TellRoomState(LobbyState state)
{
    if (!m_session)
        return;
    uint8_t payload[4];
    WriteLobbyU32(payload, static_cast<uint32_t>(state));
    m_session->SendToAll(LOBBY_MSG_ROOM_STATE, 1, payload, sizeof(payload), kNetKindTcp);
}

CLobbyClient::HostAddress CLobbyClient::HostOf(const tag_KVRLOBBYHOSTANSWER& answer)
{
    uint32_t address = 0;
    std::memcpy(&address, answer.address, 4);
    return HostAddress{PeerName(address), answer.port};
}

void CLobbyClient::ConnectToHost(const tag_KVRLOBBYHOSTANSWER& answer)
{
    uint32_t address = 0;
    std::memcpy(&address, answer.address, 4);
    const bool ok = ConnectAsGuest(address, answer.port);
    auto guard = WorkerLock();
    if (m_closing.load())
        return;
    if (GetState() != LOBBY_ENTERING)
    {
        CutStaleConnection(HostOf(answer), ok);
        return;
    }
    if (!ok)
    {
        SendMessage(LOBBY_MSG_LEAVE_ROOM);
        SetState(LOBBY_NOT_ENTERED);
        return;
    }
    m_currentRoom->SetData(answer.room);
    SetState(LOBBY_ENTERED);
    GreetHost();
}

bool CLobbyClient::ConnectAsGuest(uint32_t address, uint16_t port)
{
    const HostAddress host{PeerName(address), port};
    SetHostPeer(host);
    if (ConnectToPeer(address, port))
        return true;
    ForgetHostPeer(host);
    return false;
}

bool CLobbyClient::ConnectToPeer(uint32_t address, uint16_t port)
{
    return m_session->ConnectAddress(&address, port, kNetKindTcp, &CLobbyClient::PeerMessage, this,
                                     &CLobbyClient::PeerDisconnected, this) != 0;
}

bool CLobbyClient::IsHostPeer(const CNetClient* peer) const
{
    return peer != nullptr && peer->GetName() != nullptr && IsHost(HostAddress{peer->GetName(), peer->GetPort()});
}

bool CLobbyClient::IsHost(const HostAddress& host) const
{
    std::lock_guard<std::mutex> guard(m_hostLock);
    return !m_hostPeer.name.empty() && m_hostPeer == host;
}

bool CLobbyClient::IsConnectingToMatchHost() const
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    return m_matchConnecting;
}

void CLobbyClient::SetHostPeer(const HostAddress& host)
{
    std::lock_guard<std::mutex> guard(m_hostLock);
    m_hostPeer = host;
}

void CLobbyClient::ForgetHost()
{
    SetHostPeer(HostAddress());
    m_matchHostAnswer.reset();
    m_matchSetupOpen = false;
}

void CLobbyClient::ForgetHostPeer(const HostAddress& host)
{
    std::lock_guard<std::mutex> guard(m_hostLock);
    if (m_hostPeer == host)
        m_hostPeer = HostAddress();
}

void CLobbyClient::CutStaleConnection(const HostAddress& host, bool connected)
{
    ForgetHostPeer(host);
    NetClientPtr peer = connected ? m_session->FindOutgoingPeer(host.name.c_str(), host.port) : nullptr;
    if (peer)
        peer->CutConnection();
}

bool CLobbyClient::ServesRoom(const CNetClient* peer) const
{
    if (peer == nullptr || peer->IsInbound())
        return peer != nullptr;
    if (peer->GetName() == nullptr)
        return false;
    const HostAddress host{peer->GetName(), peer->GetPort()};
    // Host and former host read together: a host that becomes the former
    // one meanwhile is one or the other, never neither.
    std::lock_guard<std::mutex> guard(m_hostLock);
    return (!m_hostPeer.name.empty() && m_hostPeer == host) || (!m_formerHost.name.empty() && m_formerHost == host);
}

bool CLobbyClient::IsFormerHost(const CNetClient* peer) const
{
    if (peer == nullptr || peer->IsInbound() || peer->GetName() == nullptr)
        return false;
    const HostAddress host{peer->GetName(), peer->GetPort()};
    std::lock_guard<std::mutex> guard(m_hostLock);
    return !m_formerHost.name.empty() && m_formerHost == host;
}

void CLobbyClient::OpenMatchSetup()
{
    auto guard = Lock();
    m_matchSetupOpen = true;
    StartMatchConnect();
}

void CLobbyClient::StartMatchConnect()
{
    if (!m_matchHostAnswer || !m_matchSetupOpen || m_matchConnecting || m_closing.load())
        return;
    // A thread that said it is done has given the lock up for good.
    if (m_matchConnectThread.joinable())
        m_matchConnectThread.join();
    m_matchConnecting = true;
    m_matchConnectThread = std::thread(&CLobbyClient::MatchConnectThread, this);
}

void CLobbyClient::MatchConnectThread()
{
    for (;;)
    {
        tag_KVRLOBBYHOSTANSWER answer;
        {
            auto guard = WorkerLock();
            if (!m_matchHostAnswer || !m_matchSetupOpen || m_closing.load())
            {
                m_matchConnecting = false;
                return;
            }
            answer = *m_matchHostAnswer;
            m_matchHostAnswer.reset();
            // Taken as the host with the answer, so that leaving the match
            // meanwhile forgets it.
            SetHostPeer(HostOf(answer));
        }
        ConnectToMatchHost(answer);
    }
}

// A guest that can't reach its match's host has no match: it says so at
// once rather than wait for seats that never come.
void CLobbyClient::ConnectToMatchHost(const tag_KVRLOBBYHOSTANSWER& answer)
{
    uint32_t address = 0;
    std::memcpy(&address, answer.address, 4);
    const HostAddress host = HostOf(answer);
    const bool ok = ConnectToPeer(address, answer.port);
    auto guard = WorkerLock();
    // The game is quitting: nothing failed that anybody needs to hear of.
    if (m_closing.load())
        return;
    // The player left the match while this side connected, or a newer
    // match's answer came: this connection serves nothing.
    if (!IsHost(host) || GetState() != LOBBY_MATCH_GUEST || m_matchHostAnswer)
    {
        CutStaleConnection(host, ok);
        return;
    }
    if (!ok)
    {
        ForgetHostPeer(host);
        LogFailure("lobby: random match", ("the match's host " + host.name + " could not be reached").c_str());
        SendMessage(LOBBY_MSG_LEAVE_ROOM);
        SetState(LOBBY_MATCH_FAILED);
        return;
    }
    GreetHost();
}

void CLobbyClient::LeaveMatch()
{
    auto guard = Lock();
    const LobbyState state = GetState();
    constexpr LobbyState kMatchStates[] = {LOBBY_MATCH_ASKED, LOBBY_MATCH_ACCEPTED, LOBBY_MATCH_SOUGHT,
                                           LOBBY_MATCH_HOST, LOBBY_MATCH_GUEST};
    if (std::find(std::begin(kMatchStates), std::end(kMatchStates), state) == std::end(kMatchStates))
        return;
    SendMessage(state == LOBBY_MATCH_HOST ? LOBBY_MSG_CLOSE_ROOM : LOBBY_MSG_LEAVE_ROOM);
    ForgetHost();
    SetRoomState(LOBBY_IN_LOBBY);
}

void CLobbyClient::DropRoomPeers()
{
    auto guard = Lock();
    LeaveRoomPeers(false);
}

void CLobbyClient::LeaveRoomPeers(bool keepHost)
{
    if (!m_session)
        return;
    HostAddress host;
    if (keepHost)
    {
        std::lock_guard<std::mutex> guard(m_hostLock);
        host = m_hostPeer;
    }
    NetClientPtr kept = host.name.empty() ? nullptr : m_session->FindOutgoingPeer(host.name.c_str(), host.port);
    if (!kept || !kept->HasLiveConnection())
    {
        kept.reset();
        host = HostAddress();
    }
    {
        std::lock_guard<std::mutex> guard(m_hostLock);
        m_formerHost = host;
    }
    ForgetHost();
    m_listening = false;
    // The peers' threads end on their own; Poll collects them.
    m_session->DropPeers(kept.get());
}

void CLobbyClient::LetFormerHostGo()
{
    if (!m_session || GetState() == LOBBY_ROOM_LOST)
        return;
    HostAddress former;
    {
        std::lock_guard<std::mutex> guard(m_hostLock);
        former = std::exchange(m_formerHost, HostAddress());
    }
    NetClientPtr peer = former.name.empty() ? nullptr : m_session->FindOutgoingPeer(former.name.c_str(), former.port);
    if (peer)
        peer->CutConnection();
}

// The player quit the game or closed its window in its own room: the room
// closes as leaving it does, the guests hearing the owner's word before
// their connections end (which would read as a lost connection), the
// server hearing the close. The connections close right after, and a word
// still on its way would go with them: the other sides' systems take both
// first, within a bound.
void CLobbyClient::CloseOwnRoom()
{
    if (!m_state || !m_session)
        return;
    {
        auto guard = Lock();
        if (!IsOwner() || !(SitsInRoom() || GetState() == LOBBY_LEAVING_ROOM))
            return;
        TellRoomState(LOBBY_IN_LOBBY);
        SendMessage(LOBBY_MSG_CLOSE_ROOM);
    }
    const uint32_t start = NetMilliseconds();
    while (!(m_session->IsDelivered() && m_sender.IsDelivered()) && NetMilliseconds() - start < kGoodbyeMs)
        std::this_thread::sleep_for(kGoodbyeLook);
}

void CLobbyClient::GreetHost()
{
    // The host keeps a connection only once it has said something: a guest
    // announces the state it entered with (the host takes a room state
    // only from its own host, so nothing changes there).
    TellRoomState(GetState());
}

bool CLobbyClient::SitsInRoom() const
{
    const LobbyState state = GetState();
    return state == LOBBY_ENTERED || (state >= LOBBY_ROOM && state <= LOBBY_LEAVE_QUESTION);
}

// The player is told, rather than left in a room whose owner no longer
// hears it (a room that could not take it in, a connection the owner gave
// up): it leaves the room as it would by choice, then sees the notice.
void CLobbyClient::LeaveUnheardRoom()
{
    if (!m_hostConnectionEnded.exchange(false) || !SitsInRoom())
        return;
    m_roomLost = true;
    SetState(LOBBY_LEAVING_ROOM);
}

// An owner that closes its room tells its guests before it tells the
// server, so a guest still sitting in a room that the server says is gone
// lost its owner without a word (its game ended): it is told, whether the
// room's end or the connection's reaches it first. The owner's word may
// still come after the server's, even once the leave has ended (a late
// segment on the owner's line): it takes the notice back then, for as
// long as the owner's connection lasts (LeaveRoomPeers,
// OnRoomStateMessage).
void CLobbyClient::LeaveEndedRoom()
{
    if (SitsInRoom() && !IsOwner())
        m_roomLost = true;
    SetState(LOBBY_LEAVING_ROOM);
}

bool CLobbyClient::SendRoomChat()
{
    auto guard = Lock();
    if (!m_editor || !m_ownUser || m_editor->GetCompositionLength() > 0 || m_editor->GetLength() == 0)
        return true;
    tag_KVRLOBBYCHATLINE line;
    CopyWholeCharacters(line.name, m_ownUser->data.name, kLobbyNameSize);
    TakeEditorText(line.text, kLobbyChatTextSize);
    uint8_t payload[kLobbyChatLineSize];
    WriteLobbyChatLine(payload, line);
    m_session->SendToAll(LOBBY_MSG_ROOM_CHAT, 1, payload, sizeof(payload), kNetKindTcp);
    if (IsOwner())
        AppendChat(m_state->roomChat, m_state->roomChatCount, m_state->roomChatView, line);
    return true;
}

bool CLobbyClient::OnChatMessage(const uint8_t* payload, uint32_t length)
{
    tag_KVRLOBBYCHATLINE line;
    if (!m_state || GetState() < LOBBY_ROOM || !ReadLobbyChatLine(payload, length, line))
        return false;
    auto guard = WorkerLock();
    if (IsOwner())
    {
        uint8_t copy[kLobbyChatLineSize];
        WriteLobbyChatLine(copy, line);
        m_session->SendToAll(LOBBY_MSG_ROOM_CHAT, 1, copy, sizeof(copy), kNetKindTcp);
    }
    AppendChat(m_state->roomChat, m_state->roomChatCount, m_state->roomChatView, line);
    return true;
}

void CLobbyClient::OnRoomStateMessage(CNetClient* peer, const uint8_t* payload, uint32_t length)
{
    if (length < 4 || peer == nullptr || peer->GetName() == nullptr)
        return;
    const LobbyState state = static_cast<LobbyState>(ReadLobbyU32(payload));
    auto guard = WorkerLock();
    // A guest's word moves nobody: a room's owner may answer its greeting.
    if (peer->IsInbound())
    {
        if (IsOwner())
            AnswerGreeting(peer, state);
        return;
    }
    // The owner this side has left says it closed its room, however late:
    // its room ended by its owner's choice after all, and nothing was lost.
    if (IsFormerHost(peer))
    {
        if (state == LOBBY_IN_LOBBY && GetState() == LOBBY_ROOM_LOST)
            SetState(LOBBY_IN_LOBBY);
        return;
    }
    if (state != LOBBY_IN_LOBBY && state != LOBBY_ROOM && state != LOBBY_BATTLE_STARTING)
        return;
    // Only the host this side is a guest of moves it, and only once the
    // guest has taken the connection in and greeted (a start sent before is
    // told again then); a start told again finds the guest on its way
    // already.
    if (!IsHostPeer(peer) || GetState() == LOBBY_ENTERING)
        return;
    if (state == LOBBY_BATTLE_STARTING && (GetState() == LOBBY_BATTLE_STARTING || GetState() == LOBBY_ROOM_BATTLE))
        return;
    // An owner that closes its room says so before it goes: its guests
    // leave the room as they do when the server says it is gone, and the
    // end of the connection that follows is nobody's loss, even where the
    // server's word came first. A guest on its way out already (the
    // server's word, or its player's choice) goes on through its leave.
    if (state == LOBBY_IN_LOBBY && (SitsInRoom() || GetState() == LOBBY_LEAVING_ROOM))
    {
        m_roomLost = false;
        SetState(LOBBY_LEAVING_ROOM);
        return;
    }
    SetState(state);
}

// A guest greets its host once it has taken the connection as its host's,
// and hears room states only from then on: a start sent in between went
// unheard, so a guest that greets a room on its way into battle is told
// again.
void CLobbyClient::AnswerGreeting(CNetClient* peer, LobbyState greeting)
{
    const LobbyState own = GetState();
    if (greeting != LOBBY_ENTERED || (own != LOBBY_BATTLE_STARTING && own != LOBBY_ROOM_BATTLE))
        return;
    uint8_t payload[4];
    WriteLobbyU32(payload, static_cast<uint32_t>(LOBBY_BATTLE_STARTING));
    peer->Send(LOBBY_MSG_ROOM_STATE, 1, payload, sizeof(payload), kNetKindTcp);
}

uint32_t CLobbyClient::PeerMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                   uint32_t length)
{
    CLobbyClient* self = static_cast<CLobbyClient*>(argument);
    if (!self->ServesRoom(peer))
        return 0;
    if (id == LOBBY_MSG_ROOM_STATE)
    {
        self->OnRoomStateMessage(peer, payload, length);
        return 1;
    }
    // The host this side has left may only say goodbye.
    if (self->IsFormerHost(peer))
        return 1;
    if (id == LOBBY_MSG_ROOM_CHAT)
    {
        self->OnChatMessage(payload, length);
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
    // A connection the host replaced, or one this side left (it forgets its
    // host first), is no loss.
    if (!peer->IsInbound() && self->IsHostPeer(peer) && !peer->HasLiveConnection())
        self->m_hostConnectionEnded.store(true);
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

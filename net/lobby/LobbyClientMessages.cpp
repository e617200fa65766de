// The lobby client's handlers of the lobby server's messages, run on the
// receive thread under the protocol lock.
#include "net/lobby/CLobbyClient.h"

#include "engine/platform/CImeInput.h"
#include "net/lobby/CLobbyScreens.h"

#include <cstring>

namespace
{
constexpr uint16_t kLineTestBlockSize = 1000;
constexpr uint16_t kLineTestBlockCount = 100;
} // namespace

bool CLobbyClient::DispatchMessage(uint8_t* payload, uint16_t sub, int16_t id, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> guard(m_protocolLock);
    if (!m_state || (payload == nullptr && length != 0))
        return true;
    LobbyScramble(m_state->sessionKey, payload, length);
    bool ok = true;
    switch (id)
    {
    case LOBBY_MSG_HELLO: OnHello(payload, length, sub); break;
    case LOBBY_MSG_LOGIN: OnLogin(payload, length, sub); break;
    case LOBBY_MSG_CREATE_ROOM:
        if (sub == kLobbySubRefused)
        {
            OnCreateRefused();
            break;
        }
        ok = OnRoomEntries(payload, length);
        break;
    case LOBBY_MSG_ROOM_STATUS:
    case LOBBY_MSG_ROOM_LIST: ok = OnRoomEntries(payload, length); break;
    case LOBBY_MSG_CLOSE_ROOM: OnRoomRemoved(payload, length); break;
    case LOBBY_MSG_ROOM_SETTINGS:
    case LOBBY_MSG_ROOM_KEY:
    case LOBBY_MSG_ROOM_INFO: OnRoomData(payload, length, sub); break;
    case LOBBY_MSG_JOIN_ROOM: OnJoinRoom(payload, length, sub); break;
    case LOBBY_MSG_LEAVE_ROOM:
    case LOBBY_MSG_KICK: OnMembers(payload, length, sub, id); break;
    case LOBBY_MSG_USER_ENTRIES:
    case LOBBY_MSG_USER_LIST:
    case LOBBY_MSG_BATTLE_RESULT: ok = OnUserEntries(payload, length); break;
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
    return ok;
}

void CLobbyClient::OnHello(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // Only the answer to a connection that is being made counts.
    if (GetState() != LOBBY_CONNECTING)
        return;
    if (sub == kLobbySubRefused)
    {
        SetState(LOBBY_SERVICE_CLOSED);
        return;
    }
    if (sub != kLobbySubOk || length < kLobbyHelloSize || payload[0] != kLobbyHelloMark)
    {
        SetState(LOBBY_WRONG_VERSION);
        return;
    }
    m_state->sessionKey = payload[1];
    m_state->pane = 0;
    EditorIn(CLobbyScreens::kLoginIdInput);
    if (m_ownUser)
        m_editor->SetText(m_ownUser->login.loginId);
    SetState(LOBBY_LOGIN);
}

void CLobbyClient::OnLogin(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    if (GetState() != LOBBY_LOGIN_SENT)
        return;
    tag_KVRLOBBYUSERDATA data;
    if (sub != kLobbySubOk || !m_ownUser || !ReadLobbyUserData(payload, length, data))
    {
        SetState(LOBBY_LOGIN_REFUSED);
        return;
    }
    m_ownUser->SetData(data);
    SetState(LOBBY_LOGGED_IN);
}

bool CLobbyClient::OnRoomEntries(const uint8_t* payload, uint32_t length)
{
    if (GetState() < LOBBY_LOGGED_IN)
        return true;
    for (uint32_t at = 0; at + kLobbyRoomEntrySize <= length; at += kLobbyRoomEntrySize)
    {
        tag_KVRLOBBYROOMDATA entry;
        ReadLobbyRoomEntry(payload + at, kLobbyRoomEntrySize, entry);
        CLobbyRoom* room = FindRoom(entry.id);
        if (room == nullptr)
            room = AddRoom(entry.id);
        if (room == nullptr)
            return false;
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
    return true;
}

bool CLobbyClient::OnUserEntries(const uint8_t* payload, uint32_t length)
{
    if (GetState() < LOBBY_LOGGED_IN)
        return true;
    for (uint32_t at = 0; at + kLobbyUserEntrySize <= length; at += kLobbyUserEntrySize)
    {
        tag_KVRLOBBYUSERENTRY entry;
        ReadLobbyUserEntry(payload + at, kLobbyUserEntrySize, entry);
        if (entry.name[0] == '\0')
            continue;
        CLobbyUser* user = FindUser(entry.id);
        if (user == nullptr)
            user = AddUser(entry.id);
        if (user == nullptr)
            return false;
        user->SetEntry(entry);
    }
    ClampCursors();
    return true;
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
    const LobbyState state = GetState();
    if (state < LOBBY_LOGGED_IN)
        return;
    tag_KVRLOBBYROOMDATA data;
    CLobbyRoom* room = nullptr;
    if (sub == kLobbySubOk && ReadLobbyRoomData(payload, length, data))
        room = FindRoom(data.id);
    if (room == nullptr)
    {
        // A refusal leads from each waiting state to its notice. A room
        // being made is refused in these words too (when its owner is
        // still in another room, say).
        constexpr LobbyState kRefused[][2] = {
            {LOBBY_ROOM_ASKED, LOBBY_ROOM_NOT_MADE},
            {LOBBY_ROOM_INFO_ASKED, LOBBY_ROOM_INFO_FAILED},
            {LOBBY_ROOM_KEY_SENT, LOBBY_WRONG_ROOM_KEY},
            {LOBBY_ROOM_DATA_ASKED, LOBBY_ROOM_DATA_FAILED},
            {LOBBY_SETTINGS_SENT, LOBBY_SETTINGS_REFUSED},
        };
        for (const auto& [waiting, notice] : kRefused)
            if (state == waiting)
                SetState(notice);
        return;
    }
    room->SetData(data);
    const bool member = m_ownUser && IsLobbyMember(data, m_ownUser->data.id);
    if (!member)
    {
        // The room's info opens with its first button lit.
        if (state == LOBBY_ROOM_INFO_ASKED || state == LOBBY_ROOM_KEY_SENT)
        {
            m_state->row = 1;
            SetState(LOBBY_ROOM_INFO);
        }
        return;
    }
    if (m_currentRoom)
        m_currentRoom->SetData(data);
    if (state == LOBBY_ROOM_ASKED)
        SetState(LOBBY_ROOM_MADE);
    else if (state == LOBBY_SETTINGS_SENT)
        SetState(LOBBY_ROOM);
    else if (state == LOBBY_ROOM_DATA_ASKED)
        SetState(LOBBY_ROOM_SETTINGS);
}

void CLobbyClient::OnJoinRoom(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // A server sending the client to a host it did not ask for is ignored.
    if (GetState() != LOBBY_ENTERING)
        return;
    tag_KVRLOBBYHOSTANSWER answer;
    if (sub != kLobbySubOk || !ReadLobbyHostAnswer(payload, length, answer))
    {
        SetState(LOBBY_NOT_ENTERED);
        return;
    }
    CLobbyRoom* room = FindRoom(answer.room.id);
    if (room == nullptr || answer.room.id != m_state->selectedId)
    {
        SetState(LOBBY_NOT_ENTERED);
        return;
    }
    room->SetData(answer.room);
    // Connecting waits for the host: it happens after the protocol lock is
    // given up; the entering state holds until then.
    Defer([this, answer] { ConnectToHost(answer); });
}

void CLobbyClient::OnCreateRefused()
{
    if (GetState() == LOBBY_ROOM_ASKED)
        SetState(LOBBY_ROOM_NOT_MADE);
}

void CLobbyClient::OnMembers(const uint8_t* payload, uint32_t length, uint16_t sub, int16_t id)
{
    const LobbyState state = GetState();
    if (state < LOBBY_LOGGED_IN)
        return;
    // A removal the server refuses leaves everybody where they were.
    if (sub == kLobbySubRefused)
    {
        if (state == LOBBY_REMOVE_SENT)
            SetState(LOBBY_ROOM);
        return;
    }
    if (!m_currentRoom || !m_ownUser)
        return;
    tag_KVRLOBBYMEMBERS members;
    if (!ReadLobbyMembers(payload, length, members))
        return;
    if (state == LOBBY_REMOVE_SENT)
        SetState(LOBBY_ROOM);
    m_currentRoom->data.members = members;
    if (CLobbyRoom* listed = FindRoom(m_currentRoom->data.id))
        listed->data.members = members;
    ClampCursors();
    if (state < LOBBY_ROOM || IsLobbyMember(m_currentRoom->data, m_ownUser->data.id))
        return;
    SetState(id == LOBBY_MSG_LEAVE_ROOM ? LOBBY_LEAVING_ROOM : LOBBY_REMOVED);
}

void CLobbyClient::OnUserData(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    const LobbyState state = GetState();
    if (state < LOBBY_LOGGED_IN)
        return;
    tag_KVRLOBBYUSERDATA data;
    const bool read = sub == kLobbySubOk && ReadLobbyUserData(payload, length, data);
    CLobbyUser* user = read ? FindUser(data.id) : nullptr;
    // The icon must lie within the payload.
    const bool iconFits = user != nullptr && data.iconSize >= 0 &&
                          static_cast<uint64_t>(data.iconSize) <= length - kLobbyUserDataSize &&
                          data.iconSize <= CLobbyUser::kMaxIconSize;
    const bool taken = user != nullptr && iconFits;
    // The server also sends a user's data unasked, whenever that user's
    // room mark changes: another user's data ends no wait. A refusal, or
    // data that can't be read, is the answer to the question asked.
    const bool asked = !read || data.id == m_state->selectedId;
    if (taken)
    {
        user->SetData(data);
        // Only the user asked about is shown with an icon: one icon is
        // kept, whatever a server sends unasked.
        if (data.iconSize >= 1 && asked)
        {
            if (CLobbyUser* previous = FindUser(m_iconUser); previous != nullptr && previous != user)
                previous->FreeIcon();
            user->SetIcon(payload + kLobbyUserDataSize, data.iconSize);
            m_iconUser = data.id;
        }
    }
    if (!asked)
        return;
    if (state == LOBBY_USER_INFO_ASKED)
        SetState(taken ? LOBBY_USER_INFO : LOBBY_USER_INFO_FAILED);
    else if (state == LOBBY_MEMBER_INFO_ASKED)
        SetState(taken ? LOBBY_MEMBER_INFO : LOBBY_MEMBER_INFO_FAILED);
}

void CLobbyClient::OnRandomMatch(uint16_t sub)
{
    if (GetState() != LOBBY_MATCH_ASKED)
        return;
    SetState(sub == kLobbySubOk ? LOBBY_MATCH_ACCEPTED : LOBBY_MATCH_REFUSED);
}

void CLobbyClient::OnMatching(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    // Only a client waiting for its match takes these.
    if (GetState() != LOBBY_MATCH_SOUGHT)
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
    m_matchRecord->SetData(data);
    // The status line goes on counting the match's players while its host
    // waits for them to come.
    m_state->matchedPlayers = MatchedPlayers();
    if (ListenAsOwner())
    {
        SendMessage(LOBBY_MSG_HOST);
        SetState(LOBBY_MATCH_HOST);
        return;
    }
    SendMessage(LOBBY_MSG_CLOSE_ROOM);
    SetState(LOBBY_MATCH_FAILED);
}

// The answer can overtake the step into the setup (the fade after the
// ask, or the frame before the caller sees the wait): it is kept, and the
// guest connects once the caller's setup is open (OpenMatchSetup).
void CLobbyClient::OnMatchHost(const uint8_t* payload, uint32_t length)
{
    const LobbyState state = GetState();
    if (state != LOBBY_MATCH_ASKED && state != LOBBY_MATCH_ACCEPTED && state != LOBBY_MATCH_SOUGHT)
        return;
    tag_KVRLOBBYHOSTANSWER answer;
    if (!ReadLobbyHostAnswer(payload, length, answer))
        return;
    m_matchRecord->SetData(answer.room);
    m_state->matchedPlayers = MatchedPlayers();
    m_matchHostAnswer = answer;
    if (state == LOBBY_MATCH_SOUGHT)
        SetState(LOBBY_MATCH_GUEST);
    StartMatchConnect();
}

void CLobbyClient::OnLobbyChat(const uint8_t* payload, uint32_t length)
{
    if (GetState() < LOBBY_LOGGED_IN)
        return;
    tag_KVRLOBBYCHATLINE line;
    if (!ReadLobbyChatLine(payload, length, line))
        return;
    AppendChat(m_state->lobbyChat, m_state->lobbyChatCount, m_state->lobbyChatView, line);
}

void CLobbyClient::OnLineTest(const uint8_t* payload, uint32_t length, uint16_t sub)
{
    if (GetState() != LOBBY_LINE_TEST_ASKED || m_closing.load())
        return;
    m_state->lineTest = tag_KVRNETWORKTESTRESULT();
    // A test that was cancelled and has ended meanwhile is collected here.
    if (m_lineTestDone.load())
        JoinLineTest();
    if (sub != kLobbySubOk || length < 4 || !m_lineTestService || m_lineTestThread.joinable())
    {
        SetState(LOBBY_LINE_TEST_RESULT);
        return;
    }
    // The four address bytes are in network order, as an in_addr holds them.
    uint32_t networkOrder = 0;
    std::memcpy(&networkOrder, payload, 4);
    // The test takes seconds: it runs on its own thread, and the state
    // moves on when it is done (Update reaps it).
    m_lineTestDone.store(false);
    CNetworkTest* service = m_lineTestService.get();
    service->ResumeTests();
    service->SetTestTimeout(m_lineTestTimeoutMs);
    m_lineTestThread = std::thread([this, service, networkOrder] {
        tag_KVRNETWORKTESTRESULT result;
        service->TestPeerAddress(networkOrder, kLineTestBlockSize, kLineTestBlockCount, &result);
        m_lineTestResult = result;
        m_lineTestDone.store(true);
    });
}

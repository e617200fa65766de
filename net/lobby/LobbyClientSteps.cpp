// The lobby client's per-frame step: Update and the step of each state
// that changes on its own (fades, connecting, the room and leaving steps,
// the start of a battle or a match).
#include "net/lobby/CLobbyClient.h"

#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"
#include "game/menu/MenuTransitions.h"
#include "net/lobby/CLobbyScreens.h"

#include <algorithm>
#include <utility>

bool CLobbyClient::Update()
{
    return Update(GetElapsedSeconds());
}

bool CLobbyClient::Update(float elapsedSeconds)
{
    if (!m_state)
        return false;
    {
        auto guard = Lock();
        m_state->blinkTimer += elapsedSeconds;
        Step(elapsedSeconds);
    }
    RunDeferred();
    // The session's upkeep frees peers and threads that have ended; it runs
    // outside the lock, as nothing of the session needs it.
    if (m_session)
        m_session->Poll(static_cast<uint32_t>(elapsedSeconds * 1000.0f));
    return true;
}

void CLobbyClient::Fade(int index, float target, float seconds)
{
    float& level = m_state->fade[index];
    const float before = level;
    const float step = 4.0f * seconds;
    level = target > level ? std::min(target, level + step) : std::max(target, level - step);
    MenuTransitions::Moved(before, level);
}

void CLobbyClient::Step(float seconds)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    // A line test that has ended is collected in any state; its result
    // counts only while the player still waits for it.
    if (m_lineTestDone.load())
    {
        JoinLineTest();
        m_lineTestDone.store(false);
        if (GetState() == LOBBY_LINE_TEST_ASKED)
        {
            s.lineTest = m_lineTestResult;
            SetState(LOBBY_LINE_TEST_RESULT);
        }
    }
    LeaveUnheardRoom();
    LetFormerHostGo();
    switch (GetState())
    {
    case LOBBY_START:
        Fade(0, 1.0f, seconds);
        if (s.fade[0] >= 1.0f && !s.lobbyHost.empty())
            SetState(LOBBY_BETA_NOTICE);
        break;
    case LOBBY_CONNECT:
        SetState(LOBBY_CONNECTING);
        if (!m_connectThread.joinable())
            m_connectThread = std::thread(&CLobbyClient::ConnectThread, this);
        break;
    case LOBBY_LOGIN: Fade(1, 1.0f, seconds); break;
    case LOBBY_LOGGED_IN:
        Fade(1, 0.0f, seconds);
        if (s.fade[1] <= 0.0f)
        {
            s.pane = 0;
            EditorOff();
            SetState(LOBBY_IN_LOBBY);
        }
        break;
    case LOBBY_IN_LOBBY:
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        if (s.fade[2] >= 1.0f && s.pane == 1 && !m_editor->IsEnable())
            EditorIn(CLobbyScreens::kLobbyChatInput);
        break;
    case LOBBY_USER_INFO:
        if (FindUser(s.selectedId) == nullptr)
            SetState(LOBBY_IN_LOBBY);
        break;
    case LOBBY_ROOM_LOST:
    case LOBBY_MATCH_FAILED:
        // The lobby comes back (a battle or a match's setup faded it out)
        // under the notice.
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        break;
    case LOBBY_CONNECTION_LOST:
        // The notice stands on the lobby's background, which a battle or a
        // match's setup may have faded out.
        Fade(0, 1.0f, seconds);
        break;
    case LOBBY_ROOM_MADE:
    case LOBBY_ENTERED: RoomStep(seconds); break;
    case LOBBY_ROOM_INFO:
        if (FindRoom(s.selectedId) == nullptr)
            SetState(LOBBY_IN_LOBBY);
        break;
    case LOBBY_ROOM:
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        if (s.fade[2] >= 1.0f && s.pane == 0 && !m_editor->IsEnable())
            EditorIn(CLobbyScreens::kRoomChatInput);
        break;
    case LOBBY_MEMBER_INFO:
        if (FindUser(s.selectedId) == nullptr)
            SetState(LOBBY_ROOM);
        break;
    case LOBBY_BATTLE_STARTING:
    case LOBBY_MATCH_ACCEPTED:
        for (int i = 0; i < 3; ++i)
            Fade(i, 0.0f, seconds);
        if (s.fade[0] <= 0.0f && s.fade[1] <= 0.0f && s.fade[2] <= 0.0f)
        {
            EditorOff();
            if (GetState() == LOBBY_BATTLE_STARTING)
            {
                if (m_listening)
                    m_session->StopListening();
                m_listening = false;
                SetState(LOBBY_ROOM_BATTLE);
            }
            else
            {
                // A host answer that came during the fade makes this side
                // the match's guest at once.
                SetState(m_matchHostAnswer ? LOBBY_MATCH_GUEST : LOBBY_MATCH_SOUGHT);
            }
        }
        break;
    case LOBBY_LEAVING_ROOM: LeaveStep(seconds); break;
    case LOBBY_LEAVING:
        for (int i = 0; i < 3; ++i)
            Fade(i, 0.0f, seconds);
        if (s.fade[0] <= 0.0f && s.fade[1] <= 0.0f && s.fade[2] <= 0.0f)
            SetState(LOBBY_FINISHED);
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
    EditorIn(CLobbyScreens::kRoomChatInput);
    if (IsOwner() && !ListenAsOwner())
    {
        SendMessage(LOBBY_MSG_CLOSE_ROOM);
        SetState(LOBBY_ROOM_NOT_MADE);
        return;
    }
    ClearRoomChat();
    SetState(LOBBY_ROOM);
}

void CLobbyClient::LeaveStep(float seconds)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    Fade(2, 0.0f, seconds);
    if (s.fade[2] > 0.0f)
        return;
    s.pane = 0;
    ClearRoomChat();
    // The guests hear that their room ends before their connections do,
    // which would otherwise read as a lost connection.
    if (IsOwner())
        TellRoomState(LOBBY_IN_LOBBY);
    SendMessage(IsOwner() ? LOBBY_MSG_CLOSE_ROOM : LOBBY_MSG_LEAVE_ROOM);
    const bool lost = std::exchange(m_roomLost, false);
    LeaveRoomPeers(lost);
    std::fill(std::begin(s.scroll), std::end(s.scroll), 0);
    s.lobbyChatView = std::max(s.lobbyChatCount - 1, 0);
    s.roomCursor = 0;
    s.userCursor = 0;
    EditorOff();
    m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
    SetState(lost ? LOBBY_ROOM_LOST : LOBBY_IN_LOBBY);
}

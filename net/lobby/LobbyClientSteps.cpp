// The lobby client's per-frame step: Update and the step of each state
// that changes on its own (fades, connecting, the room and leaving steps,
// the start of a battle or a match).
#include "net/lobby/CLobbyClient.h"

#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"

#include <algorithm>

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
    const float step = 4.0f * seconds;
    level = target > level ? std::min(target, level + step) : std::max(target, level - step);
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
        if (GetState() == 23)
        {
            s.lineTest = m_lineTestResult;
            SetState(24);
        }
    }
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
    case kLobbyRoomLost:
        // The lobby comes back (a battle faded it out) under the notice.
        Fade(2, 1.0f, seconds);
        Fade(0, 1.0f, seconds);
        break;
    case 19:
    case 27: RoomStep(seconds); break;
    case 20:
        if (FindRoom(s.selectedId) == nullptr)
            SetState(11);
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
    // The peers' threads end on their own; Poll collects them.
    m_session->DropPeers();
    s.scroll[0] = 0;
    s.scroll[1] = std::max(s.lobbyChatCount - 1, 0);
    s.scroll[2] = 0;
    s.roomCursor = 0;
    s.userCursor = 0;
    EditorOff();
    m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
    SetState(11);
}

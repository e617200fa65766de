// The lobby client's input: OnInput and each state's answer to the keys,
// with the text editor's set-ups and the requests that the keys send.
#include "net/lobby/CLobbyClient.h"

#include "engine/platform/CImeInput.h"
#include "net/lobby/CLobbyScreens.h"
#include "net/lobby/LobbyText.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool CLobbyClient::OnInput(int32_t keys)
{
    if (!m_state)
        return false;
    {
        auto guard = Lock();
        OnInputLocked(keys);
        m_state->lastKeys = keys;
    }
    RunDeferred();
    return true;
}

void CLobbyClient::OnInputLocked(int32_t keys)
{
    const LobbyState state = GetState();
    if (keys == 0 || state < LOBBY_BETA_NOTICE || state > LOBBY_CONNECTION_LOST)
        return;
    switch (state)
    {
    case LOBBY_BETA_NOTICE: SetState(LOBBY_CONNECT); break;
    case LOBBY_SERVICE_CLOSED:
    case LOBBY_WRONG_VERSION:
    case LOBBY_PORT_MAPPING_FAILED:
    case LOBBY_CONNECTION_LOST: SetState(LOBBY_LEAVING); break;
    case LOBBY_LOGIN: InputLogin(keys); break;
    case LOBBY_LOGIN_REFUSED: SetState(LOBBY_LOGIN); break;
    case LOBBY_IN_LOBBY: InputLobby(keys); break;
    case LOBBY_USER_INFO:
        if (keys & LOBBY_KEY_CANCEL)
            SetState(LOBBY_IN_LOBBY);
        break;
    case LOBBY_USER_INFO_FAILED:
    case LOBBY_ROOM_NOT_MADE:
    case LOBBY_ROOM_INFO_FAILED:
    case LOBBY_NOT_ENTERED:
    case LOBBY_WRONG_ROOM_KEY:
    case LOBBY_MATCH_FAILED:
    case LOBBY_ROOM_LOST:
    case LOBBY_MATCH_REFUSED: SetState(LOBBY_IN_LOBBY); break;
    case LOBBY_NEW_ROOM_EDITOR:
    case LOBBY_ROOM_SETTINGS: InputRoomEditor(keys); break;
    case LOBBY_ROOM_NAME_MISSING: SetState(LOBBY_NEW_ROOM_EDITOR); break;
    case LOBBY_ROOM_INFO: InputRoomInfo(keys); break;
    case LOBBY_LINE_TEST_ASKED: InputLineTest(keys); break;
    case LOBBY_LINE_TEST_RESULT: SetState(LOBBY_ROOM_INFO); break;
    case LOBBY_ROOM_KEY_EDITOR: InputKeyEditor(keys); break;
    case LOBBY_MATCH_EDITOR: InputMatchEditor(keys); break;
    case LOBBY_QUIT_QUESTION:
    case LOBBY_REMOVE_QUESTION:
    case LOBBY_START_QUESTION:
    case LOBBY_LEAVE_QUESTION: AskYesNo(keys); break;
    case LOBBY_ROOM: InputRoom(keys); break;
    case LOBBY_MEMBER_INFO: InputMemberInfo(keys); break;
    case LOBBY_MEMBER_INFO_FAILED:
    case LOBBY_ROOM_DATA_FAILED:
    case LOBBY_TOO_FEW_MEMBERS: SetState(LOBBY_ROOM); break;
    case LOBBY_REMOVED: SetState(LOBBY_LEAVING_ROOM); break;
    case LOBBY_SETTINGS_NAME_MISSING:
    case LOBBY_SETTINGS_REFUSED: SetState(LOBBY_ROOM_SETTINGS); break;
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

void CLobbyClient::EditorIn(const LobbyEditorBox& box)
{
    EditorOn(box.lines, box.charsPerLine, box.lineSpacing);
    m_editor->SetBox(box.width, box.textSize);
}

void CLobbyClient::EditorOff()
{
    m_editor->SetEnable(0);
}

void CLobbyClient::StepPane(int32_t keys, int32_t panes, int32_t chatPane, const LobbyEditorBox& chatInput)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    s.pane = ((s.pane + ((keys & LOBBY_KEY_LEFT) ? -1 : 1)) % panes + panes) % panes;
    if (s.pane == chatPane)
        EditorIn(chatInput);
    else
        EditorOff();
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
    const LobbyEditorBox boxes[2] = {CLobbyScreens::kLoginIdInput, CLobbyScreens::kPasswordInput};
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
            EditorIn(boxes[next]);
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
        SetState(SendMessageData(LOBBY_MSG_LOGIN, payload, sizeof(payload)) ? LOBBY_LOGIN_SENT : LOBBY_LOGIN_REFUSED);
        return;
    }
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(LOBBY_LEAVING);
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
        StepPane(keys, 5, 1, CLobbyScreens::kLobbyChatInput);
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
            s.lobbyChatView = std::clamp(s.lobbyChatView + step, 0, std::max(s.lobbyChatCount - 1, 0));
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
            SetState(LOBBY_USER_INFO_ASKED);
        }
        else if (s.pane == 3)
        {
            m_currentRoom = std::make_unique<CLobbyRoom>(*m_roomTemplate);
            s.row = m_currentRoom->GetAttributeCount() + 4;
            EditorOff();
            SetState(LOBBY_NEW_ROOM_EDITOR);
        }
        else if (s.pane == 4)
        {
            s.row = 0;
            m_matchRecord->ResetValues();
            EditorOff();
            SetState(LOBBY_MATCH_EDITOR);
        }
        return;
    }
    if (keys & LOBBY_KEY_CANCEL)
        SetState(LOBBY_QUIT_QUESTION);
}

void CLobbyClient::SelectRoom(CLobbyRoom* room)
{
    m_state->selectedId = room->data.id;
    if (room->data.keyFlag != 0)
    {
        EditorOn(1, 8, 0.0f);
        m_editor->SetText(m_currentRoom ? m_currentRoom->data.key : "");
        SetState(LOBBY_ROOM_KEY_EDITOR);
        return;
    }
    uint8_t payload[4];
    WriteLobbyU32(payload, room->data.id);
    SendMessageData(LOBBY_MSG_ROOM_INFO, payload, sizeof(payload));
    SetState(LOBBY_ROOM_INFO_ASKED);
}

void CLobbyClient::InputKeyEditor(int32_t keys)
{
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(LOBBY_IN_LOBBY);
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
        SetState(LOBBY_WRONG_ROOM_KEY);
        return;
    }
    uint8_t payload[kLobbyRoomKeyRequestSize] = {};
    WriteLobbyU32(payload, m_state->selectedId);
    std::memcpy(payload + 4, key, kLobbyRoomKeySize);
    SendMessageData(LOBBY_MSG_ROOM_KEY, payload, sizeof(payload));
    SetState(LOBBY_ROOM_KEY_SENT);
}

void CLobbyClient::InputRoomInfo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    if (keys & LOBBY_KEY_CANCEL)
    {
        SetState(LOBBY_IN_LOBBY);
        return;
    }
    CLobbyRoom* room = FindRoom(s.selectedId);
    if (room == nullptr)
    {
        SetState(LOBBY_IN_LOBBY);
        return;
    }
    // Left and up choose the first button, right and down the second; a
    // row on neither (the info opened some other way) starts on the first.
    if (s.row != 1 && s.row != 2)
        s.row = 1;
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
        SetState(LOBBY_ENTERING);
        return;
    }
    uint8_t payload[4];
    WriteLobbyU32(payload, room->data.id);
    SendMessageData(LOBBY_MSG_LINE_TEST, payload, sizeof(payload));
    SetState(LOBBY_LINE_TEST_ASKED);
}

void CLobbyClient::InputLineTest(int32_t keys)
{
    if (!(keys & LOBBY_KEY_CANCEL))
        return;
    // The test ends at once; Update collects its thread.
    if (m_lineTestService)
        m_lineTestService->CancelTests();
    SetState(LOBBY_ROOM_INFO);
}

void CLobbyClient::InputRoomEditor(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    const bool change = GetState() == LOBBY_ROOM_SETTINGS;
    if (keys & LOBBY_KEY_CANCEL)
    {
        EditorOff();
        SetState(change ? LOBBY_ROOM : LOBBY_IN_LOBBY);
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
                EditorIn(CLobbyScreens::kCommentInput);
            else
                EditorIn(next == 0 ? CLobbyScreens::kRoomNameInput : CLobbyScreens::kRoomKeyInput);
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
        SetState(change ? LOBBY_SETTINGS_NAME_MISSING : LOBBY_ROOM_NAME_MISSING);
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
    SetState(LOBBY_ROOM_ASKED);
}

void CLobbyClient::ChangeRoomSettings()
{
    uint8_t payload[kLobbyRoomSettingsSize];
    WriteLobbyRoomSettings(payload, m_currentRoom->PackData(false));
    SendMessageData(LOBBY_MSG_ROOM_SETTINGS, payload, sizeof(payload));
    SetState(LOBBY_SETTINGS_SENT);
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
    // The player is the first of its own match: counted from the first
    // frame of the wait, whatever an earlier match counted, until the
    // server's count comes. Nothing of an earlier ask is acted on.
    m_state->matchedPlayers = 1;
    m_matchHostAnswer.reset();
    m_matchSetupOpen = false;
    SetState(LOBBY_MATCH_ASKED);
}

void CLobbyClient::InputMatchEditor(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    CLobbyRoom& match = *m_matchRecord;
    const int32_t n = match.GetAttributeCount();
    const int32_t button = n + 2;
    if (keys & LOBBY_KEY_CANCEL)
    {
        SetState(LOBBY_IN_LOBBY);
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
        StepPane(keys, owner ? 5 : 4, 0, CLobbyScreens::kRoomChatInput);
        return;
    }
    if (keys & (LOBBY_KEY_UP | LOBBY_KEY_DOWN))
    {
        const int32_t step = (keys & LOBBY_KEY_UP) ? -1 : 1;
        if (s.pane == 0)
            s.roomChatView = std::clamp(s.roomChatView + step, 0, std::max(s.roomChatCount - 1, 0));
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
            SetState(LOBBY_MEMBER_INFO_ASKED);
        }
        else if (s.pane == 2 && owner)
        {
            SetState(m_currentRoom->data.members.count > 1 ? LOBBY_START_QUESTION : LOBBY_TOO_FEW_MEMBERS);
        }
        else if ((s.pane == 2 && !owner) || (s.pane == 3 && owner))
        {
            s.row = owner ? m_currentRoom->GetAttributeCount() + 4 : 0;
            WriteLobbyU32(payload, m_currentRoom->data.id);
            SendMessageData(LOBBY_MSG_ROOM_INFO, payload, sizeof(payload));
            EditorOff();
            SetState(LOBBY_ROOM_DATA_ASKED);
        }
        else if (s.pane == 3 || s.pane == 4)
        {
            SetState(LOBBY_LEAVE_QUESTION);
        }
    }
}

void CLobbyClient::InputMemberInfo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    if ((keys & LOBBY_KEY_CANCEL) || FindUser(s.selectedId) == nullptr)
    {
        SetState(LOBBY_ROOM);
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
        SetState(LOBBY_REMOVE_QUESTION);
}

void CLobbyClient::AskYesNo(int32_t keys)
{
    tag_KVRLOBBYSTATE& s = *m_state;
    const LobbyState state = GetState();
    if (keys & LOBBY_KEY_LEFT)
        s.choice = 0;
    if (keys & LOBBY_KEY_RIGHT)
        s.choice = 1;
    if (keys & LOBBY_KEY_CANCEL || ((keys & LOBBY_KEY_DECIDE) && s.choice == 1))
    {
        // A question returns where it was asked from.
        SetState(state == LOBBY_QUIT_QUESTION ? LOBBY_IN_LOBBY
                 : state == LOBBY_REMOVE_QUESTION ? LOBBY_MEMBER_INFO
                                                  : LOBBY_ROOM);
        return;
    }
    if (!(keys & LOBBY_KEY_DECIDE))
        return;
    if (state == LOBBY_QUIT_QUESTION)
    {
        EditorOff();
        SetState(LOBBY_LEAVING);
    }
    else if (state == LOBBY_REMOVE_QUESTION)
    {
        uint8_t payload[4];
        WriteLobbyU32(payload, s.selectedId);
        SendMessageData(LOBBY_MSG_KICK, payload, sizeof(payload));
        SetState(LOBBY_REMOVE_SENT);
    }
    else if (state == LOBBY_START_QUESTION)
    {
        SendRoomStatus(1);
        SetRoomState(LOBBY_BATTLE_STARTING);
    }
    else if (state == LOBBY_LEAVE_QUESTION)
    {
        SetState(LOBBY_LEAVING_ROOM);
    }
}

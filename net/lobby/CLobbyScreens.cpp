// The lobby's screens, drawn from the client's state.
//
// Sections: the texts and frame pieces; pieces (frames, text, marks); the
// background and the dialogs; the login, lobby and room screens; the
// editors, room info, user info and line test; the battle setup's
// borrowed pieces; the screen of each state.
#include "net/lobby/CLobbyScreens.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "net/lobby/CLobbyClient.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// The lobby's notices and messages, as the player reads them.
constexpr const char* kBetaNotice = "CORVANE NETOWORK SYSTEMはβ版のため、\n不具合が残っている可能性があります。\n"
                                    "今後、随時修正を行いますので、\nご不便をお掛けしますがご了承下さい。";
constexpr const char* kServiceClosedNotice =
    "認証に失敗しました。\nサーバーメンテナンス中です。\n時間をおいて再度接続してください。";
constexpr const char* kWrongVersionNotice = "バージョンが違います\n最新版にアップデートの上\n接続しなおしてください。";
constexpr const char* kNoConnectionNotice = "ネットワークに接続されていないか、\nポートが開いていない可能性があります。\n"
                                            "再度設定を確認の上、接続しなおして\nください。";
constexpr const char* kLoginRefusedNotice =
    "認証に失敗しました。\nIDもしくはパスワードを再度確認の上、\n接続しなおしてください。";
constexpr const char* kConnectionLostNotice = "回線が切断されました。\n時間をおいて再度接続してください。";
constexpr const char* kUserInfoFailed = "ユーザー情報が取得できませんでした";
constexpr const char* kRoomNotMade = "ルームの作成に失敗しました";
constexpr const char* kRoomNameMissing = "ルーム名を入力して下さい";
constexpr const char* kRoomInfoFailed = "ルーム情報が取得できませんでした";
constexpr const char* kRoomNotEntered = "ルームに入れませんでした";
constexpr const char* kWrongRoomKey = "ルームキーが違います";
constexpr const char* kMatchFailed = "マッチングに失敗しました";
constexpr const char* kLeaveQuestion = "退出します。本当によろしいですか？";
constexpr const char* kRemoveQuestion = "強制退出させます。本当によろしいですか？";
constexpr const char* kRemoved = "強制退出されました";
constexpr const char* kSettingsRefused = "設定変更に失敗しました";
constexpr const char* kStartQuestion = "対戦開始しますよろしいですか？";
constexpr const char* kTooFewMembers = "参加人数が足りません";
// Labels used on more than one screen.
constexpr const char* kPlayerRankLabel = "プレイヤーランク";
constexpr const char* kMembersHeading = "参加プレイヤー";
constexpr const char* kCommentLabel = "コメント";

// Frame pieces: x of each of the nine 8 x 8 pieces in the row y 1004-1012,
// in the order top-left, top, top-right, left, centre, right, bottom-left,
// bottom, bottom-right.
constexpr float kFramePieces[3][9] = {
    {12, 60, 36, 96, 84, 108, 24, 72, 48},
    {124, 172, 148, 208, 196, 220, 136, 184, 160},
    {244, 292, 268, 316, 328, 256, 304, 280, 344},
};
constexpr float kPieceTop = 1004.0f;
constexpr float kBorder = 8.0f;
constexpr uint8_t kCentredTop = KVRDRAWANCHOR_HCENTER | KVRDRAWANCHOR_TOP;

// Notice frame, in layout units: its lines start at the text's left edge
// and keep as far from the frame's right edge.
constexpr float kNoticeLeft = 200.0f;
constexpr float kNoticeTop = 264.0f;
constexpr float kNoticeRight = 824.0f;
constexpr float kNoticeBottom = 504.0f;
constexpr float kNoticeTextLeft = 216.0f;
constexpr float kNoticeTextTop = 280.0f;
constexpr float kNoticeTextRight = kNoticeRight - (kNoticeTextLeft - kNoticeLeft);
constexpr float kNoticeLinePitch = 40.0f;
constexpr uint32_t kNoticeTextSize = 32;

// Chat logs: screen lines a log shows; the room chat the battle setup
// borrows shows the newest messages, which share its lines.
constexpr int32_t kChatLogLines = 20;
constexpr int32_t kBorrowedChatMessages = 2;
constexpr uint32_t kChatTextSize = 18;
constexpr float kChatLinePitch = 24.0f;

// Where the texts that players write go, in layout units: each line ends
// as far inside its frame's right edge as it starts from the left one (and
// the lists' lines before their scroll marks).
constexpr float kLobbyChatX = 312.0f;
constexpr float kRoomChatX = 48.0f;
constexpr float kChatTop = 146.0f;
constexpr float kChatInputTop = 656.0f;
constexpr float kRoomListX = 48.0f;
constexpr float kRoomListWidth = 264.0f - kRoomListX;
constexpr float kSideListX = 776.0f;
constexpr float kSideListWidth = 968.0f - kSideListX;
constexpr float kRoomInfoX = 144.0f;
constexpr float kRoomInfoWidth = 544.0f - kRoomInfoX;
constexpr float kRoomInfoMembersX = 576.0f;
constexpr float kRoomInfoMembersWidth = 912.0f - kRoomInfoMembersX;
constexpr float kUserInfoX = 344.0f;
constexpr float kUserInfoWidth = 776.0f - kUserInfoX;
constexpr int32_t kUserCommentLines = 4;
constexpr float kValueX = 496.0f;

// A chat line's name in its brackets, as the logs show it.
std::string ChatName(const char* name, size_t size)
{
    return std::string(GameText("【")) + std::string(name, strnlen(name, size)) + GameText("】");
}

uint32_t WithAlpha(uint32_t rgb, float fade)
{
    const uint32_t alpha = static_cast<uint32_t>(std::clamp(fade, 0.0f, 1.0f) * 255.0f);
    return (alpha << 24) | (rgb & 0xFFFFFF);
}
} // namespace

CLobbyScreens::CLobbyScreens(CLobbyClient& client)
    : m_client(client), m_font(client.m_font), m_texture(client.m_texture)
{
    if (client.m_system != nullptr && client.m_system->GetWidth() > 0 && client.m_system->GetHeight() > 0)
        m_scale = std::min(client.m_system->GetWidth() / 1024.0f, client.m_system->GetHeight() / 768.0f);
}

int32_t CLobbyScreens::LineTestMarks(uint32_t milliseconds)
{
    if (milliseconds == 0 || milliseconds >= 800)
        return 0;
    return std::min<int32_t>(static_cast<int32_t>((800 - milliseconds) / 50), 10);
}

std::string CLobbyScreens::WinRateText(const tag_KVRLOBBYUSERDATA& data)
{
    const int64_t battles = static_cast<int64_t>(data.wins) + data.losses + data.draws;
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", battles > 0 ? static_cast<double>(data.wins) / battles : 0.0);
    return text;
}

uint32_t CLobbyScreens::ScreenColor(float fade, bool dimmed)
{
    return WithAlpha(dimmed ? 0x808080 : 0xFFFFFF, fade);
}

uint32_t CLobbyScreens::HalfColor(uint32_t color)
{
    const uint32_t alpha = color >> 24;
    const uint32_t half = alpha / 2;
    return (alpha << 24) | (half << 16) | (half << 8) | half;
}

void CLobbyScreens::Frame(float left, float top, float right, float bottom, FrameSet set, uint32_t color)
{
    if (m_texture == nullptr)
        return;
    const float* x = kFramePieces[set];
    const float l = left * m_scale;
    const float t = top * m_scale;
    const float r = right * m_scale;
    const float b = bottom * m_scale;
    const float columns[4] = {l, l + kBorder, r - kBorder, r};
    const float rows[4] = {t, t + kBorder, b - kBorder, b};
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 3; ++column)
        {
            const float piece = x[row * 3 + column];
            const float src[4] = {piece, kPieceTop, piece + kBorder, kPieceTop + kBorder};
            const float dst[4] = {columns[column], rows[row], columns[column + 1], rows[row + 1]};
            m_texture->DrawRect(dst, src, color, 0);
        }
    }
}

void CLobbyScreens::Text(float x, float y, uint32_t color, uint32_t size, const char* text)
{
    if (m_font != nullptr && text != nullptr && text[0] != '\0')
        m_font->DrawText(x * m_scale, y * m_scale, color, size, m_scale, text);
}

LobbyTextBox CLobbyScreens::Box(float width, uint32_t size) const
{
    CFontTexture* font = m_font;
    return {width, [font, size](const char* character, size_t length) {
                return font != nullptr ? font->GetCharAdvance(character, length, size, 1.0f) : 0.0f;
            }};
}

void CLobbyScreens::Lines(float x, float y, float pitch, uint32_t color, uint32_t size,
                          const std::vector<std::string>& lines)
{
    for (size_t line = 0; line < lines.size(); ++line)
        Text(x, y + pitch * static_cast<float>(line), color, size, lines[line].c_str());
}

void CLobbyScreens::TextIn(float x, float y, float width, uint32_t color, uint32_t size, const char* text,
                           const char* suffix)
{
    if (text == nullptr)
        return;
    LobbyTextBox box = Box(width, size);
    box.width -= LobbyTextWidth(suffix, box.widthOf);
    Text(x, y, color, size, (ShowLobbyText(text, box, 1).front() + suffix).c_str());
}

void CLobbyScreens::Editor(float x, float y, uint32_t color)
{
    m_client.m_editor->DrawInBox(x * m_scale, y * m_scale, m_scale, color);
}

void CLobbyScreens::TextCentred(float x, float y, uint32_t color, uint32_t size, const char* text)
{
    if (m_font != nullptr && text != nullptr && text[0] != '\0')
        m_font->DrawTextEx(x * m_scale, y * m_scale, color, size, m_scale, text, kCentredTop);
}

void CLobbyScreens::Underline(float left, float right, float y, uint32_t color)
{
    if (m_texture == nullptr)
        return;
    const float src[4] = {344, 1004, 352, 1012};
    const float dst[4] = {left * m_scale, y * m_scale, right * m_scale, y * m_scale + 2.0f};
    m_texture->DrawRect(dst, src, color, 0);
}

void CLobbyScreens::Mark(float x, float y, float u, uint32_t color)
{
    if (m_texture == nullptr)
        return;
    const float src[4] = {u, 776, u + 16, 792};
    m_texture->DrawScaled(x * m_scale, y * m_scale, src, m_scale, color, 0, 0);
}

void CLobbyScreens::DrawBackground()
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    if (m_texture != nullptr && m_client.m_system != nullptr)
    {
        const float width = static_cast<float>(m_client.m_system->GetWidth());
        const float height = static_cast<float>(m_client.m_system->GetHeight());
        if (s.fade[0] >= 1.0f)
        {
            const float angle = s.blinkTimer * 10.0f;
            const float pieces[2][4] = {{16, 784, 416, 984}, {416, 784, 816, 984}};
            for (int i = 0; i < 2; ++i)
            {
                const float size = 1400.0f * m_scale;
                m_texture->DrawRotatedScaled(width / 2, height / 2, pieces[i], angle, size / 400.0f, size / 200.0f,
                                             0xFFFFFFFF, static_cast<uint8_t>(i == 0 ? 0 : 2));
            }
        }
        const float src[4] = {0, 0, 1024, 768};
        const float dst[4] = {0, 0, 1024 * m_scale, 768 * m_scale};
        m_texture->DrawRect(dst, src, WithAlpha(0xFFFFFF, s.fade[0]), 0);
    }
    if (m_font != nullptr)
        m_font->DrawStringScaledFormat(848 * m_scale, 72 * m_scale, WithAlpha(0xFFFFFF, s.fade[0]), 18, m_scale,
                                       "Ver.%s", m_client.m_gameId.c_str());
}

// A notice keeps its lines as they are written; a line wider than the
// frame is drawn narrower so that it ends inside it.
void CLobbyScreens::Notice(const char* text)
{
    Frame(kNoticeLeft, kNoticeTop, kNoticeRight, kNoticeBottom, FRAME_FIRST, 0xFFFFFFFF);
    if (m_font == nullptr || text == nullptr)
        return;
    const float width = (kNoticeTextRight - kNoticeTextLeft) * m_scale;
    const float height = kNoticeLinePitch * m_scale;
    float y = kNoticeTextTop;
    for (const char* line = text; *line != '\0'; y += kNoticeLinePitch)
    {
        const char* end = std::strchr(line, '\n');
        const std::string part = end != nullptr ? std::string(line, end) : std::string(line);
        if (!part.empty())
            m_font->DrawTextFit(kNoticeTextLeft * m_scale, y * m_scale, width, height, 0xFFFFFFFF, kNoticeTextSize,
                                m_scale, part.c_str(), KVRDRAWANCHOR_DEFAULT);
        if (end == nullptr)
            break;
        line = end + 1;
    }
}

void CLobbyScreens::Message(const char* text)
{
    Frame(232, 328, 792, 440, FRAME_FIRST, 0xFFFFFFFF);
    TextCentred(512, 372, 0xFFFFFFFF, 24, text);
}

void CLobbyScreens::Question(const char* text)
{
    const int32_t choice = m_client.m_state->choice;
    Frame(232, 328, 792, 440, FRAME_FIRST, 0xFFFFFFFF);
    TextCentred(512, 352, 0xFFFFFFFF, 24, text);
    Text(384, 392, choice == 0 ? 0xFFFFFFFF : HalfColor(0xFFFFFFFF), 24, GameText("はい"));
    Text(568, 392, choice == 1 ? 0xFFFFFFFF : HalfColor(0xFFFFFFFF), 24, GameText("いいえ"));
}

void CLobbyScreens::Waiting()
{
    Frame(416, 336, 608, 432, FRAME_FIRST, 0xFFFFFFFF);
    Text(448, 368, 0xFFFFFFFF, 32, GameText("認証中"));
    const int32_t dots = static_cast<int32_t>(m_client.m_state->blinkTimer) % 4;
    for (int32_t i = 0; i < dots; ++i)
        Text(548 + 16.0f * i, 368, 0xFFFFFFFF, 32, ".");
}

void CLobbyScreens::KeyEditor(bool dimmed)
{
    const uint32_t color = dimmed ? 0xFF808080 : 0xFFFFFFFF;
    Frame(232, 328, 792, 440, FRAME_FIRST, color);
    TextCentred(512, 352, color, 24, GameText("ルームキーを入力してください"));
    m_client.m_editor->Draw(312 * m_scale, 400 * m_scale, 24, m_scale, color);
    Underline(312, 712, 424, color);
}

void CLobbyScreens::Login(bool dimmed)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = ScreenColor(s.fade[1], dimmed);
    const char* labels[3] = {GameText("ログインＩＤ"), GameText("パスワード"), GameText("ログイン")};
    const float ys[3] = {344, 408, 488};
    const float xs[3] = {216, 216, 456};
    CLobbyUser* own = m_client.m_ownUser.get();
    for (int32_t row = 0; row < 3; ++row)
    {
        const uint32_t rowColor = row == s.pane ? color : HalfColor(color);
        Text(xs[row], ys[row], rowColor, 32, labels[row]);
        if (row == 2)
            continue;
        if (row == s.pane && m_client.m_editor->IsEnable())
            Editor(536, ys[row], rowColor);
        else if (own != nullptr)
            Text(536, ys[row], rowColor, 32, row == 0 ? own->login.loginId : own->login.password);
        Underline(536, 536 + 272, ys[row] + 36, rowColor);
    }
}

void CLobbyScreens::ChatLog(float x, float y, float width, bool room, uint32_t color)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const tag_KVRLOBBYCHATLINE* log = room ? s.roomChat : s.lobbyChat;
    const int32_t count = room ? s.roomChatCount : s.lobbyChatCount;
    const int32_t view = std::min(std::max(room ? s.roomChatView : s.lobbyChatView, 0), count - 1);
    // The messages that end on the view, newest first, until they fill the
    // box: a name line each and its text's lines.
    struct ShownMessage
    {
        const tag_KVRLOBBYCHATLINE* line;
        std::vector<std::string> lines;
    };
    const LobbyTextBox box = Box(width, kChatTextSize);
    std::vector<ShownMessage> messages;
    int32_t lines = 0;
    for (int32_t i = view; i >= 0 && lines < kChatLogLines; --i)
    {
        if (log[i].text[0] == '\0')
            continue;
        messages.push_back({&log[i], ShowLobbyText(log[i].text, box, kChatMessageLines)});
        lines += 1 + static_cast<int32_t>(messages.back().lines.size());
    }
    // Messages that fit start on the first line; more end on the last, the
    // oldest of them losing the lines above the box.
    int32_t at = std::min(kChatLogLines - lines, 0);
    auto line = [&](const std::string& text) {
        if (at >= 0)
            Text(x, y + kChatLinePitch * static_cast<float>(at), color, kChatTextSize, text.c_str());
        ++at;
    };
    for (auto message = messages.rbegin(); message != messages.rend(); ++message)
    {
        line(ShowLobbyText(ChatName(message->line->name, sizeof(message->line->name)).c_str(), box, 1).front());
        for (const std::string& text : message->lines)
            line(text);
    }
}

void CLobbyScreens::Lobby(bool dimmed)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = ScreenColor(s.fade[2], dimmed);
    const FrameSet set = dimmed ? FRAME_SECOND : FRAME_FIRST;
    Frame(32, 112, 288, 704, set, color);
    Frame(296, 112, 752, 640, set, color);
    Frame(296, 648, 752, 704, set, color);
    Frame(760, 112, 992, 704, set, color);
    if (s.pane == 0)
        Frame(32, 112, 288, 704, FRAME_FOCUS, color);
    else if (s.pane == 1)
    {
        Frame(296, 112, 752, 640, FRAME_FOCUS, color);
        Frame(296, 648, 752, 704, FRAME_FOCUS, color);
    }
    else if (s.pane == 2)
        Frame(760, 112, 992, 704, FRAME_FOCUS, color);
    Text(48, 120, color, 18, GameText("ルーム名"));
    Text(312, 120, color, 18, GameText("ロビーチャット"));
    Text(776, 120, color, 18, GameText(kMembersHeading));
    const auto& rooms = m_client.m_rooms;
    for (int32_t row = 0; row < kLobbyListRows; ++row)
    {
        const int32_t index = s.scroll[0] + row;
        if (index < 0 || index >= static_cast<int32_t>(rooms.size()))
            break;
        const bool bright = s.pane == 0 && index == s.roomCursor;
        TextIn(kRoomListX, 144 + 24.0f * row, kRoomListWidth, bright ? color : HalfColor(color), 18,
               rooms[index]->data.name);
    }
    if (s.scroll[0] > 0)
        Mark(264, 120, 840, color);
    if (s.scroll[0] + kLobbyListRows < static_cast<int32_t>(rooms.size()))
        Mark(264, 680, 864, color);
    const auto& users = m_client.m_users;
    for (int32_t row = 0; row < kLobbyListRows; ++row)
    {
        const int32_t index = s.scroll[2] + row;
        if (index < 0 || index >= static_cast<int32_t>(users.size()))
            break;
        const tag_KVRLOBBYUSERDATA& user = users[index]->data;
        char rank[32];
        std::snprintf(rank, sizeof(rank), "(%d)%s", user.rank, user.status != 0 ? GameText("●") : "");
        const bool bright = s.pane == 2 && index == s.userCursor;
        TextIn(kSideListX, 144 + 24.0f * row, kSideListWidth, bright ? color : HalfColor(color), 18, user.name, rank);
    }
    if (s.scroll[2] > 0)
        Mark(968, 120, 840, color);
    if (s.scroll[2] + kLobbyListRows < static_cast<int32_t>(users.size()))
        Mark(968, 680, 864, color);
    ChatLog(kLobbyChatX, kChatTop, kLobbyChatInput.width, false, color);
    if (s.pane == 1)
        Editor(kLobbyChatX, kChatInputTop, color);
    TextCentred(336, 712, s.pane == 3 ? color : HalfColor(color), 32, GameText("新規ルーム設定"));
    TextCentred(688, 712, s.pane == 4 ? color : HalfColor(color), 32, GameText("ランダム対戦設定"));
}

void CLobbyScreens::Room(bool dimmed)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = ScreenColor(s.fade[2], dimmed);
    const FrameSet set = dimmed ? FRAME_SECOND : FRAME_FIRST;
    Frame(32, 112, 752, 640, set, color);
    Frame(32, 648, 752, 704, set, color);
    Frame(760, 112, 992, 704, set, color);
    if (s.pane == 0)
    {
        Frame(32, 112, 752, 640, FRAME_FOCUS, color);
        Frame(32, 648, 752, 704, FRAME_FOCUS, color);
    }
    else if (s.pane == 1)
        Frame(760, 112, 992, 704, FRAME_FOCUS, color);
    Text(48, 120, color, 18, GameText("ルームチャット"));
    Text(776, 120, color, 18, GameText(kMembersHeading));
    ChatLog(kRoomChatX, kChatTop, kRoomChatInput.width, true, color);
    if (s.pane == 0)
        Editor(kRoomChatX, kChatInputTop, color);
    const CLobbyRoom* room = m_client.m_currentRoom.get();
    if (room != nullptr)
    {
        const tag_KVRLOBBYMEMBERS& members = room->data.members;
        for (int32_t i = 0; i < members.count && i < kLobbyMaxMembers; ++i)
        {
            const CLobbyUser* user = m_client.FindUser(members.members[i].id);
            if (user == nullptr)
                continue;
            const std::string rank = "(" + std::to_string(user->data.rank) + ")";
            const bool bright = s.pane == 1 && i == s.scroll[1];
            TextIn(kSideListX, 144 + 24.0f * i, kSideListWidth, bright ? color : HalfColor(color), 18, user->data.name,
                   rank.c_str());
        }
    }
    if (m_client.IsOwner())
    {
        const char* buttons[3] = {GameText("対戦開始"), GameText("ルーム設定変更"), GameText("ルームを閉じる")};
        const float xs[3] = {168, 512, 856};
        for (int i = 0; i < 3; ++i)
            TextCentred(xs[i], 712, s.pane == i + 2 ? color : HalfColor(color), 32, buttons[i]);
        return;
    }
    TextCentred(336, 712, s.pane == 2 ? color : HalfColor(color), 32, GameText("ルーム設定確認"));
    TextCentred(688, 712, s.pane == 3 ? color : HalfColor(color), 32, GameText("退室する"));
}

void CLobbyScreens::EditorTitle(const char* title, uint32_t color)
{
    TextCentred(512, 144, color, 32, title);
    Underline(128, 912, 176, color);
    Underline(128, 912, 624, color);
}

void CLobbyScreens::RoomEditor(bool dimmed, bool change)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = dimmed ? 0xFF808080 : 0xFFFFFFFF;
    const CLobbyRoom& room = *m_client.m_currentRoom;
    const int32_t n = room.GetAttributeCount();
    Frame(96, 128, 928, 688, FRAME_SECOND, color);
    EditorTitle(GameText("ルーム設定"), color);
    auto rowColor = [&](int32_t row) { return row == s.row ? color : HalfColor(color); };
    auto rowY = [](int32_t row) { return 248.0f + 40.0f * row; };
    // The name and the key take one line, the comment its box's lines.
    auto textRow = [&](int32_t row, const char* caption, const char* value, int32_t lines) {
        Text(200, rowY(row), rowColor(row), 24, caption);
        if (row == s.row && m_client.m_editor->IsEnable())
            Editor(kValueX, rowY(row), rowColor(row));
        else
            Lines(kValueX, rowY(row), kCommentInput.lineSpacing, rowColor(row), kCommentInput.textSize,
                  ShowLobbyText(value, Box(kCommentInput.width, kCommentInput.textSize), lines));
        Underline(kValueX, kValueX + kCommentInput.width, rowY(row) + 28, rowColor(row));
    };
    auto choiceRow = [&](int32_t row, const char* caption, const char* value) {
        Text(200, rowY(row), rowColor(row), 24, caption);
        Mark(496, rowY(row) + 4, 888, rowColor(row));
        TextCentred(640, rowY(row), rowColor(row), 24, value);
        Mark(760, rowY(row) + 4, 912, rowColor(row));
    };
    textRow(0, GameText("ルーム名"), room.data.name, 1);
    choiceRow(1, GameText(kPlayerRankLabel), GetLobbyRankBandCaption(room.data.rankBand));
    for (int32_t i = 0; i < n; ++i)
        choiceRow(2 + i, GetLobbyAttributeName(room.FindAttribute(i)),
                  GetLobbyAttributeCaption(room.FindAttribute(i), room.GetValue(i)));
    textRow(n + 2, GameText("ルームキー"), room.data.key[0] != '\0' ? room.data.key : GameText("キー設定なし"), 1);
    textRow(n + 3, GameText(kCommentLabel), room.data.comment, kCommentInput.lines);
    TextCentred(512, 640, rowColor(n + 4), 32, change ? GameText("設定変更") : GameText("ルーム作成"));
}

void CLobbyScreens::MatchEditor(bool dimmed)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = dimmed ? 0xFF808080 : 0xFFFFFFFF;
    const CLobbyRoom& match = *m_client.m_matchRecord;
    const int32_t n = match.GetAttributeCount();
    Frame(96, 128, 928, 688, FRAME_SECOND, color);
    EditorTitle(GameText("ランダム対戦設定"), color);
    auto choiceRow = [&](int32_t row, const char* caption, const char* value) {
        const uint32_t c = row == s.row ? color : HalfColor(color);
        const float y = 248.0f + 40.0f * row;
        Text(200, y, c, 24, caption);
        Mark(496, y + 4, 888, c);
        TextCentred(640, y, c, 24, value);
        Mark(760, y + 4, 912, c);
    };
    choiceRow(0, GameText("ホスト/クライアント"), GetLobbyHostPreferenceCaption(match.data.hostPreference));
    choiceRow(1, GameText(kPlayerRankLabel), GetLobbyRankBandCaption(match.data.rankBand));
    for (int32_t i = 0; i < n; ++i)
        choiceRow(2 + i, GetLobbyAttributeName(match.FindAttribute(i)),
                  GetLobbyAttributeCaption(match.FindAttribute(i), match.GetValue(i)));
    TextCentred(512, 640, s.row == n + 2 ? color : HalfColor(color), 32, GameText("ランダム対戦開始"));
}

void CLobbyScreens::RoomInfo(bool dimmed, bool buttons)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    const uint32_t color = dimmed ? 0xFF808080 : 0xFFFFFFFF;
    Frame(96, 128, 928, 688, FRAME_SECOND, color);
    const CLobbyRoom* room = buttons ? m_client.FindRoom(s.selectedId) : m_client.m_currentRoom.get();
    if (room == nullptr)
        return;
    Text(128, 144, color, 24, GameText("■ルーム情報"));
    Text(560, 144, color, 24, GameText("■参加プレイヤー"));
    TextIn(kRoomInfoX, 200, kRoomInfoWidth, color, 24, room->data.name);
    Text(144, 248, color, 24, GameText(kPlayerRankLabel));
    Text(352, 248, color, 24, GetLobbyRankBandCaption(room->data.rankBand));
    float y = 288;
    for (int32_t i = 0; i < room->GetAttributeCount(); ++i, y += 40)
    {
        Text(144, y, color, 24, GetLobbyAttributeName(room->FindAttribute(i)));
        Text(352, y, color, 24, GetLobbyAttributeCaption(room->FindAttribute(i), room->GetValue(i)));
    }
    Text(144, y, color, 24, GameText(kCommentLabel));
    Lines(kRoomInfoX, y + 40, kCommentInput.lineSpacing, color, kCommentInput.textSize,
          ShowLobbyText(room->data.comment, Box(kCommentInput.width, kCommentInput.textSize), kCommentInput.lines));
    const tag_KVRLOBBYMEMBERS& members = room->data.members;
    float my = 200;
    for (int32_t i = 0; i < members.count && i < kLobbyMaxMembers; ++i)
    {
        const CLobbyUser* user = m_client.FindUser(members.members[i].id);
        if (user == nullptr)
            continue;
        const std::string rank = "(" + std::to_string(user->data.rank) + ")";
        TextIn(kRoomInfoMembersX, my, kRoomInfoMembersWidth, color, 24, user->data.name, rank.c_str());
        my += 40;
    }
    if (!buttons || !m_client.CanJoin(room, m_client.m_ownUser.get()))
        return;
    TextCentred(256, 640, s.row == 1 ? color : HalfColor(color), 32, GameText("ルームに入る"));
    TextCentred(768, 640, s.row == 2 ? color : HalfColor(color), 32, GameText("回線テスト"));
}

void CLobbyScreens::UserInfo(bool dimmed, const CLobbyUser* user, bool kickButton)
{
    const uint32_t color = dimmed ? 0xFF808080 : 0xFFFFFFFF;
    Frame(232, 128, 792, 688, FRAME_SECOND, color);
    if (user == nullptr)
        return;
    const tag_KVRLOBBYUSERDATA& d = user->data;
    if (user->GetIcon() != nullptr)
    {
        const float src[4] = {0, 0, static_cast<float>(user->GetIcon()->GetWidth()),
                              static_cast<float>(user->GetIcon()->GetHeight())};
        const float dst[4] = {256 * m_scale, 152 * m_scale, 320 * m_scale, 216 * m_scale};
        user->GetIcon()->DrawRect(dst, src, color, 0);
    }
    TextIn(kUserInfoX, 160, kUserInfoWidth, color, 24, d.name);
    Lines(kUserInfoX, 200, kChatLinePitch, color, kChatTextSize,
          ShowLobbyText(d.comment, Box(kUserInfoWidth, kChatTextSize), kUserCommentLines));
    const int64_t battles = static_cast<int64_t>(d.wins) + d.losses + d.draws;
    char values[7][32];
    std::snprintf(values[0], sizeof(values[0]), "%d", d.rank);
    std::snprintf(values[1], sizeof(values[1]), "%lld", static_cast<long long>(battles));
    std::snprintf(values[2], sizeof(values[2]), "%d", d.wins);
    std::snprintf(values[3], sizeof(values[3]), "%d", d.losses);
    std::snprintf(values[4], sizeof(values[4]), "%d", d.draws);
    std::snprintf(values[5], sizeof(values[5]), "%s", WinRateText(d).c_str());
    std::snprintf(values[6], sizeof(values[6]), "%d", d.points);
    const char* labels[7] = {GameText(kPlayerRankLabel), GameText("対戦回数"),   GameText("勝利数"),
                             GameText("敗北数"),         GameText("引き分け数"), GameText("勝率"),
                             GameText("獲得ポイント")};
    const float ys[7] = {296, 384, 424, 464, 504, 544, 584};
    for (int i = 0; i < 7; ++i)
    {
        Text(344, ys[i], color, 24, labels[i]);
        Text(688, ys[i], color, 24, values[i]);
    }
    if (kickButton)
        TextCentred(512, 640, m_client.m_state->row == 1 ? color : HalfColor(color), 32, GameText("強制退出"));
}

void CLobbyScreens::LineTestResult()
{
    const tag_KVRNETWORKTESTRESULT& r = m_client.m_state->lineTest;
    Frame(232, 308, 792, 460, FRAME_FIRST, 0xFFFFFFFF);
    TextCentred(512, 318, 0xFFFFFFFF, 32, GameText("回線情報"));
    const char* labels[4] = {GameText("TCP回線"), GameText("UDP回線"), GameText("UDP送信"), GameText("UDP受信")};
    const int32_t marks[4] = {LineTestMarks(std::max(r.tcpUploadMs, r.tcpDownloadMs)), LineTestMarks(r.udpMs),
                              static_cast<int32_t>(std::min<uint32_t>(r.receivedByPeer / 10, 10)),
                              static_cast<int32_t>(std::min<uint32_t>(r.receivedFromPeer / 10, 10))};
    for (int i = 0; i < 4; ++i)
    {
        const float y = 354.0f + 24.0f * i;
        Text(254, y, 0xFFFFFFFF, 24, labels[i]);
        for (int32_t m = 0; m < marks[i]; ++m)
            Text(502 + 28.0f * m, y, 0xFFFFFFFF, 24, GameText("★"));
    }
}

void CLobbyScreens::DrawRoomChatLines(float x, float y, float width, float scale, uint32_t color,
                                      int32_t lineLimit)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    if (m_font == nullptr || lineLimit <= 0)
        return;
    // The newest messages, newest first, as many as have a line each; empty
    // ones are skipped, as in the room's box.
    const size_t most = static_cast<size_t>(std::min(kBorrowedChatMessages, lineLimit));
    std::vector<std::string> texts;
    for (int32_t i = s.roomChatCount - 1; i >= 0 && texts.size() < most; --i)
    {
        const tag_KVRLOBBYCHATLINE& line = s.roomChat[i];
        if (line.text[0] != '\0')
            texts.push_back(ChatName(line.name, sizeof(line.name)) +
                            std::string(line.text, strnlen(line.text, sizeof(line.text))));
    }
    if (texts.empty())
        return;
    // Shared evenly, so that neither message hides the other.
    const int32_t perMessage = lineLimit / static_cast<int32_t>(texts.size());
    const LobbyTextBox box = Box(width, kChatTextSize);
    float lineY = y;
    for (auto text = texts.rbegin(); text != texts.rend(); ++text)
        for (const std::string& line : ShowLobbyText(text->c_str(), box, perMessage))
        {
            if (!line.empty())
                m_font->DrawText(x, lineY, color, kChatTextSize, scale, line.c_str());
            lineY += kChatLinePitch * scale;
        }
}

void CLobbyScreens::DrawMatchingStatus(uint32_t timeMs, uint32_t color)
{
    const std::string count = std::to_string(m_client.m_state->matchedPlayers) + GameText("人マッチング");
    Text(720, 700, color, 32, count.c_str());
    Text(720, 730, color, 32, GameText("対戦相手募集中"));
    const uint32_t dots = std::min<uint32_t>(timeMs / 800, 64);
    for (uint32_t i = 0; i < dots; ++i)
        Text(950 + 16.0f * i, 730, color, 32, ".");
}

void CLobbyScreens::DrawState(LobbyState state)
{
    tag_KVRLOBBYSTATE& s = *m_client.m_state;
    switch (state)
    {
    case LOBBY_BETA_NOTICE: Notice(GameText(kBetaNotice)); break;
    case LOBBY_CONNECTING: Waiting(); break;
    case LOBBY_SERVICE_CLOSED: Notice(GameText(kServiceClosedNotice)); break;
    case LOBBY_WRONG_VERSION: Notice(GameText(kWrongVersionNotice)); break;
    case LOBBY_PORT_MAPPING_FAILED: Notice(GameText(kNoConnectionNotice)); break;
    case LOBBY_LOGIN:
    case LOBBY_LOGGED_IN: Login(false); break;
    case LOBBY_LOGIN_SENT:
        Login(true);
        Waiting();
        break;
    case LOBBY_LOGIN_REFUSED:
        Login(true);
        Notice(GameText(kLoginRefusedNotice));
        break;
    case LOBBY_IN_LOBBY:
    case LOBBY_ROOM_MADE: Lobby(false); break;
    case LOBBY_USER_INFO:
        Lobby(true);
        UserInfo(false, m_client.FindUser(s.selectedId), false);
        break;
    case LOBBY_USER_INFO_ASKED:
    case LOBBY_ROOM_INFO_ASKED:
        Lobby(true);
        Waiting();
        break;
    case LOBBY_USER_INFO_FAILED:
        Lobby(true);
        Message(GameText(kUserInfoFailed));
        break;
    case LOBBY_NEW_ROOM_EDITOR:
        Lobby(true);
        RoomEditor(false, false);
        break;
    case LOBBY_ROOM_ASKED:
        Lobby(true);
        RoomEditor(true, false);
        Waiting();
        break;
    case LOBBY_ROOM_NOT_MADE:
        Lobby(true);
        RoomEditor(true, false);
        Message(GameText(kRoomNotMade));
        break;
    case LOBBY_ROOM_NAME_MISSING:
        Lobby(true);
        RoomEditor(true, false);
        Message(GameText(kRoomNameMissing));
        break;
    case LOBBY_ROOM_INFO:
    case LOBBY_ENTERED:
        Lobby(true);
        RoomInfo(false, true);
        break;
    case LOBBY_ROOM_INFO_FAILED:
        Lobby(true);
        Message(GameText(kRoomInfoFailed));
        break;
    case LOBBY_LINE_TEST_ASKED:
    case LOBBY_ENTERING:
        Lobby(true);
        RoomInfo(true, true);
        Waiting();
        break;
    case LOBBY_LINE_TEST_RESULT:
        Lobby(true);
        RoomInfo(true, true);
        LineTestResult();
        break;
    case LOBBY_NOT_ENTERED:
        Lobby(true);
        Message(GameText(kRoomNotEntered));
        break;
    case LOBBY_ROOM_KEY_EDITOR:
        Lobby(true);
        KeyEditor(false);
        break;
    case LOBBY_ROOM_KEY_SENT:
        Lobby(true);
        KeyEditor(true);
        Waiting();
        break;
    case LOBBY_WRONG_ROOM_KEY:
        Lobby(true);
        Message(GameText(kWrongRoomKey));
        break;
    case LOBBY_MATCH_EDITOR:
        Lobby(true);
        MatchEditor(false);
        break;
    case LOBBY_MATCH_FAILED:
        Lobby(true);
        Message(GameText(kMatchFailed));
        break;
    case LOBBY_QUIT_QUESTION:
        Lobby(true);
        Question(GameText(kLeaveQuestion));
        break;
    case LOBBY_ROOM_LOST:
        Lobby(true);
        Notice(GameText(kConnectionLostNotice));
        break;
    case LOBBY_ROOM:
    case LOBBY_LEAVING_ROOM: Room(false); break;
    case LOBBY_MEMBER_INFO:
        Room(true);
        UserInfo(false, m_client.FindUser(s.selectedId),
                 m_client.IsOwner() && s.selectedId != m_client.m_ownUser->data.id);
        break;
    case LOBBY_MEMBER_INFO_ASKED:
    case LOBBY_ROOM_DATA_ASKED:
        Room(true);
        Waiting();
        break;
    case LOBBY_MEMBER_INFO_FAILED:
        Room(true);
        Message(GameText(kUserInfoFailed));
        break;
    case LOBBY_REMOVE_QUESTION:
        Room(true);
        UserInfo(true, m_client.FindUser(s.selectedId), true);
        Question(GameText(kRemoveQuestion));
        break;
    case LOBBY_REMOVE_SENT:
        Room(true);
        UserInfo(true, m_client.FindUser(s.selectedId), true);
        Waiting();
        break;
    case LOBBY_REMOVED:
        Room(true);
        Message(GameText(kRemoved));
        break;
    case LOBBY_ROOM_DATA_FAILED:
        Room(true);
        Message(GameText(kRoomInfoFailed));
        break;
    case LOBBY_ROOM_SETTINGS:
        Room(true);
        if (m_client.IsOwner())
            RoomEditor(false, true);
        else
            RoomInfo(false, false);
        break;
    case LOBBY_SETTINGS_NAME_MISSING:
        Room(true);
        RoomEditor(true, true);
        Message(GameText(kRoomNameMissing));
        break;
    case LOBBY_SETTINGS_SENT:
        Room(true);
        RoomEditor(true, true);
        Waiting();
        break;
    case LOBBY_SETTINGS_REFUSED:
        Room(true);
        RoomEditor(true, true);
        Message(GameText(kSettingsRefused));
        break;
    case LOBBY_START_QUESTION:
        Room(true);
        Question(GameText(kStartQuestion));
        break;
    case LOBBY_TOO_FEW_MEMBERS:
        Room(true);
        Message(GameText(kTooFewMembers));
        break;
    case LOBBY_LEAVE_QUESTION:
        Room(true);
        Question(GameText(kLeaveQuestion));
        break;
    case LOBBY_MATCH_ASKED:
        Lobby(true);
        MatchEditor(false);
        Waiting();
        break;
    case LOBBY_MATCH_REFUSED:
        Lobby(true);
        MatchEditor(false);
        Message(GameText(kMatchFailed));
        break;
    case LOBBY_CONNECTION_LOST: Notice(GameText(kConnectionLostNotice)); break;
    default: break;
    }
}

#pragma once

#include "net/lobby/LobbyText.h"

#include <cstdint>
#include <string>
#include <vector>

class CLobbyClient;
class CFontTexture;
class CLobbyRoom;
class CLobbyUser;
class CTexture;
struct tag_KVRLOBBYUSERDATA;
enum LobbyState : int32_t;

// An editor's box on a screen, in layout units: the lines it shows, their
// width (0: any), text size and spacing, and the bytes a line takes at most
// (the field the text goes to shared among the lines).
struct LobbyEditorBox
{
    int32_t lines = 1;
    float width = 0.0f;
    uint32_t textSize = 0;
    float lineSpacing = 0.0f;
    int32_t charsPerLine = 0;
};

// The lobby's screens, drawn for one frame from the client's state in the
// 1024 x 768 layout, scaled by the smaller of width / 1024 and
// height / 768. Made on the stack by CLobbyClient::Render, which holds the
// protocol lock around everything but the background.
class CLobbyScreens
{
public:
    // Screen lines one message's text may take in the lobby's and the
    // room's chat logs, below its name line; the rest is cut. Six: the
    // longest message, without line feeds, fills about six lines of the
    // narrower log, and with its name a cut one takes at most seven of the
    // log's twenty: the newest message and the one before it always show
    // whole.
    static constexpr int32_t kChatMessageLines = 6;
    // The editors take what fits in their boxes; the password its length
    // whatever its characters' width (a box that refused some could keep a
    // player from typing it).
    static constexpr LobbyEditorBox kLobbyChatInput{2, 424.0f, 18, 24.0f, 128};
    static constexpr LobbyEditorBox kRoomChatInput{2, 688.0f, 18, 24.0f, 128};
    static constexpr LobbyEditorBox kCommentInput{5, 384.0f, 24, 32.0f, 51};
    static constexpr LobbyEditorBox kRoomNameInput{1, 384.0f, 24, 0.0f, 24};
    static constexpr LobbyEditorBox kRoomKeyInput{1, 384.0f, 24, 0.0f, 8};
    static constexpr LobbyEditorBox kLoginIdInput{1, 272.0f, 32, 0.0f, 32};
    static constexpr LobbyEditorBox kPasswordInput{1, 0.0f, 32, 0.0f, 16};

    explicit CLobbyScreens(CLobbyClient& client);

    void DrawBackground();
    void DrawState(LobbyState state);
    // The newest room chat from (x, y) in pixels, its lines width layout
    // units long.
    void DrawRoomChatLines(float x, float y, float width, float scale, uint32_t color, int32_t lineLimit);
    void DrawMatchingStatus(uint32_t timeMs, uint32_t color);

    float GetScale() const { return m_scale; }
    // The user info's win rate: wins of all battles as "%.2f", "0.00"
    // without battles.
    static std::string WinRateText(const tag_KVRLOBBYUSERDATA& data);
    // The number of line-test marks for a time in milliseconds.
    static int32_t LineTestMarks(uint32_t milliseconds);
    // Colour of a screen with fade level f: bright, or dimmed under a dialog.
    static uint32_t ScreenColor(float fade, bool dimmed);
    // The half colour of items without the focus.
    static uint32_t HalfColor(uint32_t color);

private:
    enum FrameSet
    {
        FRAME_FIRST,
        FRAME_SECOND,
        FRAME_FOCUS
    };

    void Frame(float left, float top, float right, float bottom, FrameSet set, uint32_t color);
    void Text(float x, float y, uint32_t color, uint32_t size, const char* text);
    // A box width layout units wide for text of the size.
    LobbyTextBox Box(float width, uint32_t size) const;
    // Lines of text pitch apart from (x, y).
    void Lines(float x, float y, float pitch, uint32_t color, uint32_t size, const std::vector<std::string>& lines);
    // One line of text, cut to end inside width; with a suffix (a rank),
    // the text is cut and the suffix kept whole.
    void TextIn(float x, float y, float width, uint32_t color, uint32_t size, const char* text,
                const char* suffix = "");
    // The editor in its box from (x, y).
    void Editor(float x, float y, uint32_t color);
    void TextCentred(float x, float y, uint32_t color, uint32_t size, const char* text);
    void Underline(float left, float right, float y, uint32_t color);
    void Mark(float x, float y, float u, uint32_t color);
    void Notice(const char* text);
    void Message(const char* text);
    void Question(const char* text);
    void Waiting();
    void KeyEditor(bool dimmed);
    void Login(bool dimmed);
    void Lobby(bool dimmed);
    void Room(bool dimmed);
    void ChatLog(float x, float y, float width, bool room, uint32_t color);
    void RoomEditor(bool dimmed, bool change);
    void MatchEditor(bool dimmed);
    void RoomInfo(bool dimmed, bool buttons);
    void UserInfo(bool dimmed, const CLobbyUser* user, bool kickButton);
    void LineTestResult();
    void EditorTitle(const char* title, uint32_t color);

    CLobbyClient& m_client;
    CFontTexture* m_font;
    CTexture* m_texture;
    float m_scale = 1.0f;
};

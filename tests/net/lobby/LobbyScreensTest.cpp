// The lobby's screens drawn offscreen through a real font and a stand-in
// lobby texture (one dark colour), read back and checked where their texts
// must be bright, dimmed or in the half colour. The screens that need the
// player's own record (room info, user info) log in to the tests' lobby
// server first.
#include "LobbyLoopbackSupport.h"
#include "LobbyTestServer.h"

#include "engine/core/GameText.h"
#include "engine/core/ShiftJisText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/ImeMessages.h"
#include "engine/platform/SdlTextInput.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CTexture.h"
#include "game/menu/MenuTransitions.h"
#include "net/lobby/CLobbyClient.h"
#include "net/lobby/CLobbyRoom.h"
#include "net/lobby/CLobbyScreens.h"
#include "net/lobby/LobbyText.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>
#include "tests/support/ArgbPng.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace lobbytest;

namespace
{
constexpr int32_t WIDTH = 512;
constexpr int32_t HEIGHT = 384;
// Layout units to pixels at this size.
constexpr float S = 0.5f;
// The game's small font, which the lobby draws with: its face falls back to
// IPA Gothic, at this height.
constexpr int32_t kFontHeight = 24;

class LobbyScreensTest : public ::testing::Test
{
protected:
    // The surface drawn in, the window's size at first; a larger one holds
    // the screens of a larger window.
    explicit LobbyScreensTest(int32_t surfaceWidth = WIDTH, int32_t surfaceHeight = HEIGHT)
        : headless{surfaceWidth, surfaceHeight}
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        ASSERT_EQ(font.CreateDefault(1024, 1024, "IPAGothic", kFontHeight), 1);
        ASSERT_EQ(texture.CreateRenderTarget(1024, 1024, 0, FORMAT_A8R8G8B8, 1), 1);
        ASSERT_EQ(texture.Fill(0xFF202020), 1);
        ASSERT_TRUE(client.Initialize(&headless.System(), "1.00", "", &graphics, &texture, &font));
        client.SetState(LOBBY_IN_LOBBY);
        Feed(1012, UserList());
    }

    // Bright text: the full colour.
    void ExpectBright(uint32_t brightest, const char* what) { EXPECT_GE(brightest, 0xF0u) << what; }
    // The half colour of items without the focus, or a screen dimmed
    // under a dialog.
    void ExpectHalf(uint32_t brightest, const char* what)
    {
        EXPECT_GE(brightest, 0x60u) << what;
        EXPECT_LE(brightest, 0x88u) << what;
    }
    void ExpectDark(uint32_t brightest, const char* what) { EXPECT_LE(brightest, 0x30u) << what; }

    void TearDown() override
    {
        client.Release();
        font.Release();
        texture.Release();
    }

    void Feed(int16_t id, const std::vector<uint8_t>& payload)
    {
        uint8_t key = 0;
        {
            auto lock = client.Lock();
            key = client.GetStateBlock().sessionKey;
        }
        const std::vector<uint8_t> bytes = ServerMessage(id, 1, payload, key);
        ASSERT_TRUE(client.Reassemble(bytes.data(), bytes.size()));
        ASSERT_TRUE(client.DispatchQueued());
    }

    // A chat line: the room's while in a room, else the lobby's.
    void Say(const char* name, const std::string& text)
    {
        std::vector<uint8_t> line(281);
        PutText(line, 0, name, 25);
        PutText(line, 25, text, 256);
        if (client.GetState() >= LOBBY_ROOM)
            ASSERT_TRUE(client.OnChatMessage(line.data(), static_cast<uint32_t>(line.size())));
        else
            Feed(1020, line);
    }

    static std::vector<uint8_t> UserList()
    {
        std::vector<uint8_t> out(66);
        Put32(out, 0, 1);
        PutText(out, 4, "alice", 25);
        Put32(out, 29, 25);
        Put32(out, 33, 2);
        PutText(out, 37, "bob", 25);
        Put32(out, 62, 40);
        return out;
    }

    // The log of the screen's chat box (the room's while in a room) holds
    // these messages alone.
    void SayOnly(const std::vector<std::string>& texts)
    {
        {
            auto lock = client.Lock();
            tag_KVRLOBBYSTATE& s = client.GetStateBlock();
            const bool room = client.GetState() >= LOBBY_ROOM;
            (room ? s.roomChatCount : s.lobbyChatCount) = 0;
            (room ? s.roomChatView : s.lobbyChatView) = 0;
        }
        for (const std::string& text : texts)
            Say("bob", text);
    }

    // The screen, and then what over draws over it.
    void Draw(const std::function<void()>& over = {})
    {
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_TRUE(client.Render());
        if (over)
            over();
        pixels.assign(static_cast<size_t>(WIDTH) * HEIGHT, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, pixels.data()), DEVICE_OK);
    }

    // The last frame as "Lobby-<name>.png" in the test's folder, for a
    // person to look at.
    void Keep(const char* name)
    {
        SaveArgbPng(pixels, WIDTH, HEIGHT, std::string("Lobby-") + name + ".png");
    }

    // The brightest channel inside a rectangle given in layout units.
    uint32_t Brightest(float left, float top, float right, float bottom)
    {
        uint32_t best = 0;
        for (int y = static_cast<int>(top * S); y < static_cast<int>(bottom * S) && y < HEIGHT; ++y)
            for (int x = static_cast<int>(left * S); x < static_cast<int>(right * S) && x < WIDTH; ++x)
            {
                const uint32_t p = pixels[static_cast<size_t>(y) * WIDTH + x];
                best = std::max({best, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
            }
        return best;
    }

    // Pixels that differ between two frames from left (layout units) on.
    static int32_t Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, float left = 0.0f)
    {
        int32_t differences = 0;
        for (size_t at = 0; at < a.size() && at < b.size(); ++at)
            differences += static_cast<int32_t>(at % WIDTH) >= static_cast<int32_t>(left * S) && a[at] != b[at] ? 1 : 0;
        return differences;
    }

    // The top of a chat box's line.
    static float ChatRow(int32_t row) { return 146.0f + 24.0f * static_cast<float>(row); }

    // Whether the line of text size 18 from (x, top) shows text as the font
    // draws it there alone: its glyphs lit and nothing else up to the chat
    // boxes' right (a glyph's edge, which it covers in part, may fall either
    // way over a box and counts for neither).
    bool ShowsLine(float x, float top, const std::string& text)
    {
        const std::vector<uint32_t> screen = pixels;
        graphics.Begin2D();
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        font.DrawText(x * S, top * S, 0xFFFFFFFF, 18, S, text.c_str());
        std::vector<uint32_t> alone(screen.size(), 0);
        EXPECT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, alone.data()), DEVICE_OK);
        auto level = [](uint32_t p) { return std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}); };
        int32_t glyphs = 0;
        int32_t mismatches = 0;
        for (int y = static_cast<int>(top * S); y < static_cast<int>((top + 24.0f) * S); ++y)
            for (int px = static_cast<int>(x * S); px < static_cast<int>(752 * S); ++px)
            {
                const size_t at = static_cast<size_t>(y) * WIDTH + px;
                if (level(alone[at]) > 0x60 && level(alone[at]) < 0xC0)
                    continue;
                const bool glyph = level(alone[at]) >= 0xC0;
                glyphs += glyph ? 1 : 0;
                mismatches += glyph != (level(screen[at]) >= 0x90) ? 1 : 0;
            }
        return glyphs > 0 && mismatches * 10 <= glyphs;
    }

    // Steps the screens' fades to their ends in half a second of frames at
    // 60 a second, drawing the frames where one leaves its start, passes
    // its middle or arrives.
    void StepFades()
    {
        for (int i = 0; i < 30; ++i)
        {
            const uint32_t marks = MenuTransitions::MarksPassed();
            client.Update(1.0f / 60.0f);
            if (MenuTransitions::MarksPassed() != marks)
                Draw();
        }
    }

    RenderGraphics headless;
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CFontTexture font;
    CTexture texture;
    CLobbyClient client;
    std::vector<uint32_t> pixels;
};
} // namespace

TEST_F(LobbyScreensTest, LobbyUserListIsBrightAndDimsUnderADialog)
{
    const uint32_t marks = MenuTransitions::MarksPassed();
    StepFades();
    EXPECT_EQ(MenuTransitions::MarksPassed() - marks, 6u) << "two fades in: start, middle and end each";
    Draw();
    // Headings and the focused room pane: bright; the background texture
    // alone stays dark.
    EXPECT_GE(Brightest(776, 120, 900, 140), 0xF0u);
    EXPECT_LE(Brightest(600, 40, 700, 70), 0x30u);
    // Users in the list, not focused: the half colour.
    const uint32_t row = Brightest(776, 144, 900, 166);
    EXPECT_GE(row, 0x60u);
    EXPECT_LE(row, 0x88u);
    // The version text of the background.
    EXPECT_GE(Brightest(848, 72, 960, 92), 0xF0u);

    client.SetState(LOBBY_QUIT_QUESTION); // the quit question over the dimmed lobby
    Draw();
    EXPECT_LE(Brightest(776, 120, 900, 140), 0x88u);
    EXPECT_GE(Brightest(384, 392, 440, 420), 0xF0u); // はい, chosen
    const uint32_t no = Brightest(568, 392, 650, 420); // いいえ, the half colour
    EXPECT_GE(no, 0x60u);
    EXPECT_LE(no, 0x88u);
}

TEST_F(LobbyScreensTest, RoomChatShowsJapaneseLines)
{
    client.SetState(LOBBY_ROOM);
    StepFades();
    Draw();
    EXPECT_LE(Brightest(48, 170, 400, 194), 0x30u);
    Say("alice", GameText("こんにちは"));
    Draw();
    // The name line, then the text line below it.
    EXPECT_GE(Brightest(48, 146, 300, 168), 0xF0u);
    EXPECT_GE(Brightest(48, 170, 300, 194), 0xF0u);
    EXPECT_LE(Brightest(48, 200, 300, 230), 0x30u);
}

// Seen as one chat line hiding every later line of the box for everyone: a
// lead byte before a line feed draws as one character with it, but the line
// feed was counted as a line of its own; and as one message of 127 line
// feeds filling the box alone. The chat counts the lines its drawing makes,
// and a message shows at most a few lines, the last of them marked as cut.
TEST_F(LobbyScreensTest, AChatLineCountsTheLinesItsDrawingMakes)
{
    std::string leadsBeforeFeeds;
    for (int i = 0; i < 30; ++i)
        leadsBeforeFeeds += "\x81\n";
    std::string feeds;
    for (int i = 0; i < 127; ++i)
        feeds += "a\n";
    const std::string kana = GameText("こんにちは");
    const std::string texts[] = {leadsBeforeFeeds,   "one\ntwo\n\nthree", std::string(150, 'w'),
                                 kana + "\n" + kana, "ab cd\r\nef",       "",
                                 feeds};
    graphics.Begin2D();
    const CharWidth widthOf = [this](const char* character, size_t length) {
        return font.GetCharAdvance(character, length, 18, 1.0f);
    };
    for (const std::string& text : texts)
        for (const float width : {40.0f, 424.0f, 688.0f})
        {
            const std::string what = std::to_string(width) + " units: " + ::testing::PrintToString(text);
            const std::vector<std::string> shown = ShowLobbyText(text.c_str(), {width, widthOf}, 3);
            EXPECT_LE(shown.size(), 3u) << what;
            for (const std::string& line : shown)
                EXPECT_LE(LobbyTextWidth(line.c_str(), widthOf), width) << what;
        }

    // The messages after them in the room chat are still shown.
    client.SetState(LOBBY_ROOM);
    StepFades();
    for (const char* said : {leadsBeforeFeeds.c_str(), feeds.c_str(), "ready"})
        Say("bob", said);
    Draw();
    Keep("chat-cut");
    // Screen lines of 24 units from y 146: a name line before each message.
    auto lineTop = [](int32_t line) { return 146.0f + 24.0f * static_cast<float>(line); };
    constexpr int32_t kFeedsLast = 2 + CLobbyScreens::kChatMessageLines;
    ExpectDark(Brightest(70, lineTop(kFeedsLast - 1), 200, lineTop(kFeedsLast)), "a kept line: its letter alone");
    ExpectBright(Brightest(70, lineTop(kFeedsLast), 200, lineTop(kFeedsLast + 1)), "the mark of the cut");
    ExpectBright(Brightest(70, lineTop(kFeedsLast + 2), 300, lineTop(kFeedsLast + 3)), "the later message");
}

// Seen as the newest messages missing from both chat boxes once the
// messages in view needed more than the box's 20 lines (four long messages
// hid the next three), and as a message whose name took the last line
// drawing its text below the box, over its frame. Each box draws upward
// from the newest message, cut at its top, through a message's text lines
// as well as its name; scrolling back shows older ones.
TEST_F(LobbyScreensTest, ChatBoxesEndOnTheirNewestMessageAndDrawNothingBelowTheirLastLine)
{
    auto kanji = [](const char* each, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += GameText(each);
        return text;
    };
    struct Box
    {
        LobbyState state;
        int32_t chatPane;
        float x;
        std::string lastLine; // of 127 kanji
        const char* shot;
    };
    for (const Box& box : {Box{LOBBY_IN_LOBBY, 1, 312, kanji("題", 20) + GameText("…"), "lobby-chat"},
                           Box{LOBBY_ROOM, 0, 48, kanji("題", 28), "room-chat"}})
    {
        client.SetState(box.state);
        StepFades();
        {
            auto lock = client.Lock();
            client.GetStateBlock().pane = box.chatPane;
        }
        // Six messages of 19 lines: the seventh's name would take the last.
        for (const char* text : {"a\nb\nc", "a\nb", "a\nb", "a\nb", "a\nb", "a\nb", "last"})
            Say("bob", text);
        Draw();
        EXPECT_TRUE(ShowsLine(box.x, ChatRow(19), "last")) << box.shot;
        ExpectDark(Brightest(box.x, 628, 752, 648), box.shot);

        for (const char* each : {"漢", "字", "話", "題"})
            Say("alice", kanji(each, 127));
        for (const char* text : {"hi", "ready", "see you"})
            Say("bob", text);
        Draw();
        Keep(box.shot);
        EXPECT_TRUE(ShowsLine(box.x, ChatRow(19), "see you")) << box.shot;
        EXPECT_TRUE(ShowsLine(box.x, ChatRow(18), GameText("【bob】"))) << box.shot;
        EXPECT_TRUE(ShowsLine(box.x, ChatRow(17), "ready")) << box.shot;
        // Three messages back: the last long one ends on the last line.
        for (int i = 0; i < 3; ++i)
            client.OnInput(LOBBY_KEY_UP);
        Draw();
        EXPECT_TRUE(ShowsLine(box.x, ChatRow(19), box.lastLine)) << box.shot;
        ExpectDark(Brightest(box.x, 628, 752, 648), box.shot);

        // A message whose name and first two lines are above the top shows
        // its last three lines alone, as they would be drawn there.
        auto sayFirst = [&](const std::string& first) {
            SayOnly({first, "1\n2\n3\n4\n5", "1\n2\n3\n4\n5", "1\n2\n3\n4"});
        };
        sayFirst("one\ntwo\nthree\nfour\nfive");
        Draw();
        const std::vector<uint32_t> cut = pixels;
        sayFirst("\n\n\n\n");
        Draw([&] {
            for (const auto& [row, line] : {std::pair{0, "three"}, std::pair{1, "four"}, std::pair{2, "five"}})
                font.DrawText(box.x * S, ChatRow(row) * S, 0xFFFFFFFF, 18, S, line);
        });
        EXPECT_EQ(Differences(cut, pixels), 0) << box.shot;
    }
}

// Seen as a lobby chat line of 44 Latin capitals running about 40 pixels
// past its box, over the player list, and as 64 in the room reaching the
// member list's frame: lines were cut after 44 and 64 bytes, but a Latin
// capital is drawn wider than half a kanji. A line breaks where its drawn
// width fills the box, between Latin words, and the chat input takes what
// fits in its two lines.
TEST_F(LobbyScreensTest, LatinChatBreaksWhereItFillsItsBoxAndBetweenWords)
{
    struct Box
    {
        LobbyState state;
        int32_t paneBeforeTheChat; // right goes on to the chat, which opens the input
        float x;
        std::string words;
        const char* shot;
    };
    const Box boxes[] = {
        {LOBBY_IN_LOBBY, 0, 312, "HELLO EVERYBODY HOW ARE YOU ALL DOING TODAY!", "lobby-latin"},
        {LOBBY_ROOM, 3, 48,
         "READY TO START? WE WAIT AT THE START AREA TRYING TO TAKE A TRAY!", "room-latin"}};
    for (const Box& box : boxes)
    {
        client.SetState(box.state);
        StepFades();
        {
            auto lock = client.Lock();
            client.GetStateBlock().pane = box.paneBeforeTheChat;
        }
        client.OnInput(LOBBY_KEY_RIGHT);
        // The glyphs cached first: a new one beside another in the font's
        // texture may tint that one's edge.
        const std::string capitals(box.words.size(), 'W');
        SayOnly({capitals, box.words});
        Draw();
        SayOnly({});
        Draw();
        const std::vector<uint32_t> quiet = pixels;
        // Nothing right of the box's text, where its frame and the list of
        // players stand.
        SayOnly({capitals});
        Draw();
        EXPECT_EQ(Differences(quiet, pixels, 736), 0) << box.shot;
        ExpectBright(Brightest(712, ChatRow(1), 736, ChatRow(2)), "the first line, up to the box's edge");
        ExpectBright(Brightest(box.x, ChatRow(2), box.x + 40, ChatRow(3)), "the rest, below it");
        SayOnly({box.words});
        Draw();
        Keep(box.shot);
        const std::vector<uint32_t> words = pixels;
        EXPECT_EQ(Differences(quiet, words, 736), 0) << box.shot;
        // Drawn as it is with a line feed at one of its spaces.
        int32_t breaks = 0;
        for (size_t space = box.words.find(' '); space != std::string::npos; space = box.words.find(' ', space + 1))
        {
            std::string broken = box.words;
            broken[space] = '\n';
            SayOnly({broken});
            Draw();
            breaks += Differences(words, pixels) == 0 ? 1 : 0;
        }
        EXPECT_EQ(breaks, 1) << box.shot;

        for (int i = 0; i < 256; ++i)
            client.GetEditor()->Insert("W");
        Draw();
        Keep((std::string(box.shot) + "-input").c_str());
        EXPECT_EQ(Differences(quiet, pixels, 736), 0) << box.shot;
        ExpectBright(Brightest(712, 680, 736, 704), "the input's second line, up to the box's edge");
        ExpectDark(Brightest(box.x, 700, 736, 712), "below the input's two lines");
        client.GetEditor()->SetText(nullptr);
        if (box.state != LOBBY_IN_LOBBY)
            continue;
        // Deleting the kanji between two words joins them into one too long
        // for what the first line leaves: it would move whole to the second,
        // and push the last word to a third line below the box. The
        // deletion is refused; the input keeps its two lines.
        CImeInput& editor = *client.GetEditor();
        const std::string head = std::string(14, 'p') + " " + std::string(5, 'a') + GameText("漢");
        const std::string typed = head + std::string(20, 'b') + " " + std::string(16, 'c');
        ASSERT_EQ(editor.Insert(typed.c_str()), 1);
        editor.MoveCaret(-37);
        ASSERT_EQ(editor.GetCaret(), static_cast<int32_t>(head.size()));
        editor.Backspace();
        EXPECT_EQ(editor.GetCaret(), static_cast<int32_t>(head.size())) << "a refused deletion moves no caret";
        editor.MoveCaret(1000); // to the end: the text drawn in one piece
        Draw();
        Keep("lobby-latin-input-deleted");
        ExpectDark(Brightest(box.x, 700, 736, 712), "below the input's two lines after a deletion");
        EXPECT_EQ(editor.GetTextString(), typed);
        editor.SetText(nullptr);
    }
}

namespace
{
// The screens in a surface as wide as their layout, and tall, to hold many
// drawings of an editor at once; the lobby draws at the window's scale from
// the top-left.
class LobbyEditorBoxTest : public LobbyScreensTest
{
protected:
    static constexpr int32_t kSurfaceHeight = 3072;
    LobbyEditorBoxTest() : LobbyScreensTest(1024, kSurfaceHeight) {}

    // An editor's box, and how its screen opens it.
    struct EditorBox
    {
        const char* name;
        std::function<void()> open;
        float left;
        float top;
        LobbyEditorBox box;
        float pitch; // from a line's top to the next one's; one line: to its underline
    };

    // From now on the pixels read are those around the box at the scale:
    // a few more on its left and above, a line's more on its right and
    // below.
    void ReadAround(const EditorBox& box, float scale)
    {
        editorBox = &box;
        windowScale = scale;
        left = static_cast<int32_t>(box.left * scale) - 4;
        top = static_cast<int32_t>(box.top * scale) - 4;
        width = static_cast<int32_t>(std::ceil((box.left + box.box.width + box.pitch) * scale)) - left;
        rows = static_cast<int32_t>(std::ceil((box.top + (box.box.lines + 1) * box.pitch) * scale)) - top;
    }

    void BeginDrawing(bool clear)
    {
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
        if (clear)
            device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    // The state's screen without its background.
    std::vector<uint32_t> DrawScreen()
    {
        BeginDrawing(true);
        {
            auto lock = client.Lock();
            CLobbyScreens(client).DrawState(client.GetState());
        }
        std::vector<uint32_t> drawn(static_cast<size_t>(width) * rows);
        EXPECT_EQ(device->ReadPixels(device->GetBackBuffer(), left, top, width, rows, drawn.data()), DEVICE_OK);
        return drawn;
    }

    // The editor alone as the screen draws it, up to count times (as many
    // as the surface holds), each a whole number of pixels higher or lower
    // than the last, so that Slot(k) holds the pixels around the box as the
    // k-th would have drawn them. Before the k-th change(k) may change the
    // editor; over(dy) draws over each, dy pixels lower. The number drawn.
    size_t DrawEditor(size_t count, const std::function<void(size_t)>& change = {},
                      const std::function<void(float)>& over = {})
    {
        const size_t slots = std::min(count, static_cast<size_t>(kSurfaceHeight / rows));
        BeginDrawing(false);
        const float band[4] = {static_cast<float>(left), 0.0f, static_cast<float>(left + width),
                               static_cast<float>(slots * rows)};
        CPrimitiveRender::DrawRect2D(band, 0xFF000000);
        for (size_t slot = 0; slot < slots; ++slot)
        {
            const auto dy = static_cast<float>(static_cast<int32_t>(slot) * rows - top);
            if (change)
                change(slot);
            client.GetEditor()->DrawInBox(editorBox->left * windowScale, editorBox->top * windowScale + dy,
                                          windowScale, 0xFFFFFFFF);
            if (over)
                over(dy);
        }
        stack.resize(std::max(stack.size(), static_cast<size_t>(width) * rows * slots));
        EXPECT_EQ(device->ReadPixels(device->GetBackBuffer(), left, 0, width, rows * static_cast<int32_t>(slots),
                                     stack.data()),
                  DEVICE_OK);
        return slots;
    }

    const uint32_t* Slot(size_t slot) const { return stack.data() + static_cast<size_t>(width) * rows * slot; }

    // How a drawing differs from another where a person sees it (not the
    // faint edge a glyph's neighbour in the font's texture may leave on a
    // space): pixels outside the box, and the extent of those inside it,
    // but for the place of an empty box's caret at its start.
    struct Differences
    {
        int32_t outside = 0;
        int32_t left = INT32_MAX;
        int32_t right = INT32_MIN;
        int32_t top = INT32_MAX;
        int32_t bottom = INT32_MIN;
    };

    Differences Compare(const uint32_t* drawn, const uint32_t* expected) const
    {
        const EditorBox& box = *editorBox;
        const float caretRight = (box.left + box.box.textSize) * windowScale;
        const float caretBottom = (box.top + box.pitch) * windowScale;
        const float boxRight = (box.left + box.box.width) * windowScale + 1.0f;
        const float boxBottom = (box.top + box.box.lines * box.pitch) * windowScale + 1.0f;
        auto visible = [](uint32_t a, uint32_t b) {
            for (int shift : {0, 8, 16})
                if (std::abs(static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF)) >
                    16)
                    return true;
            return false;
        };
        Differences differences;
        for (int32_t row = 0; row < rows; ++row)
        {
            const size_t at = static_cast<size_t>(row) * width;
            if (std::memcmp(drawn + at, expected + at, width * sizeof(uint32_t)) == 0)
                continue;
            const int32_t y = top + row;
            for (int32_t x = left; x < left + width; ++x)
            {
                const uint32_t a = drawn[at + x - left];
                const uint32_t b = expected[at + x - left];
                if (a == b || !visible(a, b))
                    continue;
                if (x < left + 3 || x >= boxRight || y < top + 3 || y >= boxBottom)
                    ++differences.outside;
                else if (x >= caretRight || y >= caretBottom)
                {
                    differences.left = std::min(differences.left, x);
                    differences.right = std::max(differences.right, x);
                    differences.top = std::min(differences.top, y);
                    differences.bottom = std::max(differences.bottom, y);
                }
            }
        }
        return differences;
    }

    const EditorBox* editorBox = nullptr;
    float windowScale = 1.0f;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t rows = 0;
    std::vector<uint32_t> stack;
};
} // namespace

// Seen as the text after the caret moving whole to the next line while the
// caret stood inside a Latin word longer than what was left of its line (72
// "x" in the lobby's chat input, Home, Right: three lines in a box of two,
// over the buttons), as a composition typed at the end of a full box drawn
// on a line below it, and as a login ID of "アリス" and 25 "W" running past
// its underline. Every box takes what fits and draws it with the line
// breaks its fit check makes, wherever the caret is, at every window scale,
// and draws nothing outside itself: the editor alone at every caret
// position, the screen where the faults were seen.
TEST_F(LobbyEditorBoxTest, EveryBoxDrawsTheLinesItsFitCheckMakesWhereverTheCaretIs)
{
    auto enter = [this](LobbyState state, int32_t pane) {
        client.SetState(state);
        auto lock = client.Lock();
        client.GetStateBlock().pane = pane;
    };
    auto openChat = [this, enter](LobbyState state, int32_t paneBeforeTheChat) {
        return [this, enter, state, paneBeforeTheChat] {
            enter(state, paneBeforeTheChat);
            client.OnInput(LOBBY_KEY_RIGHT);
        };
    };
    auto openComment = [this, enter] {
        enter(LOBBY_IN_LOBBY, 0);
        for (int32_t keys : {LOBBY_KEY_LEFT, LOBBY_KEY_LEFT, LOBBY_KEY_DECIDE, LOBBY_KEY_UP})
            client.OnInput(keys); // to the new room, into its editor, from its button up to the comment
    };
    auto openLogin = [this] {
        client.SetState(LOBBY_CONNECTING);
        Feed(100, {'j', 0x42});
    };
    const EditorBox boxes[] = {
        {"lobby-chat", openChat(LOBBY_IN_LOBBY, 0), 312, 656, CLobbyScreens::kLobbyChatInput, 24},
        {"room-chat", openChat(LOBBY_ROOM, 3), 48, 656, CLobbyScreens::kRoomChatInput, 24},
        {"comment", openComment, 496, 408, CLobbyScreens::kCommentInput, 32},
        {"login", openLogin, 536, 344, CLobbyScreens::kLoginIdInput, 36}};
    // Typed round and round until the box takes no more: one long Latin
    // word; words of wide capitals, one longer than some lines; Japanese
    // around a Latin word.
    const std::string patterns[] = {"x", "WW " + std::string(40, 'W') + " ",
                                    GameText("漢字かな") + std::string("Latin")};
    const std::string composing = GameText("かんじ");
    // Every glyph cached first: one cached later beside another in the
    // font's texture may tint that one's edge.
    BeginDrawing(true);
    ASSERT_EQ(font.DrawText(0, 0, 0xFFFFFFFF, 18, 1.0f, (patterns[1] + patterns[2] + composing + "x|").c_str()), 1);
    CImeInput& editor = *client.GetEditor();
    auto typeUntilFull = [&](const std::string& pattern) {
        editor.SetText(nullptr);
        for (size_t at = 0, typed = 0; typed < 300; ++typed)
        {
            const size_t length = ShiftJisCharLength(pattern.c_str() + at);
            if (editor.Insert(pattern.substr(at, length).c_str()) != 1)
                break;
            at = (at + length) % pattern.size();
        }
        return editor.GetTextString();
    };
    for (const EditorBox& box : boxes)
    {
        editor.SetText(nullptr); // keys go to an editor holding text
        box.open();
        StepFades();
        ASSERT_TRUE(editor.IsEnable()) << box.name;
        const uint32_t size = box.box.textSize;
        const CharWidth widthOf = [&](const char* character, size_t length) {
            return font.GetCharAdvance(character, length, size, 1.0f);
        };
        // The caret's width stays free at the end of a line.
        const LobbyTextBox lineBox{box.box.width - widthOf("|", 1), widthOf};
        for (const auto& [windowWidth, windowHeight] : {std::pair{1024, 768}, {640, 480}, {933, 700}})
        {
            headless.System().SetClientSize(windowWidth, windowHeight, 0);
            const float scale = CLobbyScreens(client).GetScale();
            ReadAround(box, scale);
            editor.SetText(nullptr);
            const std::vector<uint32_t> screen = DrawScreen();
            // The empty box, and lines from the first shown over it.
            auto expectLines = [&](const std::vector<std::string>& lines, size_t first) {
                DrawEditor(1, {}, [&](float dy) {
                    for (size_t line = first; line < lines.size() && line < first + box.box.lines; ++line)
                        font.DrawText(box.left * scale, box.top * scale + dy + (line - first) * (box.pitch * scale),
                                      0xFFFFFFFF, size, scale, lines[line].c_str());
                });
                return std::vector<uint32_t>(Slot(0), Slot(1));
            };
            // Nothing drawn outside the box (where the expected lines leave
            // the empty box as it was), and inside it the lines expected but
            // for one caret: a mark a few pixels wide on one line.
            const float caretColumns = font.GetCharAdvance("|", 1, size, scale) + 3.0f;
            auto drawsExpected = [&](const uint32_t* drawn, const std::vector<uint32_t>& expected, const char* what,
                                     int32_t caret, const std::string& text) {
                const Differences differences = Compare(drawn, expected.data());
                const bool asExpected = differences.outside == 0 &&
                                        (differences.right < differences.left ||
                                         (differences.right - differences.left < caretColumns &&
                                          differences.bottom - differences.top < box.pitch * scale));
                EXPECT_TRUE(asExpected) << box.name << " at scale " << scale << ", " << what << caret << " of "
                                        << text << ": " << differences.outside << " pixels outside the box, inside ("
                                        << differences.left << ", " << differences.top << ")-(" << differences.right
                                        << ", " << differences.bottom << ") differ";
                return asExpected;
            };
            for (const std::string& pattern : patterns)
            {
                const std::string text = typeUntilFull(pattern);
                const std::vector<std::string> lines = LobbyLines(text.c_str(), lineBox);
                const std::vector<std::string> composed = LobbyLines((text + composing).c_str(), lineBox);
                ASSERT_LE(lines.size(), static_cast<size_t>(box.box.lines)) << box.name << ": " << text;
                editor.SetText(nullptr);
                const std::vector<uint32_t> expected = expectLines(lines, 0);
                // A composition typed at the end of the full box: the box
                // shows its last lines.
                const std::vector<uint32_t> composedExpected =
                    expectLines(composed, composed.size() - std::min(composed.size(), lines.size()));
                editor.SetText(text.c_str());
                editor.MoveCaret(-1000);
                std::vector<int32_t> carets{0};
                for (; carets.back() < static_cast<int32_t>(text.size()); carets.push_back(editor.GetCaret()))
                    editor.MoveCaret(1);
                editor.MoveCaret(-1000);
                // Every caret position, until the first that fails.
                bool asExpected = true;
                for (size_t from = 0; asExpected && from < carets.size();)
                {
                    const size_t drawn = DrawEditor(carets.size() - from, [&](size_t slot) {
                        if (from + slot > 0)
                            editor.MoveCaret(1);
                    });
                    for (size_t slot = 0; asExpected && slot < drawn; ++slot, ++from)
                        asExpected = drawsExpected(Slot(slot), expected, "caret at ", carets[from], text);
                }
                ImeComposition typing;
                typing.text = composing;
                SdlTextInput::SetComposition(typing);
                editor.OnComposition(nullptr, IME_COMPSTR);
                DrawEditor(1);
                drawsExpected(Slot(0), composedExpected, "composing at the end, caret at ", editor.GetCaret(), text);
                // The screen draws the editor in this box.
                EXPECT_EQ(Compare(DrawScreen().data(), screen.data()).outside, 0) << box.name << ": " << text;
                editor.OnComposition(nullptr, 0);
                SdlTextInput::SetComposition(ImeComposition());
            }
        }
        // For people to look at: the box full of one word, the caret in it.
        typeUntilFull(patterns[0]);
        editor.MoveCaret(-1000);
        editor.MoveCaret(1);
        headless.System().SetClientSize(WIDTH, HEIGHT, 0);
        Draw();
        Keep((std::string(box.name) + "-caret-in-a-word").c_str());
    }
}

// The names players give rooms and themselves stay in their columns: cut
// and marked where a column ends, a user's rank kept whole.
TEST_F(LobbyScreensTest, LongNamesAreCutWhereTheirListsEnd)
{
    std::vector<uint8_t> user(33);
    Put32(user, 0, 3);
    PutText(user, 4, std::string(24, 'W'), 25);
    Put32(user, 29, 7);
    Feed(1012, user);
    std::vector<uint8_t> room(37);
    Put32(room, 0, 9);
    PutText(room, 4, std::string(24, 'W'), 25);
    Feed(1011, room);
    StepFades();
    Draw();
    Keep("long-names");
    ExpectBright(Brightest(48, 144, 100, 168), "the room's name, under the cursor");
    ExpectDark(Brightest(264, 144, 304, 168), "between the room list and the chat box");
    ExpectHalf(Brightest(940, 192, 968, 216), "the user's rank, at the end of the list's row");
    ExpectDark(Brightest(968, 144, 1024, 704), "right of the user list");
}

TEST_F(LobbyScreensTest, NoticesAndTheLineTestResult)
{
    client.SetState(LOBBY_CONNECTION_LOST);
    StepFades();
    Draw();
    EXPECT_GE(Brightest(216, 280, 700, 312), 0xF0u);
    EXPECT_LE(Brightest(48, 600, 180, 700), 0x30u);

    EXPECT_EQ(CLobbyScreens::LineTestMarks(120), 10);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(790), 0);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(0), 0);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(700), 2);
    EXPECT_EQ(CLobbyScreens::HalfColor(0xFFFFFFFF), 0xFF7F7F7Fu);
    EXPECT_EQ(CLobbyScreens::ScreenColor(1.0f, true), 0xFF808080u);
}

// Seen as every text not shown before drawing nothing for the rest of the
// run, once long Japanese chat had filled the font's cache: a full cache is
// emptied for the next text.
TEST_F(LobbyScreensTest, ANoticeDrawsAfterChatFilledTheFontCache)
{
    std::string kanji;
    for (int lead = 0x89; lead <= 0x8F; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                kanji += {static_cast<char>(lead), static_cast<char>(trail)};
    graphics.Begin2D();
    EXPECT_EQ(font.DrawTextWrapped(0, 0, 24, 254, 0xFFFFFFFF, 18, 1.0f, kanji.c_str()), 1);
    client.SetState(LOBBY_CONNECTION_LOST);
    StepFades();
    Draw();
    ExpectBright(Brightest(216, 280, 700, 312), "the notice");
}

// A player dropped from a battle (its host stalled or went, or it stalled
// itself) is told why: the lost-connection notice; one whose random match
// lost its other player before the battle, that the match failed: each
// over the dimmed lobby, which the battle or the match's setup had faded
// out, until any key. One whose lobby connection went during a battle is
// told that the line was cut, on the lobby's background (its version
// line), not on black.
TEST_F(LobbyScreensTest, ALostRoomOrAFailedMatchIsToldOverTheLobbyUntilAKey)
{
    struct Told
    {
        LobbyState state;
        float textTop;
        float textBottom;
        bool overLobby;
        LobbyState afterKey;
        const char* shot;
    };
    const Told tolds[] = {{LOBBY_ROOM_LOST, 280, 312, true, LOBBY_IN_LOBBY, "room-lost"},
                          {LOBBY_MATCH_FAILED, 358, 388, true, LOBBY_IN_LOBBY, "match-failed"},
                          {LOBBY_CONNECTION_LOST, 280, 312, false, LOBBY_LEAVING, "connection-lost"}};
    for (const Told& told : tolds)
    {
        client.SetState(LOBBY_ROOM_BATTLE);
        client.SetState(told.state);
        StepFades();
        Draw();
        Keep(told.shot);
        ExpectBright(Brightest(216, told.textTop, 700, told.textBottom), told.shot);
        ExpectBright(Brightest(848, 64, 940, 90), told.shot);
        if (told.overLobby)
            ExpectHalf(Brightest(776, 120, 900, 140), told.shot);
        client.OnInput(LOBBY_KEY_DECIDE);
        EXPECT_EQ(client.GetState(), told.afterKey) << told.shot;
        if (told.afterKey == LOBBY_LEAVING)
        {
            StepFades(); // the lobby fades out and closes
            EXPECT_EQ(client.GetState(), LOBBY_FINISHED);
        }
        // The next comes over a lobby faded out again.
        auto lock = client.Lock();
        std::fill(std::begin(client.GetStateBlock().fade), std::end(client.GetStateBlock().fade), 0.0f);
    }
}

TEST_F(LobbyScreensTest, ScaleFollowsTheSmallerSide)
{
    CLobbyScreens screens(client);
    EXPECT_FLOAT_EQ(screens.GetScale(), 0.5f);
    headless.System().SetClientSize(1280, 720, 0);
    CLobbyScreens wide(client);
    EXPECT_FLOAT_EQ(wide.GetScale(), 0.9375f);
    EXPECT_FLOAT_EQ(992 * wide.GetScale(), 930.0f);
}

TEST_F(LobbyScreensTest, BattleSetupBorrowsTheRoomChatAndTheMatchingStatus)
{
    client.SetState(LOBBY_ROOM);
    // A message of many lines before it takes half the lines asked for.
    for (const std::string& said : {std::string(127, '\n'), std::string("ready")})
        Say("bob", said);
    auto drawChat = [&](int32_t lineLimit) {
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        client.DrawRoomChat(20.0f, 20.0f, 576.0f, S, 0xFFFFFFFF, lineLimit);
        client.DrawMatchingStatus(2400, 0xFFFFFFFF);
        pixels.assign(static_cast<size_t>(WIDTH) * HEIGHT, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, pixels.data()), DEVICE_OK);
    };
    drawChat(4);
    EXPECT_GE(Brightest(40, 88, 300, 108), 0xF0u);  // the chat line two lines below (20, 20) pixels
    EXPECT_GE(Brightest(720, 700, 900, 728), 0xF0u); // "%d人マッチング"
    EXPECT_GE(Brightest(950, 730, 1000, 762), 0xF0u); // three dots after 2400 ms
    EXPECT_LE(Brightest(40, 300, 600, 600), 0x10u);
    // A single line is the newest message's.
    drawChat(1);
    EXPECT_TRUE(ShowsLine(40, 40, GameText("【bob】") + std::string("ready")));
    ExpectDark(Brightest(40, 64, 600, 600), "below the one line");
    // A line of Latin capitals is cut where the box ends.
    Say("bob", std::string(64, 'W'));
    drawChat(1);
    ExpectBright(Brightest(40 + 576 - 24, 40, 40 + 576, 64), "the mark of the cut, at the box's edge");
    ExpectDark(Brightest(40 + 576, 0, 1024, 100), "right of the box");
}

// The notices keep inside their frame (200-824): the beta notice's first
// line, the longest, once ran out of it.
TEST_F(LobbyScreensTest, EveryNoticeStaysInsideItsFrame)
{
    for (LobbyState state : {LOBBY_BETA_NOTICE, LOBBY_SERVICE_CLOSED, LOBBY_WRONG_VERSION, LOBBY_PORT_MAPPING_FAILED,
                             LOBBY_CONNECTION_LOST, LOBBY_ROOM_LOST})
    {
        client.SetState(state);
        Draw();
        const std::string what = "state " + std::to_string(state);
        ExpectBright(Brightest(216, 280, 600, 312), what.c_str());
        ExpectDark(Brightest(820, 264, 1024, 504), what.c_str());
        Keep(("notice-" + std::to_string(state)).c_str());
    }
}

TEST_F(LobbyScreensTest, TheLoginScreenLightsTheRowUnderTheCursorAndTheWaitingMarkDimsIt)
{
    client.SetState(LOBBY_LOGIN);
    StepFades();
    Draw();
    ExpectBright(Brightest(216, 344, 400, 376), "login ID, the cursor's row");
    ExpectHalf(Brightest(216, 408, 380, 440), "password");
    ExpectHalf(Brightest(456, 488, 590, 520), "log in");
    Keep("login");
    {
        auto lock = client.Lock();
        client.GetStateBlock().pane = 2;
    }
    Draw();
    ExpectHalf(Brightest(216, 344, 400, 376), "login ID");
    ExpectBright(Brightest(456, 488, 590, 520), "log in, the cursor's row");

    // Sent: the screen dims under the waiting mark, whose dots count the
    // seconds.
    client.SetState(LOBBY_LOGIN_SENT);
    Draw();
    ExpectHalf(Brightest(456, 488, 590, 520), "log in, dimmed");
    ExpectBright(Brightest(448, 368, 544, 400), "the waiting mark's text");
    ExpectDark(Brightest(548, 368, 600, 400), "no dots in the first second");
    client.Update(2.0f);
    Draw();
    ExpectBright(Brightest(548, 368, 580, 400), "two dots in the third second");
    Keep("login-waiting");
}

TEST_F(LobbyScreensTest, TheRoomEditorLightsItsButtonThenTheNameRow)
{
    StepFades();
    client.OnInput(LOBBY_KEY_LEFT); // the panes wrap: the random match, then the new room
    client.OnInput(LOBBY_KEY_LEFT);
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(client.GetState(), LOBBY_NEW_ROOM_EDITOR);
    Draw();
    ExpectBright(Brightest(440, 144, 584, 176), "the title");
    ExpectBright(Brightest(440, 640, 584, 672), "the button, where the editor opens");
    ExpectHalf(Brightest(200, 248, 330, 274), "the name row");
    ExpectHalf(Brightest(200, 288, 400, 314), "the rank row");
    ExpectHalf(Brightest(590, 288, 690, 314), "the rank band's caption");
    Keep("room-editor");
    client.OnInput(LOBBY_KEY_DOWN); // from the button round to the name
    Draw();
    ExpectBright(Brightest(200, 248, 330, 274), "the name row");
    ExpectHalf(Brightest(440, 640, 584, 672), "the button");
}

TEST_F(LobbyScreensTest, TheRandomMatchEditorLightsItsRowAndItsValue)
{
    StepFades();
    client.OnInput(LOBBY_KEY_LEFT);
    client.OnInput(LOBBY_KEY_DECIDE);
    ASSERT_EQ(client.GetState(), LOBBY_MATCH_EDITOR);
    Draw();
    ExpectBright(Brightest(400, 144, 624, 176), "the title");
    ExpectBright(Brightest(200, 248, 440, 274), "host or client, the cursor's row");
    ExpectBright(Brightest(580, 248, 700, 274), "its value");
    ExpectHalf(Brightest(200, 288, 400, 314), "the rank row");
    ExpectHalf(Brightest(400, 640, 624, 672), "the start button");
    Keep("match-editor");
    client.OnInput(LOBBY_KEY_UP); // wraps to the start button
    Draw();
    ExpectHalf(Brightest(200, 248, 440, 274), "host or client");
    ExpectBright(Brightest(400, 640, 624, 672), "the start button");
}

TEST_F(LobbyScreensTest, TheKeyEditorShowsItsPromptAndTextAndDimsWhileWaiting)
{
    StepFades();
    client.SetState(LOBBY_ROOM_KEY_EDITOR);
    client.GetEditor()->Insert("k1");
    Draw();
    ExpectBright(Brightest(320, 352, 704, 376), "the prompt");
    ExpectBright(Brightest(312, 400, 360, 424), "the key typed");
    ExpectHalf(Brightest(776, 120, 900, 140), "the lobby under it");
    Keep("key-editor");
    client.SetState(LOBBY_ROOM_KEY_SENT);
    Draw();
    ExpectHalf(Brightest(320, 352, 416, 376), "the prompt, dimmed");
    ExpectBright(Brightest(448, 368, 544, 400), "the waiting mark");
}

TEST(LobbyScreenTexts, TheWinRateIsWinsOfAllBattlesAndZeroWithoutBattles)
{
    tag_KVRLOBBYUSERDATA data;
    EXPECT_EQ(CLobbyScreens::WinRateText(data), "0.00");
    data.wins = 3;
    data.losses = 1;
    EXPECT_EQ(CLobbyScreens::WinRateText(data), "0.75");
    data.draws = 4;
    EXPECT_EQ(CLobbyScreens::WinRateText(data), "0.38");
    // Counts as large as the server may send add up without overflowing.
    data.wins = INT32_MAX;
    data.losses = INT32_MAX;
    data.draws = INT32_MAX;
    EXPECT_EQ(CLobbyScreens::WinRateText(data), "0.33");
}

namespace
{
// The same screens for a player logged in to the tests' lobby server.
class LobbyScreensLoggedIn : public LobbyScreensTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        ASSERT_EQ(font.CreateDefault(1024, 1024, "IPAGothic", kFontHeight), 1);
        ASSERT_EQ(texture.CreateRenderTarget(1024, 1024, 0, FORMAT_A8R8G8B8, 1), 1);
        ASSERT_EQ(texture.Fill(0xFF202020), 1);
        const uint16_t port = FreePortOn({"127.0.0.1", "127.0.0.21"});
        ASSERT_NE(port, 0);
        ASSERT_TRUE(server.Start("127.0.0.1", port));
        server.RunInThread();
        ASSERT_TRUE(client.Initialize(&headless.System(), "1.00", "", &graphics, &texture, &font));
        client.SetLobbyHost("127.0.0.1", port);
        client.SetLocalAddress("127.0.0.21");
        client.SetOwnPort(0);
        client.SetLoginId("gina");
        client.SetConnectTimeout(3000);
        ASSERT_TRUE(LogIn(client, "pw"));
        StepFades();
    }

    void TearDown() override
    {
        LobbyScreensTest::TearDown();
        server.Stop();
    }

    void FeedAs(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
    {
        ASSERT_TRUE(Deliver(client, id, sub, payload));
    }

    LobbyTestServer server;
};

std::vector<uint8_t> RoomData(uint32_t id, uint32_t owner)
{
    std::vector<uint8_t> out(734);
    Put32(out, 0, id);
    PutText(out, 4, "Arena", 25);
    Put16(out, 37, 8);
    out[305] = 13;
    Put16(out, 435, 1);
    Put32(out, 437, owner);
    Put32(out, 470, owner);
    return out;
}
} // namespace

TEST_F(LobbyScreensLoggedIn, RoomInfoOpensWithItsEnterButtonLitAndRightLightsTheLineTest)
{
    std::vector<uint8_t> room = RoomData(7, 99);
    PutText(room, 39, std::string(250, 'W'), 256); // a comment longer than its five lines
    FeedAs(1011, 1, std::vector<uint8_t>(room.begin(), room.begin() + 37));
    {
        auto lock = client.Lock();
        client.GetStateBlock().selectedId = 7;
    }
    client.SetState(LOBBY_ROOM_INFO_ASKED);
    FeedAs(1009, 1, room);
    ASSERT_EQ(client.GetState(), LOBBY_ROOM_INFO);
    Draw();
    ExpectBright(Brightest(128, 144, 280, 170), "the room info heading");
    ExpectBright(Brightest(144, 200, 230, 226), "the room's name");
    ExpectBright(Brightest(176, 640, 336, 672), "enter, lit from the start");
    ExpectHalf(Brightest(688, 640, 848, 672), "the line test");
    ExpectBright(Brightest(144, 368, 528, 528), "the comment");
    ExpectDark(Brightest(528, 360, 928, 600), "right of the comment");
    ExpectDark(Brightest(144, 530, 528, 632), "below its five lines");
    Keep("room-info");
    client.OnInput(LOBBY_KEY_RIGHT);
    Draw();
    ExpectHalf(Brightest(176, 640, 336, 672), "enter");
    ExpectBright(Brightest(688, 640, 848, 672), "the line test, lit by right");
}

TEST_F(LobbyScreensLoggedIn, UserInfoShowsTheRecordWithItsWinRate)
{
    std::vector<uint8_t> entry(33);
    Put32(entry, 0, 5);
    PutText(entry, 4, "dora", 25);
    Put32(entry, 29, 30);
    FeedAs(1012, 1, entry);
    std::vector<uint8_t> data(314);
    Put32(data, 0, 5);
    PutText(data, 4, "dora", 25);
    Put32(data, 29, 30);
    // A comment whose long word follows a lone "\r" (it once ran out of the
    // frame at the right), too long for the lines above the record.
    PutText(data, 37, "one\r" + std::string(200, 'w'), 257);
    Put32(data, 294, 3);
    Put32(data, 298, 1);
    {
        auto lock = client.Lock();
        client.GetStateBlock().selectedId = 5;
    }
    client.SetState(LOBBY_USER_INFO_ASKED);
    FeedAs(1015, 1, data);
    ASSERT_EQ(client.GetState(), LOBBY_USER_INFO);
    Draw();
    ExpectBright(Brightest(344, 160, 420, 186), "the name");
    ExpectBright(Brightest(344, 544, 400, 570), "the win rate's label");
    ExpectBright(Brightest(688, 544, 760, 570), "the win rate");
    ExpectBright(Brightest(344, 200, 780, 290), "the comment");
    ExpectDark(Brightest(792, 200, 1024, 290), "beside the frame");
    ExpectDark(Brightest(570, 296, 680, 320), "no fifth line of the comment, beside the rank");
    ExpectDark(Brightest(688, 616, 780, 636), "nothing below the points");
    Keep("user-info");
    ExpectHalf(Brightest(776, 120, 792, 140), "the lobby under it");
}

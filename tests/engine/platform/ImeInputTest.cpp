#include "engine/core/ShiftJisText.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/ImeMessages.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/SdlTextInput.h"
#include "engine/platform/sdl/SdlWindow.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// Shift-JIS texts of the tests.
const std::string HIRAGANA_A = "\x82\xA0";                       // あ
const std::string KANA_KANJI = "\x82\xA9\x82\xF1\x82\xB6";       // かんじ
const std::string KANJI = "\x8A\xBF\x8E\x9A";                    // 漢字

CImeInput* g_editor = nullptr;
std::vector<uint32_t> g_unconsumed;

// The application's window procedure, as far as the editor is concerned:
// every message goes to the editor first.
LResult Procedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    if (g_editor != nullptr && g_editor->OnMessage(window, id, wParam, lParam))
        return 0;
    g_unconsumed.push_back(id);
    return 0;
}

std::string Utf8(const std::string& shiftJis)
{
    return ConvertShiftJisToUtf8(shiftJis);
}

// An SDL window whose events reach the editor through the message queue;
// the input method's events are pushed into SDL's queue as an input method
// would deliver them.
class ImeInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0')
            setenv("SDL_VIDEODRIVER", "offscreen", 0);
        g_unconsumed.clear();
        ASSERT_TRUE(window.Create("ime", WindowBounds{0, 0, 160, 120}, WindowFrame{}));
        ASSERT_EQ(editor.Create(260), 1);
        g_editor = &editor;
        // The editor learns its window from the first message it sees.
        MessageQueue::Send(&window, MSG_NULL, 0, 0);
        editor.SetEnable(1);
    }

    void TearDown() override
    {
        g_editor = nullptr;
        editor.Release();
        MessageQueue::Clear();
    }

    void Pump()
    {
        Message message;
        for (int round = 0; round < 4; ++round)
        {
            for (int i = 0; i < 1000 && MessageQueue::Peek(message); ++i)
                MessageQueue::Dispatch(message);
        }
    }

    void PushText(const std::string& utf8)
    {
        SDL_Event event = {};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = window.GetWindowId();
        ASSERT_LT(utf8.size(), sizeof(event.text.text));
        std::memcpy(event.text.text, utf8.c_str(), utf8.size() + 1);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void PushEditing(const std::string& utf8, int start, int length)
    {
        SDL_Event event = {};
        event.type = SDL_TEXTEDITING;
        event.edit.windowID = window.GetWindowId();
        ASSERT_LT(utf8.size(), sizeof(event.edit.text));
        std::memcpy(event.edit.text, utf8.c_str(), utf8.size() + 1);
        event.edit.start = start;
        event.edit.length = length;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void PushKey(SDL_Keycode key)
    {
        SDL_Event event = {};
        event.type = SDL_KEYDOWN;
        event.key.windowID = window.GetWindowId();
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void Type(const std::string& utf8)
    {
        PushText(utf8);
        Pump();
    }

    SdlWindow window{&Procedure};
    CImeInput editor;
};

TEST_F(ImeInputTest, TypedTextGoesInAtTheCaret)
{
    Type("ab");
    EXPECT_EQ(editor.GetTextString(), "ab");
    PushKey(SDLK_LEFT);
    Pump();
    EXPECT_EQ(editor.GetCaret(), 1);
    Type(Utf8(HIRAGANA_A));
    EXPECT_EQ(editor.GetTextString(), "a" + HIRAGANA_A + "b");
    EXPECT_EQ(editor.GetCaret(), 3);
    // Typing outside a composition leaves no composition behind.
    EXPECT_EQ(editor.IsComposing(), 0u);
    // Keys the editor does not use are still swallowed while it is enabled.
    PushKey(SDLK_ESCAPE);
    Pump();
    for (uint32_t id : g_unconsumed)
        EXPECT_NE(id, static_cast<uint32_t>(MSG_KEYDOWN));
}

TEST_F(ImeInputTest, CompositionMarksTheSelectedClause)
{
    Type("x");
    // "かんじ" with the caret after "か" and "んじ" selected.
    PushEditing(Utf8(KANA_KANJI), 1, 2);
    Pump();
    EXPECT_EQ(editor.IsComposing(), 1u);
    EXPECT_EQ(editor.GetCompositionString(), KANA_KANJI);
    EXPECT_EQ(editor.GetAttributeString(), std::string("\0\0\1\1\1\1", 6));
    EXPECT_EQ(editor.GetLength(), 1u + 6u);
    EXPECT_EQ(editor.GetTextString(), "x");

    // Committing: the result goes in at the caret, the composition ends.
    PushText(Utf8(KANJI));
    PushEditing("", 0, 0);
    Pump();
    EXPECT_EQ(editor.GetTextString(), "x" + KANJI);
    EXPECT_EQ(editor.GetCompositionLength(), 0u);
    EXPECT_EQ(editor.IsComposing(), 0u);
}

TEST_F(ImeInputTest, BackspaceAfterADoubleByteCharacterRemovesBothBytes)
{
    Type(Utf8("a" + HIRAGANA_A));
    ASSERT_EQ(editor.GetTextString(), "a" + HIRAGANA_A);
    PushKey(SDLK_BACKSPACE);
    Pump();
    EXPECT_EQ(editor.GetTextString(), "a");
    EXPECT_EQ(editor.GetCaret(), 1);
    PushKey(SDLK_LEFT);
    PushKey(SDLK_DELETE);
    Pump();
    EXPECT_EQ(editor.GetTextString(), "");
}

TEST_F(ImeInputTest, TheLengthLimitTakesWholeInsertionsOrNothing)
{
    editor.SetLimits(1, 0.0f, 10);
    for (char c = '1'; c <= '9' + 2; ++c)
        Type(std::string(1, c));
    // Strictly below characters per line x lines: nine bytes.
    EXPECT_EQ(editor.GetTextString(), "123456789");

    editor.SetText("12345678");
    // A double-byte character would make ten bytes: nothing of it goes in.
    Type(Utf8(HIRAGANA_A));
    EXPECT_EQ(editor.GetTextString(), "12345678");
    // Nor does a result string that would cross the limit.
    editor.SetText("1234567");
    Type("abc");
    EXPECT_EQ(editor.GetTextString(), "1234567");
    Type("a");
    EXPECT_EQ(editor.GetTextString(), "1234567a");
}

TEST_F(ImeInputTest, ResultsAndCompositionsStayInsideSmallBuffers)
{
    ASSERT_EQ(editor.Create(6), 1);
    editor.SetEnable(1);
    // Four double-byte characters: only the two whole ones that fit.
    PushEditing(Utf8("\x82\xA0\x82\xA2\x82\xA4\x82\xA6"), 0, 0);
    Pump();
    EXPECT_EQ(editor.GetCompositionString(), "\x82\xA0\x82\xA2");
    PushEditing("", 0, 0);
    // A result longer than the buffer is not cut: it is not taken at all.
    Type("abcdefgh");
    EXPECT_EQ(editor.GetTextString(), "");
    Type("abc");
    EXPECT_EQ(editor.GetTextString(), "abc");
    char out[4];
    editor.GetText(out, sizeof(out));
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(editor.GetTextString(), "");
}

TEST_F(ImeInputTest, TextWithoutAShiftJisFormIsSkippedCharacterByCharacter)
{
    // U+1F600 has no CP932 form; 0xFF can start no UTF-8 sequence.
    Type("a\xF0\x9F\x98\x80" "b\xFF" "c");
    EXPECT_EQ(editor.GetTextString(), "abc");
}

TEST_F(ImeInputTest, EnterAndShiftEnter)
{
    PushKey(SDLK_RETURN);
    SDL_SetModState(KMOD_LSHIFT);
    PushKey(SDLK_RETURN);
    Pump();
    SDL_SetModState(KMOD_NONE);
    // Single-line: neither Enter inserts anything.
    EXPECT_EQ(editor.GetTextString(), "");

    editor.SetLimits(3, 20.0f, 100);
    Type("a");
    SDL_SetModState(KMOD_LSHIFT);
    PushKey(SDLK_RETURN);
    PushKey(SDLK_RETURN);
    PushKey(SDLK_RETURN);
    Pump();
    SDL_SetModState(KMOD_NONE);
    // Three lines at most: two line feeds.
    EXPECT_EQ(editor.GetTextString(), "a\n\n");
    EXPECT_EQ(editor.CountLines(1), 2);
    PushKey(SDLK_RETURN);
    Pump();
    EXPECT_EQ(editor.GetTextString(), "a\n\n");
}

TEST_F(ImeInputTest, CaretMovesByCharacters)
{
    editor.SetText(("a" + HIRAGANA_A + "b").c_str());
    EXPECT_EQ(editor.GetCaret(), 4);
    editor.MoveCaret(1);
    EXPECT_EQ(editor.GetCaret(), 4);
    editor.MoveCaret(-1);
    EXPECT_EQ(editor.GetCaret(), 3);
    editor.MoveCaret(-1);
    EXPECT_EQ(editor.GetCaret(), 1);
    editor.MoveCaret(-100000);
    EXPECT_EQ(editor.GetCaret(), 0);
    editor.MoveCaret(2);
    EXPECT_EQ(editor.GetCaret(), 3);
    editor.MoveCaret(INT32_MIN);
    EXPECT_EQ(editor.GetCaret(), 0);
    editor.SetLimits(2, 0.0f, 3);
    editor.SetText("ab\ncdef");
    EXPECT_EQ(editor.GetLineStart(1), 6);
    EXPECT_EQ(editor.GetCaretColumn(1), 1);
}

TEST_F(ImeInputTest, GetTextOfAnEmptyEditorIsEmpty)
{
    char out[260];
    std::memset(out, 'x', sizeof(out));
    editor.GetText(out);
    EXPECT_STREQ(out, "");
}

TEST_F(ImeInputTest, ADisabledEditorConsumesNothingAndForgetsItsText)
{
    Type("abc");
    editor.SetEnable(0);
    EXPECT_EQ(editor.GetTextString(), "");
    EXPECT_FALSE(SdlTextInput::IsStarted());
    EXPECT_EQ(editor.OnMessage(&window, MSG_KEYDOWN, VKEY_BACK, 0), 0);
    EXPECT_EQ(editor.OnMessage(&window, MSG_IME_COMPOSITION, IME_RESULTSTR, 0), 0);
    editor.SetEnable(1);
    EXPECT_TRUE(SdlTextInput::IsStarted());
    EXPECT_EQ(editor.OnMessage(&window, MSG_CHAR, 'q', 0), 1);
    EXPECT_EQ(editor.OnMessage(&window, MSG_CHAR, 0x82, 0), 1);
    EXPECT_EQ(editor.OnMessage(&window, MSG_CLOSE, 0, 0), 0);
    EXPECT_EQ(editor.GetTextString(), "q");
}

TEST_F(ImeInputTest, CandidateListIsEmptyOnThisPlatform)
{
    editor.GetCandidateList(&window);
    EXPECT_EQ(editor.HasCandidateList(), 0u);
}

// Every hiragana of JIS X 0208 row 4 (0x829F-0x82F1) survives the trip
// from the input method's UTF-8 into the editor's Shift-JIS.
TEST_F(ImeInputTest, HiraganaRowRoundTrips)
{
    std::string all;
    for (int trail = 0x9F; trail <= 0xF1; ++trail)
    {
        const char character[2] = {'\x82', static_cast<char>(trail)};
        EXPECT_EQ(ShiftJisToCodePoint(character, 2), 0x3041u + (trail - 0x9F)) << trail;
        all.append(character, 2);
    }
    for (size_t at = 0; at < all.size(); at += 20)
        Type(Utf8(all.substr(at, 20)));
    EXPECT_EQ(editor.GetTextString(), all);
}
}

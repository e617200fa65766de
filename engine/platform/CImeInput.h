#pragma once

#include "engine/platform/message/Message.h"
#include "engine/platform/SdlTextInput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CFontTexture;
struct LineBreak;

// A small text editor fed from window messages: one line (or a few) of
// Shift-JIS text with a caret, typed characters, Backspace, Delete, the
// arrow keys, Shift+Enter, and the input method's composition and results
// (through SdlTextInput). Every public operation takes the object's own
// lock, so network threads may read and set the text while the window
// procedure edits it.
//
// The application's window procedure offers every message to the attached
// editor first: OnMessage returns 1 when it consumed the message, and the
// procedure then returns 0 without handling it further.
class CImeInput
{
public:
    CImeInput();
    virtual ~CImeInput();
    CImeInput(const CImeInput&) = delete;
    CImeInput& operator=(const CImeInput&) = delete;

    virtual const char* GetClassName() const { return "CImeInput"; }

    // Five buffers of size bytes; characters per line = size, line limit 1.
    // Starts listening to the input method's events. 1/0.
    int Create(uint32_t size);
    void Release();
    void Reset();

    // Enabling starts the input method's text input, disabling stops it
    // and empties the editor.
    void SetEnable(uint32_t enable);
    uint32_t IsEnable();
    void SetLimits(int32_t lines, float lineSpacing, int32_t charsPerLine);
    void SetMaxLength(int32_t charsPerLine);
    void SetMultiLine(uint32_t multiLine);
    void SetCompositionFlag(uint32_t composing);
    uint32_t IsComposing();
    void SetFont(CFontTexture* font);
    // Besides the length limit, the editor makes no edit (a character put
    // in or deleted) after which its whole text fails fits (the box it is
    // drawn in is full); null: no check. Disabling the editor drops the
    // check.
    using FitCheck = std::function<bool(const char* text)>;
    void SetFitCheck(FitCheck fits);
    // The box DrawInBox sets the text in: width units wide at scale 1 (0:
    // any), for text of the size (0: the font's height), its lines the line
    // limit. Lines break as the font's wrapped text does (Latin words whole,
    // Japanese between characters, a new line after the characters per
    // line), and the caret's width stays free at a line's end. The box is
    // also the editor's fit check: an edit after which the text needs more
    // lines is refused. Disabling the editor drops the box. (Defined with
    // the drawing, which measures with the font.)
    void SetBox(float width, uint32_t size);

    // Null clears everything. Only whole characters that fit are taken.
    void SetText(const char* text);
    // Copies the text out (at most outSize bytes with the NUL) and empties
    // the editor. The form without a size expects a buffer of the editor's
    // buffer size.
    void GetText(char* out, uint32_t outSize);
    void GetText(char* out);
    uint32_t GetLength();
    uint32_t GetCompositionLength();
    int32_t GetCaret();
    uint32_t GetBufferSize();
    // Copies of the buffers, for display and tests.
    std::string GetTextString();
    std::string GetCompositionString();
    std::string GetAttributeString();

    // Editing; all respect the length limit (characters per line x line
    // limit, and the buffer size) and never split a double-byte character.
    int Insert(const char* text);
    void Backspace();
    void Delete();
    void MoveCaret(int32_t delta);
    void OnChar(uint8_t code);
    void OnComposition(WindowHandle window, uint32_t flags);
    void GetCandidateList(WindowHandle window);
    void ClearCandidateList();
    uint32_t HasCandidateList();

    // lock 0 when the caller already holds the editor's lock.
    int32_t CountLines(uint32_t lock);
    int32_t GetLineStart(uint32_t lock);
    int32_t GetCaretColumn(uint32_t lock);

    // The window procedure's entry: 1 when the message was consumed.
    int OnMessage(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);
    WindowHandle GetWindow();

    // Drawing through the font (nothing without one or while disabled).
    // Without a size the font's own height is used.
    void Draw(float x, float y, uint32_t size, float scale, uint32_t color);
    void Draw(float x, float y, float scale, uint32_t color);
    void DrawWrapped(float x, float y, uint32_t size, float scale, uint32_t color);
    void DrawWrapped(float x, float y, float scale, uint32_t color);
    // wrapX > 0 also breaks lines before a glyph that would pass it.
    void DrawWrappedEx(float x, float y, uint32_t size, float scale, uint32_t color, float wrapX);
    void DrawWrappedEx(float x, float y, float scale, uint32_t color, float wrapX);
    // The text in its box from (x, y) in pixels, its layout scaled by
    // scale: the lines the fit check counts, wherever the caret is, with a
    // composition in its place. When they are more than the box holds (a
    // composition at the end of a full box, a text set from outside), the
    // box shows its lines up to the composition's end or the caret.
    void DrawInBox(float x, float y, float scale, uint32_t color);

    static constexpr uint32_t kDefaultBufferSize = 260;
    static constexpr uint32_t kClauseColor = 0x800000FF;

private:
    using Guard = std::lock_guard<std::recursive_mutex>;

    bool AllocateBuffers(uint32_t size);
    void FreeBuffers();
    void ClearBuffers();
    void Resplit();
    int InsertLocked(const char* text);
    void MoveLeft();
    void MoveRight();
    // False when nothing was deleted (the caret at the end, or a refusal).
    bool DeleteAtCaret();
    void StartTextInput();
    void StopTextInput();
    void DrawWrappedImpl(float x, float y, uint32_t size, float scale, uint32_t color, float wrapX);
    // The width the box's lines may take, the caret's kept free; 0: no box.
    float BoxTextWidth();
    // The breaks of text in lines width units wide (0: any) at the size.
    void FindBreaks(const std::string& text, float width, uint32_t size, std::vector<LineBreak>* breaks);
    // The whole text, the composition at the caret, laid out once in lines
    // width units wide and drawn from (x, y); at most shownLines of them
    // (0: all).
    void DrawLaidOut(float x, float y, uint32_t size, float scale, uint32_t color, float width, size_t shownLines);
    void TargetClause(uint32_t* start, uint32_t* length) const;

    int32_t m_caret = 0;
    uint32_t m_bufferSize = 0;
    int32_t m_charsPerLine = 0;
    int32_t m_lineLimit = 1;
    char* m_text = nullptr;
    char* m_before = nullptr;
    char* m_after = nullptr;
    char* m_composition = nullptr;
    char* m_attributes = nullptr;
    uint32_t m_enabled = 0;
    uint32_t m_multiLine = 0;
    uint32_t m_composing = 0;
    float m_lineSpacing = 0.0f;
    float m_boxWidth = 0.0f;
    uint32_t m_boxTextSize = 0;
    std::unique_ptr<ImeCandidateList> m_candidates;
    std::recursive_mutex m_lock;
    CFontTexture* m_font = nullptr;
    FitCheck m_fits;
    WindowHandle m_window = nullptr;
    bool m_listening = false;
};

#include "engine/platform/CImeInput.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/ShiftJisText.h"
#include "engine/platform/ImeMessages.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// The largest result string the editor reads at once.
constexpr uint32_t MAX_RESULT_BYTES = 258;

// Bytes of the whole characters at the start of text that fit in limit.
size_t WholeCharacters(const char* text, size_t limit)
{
    size_t length = 0;
    while (const size_t step = ShiftJisCharLength(text + length))
    {
        if (length + step > limit)
            break;
        length += step;
    }
    return length;
}

bool ShiftHeld()
{
    return (SDL_GetModState() & KMOD_SHIFT) != 0;
}
}

CImeInput::CImeInput() = default;

CImeInput::~CImeInput()
{
    Release();
}

// ---------------------------------------------------------------------------
// Life cycle

bool CImeInput::AllocateBuffers(uint32_t size)
{
    char** buffers[] = {&m_text, &m_before, &m_after, &m_composition, &m_attributes};
    for (char** buffer : buffers)
    {
        *buffer = static_cast<char*>(AlignedAlloc(size, 16));
        if (*buffer == nullptr)
        {
            FreeBuffers();
            return false;
        }
    }
    m_bufferSize = size;
    return true;
}

void CImeInput::FreeBuffers()
{
    char** buffers[] = {&m_text, &m_before, &m_after, &m_composition, &m_attributes};
    for (char** buffer : buffers)
    {
        AlignedFree(*buffer);
        *buffer = nullptr;
    }
    m_bufferSize = 0;
}

void CImeInput::ClearBuffers()
{
    if (m_text == nullptr)
        return;
    char* buffers[] = {m_text, m_before, m_after, m_composition, m_attributes};
    for (char* buffer : buffers)
        std::memset(buffer, 0, m_bufferSize);
    m_caret = 0;
}

int CImeInput::Create(uint32_t size)
{
    Guard guard(m_lock);
    if (size == 0 || size > static_cast<uint32_t>(INT32_MAX))
        return 0;
    FreeBuffers();
    if (!AllocateBuffers(size))
        return 0;
    m_charsPerLine = static_cast<int32_t>(size);
    m_lineLimit = 1;
    m_caret = 0;
    if (!m_listening)
    {
        SdlTextInput::Acquire();
        m_listening = true;
    }
    return 1;
}

void CImeInput::Release()
{
    Guard guard(m_lock);
    if (m_enabled)
        StopTextInput();
    m_enabled = 0;
    FreeBuffers();
    m_candidates.reset();
    if (m_listening)
    {
        SdlTextInput::Release();
        m_listening = false;
    }
}

void CImeInput::Reset()
{
    Guard guard(m_lock);
    if (m_text == nullptr && !AllocateBuffers(kDefaultBufferSize))
        return;
    ClearBuffers();
    m_charsPerLine = static_cast<int32_t>(m_bufferSize);
    m_lineLimit = 1;
    m_candidates.reset();
    if (!m_listening)
    {
        SdlTextInput::Acquire();
        m_listening = true;
    }
}

// ---------------------------------------------------------------------------
// Settings

void CImeInput::StartTextInput()
{
    SdlTextInput::Start(m_window);
}

void CImeInput::StopTextInput()
{
    SdlTextInput::Stop();
}

void CImeInput::SetEnable(uint32_t enable)
{
    Guard guard(m_lock);
    m_enabled = enable;
    if (enable)
    {
        StartTextInput();
        return;
    }
    ClearBuffers();
    StopTextInput();
    m_fits = nullptr;
    m_boxWidth = 0.0f;
    m_boxTextSize = 0;
}

uint32_t CImeInput::IsEnable()
{
    Guard guard(m_lock);
    return m_enabled;
}

void CImeInput::SetLimits(int32_t lines, float lineSpacing, int32_t charsPerLine)
{
    Guard guard(m_lock);
    m_lineLimit = lines;
    m_multiLine = lines > 1 ? 1 : 0;
    m_lineSpacing = lineSpacing;
    if (charsPerLine < static_cast<int64_t>(m_bufferSize))
        m_charsPerLine = charsPerLine;
}

void CImeInput::SetMaxLength(int32_t charsPerLine)
{
    Guard guard(m_lock);
    if (charsPerLine < static_cast<int64_t>(m_bufferSize))
        m_charsPerLine = charsPerLine;
}

void CImeInput::SetMultiLine(uint32_t multiLine)
{
    Guard guard(m_lock);
    m_multiLine = multiLine;
    if (!multiLine)
        m_lineLimit = 1;
}

void CImeInput::SetCompositionFlag(uint32_t composing)
{
    Guard guard(m_lock);
    m_composing = composing;
}

uint32_t CImeInput::IsComposing()
{
    Guard guard(m_lock);
    return m_composing;
}

void CImeInput::SetFont(CFontTexture* font)
{
    Guard guard(m_lock);
    m_font = font;
}

void CImeInput::SetFitCheck(FitCheck fits)
{
    Guard guard(m_lock);
    m_fits = std::move(fits);
}

// ---------------------------------------------------------------------------
// Text

void CImeInput::Resplit()
{
    const size_t length = std::strlen(m_text);
    const size_t caret = std::min(static_cast<size_t>(std::max(m_caret, 0)), length);
    m_caret = static_cast<int32_t>(caret);
    std::memcpy(m_before, m_text, caret);
    m_before[caret] = 0;
    std::memcpy(m_after, m_text + caret, length - caret + 1);
}

void CImeInput::SetText(const char* text)
{
    Guard guard(m_lock);
    if (m_text == nullptr)
        return;
    ClearBuffers();
    if (text == nullptr)
        return;
    const size_t length = WholeCharacters(text, m_bufferSize - 1);
    std::memcpy(m_text, text, length);
    m_text[length] = 0;
    m_caret = static_cast<int32_t>(length);
    Resplit();
}

void CImeInput::GetText(char* out, uint32_t outSize)
{
    Guard guard(m_lock);
    if (out == nullptr || outSize == 0)
        return;
    const size_t length = m_text != nullptr ? WholeCharacters(m_text, outSize - 1) : 0;
    if (length > 0)
        std::memcpy(out, m_text, length);
    out[length] = 0;
    if (m_text == nullptr)
        return;
    m_text[0] = 0;
    m_before[0] = 0;
    m_after[0] = 0;
    std::memset(m_composition, 0, m_bufferSize);
    m_caret = 0;
}

void CImeInput::GetText(char* out)
{
    Guard guard(m_lock);
    GetText(out, m_bufferSize > 0 ? m_bufferSize : 1);
}

uint32_t CImeInput::GetLength()
{
    Guard guard(m_lock);
    if (m_text == nullptr)
        return 0;
    return static_cast<uint32_t>(std::strlen(m_text) + std::strlen(m_composition));
}

uint32_t CImeInput::GetCompositionLength()
{
    Guard guard(m_lock);
    return m_composition != nullptr ? static_cast<uint32_t>(std::strlen(m_composition)) : 0;
}

int32_t CImeInput::GetCaret()
{
    Guard guard(m_lock);
    return m_caret;
}

uint32_t CImeInput::GetBufferSize()
{
    Guard guard(m_lock);
    return m_bufferSize;
}

std::string CImeInput::GetTextString()
{
    Guard guard(m_lock);
    return m_text != nullptr ? std::string(m_text) : std::string();
}

std::string CImeInput::GetCompositionString()
{
    Guard guard(m_lock);
    return m_composition != nullptr ? std::string(m_composition) : std::string();
}

std::string CImeInput::GetAttributeString()
{
    Guard guard(m_lock);
    if (m_composition == nullptr)
        return std::string();
    return std::string(m_attributes, std::strlen(m_composition));
}

// ---------------------------------------------------------------------------
// Editing (the lock is held by the public entries)

int CImeInput::InsertLocked(const char* text)
{
    if (m_text == nullptr || text == nullptr)
        return 0;
    if (m_caret < 0 || static_cast<uint32_t>(m_caret) >= m_bufferSize)
        return 0;
    // A cut double-byte character at the end is not inserted.
    const size_t insert = WholeCharacters(text, m_bufferSize);
    const size_t length = std::strlen(m_text);
    const int64_t limit = static_cast<int64_t>(m_charsPerLine) * m_lineLimit;
    if (static_cast<int64_t>(insert + length) >= limit || insert + length + 1 > m_bufferSize)
        return 0;
    if (insert == 0)
        return 1;
    if (m_fits)
    {
        const std::string whole = std::string(m_text, m_caret) + std::string(text, insert) + (m_text + m_caret);
        if (!m_fits(whole.c_str()))
            return 0;
    }
    std::memmove(m_text + m_caret + insert, m_text + m_caret, length - m_caret + 1);
    std::memcpy(m_text + m_caret, text, insert);
    m_caret += static_cast<int32_t>(insert);
    Resplit();
    return 1;
}

int CImeInput::Insert(const char* text)
{
    Guard guard(m_lock);
    return InsertLocked(text);
}

void CImeInput::MoveRight()
{
    const int32_t length = static_cast<int32_t>(std::strlen(m_text));
    if (m_caret >= length)
    {
        m_caret = length;
        return;
    }
    const size_t step = ShiftJisCharLength(m_text + m_caret);
    m_caret = std::min(length, m_caret + static_cast<int32_t>(step > 0 ? step : 1));
}

void CImeInput::MoveLeft()
{
    if (m_caret < 2)
    {
        m_caret = 0;
        return;
    }
    int32_t at = 0;
    while (at < m_caret)
    {
        const size_t step = ShiftJisCharLength(m_text + at);
        const int32_t next = at + static_cast<int32_t>(step > 0 ? step : 1);
        if (next >= m_caret)
            break;
        at = next;
    }
    m_caret = at;
}

bool CImeInput::DeleteAtCaret()
{
    const size_t length = std::strlen(m_text);
    if (static_cast<size_t>(m_caret) >= length)
        return false;
    const size_t step = ShiftJisCharLength(m_text + m_caret);
    const size_t remove = std::min(step > 0 ? step : 1, length - m_caret);
    // Taking a character out can join two words into one too long for its
    // line, which then moves whole to the next: text that fits its lines
    // keeps fitting, or the deletion is refused. Text that already failed
    // the check (set from outside) may always get shorter.
    if (m_fits)
    {
        const std::string after = std::string(m_text, m_caret) + (m_text + m_caret + remove);
        if (m_fits(m_text) && !m_fits(after.c_str()))
            return false;
    }
    std::memmove(m_text + m_caret, m_text + m_caret + remove, length - m_caret - remove + 1);
    Resplit();
    return true;
}

void CImeInput::Backspace()
{
    Guard guard(m_lock);
    if (m_text == nullptr || m_caret <= 0)
        return;
    const int32_t caret = m_caret;
    MoveLeft();
    if (DeleteAtCaret())
        return;
    m_caret = caret;
    Resplit();
}

void CImeInput::Delete()
{
    Guard guard(m_lock);
    if (m_text == nullptr)
        return;
    DeleteAtCaret();
}

void CImeInput::MoveCaret(int32_t delta)
{
    Guard guard(m_lock);
    if (m_text == nullptr || delta == 0)
        return;
    const int64_t length = static_cast<int64_t>(std::strlen(m_text));
    const int64_t steps = std::llabs(static_cast<int64_t>(delta));
    const int64_t target = static_cast<int64_t>(m_caret) + delta;
    if (steps < m_bufferSize && target >= 1 && target < length)
    {
        for (int64_t i = 0; i < steps; ++i)
        {
            if (delta > 0)
                MoveRight();
            else
                MoveLeft();
        }
    }
    else
        m_caret = delta >= 0 ? static_cast<int32_t>(length) : 0;
    Resplit();
}

void CImeInput::OnChar(uint8_t code)
{
    Guard guard(m_lock);
    if ((code < 32 && code != '\n') || code >= 127)
        return;
    if (code == '\n' && !(m_multiLine && CountLines(0) + 1 < m_lineLimit))
        return;
    const char text[2] = {static_cast<char>(code), 0};
    InsertLocked(text);
}

void CImeInput::OnComposition(WindowHandle window, uint32_t flags)
{
    Guard guard(m_lock);
    (void)window;
    if (m_text == nullptr)
        return;
    if (flags & IME_RESULTSTR)
    {
        std::memset(m_composition, 0, m_bufferSize);
        std::string result;
        // A result too long for the composition buffer is dropped whole,
        // never cut (a cut could split a double-byte character).
        const uint32_t room = std::min(m_bufferSize > 2 ? m_bufferSize - 2 : 0, MAX_RESULT_BYTES);
        if (SdlTextInput::TakeResult(&result) && result.size() <= room)
        {
            std::memcpy(m_composition, result.data(), result.size());
            m_composing = 1;
            InsertLocked(m_composition);
        }
        std::memset(m_composition, 0, m_bufferSize);
        std::memset(m_attributes, 0, m_bufferSize);
    }
    else if (flags & IME_COMPSTR)
    {
        std::memset(m_composition, 0, m_bufferSize);
        const ImeComposition composition = SdlTextInput::GetComposition();
        const size_t length = WholeCharacters(composition.text.c_str(), m_bufferSize - 1);
        std::memcpy(m_composition, composition.text.data(), length);
        m_composing = 1;
    }
    if (flags & IME_COMPATTR)
    {
        std::memset(m_attributes, 0, m_bufferSize);
        const ImeComposition composition = SdlTextInput::GetComposition();
        const size_t length = std::min(composition.attributes.size(), static_cast<size_t>(m_bufferSize - 1));
        std::memcpy(m_attributes, composition.attributes.data(), length);
        m_composing = 1;
    }
    if (flags == 0)
    {
        std::memset(m_composition, 0, m_bufferSize);
        std::memset(m_attributes, 0, m_bufferSize);
        m_composing = 0;
    }
}

void CImeInput::GetCandidateList(WindowHandle window)
{
    Guard guard(m_lock);
    (void)window;
    m_candidates.reset();
    ImeCandidateList list = SdlTextInput::GetCandidates();
    if (!list.candidates.empty())
        m_candidates = std::make_unique<ImeCandidateList>(std::move(list));
}

void CImeInput::ClearCandidateList()
{
    Guard guard(m_lock);
    m_candidates.reset();
}

uint32_t CImeInput::HasCandidateList()
{
    Guard guard(m_lock);
    return m_candidates ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Lines

int32_t CImeInput::CountLines(uint32_t lock)
{
    std::unique_lock<std::recursive_mutex> guard(m_lock, std::defer_lock);
    if (lock)
        guard.lock();
    if (m_text == nullptr)
        return 0;
    int32_t lines = 0;
    int32_t column = 0;
    for (const char* part : {static_cast<const char*>(m_text), static_cast<const char*>(m_composition)})
    {
        for (size_t at = 0, step = 0; (step = ShiftJisCharLength(part + at)) != 0; at += step)
        {
            if (column >= m_charsPerLine)
            {
                ++lines;
                column = 0;
            }
            if (part[at] == '\n')
            {
                ++lines;
                column = 0;
                continue;
            }
            column += static_cast<int32_t>(step);
        }
    }
    return lines;
}

int32_t CImeInput::GetLineStart(uint32_t lock)
{
    std::unique_lock<std::recursive_mutex> guard(m_lock, std::defer_lock);
    if (lock)
        guard.lock();
    if (m_text == nullptr)
        return 0;
    int32_t start = 0;
    int32_t column = 0;
    for (size_t at = 0, step = 0; static_cast<int32_t>(at) < m_caret && (step = ShiftJisCharLength(m_text + at)) != 0;
         at += step)
    {
        if (column >= m_charsPerLine)
        {
            start = static_cast<int32_t>(at);
            column = 0;
        }
        if (m_text[at] == '\n')
        {
            start = static_cast<int32_t>(at + 1);
            column = 0;
            continue;
        }
        column += static_cast<int32_t>(step);
    }
    return start;
}

int32_t CImeInput::GetCaretColumn(uint32_t lock)
{
    std::unique_lock<std::recursive_mutex> guard(m_lock, std::defer_lock);
    if (lock)
        guard.lock();
    return m_caret - GetLineStart(0);
}

// ---------------------------------------------------------------------------
// Messages

WindowHandle CImeInput::GetWindow()
{
    Guard guard(m_lock);
    return m_window;
}

int CImeInput::OnMessage(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    Guard guard(m_lock);
    m_window = window;
    if (!m_enabled)
        return 0;
    switch (id)
    {
    case MSG_IME_STARTCOMPOSITION:
    case MSG_IME_NOTIFY:
        return 1;
    case MSG_IME_COMPOSITION:
        OnComposition(window, static_cast<uint32_t>(lParam));
        return 1;
    case MSG_CHAR:
        OnChar(static_cast<uint8_t>(wParam & 0xFF));
        return 1;
    case MSG_KEYDOWN:
        switch (wParam)
        {
        case VKEY_BACK:
            Backspace();
            break;
        case VKEY_RETURN:
            if (ShiftHeld())
                OnChar('\n');
            break;
        case VKEY_LEFT:
            MoveCaret(-1);
            break;
        case VKEY_RIGHT:
            MoveCaret(1);
            break;
        case VKEY_DELETE:
            Delete();
            break;
        default:
            break;
        }
        return 1;
    default:
        return 0;
    }
}

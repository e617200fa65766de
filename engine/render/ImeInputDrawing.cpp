// CImeInput's drawing, and the box it draws in, whose fit check lays the
// text out as the drawing does. The editor lives with the platform layer,
// but it draws and measures through the font texture of the render layer;
// keeping these member functions in the render library lets programs that
// never draw the editor link the platform library alone.
#include "engine/platform/CImeInput.h"
#include "engine/core/ShiftJisText.h"
#include "engine/platform/ImeMessages.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/LineBreaks.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// A character's pen advance at the size in units of scale 1, as the wrapped
// text measures it; one that can't be measured takes no room, as the font
// draws nothing for it.
CharWidth AdvanceOf(CFontTexture* font, uint32_t size)
{
    return [font, size](const char* character, size_t length) {
        return std::max(font->GetCharAdvance(character, length, size, 1.0f), 0.0f);
    };
}

// The advances of length bytes of text; a carriage return takes no room.
float TextWidth(const char* text, size_t length, const CharWidth& advance)
{
    float width = 0.0f;
    for (size_t at = 0, step = 0; at < length && (step = ShiftJisCharLength(text + at)) != 0; at += step)
        if (!(step == 1 && text[at] == '\r'))
            width += advance(text + at, step);
    return width;
}

// Where a line of a text starts and ends; a space or line feed dropped at
// a break lies between one line's end and the next one's start.
struct LineSpan
{
    size_t start = 0;
    size_t end = 0;
};

std::vector<LineSpan> LineSpans(const std::vector<LineBreak>& breaks, size_t length)
{
    std::vector<LineSpan> lines{{0, length}};
    for (const LineBreak& lineBreak : breaks)
    {
        lines.back().end = lineBreak.at;
        lines.push_back({lineBreak.at + (lineBreak.drops ? 1 : 0), length});
    }
    return lines;
}

// The line a place in the text is on: the one a break starts, but a
// dropped space or line feed still ends the line before it.
size_t LineOf(const std::vector<LineSpan>& lines, size_t at)
{
    size_t line = 0;
    while (line + 1 < lines.size() && lines[line + 1].start <= at)
        ++line;
    return line;
}

// Width and height of a whole-string entry, caching it first; 0 when it
// cannot be cached.
bool MeasureString(CFontTexture* font, const std::string& text, float* width, float* height)
{
    *width = 0.0f;
    *height = 0.0f;
    if (text.empty())
        return true;
    const KVRFONTCACHEENTRY* entry = font->FindCacheEntry(text.c_str());
    if (entry == nullptr && font->CacheText(text.c_str()))
        entry = font->FindCacheEntry(text.c_str());
    if (entry == nullptr)
        return false;
    *width = static_cast<float>(entry->width);
    *height = static_cast<float>(entry->height);
    return true;
}
}

void CImeInput::TargetClause(uint32_t* start, uint32_t* length) const
{
    // The run of bytes marked as the target clause; from 0 when none is.
    const size_t size = std::strlen(m_composition);
    size_t first = 0;
    while (first < size && static_cast<uint8_t>(m_attributes[first]) != IME_ATTR_TARGET_CONVERTED)
        ++first;
    if (first == size)
        first = 0;
    size_t end = first;
    while (end < size && static_cast<uint8_t>(m_attributes[end]) == IME_ATTR_TARGET_CONVERTED)
        ++end;
    *start = static_cast<uint32_t>(first);
    *length = static_cast<uint32_t>(end - first);
}

void CImeInput::Draw(float x, float y, float scale, uint32_t color)
{
    Guard guard(m_lock);
    if (m_font != nullptr)
        Draw(x, y, m_font->GetFontHeight(), scale, color);
}

void CImeInput::Draw(float x, float y, uint32_t size, float scale, uint32_t color)
{
    Guard guard(m_lock);
    if (m_font == nullptr || !m_enabled || m_text == nullptr)
        return;
    const uint32_t fontHeight = m_font->GetFontHeight();
    const float s = fontHeight > 0 ? static_cast<float>(size) / static_cast<float>(fontHeight) : 1.0f;
    const float k = s * scale;
    float width = 0.0f;
    float height = 0.0f;

    float x1 = x;
    if (m_before[0] != 0)
    {
        m_font->DrawStringScaled(x, y, color, size, scale, m_before);
        MeasureString(m_font, m_before, &width, &height);
        x1 = x + width * k;
    }
    m_font->DrawStringScaled(x1, y, color, size, scale, "|");
    float x2 = x1;
    if (m_composition[0] != 0)
    {
        m_font->DrawStringScaled(x1, y, color, size, scale, m_composition);
        MeasureString(m_font, m_composition, &width, &height);
        x2 = x1 + width * k;

        uint32_t start = 0;
        uint32_t length = 0;
        TargetClause(&start, &length);
        MeasureString(m_font, std::string(m_composition, start), &width, &height);
        const float clauseX = x1 + width * k;
        MeasureString(m_font, std::string(m_composition + start, length), &width, &height);
        if (length > 0)
        {
            const float rect[4] = {clauseX, y, clauseX + width * k, y + height * k};
            CPrimitiveRender::DrawRect2D(rect, kClauseColor);
        }
        // The page of candidates that holds the selection, one a line.
        if (m_candidates && m_candidates->pageSize > 0)
        {
            const ImeCandidateList& list = *m_candidates;
            const size_t pageStart = list.selection / list.pageSize * list.pageSize;
            const size_t pageEnd = std::min(pageStart + list.pageSize, list.candidates.size());
            float lineY = y;
            for (size_t i = pageStart; i < pageEnd; ++i)
            {
                lineY += fontHeight * s * scale;
                m_font->DrawStringScaled(clauseX, lineY, color, size, scale, list.candidates[i].c_str());
            }
        }
    }
    if (m_after[0] != 0)
        m_font->DrawStringScaled(x2, y, color, size, scale, m_after);
}

float CImeInput::BoxTextWidth()
{
    if (m_boxWidth <= 0.0f || m_font == nullptr)
        return 0.0f;
    return m_boxWidth - std::max(m_font->GetCharAdvance("|", 1, m_boxTextSize, 1.0f), 0.0f);
}

void CImeInput::FindBreaks(const std::string& text, float width, uint32_t size, std::vector<LineBreak>* breaks)
{
    const LineBox box{.wrapX = width, .maxBytes = m_charsPerLine > 0 ? static_cast<uint32_t>(m_charsPerLine) : 0};
    FindLineBreaks(text.c_str(), box, AdvanceOf(m_font, size), breaks);
}

void CImeInput::SetBox(float width, uint32_t size)
{
    Guard guard(m_lock);
    m_boxWidth = width;
    m_boxTextSize = size;
    SetFitCheck([this](const char* text) {
        if (m_font == nullptr)
            return true;
        std::vector<LineBreak> breaks;
        FindBreaks(text, BoxTextWidth(), m_boxTextSize, &breaks);
        return static_cast<int64_t>(breaks.size()) < m_lineLimit;
    });
}

void CImeInput::DrawLaidOut(float x, float y, uint32_t size, float scale, uint32_t color, float width,
                            size_t shownLines)
{
    if (m_font == nullptr || !m_enabled || m_text == nullptr)
        return;
    const size_t caret = std::min(static_cast<size_t>(std::max(m_caret, 0)), std::strlen(m_text));
    const size_t composed = caret + std::strlen(m_composition);
    const std::string text = std::string(m_text, caret) + m_composition + (m_text + caret);
    std::vector<LineBreak> breaks;
    FindBreaks(text, width, size, &breaks);
    const std::vector<LineSpan> lines = LineSpans(breaks, text.size());
    // The lines shown end with the composition's last, or the caret's.
    const size_t last = LineOf(lines, composed);
    const size_t first = shownLines > 0 && last >= shownLines ? last + 1 - shownLines : 0;
    const size_t end = shownLines > 0 ? std::min(lines.size(), first + shownLines) : lines.size();
    const CharWidth advance = AdvanceOf(m_font, size);
    auto offset = [&](size_t line, size_t at) {
        return TextWidth(text.c_str() + lines[line].start, at - lines[line].start, advance) * scale;
    };
    const float lineHeight =
        (m_lineSpacing > 0.0f ? m_lineSpacing : static_cast<float>(m_font->GetFontHeight())) * scale;
    auto lineY = [&](size_t line) { return y + static_cast<float>(line - first) * lineHeight; };
    uint32_t clauseStart = 0;
    uint32_t clauseLength = 0;
    TargetClause(&clauseStart, &clauseLength);
    for (size_t line = first; line < end; ++line)
    {
        const LineSpan& span = lines[line];
        m_font->DrawText(x, lineY(line), color, size, scale, text.substr(span.start, span.end - span.start).c_str());
        const size_t from = std::max(caret + clauseStart, span.start);
        const size_t to = std::min(caret + clauseStart + clauseLength, span.end);
        if (from < to)
        {
            const float top = lineY(line);
            const float rect[4] = {x + offset(line, from), top, x + offset(line, to), top + size * scale};
            CPrimitiveRender::DrawRect2D(rect, kClauseColor);
        }
    }
    const size_t caretLine = LineOf(lines, caret);
    if (caretLine >= first && caretLine < end)
        m_font->DrawText(x + offset(caretLine, caret), lineY(caretLine), color, size, scale, "|");
}

void CImeInput::DrawWrappedImpl(float x, float y, uint32_t size, float scale, uint32_t color, float wrapX)
{
    const float width = wrapX > 0.0f && scale > 0.0f ? (wrapX - x) / scale : 0.0f;
    DrawLaidOut(x, y, size, scale, color, width, 0);
}

void CImeInput::DrawInBox(float x, float y, float scale, uint32_t color)
{
    Guard guard(m_lock);
    if (m_font == nullptr)
        return;
    const uint32_t size = m_boxTextSize > 0 ? m_boxTextSize : m_font->GetFontHeight();
    DrawLaidOut(x, y, size, scale, color, BoxTextWidth(), static_cast<size_t>(std::max(m_lineLimit, 1)));
}

void CImeInput::DrawWrapped(float x, float y, uint32_t size, float scale, uint32_t color)
{
    Guard guard(m_lock);
    DrawWrappedImpl(x, y, size, scale, color, 0.0f);
}

void CImeInput::DrawWrapped(float x, float y, float scale, uint32_t color)
{
    Guard guard(m_lock);
    if (m_font != nullptr)
        DrawWrappedImpl(x, y, m_font->GetFontHeight(), scale, color, 0.0f);
}

void CImeInput::DrawWrappedEx(float x, float y, uint32_t size, float scale, uint32_t color, float wrapX)
{
    Guard guard(m_lock);
    DrawWrappedImpl(x, y, size, scale, color, wrapX);
}

void CImeInput::DrawWrappedEx(float x, float y, float scale, uint32_t color, float wrapX)
{
    Guard guard(m_lock);
    if (m_font != nullptr)
        DrawWrappedImpl(x, y, m_font->GetFontHeight(), scale, color, wrapX);
}

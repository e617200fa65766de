// CImeInput's drawing. The editor lives with the platform layer, but it
// draws through the font texture of the render layer; keeping these member
// functions in the render library lets programs that never draw the editor
// link the platform library alone.
#include "engine/platform/CImeInput.h"
#include "engine/render/CFontTexture.h"
#include "engine/platform/ImeMessages.h"
#include "engine/render/CPrimitiveRender.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
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

void CImeInput::DrawWrappedImpl(float x, float y, uint32_t size, float scale, uint32_t color, float wrapX)
{
    if (m_font == nullptr || !m_enabled || m_text == nullptr)
        return;
    const float lineHeight = m_lineSpacing > 0.0f ? m_lineSpacing : static_cast<float>(m_font->GetFontHeight());
    const uint32_t maxBytes = m_charsPerLine > 0 ? static_cast<uint32_t>(m_charsPerLine) : 0;
    float penX = x;
    float penY = y;
    auto piece = [&](const std::string& text) {
        if (!text.empty())
            m_font->DrawTextWrappedMarginEndEx(penX, penY, x, lineHeight, maxBytes, wrapX, color, size, scale,
                                               text.c_str(), &penX, &penY);
    };
    piece(m_before);
    m_font->DrawTextFrom(penX, penY, x, color, size, scale, "|");
    if (m_composition[0] != 0)
    {
        uint32_t start = 0;
        uint32_t length = 0;
        TargetClause(&start, &length);
        piece(std::string(m_composition, start));
        if (length > 0)
        {
            const std::string clause(m_composition + start, length);
            m_font->DrawTextWrappedBoxedImpl(penX, penY, x, lineHeight, maxBytes, wrapX, color, size, scale,
                                             clause.c_str(), KVRDRAWANCHOR_DEFAULT, kClauseColor, 1, &penX, &penY);
        }
        piece(std::string(m_composition + start + length));
    }
    piece(m_after);
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

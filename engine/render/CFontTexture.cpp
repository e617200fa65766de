#include "engine/render/CFontTexture.h"

#include "engine/core/FileIo.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/ShiftJisText.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsTypes.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/FontFace.h"
#include "engine/render/LineBreaks.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t MARGIN = 2;
constexpr uint32_t POOL_DEFAULT = 0;
constexpr uint32_t POOL_MANAGED = 1;
constexpr uint32_t FORMAT_ARGB = 21;
constexpr int32_t FONT_WEIGHT_HEAVY = 900;
constexpr uint32_t CODE_SPACE = 0x20;
constexpr uint32_t CODE_IDEOGRAPHIC_SPACE = 0x8140;
constexpr size_t LINES_COPY_SIZE = 256;

// A glyph of a text being cached, relative to the entry's top-left corner.
struct PlacedGlyph
{
    int64_t x;
    int64_t y;
    GlyphBitmap bitmap;
};

float AnchorOffsetX(uint8_t anchor, float width)
{
    if (anchor & KVRDRAWANCHOR_HCENTER)
        return width / 2.0f;
    if (anchor & KVRDRAWANCHOR_LEFT)
        return 0.0f;
    return width;
}

float AnchorOffsetY(uint8_t anchor, float height)
{
    if (anchor & KVRDRAWANCHOR_VCENTER)
        return height / 2.0f;
    if (anchor & KVRDRAWANCHOR_TOP)
        return 0.0f;
    return height;
}

bool IsLineFeed(const char* at, size_t length)
{
    return length == 1 && *at == '\n';
}

bool IsCarriageReturn(const char* at, size_t length)
{
    return length == 1 && *at == '\r';
}

void EntryRect(const KVRFONTCACHEENTRY* entry, float src[4])
{
    src[0] = static_cast<float>(entry->x);
    src[1] = static_cast<float>(entry->y);
    src[2] = static_cast<float>(entry->x + entry->width);
    src[3] = static_cast<float>(entry->y + entry->height);
}

// The eight outline offsets, then the text itself.
constexpr float OUTLINE_OFFSETS[9][2] = {{1, 1}, {1, -1}, {1, 0}, {-1, 1}, {-1, -1}, {-1, 0}, {0, 1}, {0, -1}, {0, 0}};
}

// What the wrapped layout needs and what it finds.
struct CFontTexture::WrapLayout
{
    float x = 0.0f;
    float y = 0.0f;
    float lineStartX = 0.0f;
    float lineAdvance = 0.0f;
    float scale = 1.0f;

    // Where the lines break, found by the measuring pass.
    std::vector<LineBreak> breaks;

    float widest = 0.0f;
    float advances = 0.0f;
    float tallest = 0.0f;
    float right = 0.0f;
    bool anyGlyph = false;
    float endX = 0.0f;
    float endY = 0.0f;
};

CFontTexture::CFontTexture() = default;

CFontTexture::~CFontTexture()
{
    FreeEntries();
}

uint32_t CFontTexture::Release()
{
    FreeEntries();
    m_font.reset();
    m_fontFileAdded = 0;
    m_fontFile[0] = 0;
    return CTexture::Release();
}

// ---------------------------------------------------------------------------
// Set-up

int CFontTexture::CreateDefault(uint32_t width, uint32_t height, const char* faceName, int32_t fontHeight)
{
    return Create(width, height, FORMAT_ARGB, faceName, fontHeight);
}

int CFontTexture::Create(uint32_t width, uint32_t height, uint32_t format, const char* faceName, int32_t fontHeight)
{
    FreeEntries();
    // Glyphs are written as 32-bit white texels with the coverage in alpha.
    if (format != FORMAT_ARGB)
        return 0;
    if (!CreateRenderTarget(width, height, USAGE_DYNAMIC, format, POOL_DEFAULT) &&
        !CreateRenderTarget(width, height, 0, format, POOL_MANAGED))
        return 0;
    if (!CreateFont(faceName, fontHeight))
        return 0;
    SetName(m_faceName);
    return Clear();
}

int CFontTexture::AddFontFile(uint32_t width, uint32_t height, uint32_t format, const char* fontFile,
                              const char* faceName, int32_t fontHeight)
{
    if (fontFile == nullptr || std::strlen(fontFile) >= sizeof(m_fontFile))
        return 0;
    if (!OpenFile(fontFile, "rb"))
        return 0;
    std::memcpy(m_fontFile, fontFile, std::strlen(fontFile) + 1);
    m_fontFileAdded = 1;
    return Create(width, height, format, faceName, fontHeight);
}

int CFontTexture::CreateFont(const char* faceName, int32_t height)
{
    m_font.reset();
    auto font = std::make_unique<FontFace>();
    const std::string file = m_fontFileAdded ? CPathResolver::Resolve(m_fontFile) : std::string();
    if (!font->Open(faceName, height, FONT_WEIGHT_HEAVY, m_fontFileAdded ? file.c_str() : nullptr))
        return 0;
    m_font = std::move(font);
    m_fontHeight = static_cast<uint32_t>(height < 0 ? -static_cast<int64_t>(height) : height);
    const char* name = faceName != nullptr ? faceName : "";
    const size_t length = std::min(std::strlen(name), sizeof(m_faceName) - 1);
    std::memcpy(m_faceName, name, length);
    m_faceName[length] = 0;
    // The cleared texture no longer holds the cached texts: forget them too,
    // or they would draw as empty rectangles.
    FreeEntries();
    Clear();
    return 1;
}

float CFontTexture::Scale(uint32_t size, float scale) const
{
    // A font made with height 0 has no size to divide by: draw unscaled.
    if (m_fontHeight == 0)
        return scale;
    return static_cast<float>(size) / static_cast<float>(m_fontHeight) * scale;
}

// ---------------------------------------------------------------------------
// The cache

void CFontTexture::FreeEntries()
{
    for (uint32_t i = 0; i < m_entryCount; ++i)
        AlignedFree(m_entries[i].text);
    AlignedFree(m_entries);
    m_entries = nullptr;
    m_entryCount = 0;
    m_entryCapacity = 0;
    m_index.clear();
    m_penX = 0;
    m_penY = 0;
    m_rowHeight = 0;
}

bool CFontTexture::GrowEntries()
{
    if (m_entryCount < m_entryCapacity)
        return true;
    // Doubling keeps additions cheap; the count stays far below the limit.
    if (m_entryCapacity > UINT32_MAX / 2 / sizeof(KVRFONTCACHEENTRY))
        return false;
    const uint32_t capacity = m_entryCapacity == 0 ? 16 : m_entryCapacity * 2;
    auto* entries = static_cast<KVRFONTCACHEENTRY*>(AlignedAlloc(capacity * sizeof(KVRFONTCACHEENTRY), 16));
    if (entries == nullptr)
        return false;
    if (m_entryCount > 0)
        std::memcpy(entries, m_entries, m_entryCount * sizeof(KVRFONTCACHEENTRY));
    AlignedFree(m_entries);
    m_entries = entries;
    m_entryCapacity = capacity;
    return true;
}

const KVRFONTCACHEENTRY* CFontTexture::GetCacheEntry(uint32_t index) const
{
    return index < m_entryCount ? &m_entries[index] : nullptr;
}

KVRFONTCACHEENTRY* CFontTexture::FindCacheEntry(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const auto found = m_index.find(text);
    return found != m_index.end() ? &m_entries[found->second] : nullptr;
}

KVRFONTCACHEENTRY* CFontTexture::FindCacheEntryFormat(const char* format, ...)
{
    if (format == nullptr)
        return nullptr;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return FindCacheEntry(buffer);
}

KVRFONTCACHEENTRY* CFontTexture::AddCacheEntry(const char* text)
{
    if (text == nullptr)
        return nullptr;
    if (KVRFONTCACHEENTRY* existing = FindCacheEntry(text))
        return existing;
    if (!GrowEntries())
        return nullptr;
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(AlignedAlloc(length + 1, 16));
    if (copy == nullptr)
        return nullptr;
    std::memcpy(copy, text, length + 1);
    KVRFONTCACHEENTRY& entry = m_entries[m_entryCount];
    entry = KVRFONTCACHEENTRY{0, 0, 0, 0, copy};
    m_index.emplace(std::string(text, length), m_entryCount);
    ++m_entryCount;
    return &entry;
}

int CFontTexture::ReleaseCache()
{
    if (!Clear())
        return 0;
    FreeEntries();
    return 1;
}

int CFontTexture::CacheText(const char* text)
{
    return CacheTextEx2(text, 0, 0);
}

int CFontTexture::CacheTextEx(const char* text, uint32_t minLineHeight)
{
    return CacheTextEx2(text, 0, minLineHeight);
}

int CFontTexture::CacheTextEx2(const char* text, uint32_t minCharWidth, uint32_t minLineHeight)
{
    HandOver(text);
    return RenderText(text, minCharWidth, minLineHeight);
}

int CFontTexture::CacheTextFormat(const char* format, ...)
{
    if (format == nullptr)
        return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return CacheText(buffer);
}

int CFontTexture::RenderText(const char* text, uint32_t minCharWidth, uint32_t minLineHeight)
{
    if (text == nullptr)
        return 0;
    if (FindCacheEntry(text) != nullptr)
        return 1;
    DeviceTexture* texture = GetDeviceTexture();
    if (texture == nullptr || !m_font || texture->GetFormat() != FORMAT_ARGB)
        return 0;
    const int64_t textureWidth = GetWidth();
    const int64_t textureHeight = GetHeight();
    const FontMetrics& metrics = m_font->GetMetrics();
    const int64_t lineHeight = std::max<int64_t>(metrics.height, minLineHeight);
    const int64_t cellWidth = std::max<int64_t>(metrics.maxCharWidth, minCharWidth);

    // Lay the text out first, so that its whole size is known before any
    // texel is written.
    std::vector<PlacedGlyph> glyphs;
    int64_t penX = 0;
    int64_t lineTop = 0;
    int64_t width = 0;
    int64_t contentHeight = lineHeight;
    size_t at = 0;
    while (const size_t length = ShiftJisCharLength(text + at))
    {
        const char* character = text + at;
        at += length;
        if (IsCarriageReturn(character, length) || IsLineFeed(character, length))
        {
            if (*character == '\r' && text[at] == '\n')
                ++at;
            penX = 0;
            lineTop += lineHeight;
            contentHeight += lineHeight;
            if (contentHeight > textureHeight)
                return 0;
            continue;
        }
        const uint32_t code = length == 2 ? (static_cast<uint8_t>(character[0]) << 8) | static_cast<uint8_t>(character[1])
                                          : static_cast<uint8_t>(character[0]);
        int64_t advance = 0;
        if (code == CODE_SPACE)
            advance = cellWidth / 2;
        else if (code == CODE_IDEOGRAPHIC_SPACE)
            advance = cellWidth;
        else
        {
            // A character without a Unicode form or a glyph is left out.
            GlyphBitmap glyph;
            const uint32_t codePoint = ShiftJisToCodePoint(character, length);
            if (codePoint != 0 && m_font->RenderGlyph(codePoint, &glyph))
            {
                advance = std::max<int64_t>(glyph.width, minCharWidth) + glyph.left;
                glyphs.push_back(PlacedGlyph{penX + glyph.left, lineTop + metrics.ascent - glyph.top, std::move(glyph)});
            }
        }
        penX += std::max<int64_t>(advance, 0);
        width = std::max(width, penX);
        if (width > textureWidth)
            return 0;
    }

    // A text larger than the whole texture never fits.
    const int64_t entryWidth = width + MARGIN;
    const int64_t entryHeight = contentHeight + MARGIN;
    if (entryWidth > textureWidth || entryHeight > textureHeight)
        return 0;
    int64_t entryX = 0;
    int64_t entryY = 0;
    if (!FindRoom(entryWidth, entryHeight, &entryX, &entryY))
        return 0;

    // Only the entry's rectangle is locked, so only it is uploaded.
    const DeviceRect rect{static_cast<int32_t>(entryX), static_cast<int32_t>(entryY),
                          static_cast<int32_t>(entryX + entryWidth), static_cast<int32_t>(entryY + entryHeight)};
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (DeviceFailed(texture->LockRect(0, &bits, &pitch, &rect, 0)))
        return 0;
    KVRFONTCACHEENTRY* entry = AddCacheEntry(text);
    if (entry == nullptr)
    {
        texture->UnlockRect(0);
        return 0;
    }
    entry->x = static_cast<uint32_t>(entryX);
    entry->y = static_cast<uint32_t>(entryY);
    entry->width = static_cast<uint32_t>(entryWidth);
    entry->height = static_cast<uint32_t>(entryHeight);

    // White everywhere in the entry, so that filtering at glyph edges
    // blends towards white, not black; coverage goes into alpha. Writes
    // stay inside the entry's rectangle.
    auto* base = static_cast<uint8_t*>(bits);
    for (int64_t y = 0; y < entryHeight; ++y)
    {
        uint8_t* row = base + static_cast<size_t>(y) * pitch;
        for (int64_t x = 0; x < entryWidth; ++x)
        {
            row[x * 4 + 0] = 0xFF;
            row[x * 4 + 1] = 0xFF;
            row[x * 4 + 2] = 0xFF;
            row[x * 4 + 3] = 0;
        }
    }
    for (const PlacedGlyph& glyph : glyphs)
    {
        for (uint32_t row = 0; row < glyph.bitmap.rows; ++row)
        {
            const int64_t y = glyph.y + row;
            if (y < 0 || y >= entryHeight)
                continue;
            uint8_t* line = base + static_cast<size_t>(y) * pitch;
            for (uint32_t column = 0; column < glyph.bitmap.width; ++column)
            {
                const int64_t x = glyph.x + column;
                if (x < 0 || x >= entryWidth)
                    continue;
                const uint8_t coverage = glyph.bitmap.coverage[static_cast<size_t>(row) * glyph.bitmap.width + column];
                uint8_t& alpha = line[static_cast<size_t>(x) * 4 + 3];
                alpha = std::max(alpha, coverage);
            }
        }
    }
    texture->UnlockRect(0);

    m_penX = static_cast<uint32_t>(entryX + entryWidth);
    m_penY = static_cast<uint32_t>(entryY);
    m_rowHeight = std::max(m_rowHeight, static_cast<uint32_t>(contentHeight));
    return 1;
}

bool CFontTexture::FindRoom(int64_t width, int64_t height, int64_t* x, int64_t* y)
{
    *x = m_penX;
    *y = m_penY;
    if (*x + width > static_cast<int64_t>(GetWidth()))
    {
        *x = 0;
        *y = static_cast<int64_t>(m_penY) + m_rowHeight + MARGIN;
    }
    if (*y + height <= static_cast<int64_t>(GetHeight()))
        return true;
    // Full: the cache starts again, or text never drawn before would draw
    // nothing for the rest of the run. A draw takes effect at once, so what
    // the old contents drew this frame stays drawn; the draws look every
    // character up as they draw it, so none holds an entry freed here.
    *x = 0;
    *y = 0;
    return ReleaseCache() != 0;
}

CFontTexture::TextListener CFontTexture::s_textListener = nullptr;
void* CFontTexture::s_textListenerContext = nullptr;

void CFontTexture::SetTextListener(TextListener listener, void* context)
{
    s_textListener = listener;
    s_textListenerContext = context;
}

void CFontTexture::HandOver(const char* text)
{
    if (s_textListener != nullptr && text != nullptr)
        s_textListener(text, s_textListenerContext);
}

const KVRFONTCACHEENTRY* CFontTexture::EntryFor(const char* text)
{
    HandOver(text);
    return CachedEntry(text);
}

const KVRFONTCACHEENTRY* CFontTexture::CachedEntry(const char* text)
{
    if (const KVRFONTCACHEENTRY* entry = FindCacheEntry(text))
        return entry;
    RenderText(text, 0, 0);
    return FindCacheEntry(text);
}

const KVRFONTCACHEENTRY* CFontTexture::CharEntry(const char* text, size_t length)
{
    char character[3] = {text[0], length == 2 ? text[1] : '\0', '\0'};
    return CachedEntry(character);
}

// ---------------------------------------------------------------------------
// Whole-string draws

int CFontTexture::DrawCacheEntry(float x, float y, uint32_t color, uint8_t anchor, const KVRFONTCACHEENTRY* entry)
{
    if (entry == nullptr)
        return 0;
    float src[4];
    EntryRect(entry, src);
    DrawEx(x, y, src, color, KVRDRAWFLIP_NONE, anchor);
    return 1;
}

int CFontTexture::DrawCacheEntrySimple(float x, float y, uint32_t color, const KVRFONTCACHEENTRY* entry)
{
    return DrawCacheEntry(x, y, color, KVRDRAWANCHOR_DEFAULT, entry);
}

int CFontTexture::DrawString(float x, float y, uint32_t color, const char* text)
{
    return DrawStringEx(x, y, color, text, KVRDRAWANCHOR_DEFAULT);
}

int CFontTexture::DrawStringEx(float x, float y, uint32_t color, const char* text, uint8_t anchor)
{
    if (text == nullptr)
        return 0;
    return DrawCacheEntry(x, y, color, anchor, EntryFor(text));
}

int CFontTexture::DrawStringFormat(float x, float y, uint32_t color, const char* format, ...)
{
    if (format == nullptr)
        return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return DrawString(x, y, color, buffer);
}

int CFontTexture::DrawStringSized(float x, float y, uint32_t color, uint32_t size, const char* text)
{
    return DrawStringScaledImpl(x, y, color, size, 1.0f, 1.0f, text, KVRDRAWANCHOR_DEFAULT);
}

int CFontTexture::DrawStringScaled(float x, float y, uint32_t color, uint32_t size, float scale, const char* text)
{
    return DrawStringScaledImpl(x, y, color, size, scale, scale, text, KVRDRAWANCHOR_DEFAULT);
}

int CFontTexture::DrawStringScaledEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text,
                                     uint8_t anchor)
{
    return DrawStringScaledImpl(x, y, color, size, scale, scale, text, anchor);
}

int CFontTexture::DrawStringScaledImpl(float x, float y, uint32_t color, uint32_t size, float sx, float sy,
                                       const char* text, uint8_t anchor)
{
    if (text == nullptr)
        return 0;
    const KVRFONTCACHEENTRY* entry = EntryFor(text);
    if (entry == nullptr)
        return 0;
    float src[4];
    EntryRect(entry, src);
    DrawScaledXYEx(x, y, src, Scale(size, sx), Scale(size, sy), color, KVRDRAWFLIP_NONE, 0, 0, anchor);
    return 1;
}

int CFontTexture::DrawStringSizedFormat(float x, float y, uint32_t color, uint32_t size, const char* format, ...)
{
    if (format == nullptr)
        return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return DrawStringSized(x, y, color, size, buffer);
}

int CFontTexture::DrawStringScaledFormat(float x, float y, uint32_t color, uint32_t size, float scale,
                                         const char* format, ...)
{
    if (format == nullptr)
        return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return DrawStringScaled(x, y, color, size, scale, buffer);
}

int CFontTexture::DrawStringScaledExFormat(float x, float y, uint32_t color, uint32_t size, float scale,
                                           uint8_t anchor, const char* format, ...)
{
    if (format == nullptr)
        return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return DrawStringScaledEx(x, y, color, size, scale, buffer, anchor);
}

int CFontTexture::DrawStringFit(float x, float y, float maxWidth, float maxHeight, uint32_t color, uint32_t size,
                                float sx, float sy, const char* text, uint8_t anchor)
{
    return DrawStringFitImpl(x, y, 1.0f, maxWidth, maxHeight, color, size, sx, sy, text, anchor);
}

int CFontTexture::DrawStringFitImpl(float x, float y, float z, float maxWidth, float maxHeight, uint32_t color,
                                    uint32_t size, float sx, float sy, const char* text, uint8_t anchor)
{
    if (text == nullptr)
        return 0;
    const KVRFONTCACHEENTRY* entry = EntryFor(text);
    if (entry == nullptr)
        return 0;
    float scaleX = Scale(size, sx);
    float scaleY = Scale(size, sy);
    if (entry->width > 0 && entry->width * scaleX > maxWidth)
        scaleX = maxWidth / static_cast<float>(entry->width);
    if (entry->height > 0 && entry->height * scaleY > maxHeight)
        scaleY = maxHeight / static_cast<float>(entry->height);
    float src[4];
    EntryRect(entry, src);
    DrawScaledImpl(x, y, z, src, scaleX, scaleY, color, KVRDRAWFLIP_NONE, 0, 0, anchor);
    return 1;
}

int CFontTexture::DrawStringLines(float x, float y, float lineSpacing, uint32_t maxBytes, uint32_t color,
                                  uint32_t size, float scale, const char* text)
{
    HandOver(text);
    if (text == nullptr)
        return 0;
    // A copy of at most 255 bytes, never ending inside a character.
    char copy[LINES_COPY_SIZE];
    size_t copied = 0;
    while (const size_t length = ShiftJisCharLength(text + copied))
    {
        if (copied + length >= sizeof(copy))
            break;
        copied += length;
    }
    std::memcpy(copy, text, copied);
    copy[copied] = 0;

    int result = 1;
    int segment = 0;
    size_t start = 0;
    size_t at = 0;
    auto drawSegment = [&](size_t end) {
        char line[LINES_COPY_SIZE];
        std::memcpy(line, copy + start, end - start);
        line[end - start] = 0;
        if (end > start && !DrawStringScaled(x, y + segment * lineSpacing * scale, color, size, scale, line))
            result = 0;
        ++segment;
    };
    while (const size_t length = ShiftJisCharLength(copy + at))
    {
        if (IsLineFeed(copy + at, length))
        {
            drawSegment(at);
            at += length;
            start = at;
            continue;
        }
        if (maxBytes > 0 && at - start >= maxBytes)
        {
            drawSegment(at);
            start = at;
        }
        at += length;
    }
    if (at > start)
        drawSegment(at);
    return result;
}

// ---------------------------------------------------------------------------
// Glyph-by-glyph draws

int CFontTexture::DrawEntryScaled(const KVRFONTCACHEENTRY* entry, float x, float y, float z, float sx, float sy,
                                  uint32_t color)
{
    float src[4];
    EntryRect(entry, src);
    return DrawScaledXYZ(x, y, z, src, sx, sy, color, KVRDRAWFLIP_NONE, 0, 0);
}

int CFontTexture::DrawText(float x, float y, uint32_t color, uint32_t size, float scale, const char* text)
{
    return DrawTextImpl(x, y, 0.0f, x, color, size, scale, text, KVRDRAWANCHOR_DEFAULT, nullptr, nullptr);
}

int CFontTexture::DrawTextEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text,
                             uint8_t anchor)
{
    return DrawTextImpl(x, y, 0.0f, x, color, size, scale, text, anchor, nullptr, nullptr);
}

int CFontTexture::DrawTextEnd(float x, float y, uint32_t color, uint32_t size, float scale, const char* text,
                              float* endX, float* endY)
{
    return DrawTextImpl(x, y, 0.0f, x, color, size, scale, text, KVRDRAWANCHOR_DEFAULT, endX, endY);
}

int CFontTexture::DrawTextEndEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text,
                                uint8_t anchor, float* endX, float* endY)
{
    return DrawTextImpl(x, y, 0.0f, x, color, size, scale, text, anchor, endX, endY);
}

int CFontTexture::DrawTextFrom(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                               const char* text)
{
    return DrawTextImpl(x, y, 0.0f, lineStartX, color, size, scale, text, KVRDRAWANCHOR_DEFAULT, nullptr, nullptr);
}

int CFontTexture::DrawTextFromEx(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                                 const char* text, uint8_t anchor)
{
    return DrawTextImpl(x, y, 0.0f, lineStartX, color, size, scale, text, anchor, nullptr, nullptr);
}

int CFontTexture::DrawTextFromEnd(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                                  const char* text, float* endX, float* endY)
{
    return DrawTextImpl(x, y, 0.0f, lineStartX, color, size, scale, text, KVRDRAWANCHOR_DEFAULT, endX, endY);
}

int CFontTexture::DrawTextFromEndEx(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                                    const char* text, uint8_t anchor, float* endX, float* endY)
{
    return DrawTextImpl(x, y, 0.0f, lineStartX, color, size, scale, text, anchor, endX, endY);
}

int CFontTexture::DrawTextImpl(float x, float y, float z, float lineStartX, uint32_t color, uint32_t size,
                               float scale, const char* text, uint8_t anchor, float* endX, float* endY)
{
    HandOver(text);
    if (text == nullptr)
        return 0;
    const float s = Scale(size, scale);

    // Measure first: the anchor needs the whole block. The drawing pass
    // looks every character up again: one that a full texture lost in
    // between is cached anew, at the same size.
    float lineWidth = 0.0f;
    float widest = 0.0f;
    float lineHeight = 0.0f;
    float totalHeight = 0.0f;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsCarriageReturn(text + at, length))
            continue;
        if (IsLineFeed(text + at, length))
        {
            widest = std::max(widest, lineWidth);
            totalHeight += lineHeight;
            lineWidth = 0.0f;
            continue;
        }
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return 0;
        lineWidth += entry->width * s;
        lineHeight = std::max(lineHeight, entry->height * s);
    }
    widest = std::max(widest, lineWidth);
    totalHeight += lineHeight;
    const float offsetX = AnchorOffsetX(anchor, widest);
    const float offsetY = AnchorOffsetY(anchor, totalHeight);

    float penX = x;
    float penY = y;
    float tallest = 0.0f;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsCarriageReturn(text + at, length))
            continue;
        if (IsLineFeed(text + at, length))
        {
            penX = lineStartX;
            penY += tallest;
            continue;
        }
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return 0;
        tallest = std::max(tallest, entry->height * s);
        DrawEntryScaled(entry, penX - offsetX, penY - offsetY, z, s, s, color);
        penX += entry->width * s;
    }
    if (endX != nullptr)
        *endX = penX;
    if (endY != nullptr)
        *endY = penY;
    return 1;
}

int CFontTexture::DrawTextFit(float x, float y, float maxWidth, float maxHeight, uint32_t color, uint32_t size,
                              float scale, const char* text, uint8_t anchor)
{
    return DrawTextFitImpl(x, y, 0.0f, maxWidth, maxHeight, color, size, scale, text, anchor);
}

int CFontTexture::DrawTextFitImpl(float x, float y, float z, float maxWidth, float maxHeight, uint32_t color,
                                  uint32_t size, float scale, const char* text, uint8_t anchor)
{
    HandOver(text);
    if (text == nullptr)
        return 0;
    const float s = Scale(size, scale);
    float width = 0.0f;
    float height = 0.0f;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsCarriageReturn(text + at, length))
            continue;
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return 0;
        width += entry->width * s;
        height = std::max(height, entry->height * s);
    }
    float sx = s;
    float sy = s;
    if (width > maxWidth && width > 0.0f)
    {
        sx = s * maxWidth / width;
        width = maxWidth;
    }
    if (height > maxHeight && height > 0.0f)
    {
        sy = s * maxHeight / height;
        height = maxHeight;
    }
    const float offsetX = AnchorOffsetX(anchor, width);
    const float offsetY = AnchorOffsetY(anchor, height);
    float penX = x;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsCarriageReturn(text + at, length))
            continue;
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return 0;
        DrawEntryScaled(entry, penX - offsetX, y - offsetY, z, sx, sy, color);
        penX += entry->width * sx;
    }
    return 1;
}

// Places every glyph of the wrapped layout at the breaks the measuring pass
// found, calling place(entry, pen x, pen y, drawn width, drawn height) for
// each, and fills in the layout's measures. False when a character cannot
// be cached.
template <typename Place>
bool CFontTexture::LayoutWrapped(WrapLayout& layout, const char* text, Place place)
{
    const float s = layout.scale;
    float penX = layout.x;
    float penY = layout.y;
    float lineWidth = 0.0f;
    size_t nextBreak = 0;
    layout.widest = 0.0f;
    layout.advances = 0.0f;
    layout.tallest = 0.0f;
    layout.anyGlyph = false;
    auto newLine = [&] {
        layout.widest = std::max(layout.widest, lineWidth);
        lineWidth = 0.0f;
        penX = layout.lineStartX;
        penY += layout.lineAdvance;
        layout.advances += layout.lineAdvance;
    };
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsCarriageReturn(text + at, length))
            continue;
        // Lines start only at the measured breaks, line feeds' included, so
        // that whoever counts a text's lines by its breaks counts these.
        if (nextBreak < layout.breaks.size() && layout.breaks[nextBreak].at == at)
        {
            newLine();
            if (layout.breaks[nextBreak++].drops)
                continue;
        }
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return false;
        const float width = entry->width * s;
        const float height = entry->height * s;
        layout.tallest = std::max(layout.tallest, height);
        place(entry, penX, penY, width, height);
        layout.right = layout.anyGlyph ? std::max(layout.right, penX + width) : penX + width;
        layout.anyGlyph = true;
        penX += width;
        lineWidth += width;
    }
    layout.widest = std::max(layout.widest, lineWidth);
    layout.endX = penX;
    layout.endY = penY;
    return true;
}

int CFontTexture::DrawTextWrapped(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                  uint32_t size, float scale, const char* text)
{
    return DrawTextWrappedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, KVRDRAWANCHOR_DEFAULT,
                               nullptr, nullptr);
}

int CFontTexture::DrawTextWrappedEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                    uint32_t size, float scale, const char* text, uint8_t anchor)
{
    return DrawTextWrappedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor, nullptr,
                               nullptr);
}

int CFontTexture::DrawTextWrappedEnd(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                     uint32_t size, float scale, const char* text, float* endX, float* endY)
{
    return DrawTextWrappedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, KVRDRAWANCHOR_DEFAULT,
                               endX, endY);
}

int CFontTexture::DrawTextWrappedEndEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                       uint32_t size, float scale, const char* text, uint8_t anchor, float* endX,
                                       float* endY)
{
    return DrawTextWrappedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor, endX, endY);
}

int CFontTexture::DrawTextWrappedMargin(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                        uint32_t color, uint32_t size, float scale, const char* text)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, 0.0f, color, size, scale, text,
                               KVRDRAWANCHOR_DEFAULT, nullptr, nullptr);
}

int CFontTexture::DrawTextWrappedMarginEx(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                          uint32_t color, uint32_t size, float scale, const char* text,
                                          uint8_t anchor)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor,
                               nullptr, nullptr);
}

int CFontTexture::DrawTextWrappedMarginLimit(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                             float wrapX, uint32_t color, uint32_t size, float scale,
                                             const char* text, uint8_t anchor)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, wrapX, color, size, scale, text, anchor,
                               nullptr, nullptr);
}

int CFontTexture::DrawTextWrappedMarginEnd(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                           uint32_t color, uint32_t size, float scale, const char* text, float* endX,
                                           float* endY)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, 0.0f, color, size, scale, text,
                               KVRDRAWANCHOR_DEFAULT, endX, endY);
}

int CFontTexture::DrawTextWrappedMarginEndEx(float x, float y, float lineStartX, float lineHeight,
                                             uint32_t maxBytes, float wrapX, uint32_t color, uint32_t size,
                                             float scale, const char* text, float* endX, float* endY)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, wrapX, color, size, scale, text,
                               KVRDRAWANCHOR_DEFAULT, endX, endY);
}

int CFontTexture::DrawTextWrappedMarginAnchorEnd(float x, float y, float lineStartX, float lineHeight,
                                                 uint32_t maxBytes, uint32_t color, uint32_t size, float scale,
                                                 const char* text, uint8_t anchor, float* endX, float* endY)
{
    return DrawTextWrappedImpl(x, y, lineStartX, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor, endX,
                               endY);
}

int CFontTexture::DrawTextWrappedImpl(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                      float wrapX, uint32_t color, uint32_t size, float scale, const char* text,
                                      uint8_t anchor, float* endX, float* endY)
{
    return DrawTextWrappedBoxedImpl(x, y, lineStartX, lineHeight, maxBytes, wrapX, color, size, scale, text, anchor,
                                    0, -1, endX, endY);
}

int CFontTexture::DrawTextWrappedBoxed(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                       uint32_t size, float scale, const char* text, uint8_t anchor,
                                       uint32_t boxColor, float* endX, float* endY)
{
    return DrawTextWrappedBoxedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor, boxColor,
                                    0, endX, endY);
}

int CFontTexture::DrawTextWrappedBoxedEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color,
                                         uint32_t size, float scale, const char* text, uint8_t anchor,
                                         uint32_t boxColor, int boxMode, float* endX, float* endY)
{
    return DrawTextWrappedBoxedImpl(x, y, x, lineHeight, maxBytes, 0.0f, color, size, scale, text, anchor, boxColor,
                                    boxMode, endX, endY);
}

float CFontTexture::GetCharAdvance(const char* character, size_t length, uint32_t size, float scale)
{
    const KVRFONTCACHEENTRY* entry = CharEntry(character, length);
    return entry != nullptr ? static_cast<float>(entry->width) * Scale(size, scale) : -1.0f;
}

// The measuring pass of a wrapped layout: extents only, nothing drawn.
bool CFontTexture::MeasureWrapped(WrapLayout* layout, float x, float y, float lineStartX, float lineHeight,
                                  uint32_t maxBytes, float wrapX, uint32_t size, float scale, const char* text)
{
    HandOver(text);
    layout->x = x;
    layout->y = y;
    layout->lineStartX = lineStartX;
    layout->lineAdvance = lineHeight * scale;
    layout->scale = Scale(size, scale);
    const LineBox box{.x = x, .lineStartX = lineStartX, .wrapX = wrapX, .maxBytes = maxBytes};
    const bool measured = FindLineBreaks(
        text, box,
        [this, size, scale](const char* character, size_t length) {
            return GetCharAdvance(character, length, size, scale);
        },
        &layout->breaks);
    return measured && LayoutWrapped(*layout, text, [](const KVRFONTCACHEENTRY*, float, float, float, float) {});
}

int CFontTexture::DrawTextWrappedBoxedImpl(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                           float wrapX, uint32_t color, uint32_t size, float scale,
                                           const char* text, uint8_t anchor, uint32_t boxColor, int boxMode,
                                           float* endX, float* endY)
{
    if (text == nullptr)
        return 0;
    WrapLayout layout;
    if (!MeasureWrapped(&layout, x, y, lineStartX, lineHeight, maxBytes, wrapX, size, scale, text))
        return 0;
    const float offsetX = AnchorOffsetX(anchor, layout.widest);
    const float offsetY = AnchorOffsetY(anchor, layout.advances + layout.tallest);
    const float s = layout.scale;
    LayoutWrapped(layout, text, [&](const KVRFONTCACHEENTRY* entry, float penX, float penY, float w, float h) {
        const float cell[4] = {penX - offsetX, penY - offsetY, penX - offsetX + w, penY - offsetY + h};
        if (boxMode == 0)
            CPrimitiveRender::DrawRect2D(cell, boxColor);
        DrawEntryScaled(entry, cell[0], cell[1], 0.0f, s, s, color);
        if (boxMode == 1)
            CPrimitiveRender::DrawRect2D(cell, boxColor);
    });
    if (endX != nullptr)
        *endX = layout.endX;
    if (endY != nullptr)
        *endY = layout.endY;
    return 1;
}

// ---------------------------------------------------------------------------
// Outlined text

int CFontTexture::DrawTextOutlined(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size,
                                   float scale, float outlineWidth, const char* text)
{
    return DrawTextOutlinedImpl(x, y, color, outlineColor, size, scale, outlineWidth, text, KVRDRAWANCHOR_DEFAULT,
                                nullptr, nullptr);
}

int CFontTexture::DrawTextOutlinedEx(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size,
                                     float scale, float outlineWidth, const char* text, uint8_t anchor)
{
    return DrawTextOutlinedImpl(x, y, color, outlineColor, size, scale, outlineWidth, text, anchor, nullptr, nullptr);
}

int CFontTexture::DrawTextOutlinedImpl(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size,
                                       float scale, float outlineWidth, const char* text, uint8_t anchor,
                                       float* endX, float* endY)
{
    return DrawTextOutlinedZImpl(x, y, 0.0f, color, outlineColor, size, scale, outlineWidth, text, anchor, endX,
                                 endY);
}

int CFontTexture::DrawTextOutlinedZ(float x, float y, float z, uint32_t color, uint32_t outlineColor, uint32_t size,
                                    float scale, float outlineWidth, const char* text)
{
    return DrawTextOutlinedZImpl(x, y, z, color, outlineColor, size, scale, outlineWidth, text,
                                 KVRDRAWANCHOR_DEFAULT, nullptr, nullptr);
}

int CFontTexture::DrawTextOutlinedZEx(float x, float y, float z, uint32_t color, uint32_t outlineColor,
                                      uint32_t size, float scale, float outlineWidth, const char* text,
                                      uint8_t anchor)
{
    return DrawTextOutlinedZImpl(x, y, z, color, outlineColor, size, scale, outlineWidth, text, anchor, nullptr,
                                 nullptr);
}

int CFontTexture::DrawTextOutlinedZImpl(float x, float y, float z, uint32_t color, uint32_t outlineColor,
                                        uint32_t size, float scale, float outlineWidth, const char* text,
                                        uint8_t anchor, float* endX, float* endY)
{
    const float d = outlineWidth * Scale(size, scale);
    for (int copy = 0; copy < 9; ++copy)
    {
        const float dx = OUTLINE_OFFSETS[copy][0] * d;
        const float dy = OUTLINE_OFFSETS[copy][1] * d;
        const bool last = copy == 8;
        if (!DrawTextImpl(x + dx, y + dy, z, x + dx, last ? color : outlineColor, size, scale, text, anchor,
                          last ? endX : nullptr, last ? endY : nullptr))
            return 0;
    }
    return 1;
}

int CFontTexture::DrawTextFitOutlined(float x, float y, float maxWidth, float maxHeight, uint32_t color,
                                      uint32_t outlineColor, uint32_t size, float scale, float outlineWidth,
                                      const char* text)
{
    return DrawTextFitOutlinedImpl(x, y, maxWidth, maxHeight, color, outlineColor, size, scale, outlineWidth, text,
                                   KVRDRAWANCHOR_DEFAULT);
}

int CFontTexture::DrawTextFitOutlinedImpl(float x, float y, float maxWidth, float maxHeight, uint32_t color,
                                          uint32_t outlineColor, uint32_t size, float scale, float outlineWidth,
                                          const char* text, uint8_t anchor)
{
    const float d = outlineWidth * Scale(size, scale);
    for (int copy = 0; copy < 9; ++copy)
    {
        const bool last = copy == 8;
        if (!DrawTextFit(x + OUTLINE_OFFSETS[copy][0] * d, y + OUTLINE_OFFSETS[copy][1] * d, maxWidth, maxHeight,
                         last ? color : outlineColor, size, scale, text, anchor))
            return 0;
    }
    return 1;
}

int CFontTexture::DrawTextWrappedOutlined(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                          uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                                          float outlineWidth, const char* text, uint8_t anchor)
{
    return DrawTextWrappedOutlinedImpl(x, y, lineStartX, lineHeight, maxBytes, color, outlineColor, size, scale,
                                       outlineWidth, text, anchor, nullptr, nullptr);
}

int CFontTexture::DrawTextWrappedOutlinedImpl(float x, float y, float lineStartX, float lineHeight,
                                              uint32_t maxBytes, uint32_t color, uint32_t outlineColor,
                                              uint32_t size, float scale, float outlineWidth, const char* text,
                                              uint8_t anchor, float* endX, float* endY)
{
    const float d = outlineWidth * Scale(size, scale);
    for (int copy = 0; copy < 9; ++copy)
    {
        const float dx = OUTLINE_OFFSETS[copy][0] * d;
        const float dy = OUTLINE_OFFSETS[copy][1] * d;
        const bool last = copy == 8;
        if (!DrawTextWrappedMarginAnchorEnd(x + dx, y + dy, lineStartX + dx, lineHeight, maxBytes,
                                            last ? color : outlineColor, size, scale, text, anchor,
                                            last ? endX : nullptr, last ? endY : nullptr))
            return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Measures

int CFontTexture::GetTextRect(float x, float y, uint32_t size, float scale, const char* text, uint8_t anchor,
                              float* rect)
{
    HandOver(text);
    if (text == nullptr || rect == nullptr)
        return 0;
    const float s = Scale(size, scale);
    float width = 0.0f;
    float height = 0.0f;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        const KVRFONTCACHEENTRY* entry = CharEntry(text + at, length);
        if (entry == nullptr)
            return 0;
        width += entry->width * s;
        height = std::max(height, entry->height * s);
    }
    const float offsetX = AnchorOffsetX(anchor, width);
    const float offsetY = AnchorOffsetY(anchor, height);
    rect[0] = x - offsetX;
    rect[1] = y - offsetY;
    rect[2] = x + width - offsetX;
    rect[3] = y + height - offsetY;
    return 1;
}

int CFontTexture::GetWrappedTextRect(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                     float wrapX, uint32_t size, float scale, const char* text, uint8_t anchor,
                                     float* rect)
{
    if (text == nullptr || rect == nullptr)
        return 0;
    WrapLayout layout;
    if (!MeasureWrapped(&layout, x, y, lineStartX, lineHeight, maxBytes, wrapX, size, scale, text))
        return 0;
    const float offsetX = AnchorOffsetX(anchor, layout.widest);
    const float offsetY = AnchorOffsetY(anchor, layout.advances + layout.tallest);
    const float left = std::min(x, lineStartX);
    rect[0] = left - offsetX;
    rect[1] = y - offsetY;
    rect[2] = (layout.anyGlyph ? layout.right : left) - offsetX;
    rect[3] = y + layout.advances + layout.tallest - offsetY;
    return 1;
}

int CFontTexture::GetWrappedTextRectSimple(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t size,
                                           float scale, const char* text, uint8_t anchor, float* rect)
{
    return GetWrappedTextRect(x, y, x, lineHeight, maxBytes, 0.0f, size, scale, text, anchor, rect);
}

int CFontTexture::GetWrappedTextRectFrom(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                         uint32_t size, float scale, const char* text, uint8_t anchor, float* rect)
{
    return GetWrappedTextRect(x, y, lineStartX, lineHeight, maxBytes, 0.0f, size, scale, text, anchor, rect);
}

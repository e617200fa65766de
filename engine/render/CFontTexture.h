#pragma once

#include "engine/render/CTexture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

class FontFace;

// One cached text in the glyph texture: its rectangle in texels (a 2-texel
// margin on the right and bottom included) and its own copy of the text.
struct KVRFONTCACHEENTRY
{
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
    char* text;
};

// Text drawn from a font through a glyph cache: strings or single
// characters are rendered once into free space of the texture (white, the
// coverage in alpha, so the draw colour tints them) and drawn afterwards as
// sprites of their rectangles. Text is Shift-JIS.
//
// Scale of every draw: s = size / font height x scale. Whole-string draws
// treat the text as one cache entry; glyph-by-glyph draws lay out one
// entry per character with anchors, line breaks, wrapping, fitting,
// outlines and boxes. A text that finds the texture full empties the cache
// and takes its place at the top. Draws and measures return 1, or 0 when
// the text is null or cannot be cached (it is larger than the whole
// texture). Main thread only.
class CFontTexture : public CTexture
{
public:
    static constexpr uint32_t FORMAT_BUFFER_SIZE = 512;

    CFontTexture();
    ~CFontTexture() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CFontTexture"; }

    // Every text handed to any font (draws, measures, the cache) is passed
    // whole, as it arrives, to the listener, so that tests can check what
    // the game shows; null stops. Main thread only, like the font.
    using TextListener = void (*)(const char* text, void* context);
    static void SetTextListener(TextListener listener, void* context);

    // Set-up. fontHeight > 0 is the cell height, < 0 the character height.
    int CreateDefault(uint32_t width, uint32_t height, const char* faceName, int32_t fontHeight);
    int Create(uint32_t width, uint32_t height, uint32_t format, const char* faceName, int32_t fontHeight);
    // The font file (a data path) is opened by the font engine directly and
    // is seen by this process only.
    int AddFontFile(uint32_t width, uint32_t height, uint32_t format, const char* fontFile, const char* faceName,
                    int32_t fontHeight);
    int CreateFont(const char* faceName, int32_t height);
    uint32_t GetFontHeight() const { return m_fontHeight; }
    const char* GetFaceName() const { return m_faceName; }
    const FontFace* GetFontFace() const { return m_font.get(); }

    // The cache. An entry found is valid until the next text is cached:
    // adding one may move the entries, and a full texture empties them.
    int CacheText(const char* text);
    int CacheTextEx(const char* text, uint32_t minLineHeight);
    int CacheTextEx2(const char* text, uint32_t minCharWidth, uint32_t minLineHeight);
    int CacheTextFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    KVRFONTCACHEENTRY* FindCacheEntry(const char* text);
    KVRFONTCACHEENTRY* FindCacheEntryFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    KVRFONTCACHEENTRY* AddCacheEntry(const char* text);
    int ReleaseCache();
    uint32_t GetCacheEntryCount() const { return m_entryCount; }
    const KVRFONTCACHEENTRY* GetCacheEntry(uint32_t index) const;

    // Whole-string draws.
    int DrawCacheEntry(float x, float y, uint32_t color, uint8_t anchor, const KVRFONTCACHEENTRY* entry);
    int DrawCacheEntrySimple(float x, float y, uint32_t color, const KVRFONTCACHEENTRY* entry);
    int DrawString(float x, float y, uint32_t color, const char* text);
    int DrawStringEx(float x, float y, uint32_t color, const char* text, uint8_t anchor);
    int DrawStringFormat(float x, float y, uint32_t color, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    int DrawStringSized(float x, float y, uint32_t color, uint32_t size, const char* text);
    int DrawStringScaled(float x, float y, uint32_t color, uint32_t size, float scale, const char* text);
    int DrawStringScaledEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text,
                           uint8_t anchor);
    int DrawStringScaledImpl(float x, float y, uint32_t color, uint32_t size, float sx, float sy, const char* text,
                             uint8_t anchor);
    int DrawStringSizedFormat(float x, float y, uint32_t color, uint32_t size, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    int DrawStringScaledFormat(float x, float y, uint32_t color, uint32_t size, float scale, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    int DrawStringScaledExFormat(float x, float y, uint32_t color, uint32_t size, float scale, uint8_t anchor,
                                 const char* format, ...) __attribute__((format(printf, 8, 9)));
    int DrawStringFit(float x, float y, float maxWidth, float maxHeight, uint32_t color, uint32_t size, float sx,
                      float sy, const char* text, uint8_t anchor);
    int DrawStringFitImpl(float x, float y, float z, float maxWidth, float maxHeight, uint32_t color, uint32_t size,
                          float sx, float sy, const char* text, uint8_t anchor);
    // maxBytes 0: no limit.
    int DrawStringLines(float x, float y, float lineSpacing, uint32_t maxBytes, uint32_t color, uint32_t size,
                        float scale, const char* text);

    // Glyph-by-glyph draws. lineStartX is where lines after the first
    // begin; endX / endY (optional) receive the pen after the last glyph.
    int DrawText(float x, float y, uint32_t color, uint32_t size, float scale, const char* text);
    int DrawTextEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text, uint8_t anchor);
    int DrawTextEnd(float x, float y, uint32_t color, uint32_t size, float scale, const char* text, float* endX,
                    float* endY);
    int DrawTextEndEx(float x, float y, uint32_t color, uint32_t size, float scale, const char* text, uint8_t anchor,
                      float* endX, float* endY);
    int DrawTextFrom(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                     const char* text);
    int DrawTextFromEx(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                       const char* text, uint8_t anchor);
    int DrawTextFromEnd(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                        const char* text, float* endX, float* endY);
    int DrawTextFromEndEx(float x, float y, float lineStartX, uint32_t color, uint32_t size, float scale,
                          const char* text, uint8_t anchor, float* endX, float* endY);
    int DrawTextImpl(float x, float y, float z, float lineStartX, uint32_t color, uint32_t size, float scale,
                     const char* text, uint8_t anchor, float* endX, float* endY);

    int DrawTextFit(float x, float y, float maxWidth, float maxHeight, uint32_t color, uint32_t size, float scale,
                    const char* text, uint8_t anchor);
    int DrawTextFitImpl(float x, float y, float z, float maxWidth, float maxHeight, uint32_t color, uint32_t size,
                        float scale, const char* text, uint8_t anchor);

    // Wrapping: a new line before a character once the line holds maxBytes
    // bytes (0: no limit), and, when wrapX > 0, before a character that
    // would pass wrapX.
    int DrawTextWrapped(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                        float scale, const char* text);
    int DrawTextWrappedEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                          float scale, const char* text, uint8_t anchor);
    int DrawTextWrappedEnd(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                           float scale, const char* text, float* endX, float* endY);
    int DrawTextWrappedEndEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                             float scale, const char* text, uint8_t anchor, float* endX, float* endY);
    int DrawTextWrappedMargin(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                              uint32_t color, uint32_t size, float scale, const char* text);
    int DrawTextWrappedMarginEx(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                uint32_t color, uint32_t size, float scale, const char* text, uint8_t anchor);
    int DrawTextWrappedMarginLimit(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                   float wrapX, uint32_t color, uint32_t size, float scale, const char* text,
                                   uint8_t anchor);
    int DrawTextWrappedMarginEnd(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                 uint32_t color, uint32_t size, float scale, const char* text, float* endX,
                                 float* endY);
    int DrawTextWrappedMarginEndEx(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                   float wrapX, uint32_t color, uint32_t size, float scale, const char* text,
                                   float* endX, float* endY);
    int DrawTextWrappedMarginAnchorEnd(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                       uint32_t color, uint32_t size, float scale, const char* text, uint8_t anchor,
                                       float* endX, float* endY);
    int DrawTextWrappedImpl(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes, float wrapX,
                            uint32_t color, uint32_t size, float scale, const char* text, uint8_t anchor,
                            float* endX, float* endY);

    // Each glyph's cell filled with boxColor: box mode 0 under the glyph,
    // 1 over it, anything else no box.
    int DrawTextWrappedBoxed(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                             float scale, const char* text, uint8_t anchor, uint32_t boxColor, float* endX,
                             float* endY);
    int DrawTextWrappedBoxedEx(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t color, uint32_t size,
                               float scale, const char* text, uint8_t anchor, uint32_t boxColor, int boxMode,
                               float* endX, float* endY);
    int DrawTextWrappedBoxedImpl(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                 float wrapX, uint32_t color, uint32_t size, float scale, const char* text,
                                 uint8_t anchor, uint32_t boxColor, int boxMode, float* endX, float* endY);

    // Outlines: eight copies in the outline colour, outlineWidth x s
    // pixels around, then the text.
    int DrawTextOutlined(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                         float outlineWidth, const char* text);
    int DrawTextOutlinedEx(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                           float outlineWidth, const char* text, uint8_t anchor);
    int DrawTextOutlinedImpl(float x, float y, uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                             float outlineWidth, const char* text, uint8_t anchor, float* endX, float* endY);
    int DrawTextOutlinedZ(float x, float y, float z, uint32_t color, uint32_t outlineColor, uint32_t size,
                          float scale, float outlineWidth, const char* text);
    int DrawTextOutlinedZEx(float x, float y, float z, uint32_t color, uint32_t outlineColor, uint32_t size,
                            float scale, float outlineWidth, const char* text, uint8_t anchor);
    int DrawTextOutlinedZImpl(float x, float y, float z, uint32_t color, uint32_t outlineColor, uint32_t size,
                              float scale, float outlineWidth, const char* text, uint8_t anchor, float* endX,
                              float* endY);
    int DrawTextFitOutlined(float x, float y, float maxWidth, float maxHeight, uint32_t color, uint32_t outlineColor,
                            uint32_t size, float scale, float outlineWidth, const char* text);
    int DrawTextFitOutlinedImpl(float x, float y, float maxWidth, float maxHeight, uint32_t color,
                                uint32_t outlineColor, uint32_t size, float scale, float outlineWidth,
                                const char* text, uint8_t anchor);
    int DrawTextWrappedOutlined(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                                float outlineWidth, const char* text, uint8_t anchor);
    int DrawTextWrappedOutlinedImpl(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                                    uint32_t color, uint32_t outlineColor, uint32_t size, float scale,
                                    float outlineWidth, const char* text, uint8_t anchor, float* endX, float* endY);

    // The pen advance of one character (length bytes of text) in the
    // glyph-by-glyph draws at size and scale; negative when it can't be
    // cached.
    float GetCharAdvance(const char* character, size_t length, uint32_t size, float scale);
    // Measures (left, top, right, bottom in screen pixels); nothing drawn.
    int GetTextRect(float x, float y, uint32_t size, float scale, const char* text, uint8_t anchor, float* rect);
    int GetWrappedTextRect(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes, float wrapX,
                           uint32_t size, float scale, const char* text, uint8_t anchor, float* rect);
    int GetWrappedTextRectSimple(float x, float y, float lineHeight, uint32_t maxBytes, uint32_t size, float scale,
                                 const char* text, uint8_t anchor, float* rect);
    int GetWrappedTextRectFrom(float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                               uint32_t size, float scale, const char* text, uint8_t anchor, float* rect);

private:
    struct WrapLayout;

    int RenderText(const char* text, uint32_t minCharWidth, uint32_t minLineHeight);
    // Where a new entry of the size goes in the texture, emptying the cache
    // when it is full; false when it can't be emptied.
    bool FindRoom(int64_t width, int64_t height, int64_t* x, int64_t* y);
    void FreeEntries();
    bool GrowEntries();
    static void HandOver(const char* text);
    // The entry of a whole text handed in, cached on first use.
    const KVRFONTCACHEENTRY* EntryFor(const char* text);
    // The same without handing over: the pieces of a text already handed.
    const KVRFONTCACHEENTRY* CachedEntry(const char* text);
    const KVRFONTCACHEENTRY* CharEntry(const char* text, size_t length);
    float Scale(uint32_t size, float scale) const;
    template <typename Place>
    bool LayoutWrapped(WrapLayout& layout, const char* text, Place place);
    bool MeasureWrapped(WrapLayout* layout, float x, float y, float lineStartX, float lineHeight, uint32_t maxBytes,
                        float wrapX, uint32_t size, float scale, const char* text);
    int DrawEntryScaled(const KVRFONTCACHEENTRY* entry, float x, float y, float z, float sx, float sy,
                        uint32_t color);

    uint32_t m_entryCount = 0;
    KVRFONTCACHEENTRY* m_entries = nullptr;
    std::unique_ptr<FontFace> m_font;
    uint32_t m_penX = 0;
    uint32_t m_penY = 0;
    uint32_t m_rowHeight = 0;
    uint32_t m_fontFileAdded = 0;
    char m_fontFile[260] = {};
    uint32_t m_fontHeight = 0;
    char m_faceName[64] = {};

    uint32_t m_entryCapacity = 0;
    // Text to entry index: the lookups of glyph text run per character.
    std::unordered_map<std::string, uint32_t> m_index;

    static TextListener s_textListener;
    static void* s_textListenerContext;
};

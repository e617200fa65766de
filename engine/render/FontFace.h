#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// The measures of a face at its pixel size, in whole pixels.
struct FontMetrics
{
    int32_t height = 0;       // ascent + descent
    int32_t ascent = 0;
    int32_t maxCharWidth = 0; // the widest advance of the face
};

// One rendered glyph: rows of 8-bit coverage (0 transparent, 255 opaque).
struct GlyphBitmap
{
    uint32_t width = 0;
    uint32_t rows = 0;
    int32_t left = 0; // from the pen to the bitmap's left edge
    int32_t top = 0;  // from the baseline up to the bitmap's top row
    std::vector<uint8_t> coverage;
};

// A FreeType face chosen by name through fontconfig, at one pixel size.
// Japanese names the machine lacks fall back to a face for Japanese (IPA
// Gothic); other names take fontconfig's nearest match. A heavy weight the
// face does not have is made by emboldening the outlines. Glyphs the face
// lacks come from the Japanese face when there is one.
class FontFace
{
public:
    FontFace();
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // faceName is Shift-JIS. height > 0 is the cell height (ascent plus
    // descent), < 0 the character height, 0 a 12-pixel default. weight is
    // 100-900. fontFile, when given, is a native path (UTF-8) of a font file
    // used in place of a match. False when no face could be opened.
    bool Open(const char* faceName, int32_t height, int32_t weight, const char* fontFile);
    void Close();
    bool IsOpen() const { return m_face != nullptr; }

    const FontMetrics& GetMetrics() const { return m_metrics; }
    const std::string& GetFilePath() const { return m_filePath; }
    bool IsEmboldened() const { return m_embolden; }

    // False when no face has a glyph for the code point.
    bool RenderGlyph(uint32_t codePoint, GlyphBitmap* out);

private:
    FT_FaceRec_* OpenFace(const std::string& path, int index);
    bool SetSize(FT_FaceRec_* face) const;
    bool RenderFrom(FT_FaceRec_* face, uint32_t glyphIndex, GlyphBitmap* out) const;
    FT_FaceRec_* Fallback();

    FT_LibraryRec_* m_library = nullptr;
    FT_FaceRec_* m_face = nullptr;
    FT_FaceRec_* m_fallback = nullptr;
    bool m_fallbackTried = false;
    bool m_embolden = false;
    int32_t m_height = 0;
    FontMetrics m_metrics;
    std::string m_filePath;
};

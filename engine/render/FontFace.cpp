#include "engine/render/FontFace.h"

#include "engine/core/TextEncoding.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace
{
constexpr int32_t DEFAULT_HEIGHT = 12;

// 26.6 fixed point to whole pixels, rounding up.
int32_t CeilPixels(long value)
{
    return static_cast<int32_t>((value + 63) >> 6);
}

struct MatchedFont
{
    std::string path;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    std::vector<std::string> families;
};

// fontconfig's best face for a family (empty: any), a weight and,
// optionally, the Japanese language.
bool MatchFont(const std::string& family, int weight, bool japanese, MatchedFont* out)
{
    if (!FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (japanese)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;
    FcChar8* file = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (found)
    {
        out->path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out->index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &out->weight);
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
            out->families.emplace_back(reinterpret_cast<const char*>(name));
    }
    FcPatternDestroy(match);
    return found;
}

bool HasFamily(const MatchedFont& font, const std::string& family)
{
    return std::any_of(font.families.begin(), font.families.end(),
                       [&](const std::string& name) { return strcasecmp(name.c_str(), family.c_str()) == 0; });
}

bool IsJapaneseName(const char* name)
{
    for (const char* at = name; *at != 0; ++at)
    {
        if (static_cast<unsigned char>(*at) >= 0x80)
            return true;
    }
    return false;
}
}

FontFace::FontFace() = default;

FontFace::~FontFace()
{
    Close();
}

void FontFace::Close()
{
    if (m_fallback != nullptr)
        FT_Done_Face(m_fallback);
    if (m_face != nullptr)
        FT_Done_Face(m_face);
    if (m_library != nullptr)
        FT_Done_FreeType(m_library);
    m_fallback = nullptr;
    m_face = nullptr;
    m_library = nullptr;
    m_fallbackTried = false;
    m_embolden = false;
    m_metrics = FontMetrics();
    m_filePath.clear();
}

FT_FaceRec_* FontFace::OpenFace(const std::string& path, int index)
{
    FT_Face face = nullptr;
    if (FT_New_Face(m_library, path.c_str(), index, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face) || !SetSize(face))
    {
        FT_Done_Face(face);
        return nullptr;
    }
    return face;
}

bool FontFace::SetSize(FT_FaceRec_* face) const
{
    FT_Size_RequestRec request = {};
    request.type = m_height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
    const int32_t pixels = m_height > 0 ? m_height : (m_height < 0 ? -m_height : DEFAULT_HEIGHT);
    request.height = static_cast<FT_Long>(pixels) * 64;
    return FT_Request_Size(face, &request) == 0;
}

bool FontFace::Open(const char* faceName, int32_t height, int32_t weight, const char* fontFile)
{
    Close();
    if (FT_Init_FreeType(&m_library) != 0)
    {
        m_library = nullptr;
        return false;
    }
    m_height = height;
    const char* name = faceName != nullptr ? faceName : "";
    const std::string family = ConvertShiftJisToUtf8(name);
    int faceWeight = FC_WEIGHT_REGULAR;
    if (fontFile != nullptr && *fontFile != 0)
    {
        m_face = OpenFace(fontFile, 0);
        m_filePath = fontFile;
        // A file added by the program is used as it is; its weight is the
        // style it says it has.
        if (m_face != nullptr)
            faceWeight = (m_face->style_flags & FT_STYLE_FLAG_BOLD) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
    }
    if (m_face == nullptr)
    {
        const bool japanese = IsJapaneseName(name);
        MatchedFont match;
        bool found = MatchFont(family, weight, japanese, &match);
        // An unknown Japanese name: the Japanese face, not whatever
        // fontconfig thinks is nearest.
        if (found && japanese && !HasFamily(match, family))
        {
            match = MatchedFont();
            found = MatchFont(std::string(), weight, true, &match);
        }
        if (!found)
        {
            Close();
            return false;
        }
        m_face = OpenFace(match.path, match.index);
        m_filePath = match.path;
        faceWeight = match.weight;
    }
    if (m_face == nullptr)
    {
        Close();
        return false;
    }
    m_embolden = FcWeightFromOpenType(weight) >= FC_WEIGHT_EXTRABOLD && faceWeight < FC_WEIGHT_EXTRABOLD;
    const FT_Size_Metrics& size = m_face->size->metrics;
    m_metrics.ascent = CeilPixels(size.ascender);
    m_metrics.height = m_metrics.ascent + CeilPixels(-size.descender);
    m_metrics.maxCharWidth = CeilPixels(size.max_advance);
    return true;
}

FT_FaceRec_* FontFace::Fallback()
{
    if (m_fallbackTried)
        return m_fallback;
    m_fallbackTried = true;
    MatchedFont match;
    if (MatchFont(std::string(), 400, true, &match) && match.path != m_filePath)
        m_fallback = OpenFace(match.path, match.index);
    return m_fallback;
}

bool FontFace::RenderFrom(FT_FaceRec_* face, uint32_t glyphIndex, GlyphBitmap* out) const
{
    if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_NO_BITMAP) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (m_embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE)
    {
        // The strength FreeType's own synthetic bold uses: 1/24 of the em.
        const FT_Pos strength = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
        FT_Outline_Embolden(&slot->outline, strength);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0)
        return false;
    out->width = bitmap.width;
    out->rows = bitmap.rows;
    out->left = slot->bitmap_left;
    out->top = slot->bitmap_top;
    out->coverage.assign(static_cast<size_t>(bitmap.width) * bitmap.rows, 0);
    for (uint32_t row = 0; row < bitmap.rows; ++row)
    {
        // The pitch is what takes a row pointer one row down, whatever its sign.
        const uint8_t* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        std::memcpy(out->coverage.data() + static_cast<size_t>(row) * bitmap.width, source, bitmap.width);
    }
    return true;
}

bool FontFace::RenderGlyph(uint32_t codePoint, GlyphBitmap* out)
{
    if (m_face == nullptr || out == nullptr || codePoint == 0)
        return false;
    const FT_UInt index = FT_Get_Char_Index(m_face, codePoint);
    if (index != 0)
        return RenderFrom(m_face, index, out);
    FT_FaceRec_* fallback = Fallback();
    if (fallback == nullptr)
        return false;
    const FT_UInt fallbackIndex = FT_Get_Char_Index(fallback, codePoint);
    return fallbackIndex != 0 && RenderFrom(fallback, fallbackIndex, out);
}

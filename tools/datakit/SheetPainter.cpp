// Stand-in pictures of the texture sheets, drawn cell by cell.
//
// Sections: pixels and shapes; labels (glyphs through FreeType); a cell by
// its kind; a whole sheet.
#include "tools/datakit/SheetPainter.h"

#include "engine/core/TextEncoding.h"
#include "engine/render/FontFace.h"
#include "tools/datakit/ImageEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using SheetCells::CellKind;
using SheetCells::SheetCell;

namespace
{
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
// The face of the game's fonts; machines without it use IPA Gothic.
constexpr const char* kFaceUtf8 = "ＭＳ ゴシック";
constexpr int32_t kHeavy = 900;
// Labels fill this much of a cell's height, at most this many pixels.
constexpr float kLabelShare = 0.62f;
constexpr float kLargestLabel = 160.0f;
constexpr float kLabelMargin = 6.0f;
// The menu background's label: the strip along its bottom edge.
constexpr float kCaptionMargin = 2.0f;

uint32_t Channel(uint32_t argb, int shift)
{
    return (argb >> shift) & 0xFF;
}

uint32_t Lighter(uint32_t argb, int amount)
{
    uint32_t out = argb & 0xFF000000u;
    for (int shift : {16, 8, 0})
        out |= std::min<uint32_t>(255, Channel(argb, shift) + amount) << shift;
    return out;
}

// The code points of a UTF-8 text (malformed bytes are skipped).
std::vector<uint32_t> CodePoints(const std::string& utf8)
{
    std::vector<uint32_t> points;
    for (size_t i = 0; i < utf8.size();)
    {
        const uint8_t lead = static_cast<uint8_t>(utf8[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > utf8.size())
        {
            ++i;
            continue;
        }
        uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            point = point << 6 | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
        points.push_back(point);
        i += length;
    }
    return points;
}

}

struct SheetPainter::PlacedGlyph
{
    int32_t x;
    GlyphBitmap glyph;
};

SheetPainter::SheetPainter(uint32_t width, uint32_t height, uint32_t empty)
    : m_width(width), m_height(height), m_argb(static_cast<size_t>(width) * height, empty)
{
}

SheetPainter::~SheetPainter() = default;

void SheetPainter::Blend(int32_t x, int32_t y, uint32_t argb, float coverage)
{
    if (x < 0 || y < 0 || x >= static_cast<int32_t>(m_width) || y >= static_cast<int32_t>(m_height))
        return;
    uint32_t& pixel = m_argb[static_cast<size_t>(y) * m_width + static_cast<size_t>(x)];
    const float as = static_cast<float>(Channel(argb, 24)) / 255.0f * std::clamp(coverage, 0.0f, 1.0f);
    const float ad = static_cast<float>(Channel(pixel, 24)) / 255.0f;
    const float ao = as + ad * (1.0f - as);
    if (ao <= 0.0f)
        return;
    uint32_t out = static_cast<uint32_t>(std::lround(ao * 255.0f)) << 24;
    for (int shift : {16, 8, 0})
    {
        const float cs = static_cast<float>(Channel(argb, shift));
        const float cd = static_cast<float>(Channel(pixel, shift));
        out |= static_cast<uint32_t>(std::lround((cs * as + cd * ad * (1.0f - as)) / ao)) << shift;
    }
    pixel = out;
}

void SheetPainter::Fill(const Box& box, uint32_t argb)
{
    const Box inside = Clip(box);
    for (int32_t y = inside.top; y < inside.bottom; ++y)
    {
        uint32_t* row = m_argb.data() + static_cast<size_t>(y) * m_width;
        std::fill(row + inside.left, row + inside.right, argb);
    }
}

SheetPainter::Box SheetPainter::Clip(const Box& box) const
{
    const int32_t width = static_cast<int32_t>(m_width);
    const int32_t height = static_cast<int32_t>(m_height);
    const Box clipped{std::clamp(box.left, 0, width), std::clamp(box.top, 0, height), std::clamp(box.right, 0, width),
                      std::clamp(box.bottom, 0, height)};
    return {clipped.left, clipped.top, std::max(clipped.left, clipped.right), std::max(clipped.top, clipped.bottom)};
}

void SheetPainter::Frame(const Box& box, int32_t thickness, uint32_t argb)
{
    Fill({box.left, box.top, box.right, box.top + thickness}, argb);
    Fill({box.left, box.bottom - thickness, box.right, box.bottom}, argb);
    Fill({box.left, box.top, box.left + thickness, box.bottom}, argb);
    Fill({box.right - thickness, box.top, box.right, box.bottom}, argb);
}

void SheetPainter::Gradient(const Box& box, uint32_t argb)
{
    // Lighter towards the top, with a lighter grid every 64 pixels.
    const Box inside = Clip(box);
    const int32_t height = std::max(box.bottom - box.top, 1);
    for (int32_t y = inside.top; y < inside.bottom; ++y)
    {
        const int amount = 90 * (box.bottom - y) / height;
        const uint32_t plain = Lighter(argb, amount);
        const uint32_t grid = Lighter(argb, amount + 30);
        const bool gridRow = (y - box.top) % 64 == 0;
        uint32_t* row = m_argb.data() + static_cast<size_t>(y) * m_width;
        for (int32_t x = inside.left; x < inside.right; ++x)
            row[x] = gridRow || (x - box.left) % 64 == 0 ? grid : plain;
    }
}

void SheetPainter::Triangle(const Box& box, uint32_t argb, bool sideways)
{
    // Its base along the bottom (or the left side), a pixel of soft edge.
    const float length = static_cast<float>(sideways ? box.right - box.left : box.bottom - box.top);
    const float across = static_cast<float>(sideways ? box.bottom - box.top : box.right - box.left);
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float along =
                sideways ? static_cast<float>(box.right - x) - 0.5f : static_cast<float>(y - box.top) + 0.5f;
            const float offset =
                sideways ? static_cast<float>(y - box.top) + 0.5f : static_cast<float>(x - box.left) + 0.5f;
            const float half = across * 0.5f * along / length;
            Blend(x, y, argb, half - std::fabs(offset - across * 0.5f) + 0.5f);
        }
    }
}

void SheetPainter::PointerShape(const Box& box)
{
    // The usual arrow with its tip at the top-left corner: black, and white
    // two pixels inside.
    const float size = static_cast<float>(std::min(box.right - box.left, box.bottom - box.top));
    auto inside = [size](float u, float v, float inset) {
        // Left of the slanted edge, right of the left edge, above the foot.
        return u >= inset && v >= 1.6f * u + inset * 1.9f && u + 0.6f * v <= size * 0.66f - inset;
    };
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float u = static_cast<float>(x - box.left) + 0.5f;
            const float v = static_cast<float>(y - box.top) + 0.5f;
            if (inside(u, v, 2.0f))
                Blend(x, y, kWhite, 1.0f);
            else if (inside(u, v, 0.0f))
                Blend(x, y, kBlack, 1.0f);
        }
    }
}

void SheetPainter::Disc(const Box& box)
{
    const float rx = static_cast<float>(box.right - box.left) * 0.5f;
    const float ry = static_cast<float>(box.bottom - box.top) * 0.5f;
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float dx = (static_cast<float>(x - box.left) + 0.5f - rx) / rx;
            const float dy = (static_cast<float>(y - box.top) + 0.5f - ry) / ry;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d < 1.0f)
                Blend(x, y, kWhite, (1.0f - d) * (1.0f - d));
        }
    }
}

void SheetPainter::Glow(const Box& box)
{
    const float width = static_cast<float>(box.right - box.left);
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float share = (static_cast<float>(x - box.left) + 0.5f) / width;
            Blend(x, y, kWhite, 0.6f * std::sin(3.14159265f * share));
        }
    }
}

FontFace* SheetPainter::Face(int32_t pixelHeight)
{
    std::unique_ptr<FontFace>& face = m_faces[pixelHeight];
    if (!face)
    {
        face = std::make_unique<FontFace>();
        if (!face->Open(ConvertUtf8ToShiftJis(kFaceUtf8).c_str(), pixelHeight, kHeavy, nullptr))
            return nullptr;
    }
    return face->IsOpen() ? face.get() : nullptr;
}

void SheetPainter::Text(const std::string& utf8, float centreX, float centreY, float width, float height,
                        uint32_t fill)
{
    const std::vector<uint32_t> points = CodePoints(utf8);
    if (Line(points, centreX, centreY, width, height, false, fill))
        return;
    // Too long for one line at a readable size: two lines at the space
    // nearest the middle.
    size_t split = points.size();
    for (size_t i = 0; i < points.size(); ++i)
    {
        if (points[i] == ' ' &&
            (split == points.size() || std::abs(static_cast<long>(i) - static_cast<long>(points.size() / 2)) <
                                           std::abs(static_cast<long>(split) - static_cast<long>(points.size() / 2))))
            split = i;
    }
    if (split == points.size())
    {
        Line(points, centreX, centreY, width, height, true, fill);
        return;
    }
    const std::vector<uint32_t> first(points.begin(), points.begin() + static_cast<long>(split));
    const std::vector<uint32_t> second(points.begin() + static_cast<long>(split) + 1, points.end());
    const float lineHeight = height * 0.5f / kLabelShare * 0.8f;
    Line(first, centreX, centreY - lineHeight * 0.5f, width, lineHeight, true, fill);
    Line(second, centreX, centreY + lineHeight * 0.5f, width, lineHeight, true, fill);
}

bool SheetPainter::Line(const std::vector<uint32_t>& points, float centreX, float centreY, float width, float height,
                        bool shrinkAnyway, uint32_t fill)
{
    const int32_t wanted = static_cast<int32_t>(std::min(height, kLargestLabel));
    int32_t pixelHeight = wanted;
    for (int attempt = 0; attempt < 8 && pixelHeight >= 6; ++attempt)
    {
        FontFace* face = Face(pixelHeight);
        if (face == nullptr)
            return true;
        std::vector<PlacedGlyph> glyphs;
        int32_t pen = 0;
        for (uint32_t point : points)
        {
            GlyphBitmap glyph;
            if (point == ' ' || point == 0x3000 || !face->RenderGlyph(point, &glyph))
            {
                pen += pixelHeight / (point == 0x3000 ? 1 : 3);
                continue;
            }
            const int32_t advance = static_cast<int32_t>(glyph.width) + glyph.left + 1;
            glyphs.push_back({pen, std::move(glyph)});
            pen += advance;
        }
        if (static_cast<float>(pen) > width && pen > 0)
        {
            // Too wide: the size that would fit, a little smaller.
            pixelHeight =
                static_cast<int32_t>(static_cast<float>(pixelHeight) * width / static_cast<float>(pen) * 0.97f);
            if (!shrinkAnyway && pixelHeight * 2 < wanted)
                return false;
            continue;
        }
        DrawGlyphs(glyphs, face->GetMetrics(), centreX, centreY, pen, fill);
        return true;
    }
    return true;
}

void SheetPainter::DrawGlyphs(const std::vector<PlacedGlyph>& glyphs, const FontMetrics& metrics, float centreX,
                              float centreY, int32_t width, uint32_t fill)
{
    const int32_t left = static_cast<int32_t>(std::lround(centreX - static_cast<float>(width) * 0.5f));
    const int32_t baseline =
        static_cast<int32_t>(std::lround(centreY - static_cast<float>(metrics.height) * 0.5f)) + metrics.ascent;
    // The outline first (the glyph moved one pixel each way), then the glyph.
    for (int pass = 0; pass < 2; ++pass)
    {
        for (const PlacedGlyph& placed : glyphs)
        {
            const GlyphBitmap& g = placed.glyph;
            for (uint32_t row = 0; row < g.rows; ++row)
            {
                for (uint32_t column = 0; column < g.width; ++column)
                {
                    const float coverage = static_cast<float>(g.coverage[row * g.width + column]) / 255.0f;
                    if (coverage <= 0.0f)
                        continue;
                    const int32_t x = left + placed.x + g.left + static_cast<int32_t>(column);
                    const int32_t y = baseline - g.top + static_cast<int32_t>(row);
                    if (pass == 1)
                    {
                        Blend(x, y, fill, coverage);
                        continue;
                    }
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            Blend(x + dx, y + dy, kBlack, coverage);
                }
            }
        }
    }
}

void SheetPainter::Draw(const SheetCell& cell)
{
    const Box box{static_cast<int32_t>(cell.rect.left), static_cast<int32_t>(cell.rect.top),
                  static_cast<int32_t>(cell.rect.right), static_cast<int32_t>(cell.rect.bottom)};
    const uint32_t color = cell.color != 0 ? cell.color : SheetCells::KindColor(cell.kind);
    if (DrawShape(cell, color))
        return;
    const float width = cell.rect.Width();
    const float height = cell.rect.Height();
    const float centreX = cell.rect.left + width * 0.5f;
    const float centreY = cell.rect.top + height * 0.5f;
    switch (cell.kind)
    {
    case CellKind::Arrow:
        Triangle(box, cell.label.empty() ? color : Lighter(color, 80), false);
        return;
    case CellKind::Marker:
        Triangle(box, color, true);
        return;
    case CellKind::Cursor:
    {
        // The frames pulse: each is a little fainter than the one before.
        const uint32_t frame = static_cast<uint32_t>(std::atoi(cell.label.c_str()));
        Frame(box, 5, (color & 0x00FFFFFFu) | (255u - 24u * frame) << 24);
        return;
    }
    case CellKind::Pointer:
        PointerShape(box);
        return;
    case CellKind::Mote:
        Disc(box);
        return;
    case CellKind::Light:
        Glow(box);
        return;
    case CellKind::Picture:
        Gradient(box, color);
        Text(cell.label, cell.rect.left + 160.0f, cell.rect.bottom - 40.0f, 300.0f, 32.0f);
        return;
    case CellKind::Backdrop:
        // No label: the menus over it leave no place that none of them
        // covers.
        Gradient(box, color);
        return;
    case CellKind::Splash:
        Gradient(box, color);
        Text(cell.label, centreX, cell.rect.top + height * 0.4f, width * 0.8f, kLargestLabel);
        return;
    case CellKind::Prompt:
        Text(cell.label, centreX, centreY, width - kLabelMargin * 2.0f, height * kLabelShare);
        return;
    case CellKind::Stripe:
        // A labelled stripe (a closed seat's panel) says what it is.
        Fill(box, color);
        if (!cell.label.empty())
            Text(cell.label, centreX, centreY, width - kLabelMargin * 2.0f, height * kLabelShare);
        return;
    case CellKind::Bar:
    case CellKind::BarFill:
        Fill(box, color);
        return;
    case CellKind::Caption:
        // Too low for a frame and a margin: the name alone, as tall as the
        // plate, so it reads at the size the screen draws it.
        Fill(box, color);
        Text(cell.label, centreX, centreY, width - kCaptionMargin * 2.0f, height);
        return;
    default:
        break;
    }
    Fill(box, color);
    if (width >= 12.0f && height >= 12.0f)
        Frame(box, 2, Lighter(color, 70));
    if (!cell.label.empty())
        Text(cell.label, centreX, centreY, width - kLabelMargin * 2.0f, height * kLabelShare);
}

std::vector<uint8_t> PaintSheet(const SheetCells::SheetSpec& sheet, const std::vector<SheetCell>& cells)
{
    SheetPainter painter(sheet.width, sheet.height, sheet.empty);
    for (const SheetCell& cell : cells)
    {
        if (cell.sheet == sheet.name)
            painter.Draw(cell);
    }
    if (sheet.opaque)
        return ImageEncoder::EncodeDdsDxt1(painter.Pixels(), sheet.width, sheet.height);
    return ImageEncoder::EncodeDdsArgb(painter.Pixels(), sheet.width, sheet.height);
}

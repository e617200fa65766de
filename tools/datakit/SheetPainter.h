#pragma once

#include "tools/datakit/SheetCells.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class FontFace;
struct FontMetrics;

// Paints a sheet's cells into ARGB pixels (rows top-down): each cell at
// exactly its rectangle, in its kind's colour and shape, framed, with its
// label in the engine's font through FreeType (white with a black outline,
// shrunk to fit the cell).
class SheetPainter
{
public:
    SheetPainter(uint32_t width, uint32_t height, uint32_t empty);
    ~SheetPainter();
    SheetPainter(const SheetPainter&) = delete;
    SheetPainter& operator=(const SheetPainter&) = delete;

    void Draw(const SheetCells::SheetCell& cell);
    // A label alone, its middle at (x, y), at most height pixels tall and
    // width wide, in fill colour with a black outline.
    void Text(const std::string& utf8, float centreX, float centreY, float width, float height,
              uint32_t fill = 0xFFFFFFFFu);

    // Starts again from the given pixels (a sheet of the same size).
    void SetPixels(const std::vector<uint32_t>& argb)
    {
        if (argb.size() == m_argb.size())
            m_argb = argb;
    }
    const std::vector<uint32_t>& Pixels() const { return m_argb; }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }

private:
    struct Box
    {
        int32_t left, top, right, bottom;
    };
    // The part of a box inside the sheet.
    Box Clip(const Box& box) const;
    void Blend(int32_t x, int32_t y, uint32_t argb, float coverage);
    void Fill(const Box& box, uint32_t argb);
    void Frame(const Box& box, int32_t thickness, uint32_t argb);
    void Gradient(const Box& box, uint32_t argb);
    // Pointing up, or right when sideways is set.
    void Triangle(const Box& box, uint32_t argb, bool sideways);
    // One line of text; false when it had to shrink below half the height.
    bool Line(const std::vector<uint32_t>& points, float centreX, float centreY, float width, float height,
              bool shrinkAnyway, uint32_t fill);
    void PointerShape(const Box& box);
    void Disc(const Box& box);
    void Glow(const Box& box);
    struct PlacedGlyph;
    void DrawGlyphs(const std::vector<PlacedGlyph>& glyphs, const FontMetrics& metrics, float centreX, float centreY,
                    int32_t width, uint32_t fill);
    // The HUD's shapes (SheetShapes.cpp); false for a kind they don't draw.
    bool DrawShape(const SheetCells::SheetCell& cell, uint32_t color);
    void Round(const Box& box, float inner, float outer, uint32_t argb);
    void Cross(const Box& box, float gap, float thickness, uint32_t argb);
    void RadarFace(const Box& box, uint32_t argb);
    void ScopeView(const Box& box, uint32_t argb);
    void BracketCorners(const Box& box, uint32_t argb);
    void TriangleDown(const Box& box, uint32_t argb);
    void WindowPicture(const Box& box, uint32_t argb);
    void PanelPlate(const Box& box, uint32_t argb, const std::string& label);
    FontFace* Face(int32_t pixelHeight);

    uint32_t m_width;
    uint32_t m_height;
    std::vector<uint32_t> m_argb;
    std::map<int32_t, std::unique_ptr<FontFace>> m_faces;
};

// The DDS file of one sheet with every cell of it drawn.
std::vector<uint8_t> PaintSheet(const SheetCells::SheetSpec& sheet, const std::vector<SheetCells::SheetCell>& cells);

// Layout-unit drawing of the menu screens.
#include "game/menu/CMenuPainter.h"

#include "engine/render/CFontTexture.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CTexture.h"

#include <algorithm>

namespace
{
// Text outlines are one pixel at the layout's scale.
constexpr float kOutlineWidth = 1.0f;
// A fitted text's outline: eight copies around it, then the text.
constexpr float kOutlineOffsets[9][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}, {0, 0}};

uint32_t OutlineOf(uint32_t color)
{
    return MenuColor(MenuRole::Outline, static_cast<float>(color >> 24) / 255.0f);
}
}

void CMenuPainter::Picture(CTexture* sheet, const MenuCell& cell, MenuPoint at, uint32_t color, MenuAnchor anchor,
                           float scale, uint8_t flip, float depth) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const MenuPoint pixels = m_layout.ToPixels(at);
    const float s = m_layout.Scale() * scale;
    sheet->DrawScaledImpl(pixels.x, pixels.y, depth, source.data(), s, s, color, flip, 0, 0, ToDrawAnchor(anchor));
}

void CMenuPainter::PictureStretched(CTexture* sheet, const MenuCell& cell, MenuPoint at, float scaleX, float scaleY,
                                    uint32_t color, MenuAnchor anchor) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const MenuPoint pixels = m_layout.ToPixels(at);
    const float s = m_layout.Scale();
    sheet->DrawScaledImpl(pixels.x, pixels.y, 0.0f, source.data(), s * scaleX, s * scaleY, color, 0, 0, 0,
                          ToDrawAnchor(anchor));
}

void CMenuPainter::PictureRotated(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float degrees,
                                  uint32_t color, float scale, uint8_t flip) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const MenuPoint pixels = m_layout.ToPixels(centre);
    const float s = m_layout.Scale() * scale;
    // The drawer turns about the middle of the drawn size, placed by its
    // top-left corner; a quarter turn swaps that size.
    const bool quarter = flip == KVRDRAWFLIP_CLOCKWISE || flip == KVRDRAWFLIP_ANTICLOCKWISE;
    const float width = (quarter ? cell.Height() : cell.Width()) * s;
    const float height = (quarter ? cell.Width() : cell.Height()) * s;
    sheet->DrawRotatedImpl(pixels.x - width * 0.5f, pixels.y - height * 0.5f, source.data(), degrees, s, s, color, flip,
                           KVRDRAWANCHOR_ROTATED_DEFAULT);
}

void CMenuPainter::PictureInto(CTexture* sheet, const MenuCell& cell, const MenuRect& into, uint32_t color) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const MenuRect pixels = m_layout.ToPixels(into);
    const float target[4] = {pixels.left, pixels.top, pixels.right, pixels.bottom};
    sheet->DrawRect(target, source.data(), color, 0);
}

void CMenuPainter::PictureIntoClipped(CTexture* sheet, const MenuCell& cell, const MenuRect& into, const MenuRect& clip,
                                      uint32_t color) const
{
    const MenuRect visible{std::max(into.left, clip.left), std::max(into.top, clip.top),
                           std::min(into.right, clip.right), std::min(into.bottom, clip.bottom)};
    if (visible.left >= visible.right || visible.top >= visible.bottom || into.Width() <= 0.0f || into.Height() <= 0.0f)
        return;
    // The source shrinks in the same proportion as the destination.
    const float u = cell.Width() / into.Width();
    const float v = cell.Height() / into.Height();
    const MenuCell part{.left = cell.left + (visible.left - into.left) * u,
                        .top = cell.top + (visible.top - into.top) * v,
                        .right = cell.right - (into.right - visible.right) * u,
                        .bottom = cell.bottom - (into.bottom - visible.bottom) * v};
    PictureInto(sheet, part, visible, color);
}

void CMenuPainter::Frame(CTexture* sheet, const MenuCell& cell, float border, const MenuRect& rect,
                         uint32_t color) const
{
    // Columns and rows of the cut cell and of the drawn rectangle.
    const float cellX[4] = {cell.left, cell.left + border, cell.right - border, cell.right};
    const float cellY[4] = {cell.top, cell.top + border, cell.bottom - border, cell.bottom};
    const float drawX[4] = {rect.left, rect.left + border, rect.right - border, rect.right};
    const float drawY[4] = {rect.top, rect.top + border, rect.bottom - border, rect.bottom};
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 3; ++column)
        {
            const MenuCell piece{.left = cellX[column], .top = cellY[row], .right = cellX[column + 1],
                                 .bottom = cellY[row + 1]};
            const MenuRect into{drawX[column], drawY[row], drawX[column + 1], drawY[row + 1]};
            if (into.Width() > 0.0f && into.Height() > 0.0f)
                PictureInto(sheet, piece, into, color);
        }
    }
}

void CMenuPainter::PictureRotated(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float degrees,
                                  float scale, uint32_t color) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const float s = m_layout.Scale() * scale;
    // The drawer turns the sprite about the middle of the place its
    // top-left corner would give it.
    const MenuPoint pixels = m_layout.ToPixels(centre);
    sheet->DrawRotatedScaled(pixels.x - cell.Width() * s * 0.5f, pixels.y - cell.Height() * s * 0.5f,
                             source.data(), degrees, s, s, color, 0);
}

void CMenuPainter::Sector(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float radius, float startDegrees,
                          float endDegrees, uint32_t color) const
{
    if (sheet == nullptr)
        return;
    const std::array<float, 4> source = cell.Source();
    const MenuPoint pixels = m_layout.ToPixels(centre);
    sheet->DrawSector(pixels.x, pixels.y, 0.0f, source.data(), m_layout.ToPixels(radius), startDegrees, endDegrees,
                      color);
}

void CMenuPainter::Fill(const MenuRect& rect, uint32_t color) const
{
    const MenuRect pixels = m_layout.ToPixels(rect);
    const float target[4] = {pixels.left, pixels.top, pixels.right, pixels.bottom};
    CPrimitiveRender::DrawRect2D(target, color);
}

void CMenuPainter::Outline(const MenuRect& rect, uint32_t color) const
{
    const MenuRect pixels = m_layout.ToPixels(rect);
    const float target[4] = {pixels.left, pixels.top, pixels.right, pixels.bottom};
    CPrimitiveRender::DrawRectOutline2D(target, color);
}

void CMenuPainter::Text(CFontTexture* font, const MenuRect& rect, MenuAnchor anchor, float size, uint32_t color,
                        const char* gameText, bool outlined) const
{
    if (font == nullptr || gameText == nullptr)
        return;
    const MenuPoint at = m_layout.ToPixels(AnchorPoint(rect, anchor));
    const uint32_t pixelSize = static_cast<uint32_t>(size);
    const uint8_t drawAnchor = ToDrawAnchor(anchor);
    if (!outlined)
    {
        font->DrawTextEx(at.x, at.y, color, pixelSize, m_layout.Scale(), gameText, drawAnchor);
        return;
    }
    font->DrawTextOutlinedEx(at.x, at.y, color, OutlineOf(color), pixelSize, m_layout.Scale(), kOutlineWidth,
                             gameText, drawAnchor);
}

void CMenuPainter::TextAt(CFontTexture* font, MenuPoint at, MenuAnchor anchor, float size, float scale,
                          uint32_t color, const char* gameText, float depth) const
{
    if (font == nullptr || gameText == nullptr)
        return;
    const MenuPoint pixels = m_layout.ToPixels(at);
    font->DrawTextOutlinedZEx(pixels.x, pixels.y, depth, color, OutlineOf(color), static_cast<uint32_t>(size),
                              m_layout.Scale() * scale, kOutlineWidth, gameText, ToDrawAnchor(anchor));
}

void CMenuPainter::TextFit(CFontTexture* font, const MenuRect& box, MenuAnchor anchor, float size, uint32_t color,
                           const char* gameText, float depth) const
{
    if (font == nullptr || gameText == nullptr)
        return;
    const MenuPoint at = m_layout.ToPixels(AnchorPoint(box, anchor));
    const uint32_t pixelSize = static_cast<uint32_t>(size);
    // One outline pixel at the text's own scale, as the outlined draws; the
    // fitting draw has no depth of its own, so the outline is drawn here.
    const float fontHeight = static_cast<float>(std::max(font->GetFontHeight(), 1u));
    const float step = kOutlineWidth * size / fontHeight * m_layout.Scale();
    const uint32_t outline = OutlineOf(color);
    for (const float* offset : kOutlineOffsets)
    {
        const bool last = offset == kOutlineOffsets[8];
        font->DrawTextFitImpl(at.x + offset[0] * step, at.y + offset[1] * step, depth, m_layout.ToPixels(box.Width()),
                              m_layout.ToPixels(box.Height()), last ? color : outline, pixelSize, m_layout.Scale(),
                              gameText, ToDrawAnchor(anchor));
    }
}

MenuRect CMenuPainter::MeasureText(CFontTexture* font, MenuPoint at, MenuAnchor anchor, float size, float scale,
                                   const char* gameText) const
{
    const MenuRect empty{at.x, at.y, at.x, at.y};
    if (font == nullptr || gameText == nullptr)
        return empty;
    const MenuPoint pixels = m_layout.ToPixels(at);
    float rect[4] = {};
    if (font->GetTextRect(pixels.x, pixels.y, static_cast<uint32_t>(size), m_layout.Scale() * scale, gameText,
                          ToDrawAnchor(anchor), rect) == 0)
        return empty;
    const MenuPoint topLeft = m_layout.ViewportToLayout({rect[0], rect[1]});
    const MenuPoint bottomRight = m_layout.ViewportToLayout({rect[2], rect[3]});
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void CMenuPainter::TextWrapped(CFontTexture* font, const MenuRect& box, float lineHeight, float size, uint32_t color,
                               const char* gameText) const
{
    if (font == nullptr || gameText == nullptr)
        return;
    const MenuRect pixels = m_layout.ToPixels(box);
    // No byte limit per line: the box's right edge breaks them. The font
    // scales the line pitch itself.
    constexpr uint32_t kNoByteLimit = 0;
    font->DrawTextWrappedMarginLimit(pixels.left, pixels.top, pixels.left, lineHeight, kNoByteLimit,
                                     pixels.right, color, static_cast<uint32_t>(size), m_layout.Scale(), gameText,
                                     ToDrawAnchor(MenuAnchor::TopLeft));
}

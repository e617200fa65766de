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

void CMenuPainter::PictureIntoClipped(CTexture* sheet, const MenuCell& cell, const MenuRect& into,
                                      const MenuRect& clip, uint32_t color) const
{
    const MenuRect visible{std::max(into.left, clip.left), std::max(into.top, clip.top),
                           std::min(into.right, clip.right), std::min(into.bottom, clip.bottom)};
    if (visible.left >= visible.right || visible.top >= visible.bottom || into.Width() <= 0.0f ||
        into.Height() <= 0.0f)
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
    const uint32_t outline = MenuColor(MenuRole::Outline, static_cast<float>(color >> 24) / 255.0f);
    font->DrawTextOutlinedEx(at.x, at.y, color, outline, pixelSize, m_layout.Scale(), kOutlineWidth, gameText,
                             drawAnchor);
}

void CMenuPainter::TextFit(CFontTexture* font, const MenuRect& box, MenuAnchor anchor, float size, uint32_t color,
                           const char* gameText) const
{
    if (font == nullptr || gameText == nullptr)
        return;
    const MenuPoint at = m_layout.ToPixels(AnchorPoint(box, anchor));
    const uint32_t outline = MenuColor(MenuRole::Outline, static_cast<float>(color >> 24) / 255.0f);
    font->DrawTextFitOutlinedImpl(at.x, at.y, m_layout.ToPixels(box.Width()), m_layout.ToPixels(box.Height()), color,
                                  outline, static_cast<uint32_t>(size), m_layout.Scale(), kOutlineWidth, gameText,
                                  ToDrawAnchor(anchor));
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

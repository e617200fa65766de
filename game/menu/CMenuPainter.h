#pragma once

#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuAnchor.h"
#include "game/menu/MenuColors.h"

#include <cstdint>

class CFontTexture;
class CTexture;

// Draws pictures, panels and texts given in layout units; the layout's
// scale is applied here and nowhere else. Pictures are cells of a texture
// sheet. Colours are ARGB (MenuColor gives them by role).
class CMenuPainter
{
public:
    explicit CMenuPainter(const CMenuLayout& layout) : m_layout(layout) {}

    const CMenuLayout& Layout() const { return m_layout; }

    // The cell with its anchor point at the layout point, scaled by scale on
    // top of the layout's scale; flip is a KVRDRAWFLIP, depth the draw's z.
    void Picture(CTexture* sheet, const MenuCell& cell, MenuPoint at, uint32_t color,
                 MenuAnchor anchor = MenuAnchor::TopLeft, float scale = 1.0f, uint8_t flip = 0,
                 float depth = 0.0f) const;
    // The same with its own scale across and down.
    void PictureStretched(CTexture* sheet, const MenuCell& cell, MenuPoint at, float scaleX, float scaleY,
                          uint32_t color, MenuAnchor anchor = MenuAnchor::TopLeft) const;
    // The cell turned by degrees (clockwise on screen) about its middle,
    // which lies at the layout point; flip as Picture's.
    void PictureRotated(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float degrees, uint32_t color,
                        float scale = 1.0f, uint8_t flip = 0) const;
    // The cell stretched over a rectangle.
    void PictureInto(CTexture* sheet, const MenuCell& cell, const MenuRect& into, uint32_t color) const;
    // The same, with what falls outside clip cut away (the picture keeps
    // its place; only its visible part is drawn).
    void PictureIntoClipped(CTexture* sheet, const MenuCell& cell, const MenuRect& into, const MenuRect& clip,
                            uint32_t color) const;
    // A window frame from a cell cut in nine: corners of border x border
    // sheet pixels drawn border layout units square at the rectangle's
    // corners, edges and middle stretched between them.
    void Frame(CTexture* sheet, const MenuCell& cell, float border, const MenuRect& rect, uint32_t color) const;
    // The cell turned by degrees (clockwise on the screen) about its centre,
    // which lies at the layout point.
    void PictureRotated(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float degrees, float scale,
                        uint32_t color) const;
    // The cell as a slice of a disc of radius layout units about centre,
    // from start to end degrees (0 points right, angles grow clockwise on
    // the screen): the cell's middle at the centre, its edges on the rim.
    void Sector(CTexture* sheet, const MenuCell& cell, MenuPoint centre, float radius, float startDegrees,
                float endDegrees, uint32_t color) const;
    // A plain rectangle, and its outline.
    void Fill(const MenuRect& rect, uint32_t color) const;
    void Outline(const MenuRect& rect, uint32_t color) const;
    // A game text (Shift-JIS, from GameText or ToGameText) whose anchor
    // point lies at the same anchor point of rect, at size layout pixels;
    // outlined in black of the same alpha when outlined is set.
    void Text(CFontTexture* font, const MenuRect& rect, MenuAnchor anchor, float size, uint32_t color,
              const char* gameText, bool outlined = true) const;
    // An outlined game text whose anchor point lies at the layout point, at
    // size layout pixels times scale, drawn at depth.
    void TextAt(CFontTexture* font, MenuPoint at, MenuAnchor anchor, float size, float scale, uint32_t color,
                const char* gameText, float depth = 0.0f) const;
    // A game text at the anchor point of box, squeezed across and down to
    // fit inside it where it is larger; outlined, drawn at depth.
    void TextFit(CFontTexture* font, const MenuRect& box, MenuAnchor anchor, float size, uint32_t color,
                 const char* gameText, float depth = 0.0f) const;
    // Where TextAt would put the text, in layout units; an empty rectangle
    // at the point when it can't be measured.
    MenuRect MeasureText(CFontTexture* font, MenuPoint at, MenuAnchor anchor, float size, float scale,
                         const char* gameText) const;
    // A game text from the top-left of box, broken at its line breaks and
    // wherever a line would pass the box's right edge, lines lineHeight
    // apart; not outlined.
    void TextWrapped(CFontTexture* font, const MenuRect& box, float lineHeight, float size, uint32_t color,
                     const char* gameText) const;

private:
    CMenuLayout m_layout;
};

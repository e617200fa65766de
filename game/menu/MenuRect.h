#pragma once

#include <array>

// Places and areas of the menu screens, in layout units of the 1024 x 768
// screen (CMenuLayout turns them into pixels). Written with named fields:
// CRect's four-float constructor takes left, right, top, bottom, which is a
// trap in tables.

struct MenuPoint
{
    float x = 0.0f;
    float y = 0.0f;
};

struct MenuRect
{
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;

    constexpr float Width() const { return right - left; }
    constexpr float Height() const { return bottom - top; }
    constexpr MenuPoint Centre() const { return {(left + right) * 0.5f, (top + bottom) * 0.5f}; }
    // Edges included, as every mouse test of the menus.
    constexpr bool Contains(MenuPoint point) const
    {
        return point.x >= left && point.x <= right && point.y >= top && point.y <= bottom;
    }
    constexpr MenuRect Offset(float dx, float dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    static constexpr MenuRect At(float x, float y, float width, float height) { return {x, y, x + width, y + height}; }
};

// A picture's place in its texture sheet, in pixels of the sheet.
struct MenuCell
{
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;

    constexpr float Width() const { return right - left; }
    constexpr float Height() const { return bottom - top; }
    // The source rectangle the texture drawer takes.
    constexpr std::array<float, 4> Source() const { return {left, top, right, bottom}; }
    // Where the picture lies when drawn unscaled with its top-left corner
    // at (x, y): also its mouse area.
    constexpr MenuRect PlacedAt(float x, float y) const { return MenuRect::At(x, y, Width(), Height()); }
};

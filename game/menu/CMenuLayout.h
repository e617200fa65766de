#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

class CGraphics;

// How a screen scales its 1024 x 768 layout to the window. Each screen says
// which rule it follows.
enum class MenuScaleRule : uint8_t
{
    // Menus, setup pages and the HUD: s = client height / 768, over the 4:3
    // area {0, 0, height / 0.75, height} that starts at the left edge of
    // the drawing area (the camera's viewport; the game centres it on wide
    // windows).
    Menu4x3,
    // The lobby: s = the smaller of width / 1024 and height / 768.
    Lobby,
    // The battle HUD: s = client height / 768 over the whole client area,
    // placed from the window's top-left corner whatever the viewport, so
    // that its edges are the window's; Margin4x3 centres the 1024 x 768
    // area in it.
    Screen,
};

// One frame's mapping between layout units and pixels, computed once from
// the window. Drawing positions are pixels relative to the viewport's
// top-left corner, as every 2D draw of the engine; the mouse comes in window
// pixels and is mapped back through the viewport origin. Under the screen
// rule the layout's origin is the window's corner, so drawing positions lie
// the viewport origin to the left of and above their window pixels.
class CMenuLayout
{
public:
    static constexpr float kLayoutWidth = 1024.0f;
    static constexpr float kLayoutHeight = 768.0f;

    CMenuLayout() = default;
    CMenuLayout(int32_t clientWidth, int32_t clientHeight, MenuScaleRule rule, MenuPoint viewportOrigin = {});
    // From the graphics object's window and current viewport.
    static CMenuLayout ForGraphics(const CGraphics* graphics, MenuScaleRule rule);

    float Scale() const { return m_scale; }
    MenuScaleRule Rule() const { return m_rule; }
    // The drawing area in pixels: the 4:3 area, or the whole client.
    float PixelWidth() const { return m_pixelWidth; }
    float PixelHeight() const { return m_pixelHeight; }
    // The same area in layout units (1024 x 768 under the menu rule).
    MenuRect Area() const { return {0.0f, 0.0f, m_pixelWidth / m_scale, m_pixelHeight / m_scale}; }
    // How far a centred 1024-unit-wide area stands in from the area's left
    // edge, in layout units: (width - height / 0.75) / 2 pixels. 0 under the
    // menu rule; negative in a window narrower than 4:3.
    float Margin4x3() const { return (Area().Width() - kLayoutWidth) * 0.5f; }

    float ToPixels(float units) const { return units * m_scale; }
    MenuPoint ToPixels(MenuPoint point) const
    {
        return {point.x * m_scale + m_drawOffset.x, point.y * m_scale + m_drawOffset.y};
    }
    MenuRect ToPixels(const MenuRect& rect) const;
    // Window pixels (the mouse) to layout units and back.
    MenuPoint CursorToLayout(MenuPoint windowPixels) const;
    MenuPoint LayoutToCursor(MenuPoint point) const;
    // Pixels of the viewport (a camera's projection) to layout units.
    MenuPoint ViewportToLayout(MenuPoint viewportPixels) const;

private:
    MenuScaleRule m_rule = MenuScaleRule::Menu4x3;
    float m_scale = 1.0f;
    float m_pixelWidth = kLayoutWidth;
    float m_pixelHeight = kLayoutHeight;
    MenuPoint m_origin;
    // Added to every drawing position: minus the viewport origin under the
    // screen rule, else nothing.
    MenuPoint m_drawOffset;
};

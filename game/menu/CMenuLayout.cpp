// The two scale rules of the menu screens and the mouse mapping.
#include "game/menu/CMenuLayout.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"

#include <algorithm>

CMenuLayout::CMenuLayout(int32_t clientWidth, int32_t clientHeight, MenuScaleRule rule, MenuPoint viewportOrigin)
    : m_rule(rule), m_origin(viewportOrigin)
{
    const float width = static_cast<float>(std::max(clientWidth, 1));
    const float height = static_cast<float>(std::max(clientHeight, 1));
    if (rule == MenuScaleRule::Menu4x3)
    {
        m_scale = height / kLayoutHeight;
        m_pixelWidth = height / 0.75f;
        m_pixelHeight = height;
        return;
    }
    m_scale = rule == MenuScaleRule::Screen ? height / kLayoutHeight
                                            : std::min(width / kLayoutWidth, height / kLayoutHeight);
    m_pixelWidth = width;
    m_pixelHeight = height;
    if (rule == MenuScaleRule::Screen)
        m_drawOffset = {-viewportOrigin.x, -viewportOrigin.y};
}

CMenuLayout CMenuLayout::ForGraphics(const CGraphics* graphics, MenuScaleRule rule)
{
    if (graphics == nullptr || graphics->GetSystem() == nullptr)
        return CMenuLayout(static_cast<int32_t>(kLayoutWidth), static_cast<int32_t>(kLayoutHeight), rule);
    MenuPoint origin;
    graphics->GetViewportOrigin(&origin.x, &origin.y);
    const CSystem* system = graphics->GetSystem();
    return CMenuLayout(system->GetWidth(), system->GetHeight(), rule, origin);
}

MenuRect CMenuLayout::ToPixels(const MenuRect& rect) const
{
    const MenuPoint topLeft = ToPixels(MenuPoint{rect.left, rect.top});
    const MenuPoint bottomRight = ToPixels(MenuPoint{rect.right, rect.bottom});
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

MenuPoint CMenuLayout::CursorToLayout(MenuPoint windowPixels) const
{
    return ViewportToLayout({windowPixels.x - m_origin.x, windowPixels.y - m_origin.y});
}

MenuPoint CMenuLayout::LayoutToCursor(MenuPoint point) const
{
    const MenuPoint pixels = ToPixels(point);
    return {pixels.x + m_origin.x, pixels.y + m_origin.y};
}

MenuPoint CMenuLayout::ViewportToLayout(MenuPoint viewportPixels) const
{
    return {(viewportPixels.x - m_drawOffset.x) / m_scale, (viewportPixels.y - m_drawOffset.y) / m_scale};
}

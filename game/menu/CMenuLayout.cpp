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
    m_scale = std::min(width / kLayoutWidth, height / kLayoutHeight);
    m_pixelWidth = width;
    m_pixelHeight = height;
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
    return {rect.left * m_scale, rect.top * m_scale, rect.right * m_scale, rect.bottom * m_scale};
}

MenuPoint CMenuLayout::CursorToLayout(MenuPoint windowPixels) const
{
    return {(windowPixels.x - m_origin.x) / m_scale, (windowPixels.y - m_origin.y) / m_scale};
}

MenuPoint CMenuLayout::LayoutToCursor(MenuPoint point) const
{
    return {point.x * m_scale + m_origin.x, point.y * m_scale + m_origin.y};
}

// Placement of menu rectangles relative to a parent's edges or centre.
#include "game/menu/MenuAnchor.h"

#include "engine/render/CTexture.h"

namespace
{
// Column (0 left, 1 middle, 2 right) and row (0 top, 1 middle, 2 bottom).
int Column(MenuAnchor anchor)
{
    return static_cast<int>(anchor) % 3;
}

int Row(MenuAnchor anchor)
{
    return static_cast<int>(anchor) / 3;
}

float Along(float low, float high, int third)
{
    return third == 0 ? low : (third == 1 ? (low + high) * 0.5f : high);
}
}

MenuPoint AnchorPoint(const MenuRect& rect, MenuAnchor anchor)
{
    return {Along(rect.left, rect.right, Column(anchor)), Along(rect.top, rect.bottom, Row(anchor))};
}

MenuRect PlaceRect(const MenuRect& parent, MenuAnchor anchor, MenuPoint offset, float width, float height)
{
    const MenuPoint at = AnchorPoint(parent, anchor);
    const float left = at.x + offset.x - Along(0.0f, width, Column(anchor));
    const float top = at.y + offset.y - Along(0.0f, height, Row(anchor));
    return MenuRect::At(left, top, width, height);
}

uint8_t ToDrawAnchor(MenuAnchor anchor)
{
    static const uint8_t kColumns[3] = {KVRDRAWANCHOR_LEFT, KVRDRAWANCHOR_HCENTER, KVRDRAWANCHOR_RIGHT};
    static const uint8_t kRows[3] = {KVRDRAWANCHOR_TOP, KVRDRAWANCHOR_VCENTER, KVRDRAWANCHOR_BOTTOM};
    return static_cast<uint8_t>(kColumns[Column(anchor)] | kRows[Row(anchor)]);
}

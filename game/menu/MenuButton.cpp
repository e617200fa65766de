// The shared behaviour of clickable menu items.
#include "game/menu/MenuButton.h"

MenuButtonResult MenuButton(CMenuFrame& frame, int32_t id, const MenuRect& rect, bool focused, std::string label)
{
    MenuButtonResult result;
    result.hovered = frame.HitTest(rect);
    if (result.hovered)
    {
        result.clicked = frame.Keys().Pressed(MenuKey::Click);
        result.held = !result.clicked && frame.Keys().Held(MenuKey::Click);
    }
    MenuItemState state = MenuItemState::Normal;
    if (result.clicked)
        state = MenuItemState::Pressed;
    else if (result.hovered || focused)
        state = MenuItemState::Focused;
    frame.Report(id, rect, state, std::move(label));
    return result;
}

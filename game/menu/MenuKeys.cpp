// Menu actions from logical pad record 0 and the mouse.
#include "game/menu/MenuKeys.h"

#include "engine/platform/input/CInput.h"
#include "game/menu/CMenuLayout.h"

MenuKeys MenuKeys::FromPad(const tag_KVRPADSTATE* pad, const CMenuLayout& layout, MenuPoint cursorPixels)
{
    MenuKeys keys;
    keys.m_cursor = layout.CursorToLayout(cursorPixels);
    if (pad == nullptr)
        return keys;
    for (const MenuKeyBinding& binding : kMenuKeyBindings)
    {
        keys.SetPressed(binding.key, CInput::GetMappedButton(pad, binding.button) != 0);
        keys.SetHeld(binding.key, CInput::GetButtonState(pad, binding.button) != 0);
    }
    return keys;
}

bool MenuKeys::AnyPressed(std::initializer_list<MenuKey> keys) const
{
    for (MenuKey key : keys)
    {
        if (Pressed(key))
            return true;
    }
    return false;
}

bool MenuKeys::AnyHeld(std::initializer_list<MenuKey> keys) const
{
    for (MenuKey key : keys)
    {
        if (Held(key))
            return true;
    }
    return false;
}

void MenuKeys::SetPressed(MenuKey key, bool down)
{
    m_pressed = down ? (m_pressed | Bit(key)) : (m_pressed & ~Bit(key));
}

void MenuKeys::SetHeld(MenuKey key, bool down)
{
    m_held = down ? (m_held | Bit(key)) : (m_held & ~Bit(key));
}

int MenuCursorStep(const MenuKeys& keys)
{
    if (keys.AnyPressed({MenuKey::Up, MenuKey::MoveUp}))
        return -1;
    if (keys.AnyPressed({MenuKey::Down, MenuKey::MoveDown}))
        return 1;
    return 0;
}

int CameraCursorStep(const MenuKeys& keys)
{
    if (keys.Pressed(MenuKey::CameraDown))
        return -1;
    if (keys.Pressed(MenuKey::CameraUp))
        return 1;
    return 0;
}

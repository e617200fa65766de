#pragma once

#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuKeys.h"
#include "game/menu/MenuSound.h"

#include <cstdint>
#include <string>
#include <vector>

// How an item looked this frame.
enum class MenuItemState : uint8_t
{
    Normal,
    Focused,  // the cursor or the mouse is on it
    Pressed,  // chosen this frame
    Disabled, // locked under an open dialog
};

// One item as it reported itself: tests find items by id and click their
// centres.
struct MenuItemRecord
{
    int32_t id = 0;
    MenuRect rect;
    MenuItemState state = MenuItemState::Normal;
    std::string label;
};

// What a menu screen works with during one update: the layout, the keys,
// the items that reported themselves and the sounds asked for. A screen
// begins it at the top of its update; the sounds reach the player at once
// and stay listed for tests.
class CMenuFrame
{
public:
    CMenuFrame() = default;

    void Begin(const CMenuLayout& layout, const MenuKeys& keys, IMenuSounds* sounds);

    const CMenuLayout& Layout() const { return m_layout; }
    const MenuKeys& Keys() const { return m_keys; }

    // The mouse is on the rectangle (edges included) and no dialog locks it.
    bool HitTest(const MenuRect& rect) const;
    // A dialog opened this frame locks everything reported or tested before
    // Unlock; its own items are tested after Unlock.
    void Lock() { m_locked = true; }
    void Unlock() { m_locked = false; }
    bool IsLocked() const { return m_locked; }

    void Report(int32_t id, const MenuRect& rect, MenuItemState state, std::string label = {});
    const std::vector<MenuItemRecord>& Items() const { return m_items; }
    const MenuItemRecord* FindItem(int32_t id) const;

    void Play(MenuSound sound);
    const std::vector<MenuSound>& Sounds() const { return m_sounds; }

private:
    CMenuLayout m_layout;
    MenuKeys m_keys;
    IMenuSounds* m_player = nullptr;
    bool m_locked = false;
    std::vector<MenuItemRecord> m_items;
    std::vector<MenuSound> m_sounds;
};

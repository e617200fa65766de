#pragma once

#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuKeys.h"
#include "game/menu/MenuSound.h"

#include <cstdint>
#include <optional>
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
//
// The pointer and the keys take turns. The pointer leads from the frame it
// moves or a mouse button goes down until a direction key is pressed; the
// keys lead from then until the pointer moves again. Only a leading pointer
// points at anything (HitTest, and every item through it): a pointer that
// rests where it was never takes the choice back from the keys, so the
// decide key acts on the keys' cursor. Where a screen moves the pointer
// onto the item its keys chose, the pointer's arrival there is the
// screen's doing and not the player's move.
class CMenuFrame
{
public:
    CMenuFrame() = default;

    void Begin(const CMenuLayout& layout, const MenuKeys& keys, IMenuSounds* sounds);

    const CMenuLayout& Layout() const { return m_layout; }
    const MenuKeys& Keys() const { return m_keys; }

    // The pointer leads and is on the rectangle (edges included), and no
    // dialog locks it.
    bool HitTest(const MenuRect& rect) const;
    // The player moved the pointer since the last update (never at the
    // first, nor when it only arrived where the screen put it).
    bool PointerMoved() const { return m_pointerMoved; }
    bool PointerLeads() const { return m_pointerLeads; }
    // The screen put the pointer at a layout point (the keys' new cursor).
    void PointerWarped(MenuPoint point);
    // A new page: the pointer's old place means nothing there until the
    // player moves it.
    void KeysLead() { m_pointerLeads = false; }
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
    // Whether the pointer moved by the player's hand: a move onto the point
    // the screen put it at is taken off the pending warp.
    bool MovedByPlayer(MenuPoint before, MenuPoint now);

    // Where the screen put the pointer, for a few updates until it is seen
    // there (the window system moves it a frame or two later).
    struct PendingWarp
    {
        MenuPoint point;
        uint32_t updates = 0;
    };

    CMenuLayout m_layout;
    MenuKeys m_keys;
    IMenuSounds* m_player = nullptr;
    bool m_locked = false;
    bool m_begun = false;
    bool m_pointerMoved = false;
    bool m_pointerLeads = false;
    std::optional<PendingWarp> m_warp;
    std::vector<MenuItemRecord> m_items;
    std::vector<MenuSound> m_sounds;
};

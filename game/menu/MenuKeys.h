#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>
#include <initializer_list>

struct tag_KVRPADSTATE;
class CMenuLayout;

// The menu actions of one frame, read from logical pad record 0 and the
// mouse. Pressed (down this frame, not the last) and held (down now) are
// kept apart: where a screen's description says which one a key acts on,
// the screen asks for that one.
enum class MenuKey : uint8_t
{
    Up,
    Down,
    Left,
    Right,
    Decide,
    Cancel,
    Click,    // the left mouse button
    AltClick, // the right mouse button
    MoveUp,   // the movement stick, keys W A S D by default
    MoveDown,
    MoveLeft,
    MoveRight,
    // The camera stick, the number pad by default; named as the stick
    // moves, so its up is number pad 2 and its down number pad 8.
    CameraUp,
    CameraDown,
    CameraLeft,
    CameraRight,
    Count,
};

// Which logical button means what (the logical numbers of the pad record:
// 0-7 mouse buttons, 8 + n action n). Default keys in brackets.
//
// One direction per key in every menu, as its default key points: the
// cursor keys and W / S move a vertical cursor up and down alike; of the
// camera stick's keys, number pad 8 (its "down") counts as up and number
// pad 2 (its "up") as down wherever a menu reads them as directions.
struct MenuKeyBinding
{
    MenuKey key;
    uint8_t button;
};
inline constexpr MenuKeyBinding kMenuKeyBindings[] = {
    {MenuKey::Up, 8},           // action 0, up          [cursor up]
    {MenuKey::Down, 9},         // action 1, down        [cursor down]
    {MenuKey::Left, 10},        // action 2, left        [cursor left]
    {MenuKey::Right, 11},       // action 3, right       [cursor right]
    {MenuKey::MoveUp, 12},      // action 4              [W]
    {MenuKey::MoveDown, 13},    // action 5              [S]
    {MenuKey::MoveLeft, 14},    // action 6              [A]
    {MenuKey::MoveRight, 15},   // action 7              [D]
    {MenuKey::CameraUp, 17},    // action 9              [pad 2]
    {MenuKey::CameraDown, 18},  // action 10             [pad 8]
    {MenuKey::CameraLeft, 19},  // action 11             [pad 4]
    {MenuKey::CameraRight, 20}, // action 12             [pad 6]
    {MenuKey::Decide, 22},      // action 14, jump/decide [Z]
    {MenuKey::Cancel, 23},      // action 15, item/cancel [X]
    {MenuKey::Click, 0},        // left mouse button
    {MenuKey::AltClick, 1},     // right mouse button
};

// The logical button of a menu key (0 for a key the table leaves out).
constexpr uint8_t MenuKeyButton(MenuKey key)
{
    for (const MenuKeyBinding& binding : kMenuKeyBindings)
    {
        if (binding.key == key)
            return binding.button;
    }
    return 0;
}

// The keys that move a menu's cursor: a press of one hands the lead from
// the pointer to the keys (CMenuFrame).
inline constexpr std::initializer_list<MenuKey> kMenuDirectionKeys = {
    MenuKey::Up,     MenuKey::Down,     MenuKey::Left,     MenuKey::Right,
    MenuKey::MoveUp, MenuKey::MoveDown, MenuKey::MoveLeft, MenuKey::MoveRight};

// Keys that turn a page on and back where a screen pages (the record
// pages): every "next" (down, right) and every "previous" (up, left)
// direction with decide and cancel and the mouse buttons. The camera
// stick's keys count by where their default keys point (see above).
inline constexpr std::initializer_list<MenuKey> kPageForwardKeys = {
    MenuKey::Decide,      MenuKey::Click,    MenuKey::MoveDown, MenuKey::MoveRight,
    MenuKey::CameraRight, MenuKey::CameraUp, MenuKey::Right,    MenuKey::Down};
inline constexpr std::initializer_list<MenuKey> kPageBackKeys = {
    MenuKey::Cancel,     MenuKey::AltClick,   MenuKey::MoveUp, MenuKey::MoveLeft,
    MenuKey::CameraLeft, MenuKey::CameraDown, MenuKey::Left,   MenuKey::Up};

class MenuKeys
{
public:
    // From the pad record, with the mouse given in window pixels.
    static MenuKeys FromPad(const tag_KVRPADSTATE* pad, const CMenuLayout& layout, MenuPoint cursorPixels);

    bool Pressed(MenuKey key) const { return (m_pressed & Bit(key)) != 0; }
    bool Held(MenuKey key) const { return (m_held & Bit(key)) != 0; }
    bool AnyPressed(std::initializer_list<MenuKey> keys) const;
    bool AnyHeld(std::initializer_list<MenuKey> keys) const;
    // The mouse in layout units.
    MenuPoint Cursor() const { return m_cursor; }

    // Scripts of tests and of screens that synthesise input.
    void SetPressed(MenuKey key, bool down);
    void SetHeld(MenuKey key, bool down);
    void SetCursor(MenuPoint cursor) { m_cursor = cursor; }

private:
    static constexpr uint32_t Bit(MenuKey key) { return 1u << static_cast<uint32_t>(key); }

    uint32_t m_pressed = 0;
    uint32_t m_held = 0;
    MenuPoint m_cursor;
};

// The cursor step of a vertical menu this frame: -1 for up (the cursor key
// or the movement stick's, W), +1 for down (S), 0 for neither (up wins a
// tie). Every pop-up menu reads it: the quit menu, the setup's back menu
// and the battle's menus.
int MenuCursorStep(const MenuKeys& keys);
// The camera stick's keys as a vertical cursor step, the way their default
// keys point: -1 for number pad 8 (the stick's "down"), +1 for number pad 2
// (its "up"), 0 for neither. The replay steps from fighter to fighter by
// it, as the record pages turn by the same keys.
int CameraCursorStep(const MenuKeys& keys);

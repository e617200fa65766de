#pragma once

#include <cstdint>

// A pop-up menu as CController::DrawMenu draws it: the Escape quit menu and
// the battle's menus. Texts are game texts (Shift-JIS: GameText).
struct tag_TOLQMENU
{
    uint8_t itemCount = 0;
    int8_t cursor = 0;
    uint8_t opening = 0;         // cleared when the menu opens
    uint32_t clock = 0;          // milliseconds since it opened
    uint32_t blocksPlay = 0;     // nonzero: the game behind it stands still
    const char* title = nullptr; // may be null
    const char* const* items = nullptr;
    const int8_t* codes = nullptr; // what each item means to its owner

    // A menu a player can choose from: at least one item, and its texts.
    bool HasItems() const { return itemCount > 0 && items != nullptr; }
};

// Moves a menu's cursor by step, wrapping around both ends.
inline void MoveMenuCursor(tag_TOLQMENU* menu, int step)
{
    if (menu == nullptr || menu->itemCount == 0)
        return;
    const int count = menu->itemCount;
    menu->cursor = static_cast<int8_t>(((menu->cursor + step) % count + count) % count);
}

#pragma once

#include <cstdint>

// A pop-up menu: its items and their codes, the cursor, and whether it
// holds the battle while it is open. The texts and codes are borrowed and
// outlive the menu.
struct tag_TOLQMENU
{
    uint8_t itemCount = 0;
    int8_t cursor = 0;
    uint8_t opened = 0; // cleared on opening
    uint32_t clock = 0; // ms, cleared on opening
    uint32_t blocksPlay = 0;
    const char* title = nullptr;
    const char* const* items = nullptr;
    const int8_t* codes = nullptr;

    // A menu a player can choose from: at least one item, and its texts.
    bool HasItems() const { return itemCount > 0 && items != nullptr; }
};

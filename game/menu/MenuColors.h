#pragma once

#include <cstdint>

// Colours of menu pictures and texts by role, never by value at the call.
enum class MenuRole : uint8_t
{
    Focused,   // the item the cursor is on, and every plain picture: white
    Unfocused, // other choices of a row: light grey
    Dimmed,    // items of a pop-up menu without the cursor: grey
    Outline,   // text outlines: black
    Panel,     // the body of a pop-up window: translucent black
};

// The role's colour with alpha a in [0, 1]: (trunc(a x 255) << 24) | rgb.
// The panel keeps its own translucency, scaled by a.
uint32_t MenuColor(MenuRole role, float alpha);
// The 0..255 alpha of a in [0, 1], truncated and held inside the range.
uint32_t MenuAlpha(float alpha);

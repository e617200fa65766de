#pragma once

#include "game/menu/CMenuFrame.h"

#include <cstdint>
#include <string>

// What a button answers for one frame, and how it reports itself. "On the
// item" means the pointer is on it and leads (CMenuFrame): a pointer that
// rests where it was while the keys moved the cursor is on nothing.
//
// | the pointer  | left button this frame        | reported as | answer          |
// |--------------|-------------------------------|-------------|-----------------|
// | off the item | any                           | Normal, or Focused when the cursor keys are on it | nothing |
// | on the item  | up                            | Focused     | hovered         |
// | on the item  | pressed (down, up last frame) | Pressed     | hovered, clicked|
// | on the item  | held (pressed before)         | Focused     | hovered, held   |
// | any          | under an open dialog          | Disabled    | nothing         |
//
// A click is one frame: holding the button does not click again. A list
// whose cursor follows the pointer takes the hovered item as its cursor's.
// The button plays no sound; the screen knows whether a click changes
// anything.
struct MenuButtonResult
{
    bool hovered = false;
    bool clicked = false;
    bool held = false;
};

MenuButtonResult MenuButton(CMenuFrame& frame, int32_t id, const MenuRect& rect, bool focused, std::string label = {});

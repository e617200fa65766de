#pragma once

#include "game/menu/MenuRect.h"

// The game application's own pictures in the menu sheet "Select_01.dds":
// the mouse pointer and the pieces of the menu background's effect. The
// data kit draws these cells from the same table.
namespace ControllerSheet
{
inline constexpr MenuCell kPointer{.left = 1808, .top = 1808, .right = 1840, .bottom = 1840};
inline constexpr MenuCell kParticle{.left = 1848, .top = 1808, .right = 1880, .bottom = 1840};
inline constexpr MenuCell kSweep{.left = 1888, .top = 1808, .right = 2040, .bottom = 2040};
}

#pragma once

#include "game/menu/MenuRect.h"

// Where the replay list's own pictures lie in "Select_01.dds" (the frame's
// bands and the row stripe are the menu screens', MenuScreenSheet.h). The
// data kit draws the stand-in pictures from the same table.
namespace ReplaySheet
{
inline constexpr MenuCell kTitle{.left = 1264, .top = 592, .right = 1472, .bottom = 640};
}

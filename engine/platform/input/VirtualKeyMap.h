#pragma once

#include <cstdint>

// Virtual-key codes keep their fixed numbers: key assignments are
// saved with them and window procedures compare against them.

// The virtual-key code of an SDL key code (SDL_Keycode), 0 for keys that
// have none.
uint32_t VirtualKeyFromSdlKey(int32_t sdlKey);

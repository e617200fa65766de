#pragma once

#include <cstdint>

// The DirectInput key code (KeyCodes.h) of a Linux input-event key code, as
// X11 reports it in a key event's hardware keycode minus 8. The two agree
// for the keys of the original PC keyboard (1-88); the keys that the PC
// keyboard sends with an extended prefix are looked up. 0 when the key has
// no DirectInput code.
uint8_t DirectInputKeyFromEvdev(uint32_t evdevCode);

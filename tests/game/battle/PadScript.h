#pragma once

// Scripted input for logical pad 0, frame by frame, as a player's hands
// would give it: the buttons held this frame, with pressed and released
// derived from the frame before, as the input object does.
#include "engine/platform/input/CInput.h"

#include <cstring>
#include <initializer_list>

namespace battletest
{
inline void HoldButtons(CInput* input, std::initializer_list<uint8_t> buttons)
{
    tag_KVRPADSTATE* pad = input->GetPadState(0);
    pad->previous = pad->current;
    std::memset(&pad->current, 0, sizeof(pad->current));
    for (uint8_t button : buttons)
        pad->current.button[button] = 1;
    CInput::UpdateButtonTimers(pad);
}

inline void ReleaseButtons(CInput* input)
{
    HoldButtons(input, {});
}
}

#pragma once

#include "engine/platform/input/InputSource.h"
#include "engine/platform/input/tag_KVRPADSTATE.h"

#include <cstdint>

// One game-pad slot: the pad of a user (0-3), its last state and the
// vibration last asked for.
struct tag_KVRXINPUTPAD
{
    tag_KVRXINPUTPAD();

    int Init(uint32_t user);
    void SetSource(InputSource* source) { this->source = source; }

    // 1 when the user's pad answered; the state is zero otherwise.
    int GetState();
    // Fills the pad elements from the state, changing the sticks in place
    // (swap, inversion, dead zone) so that the sticks read afterwards agree
    // with the elements.
    void Map(uint32_t elements[KVR_PAD_ELEMENT_COUNT], uint32_t swapRight, uint32_t invertRightY,
             uint32_t invertRightX);
    int SetVibration(uint16_t left, uint16_t right);
    void StopVibration();

    uint32_t user;
    InputGamepadState state;
    uint16_t leftMotor;
    uint16_t rightMotor;
    uint32_t enabled;
    InputSource* source;
};

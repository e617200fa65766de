#include "engine/platform/input/tag_KVRXINPUTPAD.h"

#include <utility>

namespace
{
// Below this a stick is at rest; past the half-way mark it counts as a
// direction.
constexpr int32_t kStickDeadZone = 6001;
constexpr int32_t kStickDirection = 16383;
constexpr uint8_t kTriggerPressed = 128;

int16_t ApplyDeadZone(int16_t value)
{
    const int32_t magnitude = value < 0 ? -static_cast<int32_t>(value) : value;
    return magnitude < kStickDeadZone ? 0 : value;
}

// Negating -32768 does not fit; the stick's far end is 32767 either way.
int16_t Negate(int16_t value)
{
    return value == INT16_MIN ? INT16_MAX : static_cast<int16_t>(-value);
}

uint32_t HasButton(const InputGamepadState& state, uint16_t button)
{
    return (state.buttons & button) != 0 ? 1u : 0u;
}
}

tag_KVRXINPUTPAD::tag_KVRXINPUTPAD() : user(0), state(), leftMotor(0), rightMotor(0), enabled(1), source(nullptr) {}

int tag_KVRXINPUTPAD::Init(uint32_t user)
{
    this->user = user;
    return 1;
}

int tag_KVRXINPUTPAD::GetState()
{
    state = InputGamepadState();
    if (source == nullptr)
        return 0;
    InputGamepadState read;
    if (!source->ReadGamepad(static_cast<int>(user), read))
        return 0;
    state = read;
    return 1;
}

void tag_KVRXINPUTPAD::Map(uint32_t elements[KVR_PAD_ELEMENT_COUNT], uint32_t swapRight, uint32_t invertRightY,
                           uint32_t invertRightX)
{
    elements[0] = HasButton(state, GAMEPAD_DPAD_UP);
    elements[1] = HasButton(state, GAMEPAD_DPAD_DOWN);
    elements[2] = HasButton(state, GAMEPAD_DPAD_LEFT);
    elements[3] = HasButton(state, GAMEPAD_DPAD_RIGHT);
    elements[8] = HasButton(state, GAMEPAD_LEFT_THUMB);
    elements[13] = HasButton(state, GAMEPAD_RIGHT_THUMB);
    elements[14] = HasButton(state, GAMEPAD_A);
    elements[15] = HasButton(state, GAMEPAD_B);
    elements[16] = HasButton(state, GAMEPAD_X);
    elements[17] = HasButton(state, GAMEPAD_Y);
    elements[18] = HasButton(state, GAMEPAD_LEFT_SHOULDER);
    elements[19] = state.leftTrigger >= kTriggerPressed ? 1u : 0u;
    elements[20] = HasButton(state, GAMEPAD_RIGHT_SHOULDER);
    elements[21] = state.rightTrigger >= kTriggerPressed ? 1u : 0u;
    elements[22] = HasButton(state, GAMEPAD_START);
    elements[23] = HasButton(state, GAMEPAD_BACK);

    // Up is positive on a game pad.
    state.thumbLY = ApplyDeadZone(state.thumbLY);
    state.thumbLX = ApplyDeadZone(state.thumbLX);
    elements[4] = state.thumbLY >= kStickDirection ? 1u : 0u;
    elements[5] = state.thumbLY < -(kStickDirection - 1) ? 1u : 0u;
    elements[6] = state.thumbLX < -(kStickDirection - 1) ? 1u : 0u;
    elements[7] = state.thumbLX >= kStickDirection ? 1u : 0u;

    if (swapRight)
        std::swap(state.thumbRX, state.thumbRY);
    if (invertRightY)
        state.thumbRY = Negate(state.thumbRY);
    if (invertRightX)
        state.thumbRX = Negate(state.thumbRX);
    state.thumbRY = ApplyDeadZone(state.thumbRY);
    state.thumbRX = ApplyDeadZone(state.thumbRX);
    elements[9] = state.thumbRY >= kStickDirection ? 1u : 0u;
    elements[10] = state.thumbRY < -(kStickDirection - 1) ? 1u : 0u;
    elements[11] = state.thumbRX < -(kStickDirection - 1) ? 1u : 0u;
    elements[12] = state.thumbRX >= kStickDirection ? 1u : 0u;
}

int tag_KVRXINPUTPAD::SetVibration(uint16_t left, uint16_t right)
{
    if (!enabled)
        return 0;
    leftMotor = left;
    rightMotor = right;
    if (source != nullptr)
        source->SetGamepadVibration(static_cast<int>(user), left, right);
    return 1;
}

void tag_KVRXINPUTPAD::StopVibration()
{
    leftMotor = 0;
    rightMotor = 0;
    if (source != nullptr)
        source->SetGamepadVibration(static_cast<int>(user), 0, 0);
}

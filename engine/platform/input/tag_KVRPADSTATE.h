#pragma once

#include <cstdint>

// The logical pads that the game reads instead of devices. Every character
// embeds one record; the player's input or the CPU's decisions fill it.

constexpr int KVR_PAD_COUNT = 16;
constexpr int KVR_PAD_BUTTON_COUNT = 56;
constexpr int KVR_PAD_ACTION_COUNT = 24;
constexpr int KVR_PAD_MOUSE_BUTTON_COUNT = 8;
// Pad elements that the configuration tool can assign to an action.
constexpr int KVR_PAD_ELEMENT_COUNT = 64;

// Logical buttons: 0-7 mouse buttons, 8-31 the 24 actions, 32-43 F1-F12,
// 44/45 wheel up/down, 46-55 digit keys 1-9 and 0.
constexpr int KVR_BUTTON_MOUSE_FIRST = 0;
constexpr int KVR_BUTTON_ACTION_FIRST = 8;
constexpr int KVR_BUTTON_FUNCTION_FIRST = 32;
constexpr int KVR_BUTTON_WHEEL_UP = 44;
constexpr int KVR_BUTTON_WHEEL_DOWN = 45;
constexpr int KVR_BUTTON_DIGIT_FIRST = 46;

// Actions (and the pad element of the same number).
enum KvrPadAction : uint32_t
{
    KVR_ACTION_DP_UP = 0,
    KVR_ACTION_DP_DOWN,
    KVR_ACTION_DP_LEFT,
    KVR_ACTION_DP_RIGHT,
    KVR_ACTION_LS_UP,
    KVR_ACTION_LS_DOWN,
    KVR_ACTION_LS_LEFT,
    KVR_ACTION_LS_RIGHT,
    KVR_ACTION_LS_PUSH,
    KVR_ACTION_RS_UP,
    KVR_ACTION_RS_DOWN,
    KVR_ACTION_RS_LEFT,
    KVR_ACTION_RS_RIGHT,
    KVR_ACTION_RS_PUSH,
    KVR_ACTION_BUTTON1,
    KVR_ACTION_BUTTON2,
    KVR_ACTION_BUTTON3,
    KVR_ACTION_BUTTON4,
    KVR_ACTION_BUTTON7,
    KVR_ACTION_BUTTON5,
    KVR_ACTION_BUTTON8,
    KVR_ACTION_BUTTON6,
    KVR_ACTION_BUTTON9,
    KVR_ACTION_BUTTON10,
};

struct tag_KVRPADBUTTONS
{
    uint32_t button[KVR_PAD_BUTTON_COUNT];
};

struct tag_KVRPADSTATE
{
    // Sticks: axes from -1 to 1, negative X left and negative Y up; angle in
    // degrees clockwise from up; the magnitude is not clamped.
    float leftAngle;
    float leftMagnitude;
    float leftX;
    float leftY;
    float rightAngle;
    float rightMagnitude;
    float rightX;
    float rightY;

    float wheel;
    // Whole pixels the cursor moved; the pair is the camera's input.
    float mouseDeltaX;
    float mouseDeltaY;
    float moveOrigin[2];
    float lastCursor[2];

    // Written by the game, decayed every frame.
    uint16_t leftMotorSpeed;
    uint16_t rightMotorSpeed;

    uint32_t useXInput;
    uint32_t stickPresent;

    tag_KVRPADBUTTONS previous;
    tag_KVRPADBUTTONS current;
    tag_KVRPADBUTTONS pressed;
    tag_KVRPADBUTTONS released;
    tag_KVRPADBUTTONS held;
    tag_KVRPADBUTTONS heldMilliseconds;
    tag_KVRPADBUTTONS reserved0;
    tag_KVRPADBUTTONS up;
    tag_KVRPADBUTTONS upMilliseconds;
    tag_KVRPADBUTTONS reserved1;

    // Assignments, saved in the settings: key code, mouse button byte and
    // pad element of each action or logical mouse button.
    uint32_t keyMap[KVR_PAD_ACTION_COUNT];
    uint32_t mouseButtonMap[KVR_PAD_MOUSE_BUTTON_COUNT];
    uint32_t joystickMap[KVR_PAD_ACTION_COUNT];
    uint32_t xinputMap[KVR_PAD_ACTION_COUNT];

    float moveThreshold;
    uint16_t vibrationDecay;

    uint32_t swapRightStick;
    uint32_t invertRightY;
    uint32_t invertRightX;

    uint8_t joystickIndex;
};

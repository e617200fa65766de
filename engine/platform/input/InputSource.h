#pragma once

#include "engine/platform/message/Message.h"

#include <cstdint>

// Raw device records that an input source delivers. CInput folds them into
// the logical pads; nothing above it reads them.

// Mouse movement since the previous read. Motion is in pixels, the wheel in
// steps of 120 per notch (positive away from the user); buttons are 0/1 in
// the order left, right, middle, back, forward, then three extra buttons.
constexpr int INPUT_MOUSE_BUTTONS = 8;

struct InputMouseState
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    uint8_t buttons[INPUT_MOUSE_BUTTONS] = {};
};

constexpr int32_t INPUT_AXIS_MIN = -1000;
constexpr int32_t INPUT_AXIS_MAX = 1000;
// A hat that points nowhere; directions are hundredths of a degree
// clockwise from up (0 up, 9000 right, 18000 down, 27000 left).
constexpr uint32_t INPUT_HAT_CENTERED = 0xFFFFFFFFu;
constexpr int INPUT_JOYSTICK_BUTTONS = 128;
constexpr int INPUT_JOYSTICK_HATS = 4;

// A joystick's state. Axes run from INPUT_AXIS_MIN to INPUT_AXIS_MAX with
// negative meaning left or up; the right stick usually arrives as Z and Rz,
// or as Rx and Ry on pads that also report triggers on Z and Rz.
struct InputJoystickState
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    int32_t rx = 0;
    int32_t ry = 0;
    int32_t rz = 0;
    int32_t sliders[2] = {};
    uint32_t hats[INPUT_JOYSTICK_HATS] = {INPUT_HAT_CENTERED, INPUT_HAT_CENTERED, INPUT_HAT_CENTERED,
                                          INPUT_HAT_CENTERED};
    uint8_t buttons[INPUT_JOYSTICK_BUTTONS] = {};
};

// Buttons of a game pad, as bits of InputGamepadState::buttons.
enum GamepadButton : uint16_t
{
    GAMEPAD_DPAD_UP = 0x0001,
    GAMEPAD_DPAD_DOWN = 0x0002,
    GAMEPAD_DPAD_LEFT = 0x0004,
    GAMEPAD_DPAD_RIGHT = 0x0008,
    GAMEPAD_START = 0x0010,
    GAMEPAD_BACK = 0x0020,
    GAMEPAD_LEFT_THUMB = 0x0040,
    GAMEPAD_RIGHT_THUMB = 0x0080,
    GAMEPAD_LEFT_SHOULDER = 0x0100,
    GAMEPAD_RIGHT_SHOULDER = 0x0200,
    GAMEPAD_A = 0x1000,
    GAMEPAD_B = 0x2000,
    GAMEPAD_X = 0x4000,
    GAMEPAD_Y = 0x8000,
};

// A game pad with the standard layout. Sticks run from -32768 to 32767 with
// positive Y meaning up; triggers from 0 to 255.
struct InputGamepadState
{
    uint16_t buttons = 0;
    uint8_t leftTrigger = 0;
    uint8_t rightTrigger = 0;
    int16_t thumbLX = 0;
    int16_t thumbLY = 0;
    int16_t thumbRX = 0;
    int16_t thumbRY = 0;
};

constexpr int INPUT_MAX_JOYSTICKS = 16;
constexpr int INPUT_MAX_GAMEPADS = 4;
constexpr int INPUT_JOYSTICK_NAME_SIZE = 260;

// Where CInput gets its devices from: SDL on a real window, a script in
// tests. Each step of Open mirrors one device that can fail on its own, so
// that CInput reports which one did. Every Read returns 0 when the device
// can't be read this frame; the caller decides what a failed read means.
class InputSource
{
public:
    virtual ~InputSource() = default;

    // The device layer as a whole; 0 when it can't start.
    virtual int OpenSystem() = 0;
    virtual int OpenKeyboard(WindowHandle window) = 0;
    virtual int OpenMouse(WindowHandle window) = 0;
    // Opens up to INPUT_MAX_JOYSTICKS joysticks; 0 when enumeration fails.
    virtual int OpenJoysticks() = 0;
    // Frees every device; a second call does nothing.
    virtual void Close() = 0;

    // Called once at the start of every poll, before any Read.
    virtual void BeginFrame() {}

    // Key states indexed by key code (KeyCodes.h), each 0 or 1.
    virtual int ReadKeyboard(uint8_t keys[256]) = 0;
    // Motion and wheel accumulated since the previous read, current buttons.
    virtual int ReadMouse(InputMouseState& state) = 0;

    // Joysticks found by OpenJoysticks; a slot below the count may still be
    // empty when its device failed to open.
    virtual int GetJoystickCount() const = 0;
    virtual bool HasJoystick(int joystick) const = 0;
    virtual int ReadJoystick(int joystick, InputJoystickState& state) = 0;
    // Shift-JIS product name of the joystick; empty for an empty slot.
    virtual const char* GetJoystickName(int joystick) const = 0;

    // Game pads by user 0-3; 0 when no pad answers for that user.
    virtual int ReadGamepad(int user, InputGamepadState& state) = 0;
    // Motor speeds 0-65535, low-frequency (left) and high-frequency (right).
    // Callers refresh them every frame; a pad that stops hearing from us
    // stops shaking on its own shortly after.
    virtual int SetGamepadVibration(int user, uint16_t left, uint16_t right) = 0;

    // The cursor in the window's client coordinates.
    virtual int GetCursorPosition(int& x, int& y) = 0;
    virtual void SetCursorPosition(int x, int y) = 0;
};

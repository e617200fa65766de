#pragma once

#include "engine/platform/input/InputSource.h"

// An input source whose devices are whatever the caller sets: tests script
// key presses, mouse motion, joysticks and game pads frame by frame, and read
// back the vibration that was asked for. Mouse motion and wheel are consumed
// by each read, like real relative motion; everything else stays until
// changed. Out of focus the keyboard and the mouse can't be read, and
// joysticks and game pads read as let go.
class ScriptedInputSource : public InputSource
{
public:
    ScriptedInputSource();

    // Devices and failures.
    void SetFailure(int openSystem, int openKeyboard, int openMouse, int openJoysticks);
    void SetFocus(bool focus) { m_focus = focus; }
    void SetJoystickCount(int count);
    void SetJoystickPresent(int joystick, bool present);
    void SetJoystickName(int joystick, const char* name);
    void SetJoystickReadFails(int joystick, bool fails);
    void SetGamepadConnected(int user, bool connected);

    // Input.
    void SetKey(uint8_t code, bool down) { m_keys[code] = down ? 1 : 0; }
    void ReleaseAllKeys();
    void MoveMouse(int32_t dx, int32_t dy) { m_mouse.x += dx; m_mouse.y += dy; }
    void TurnWheel(int32_t delta) { m_mouse.z += delta; }
    void SetMouseButton(int button, bool down);
    void SetCursor(int x, int y) { m_cursorX = x; m_cursorY = y; }
    InputJoystickState* GetJoystick(int joystick);
    InputGamepadState* GetGamepad(int user);

    // What the program asked for.
    uint16_t GetLeftMotor(int user) const;
    uint16_t GetRightMotor(int user) const;
    int GetVibrationCalls(int user) const;
    bool IsOpen() const { return m_open; }

    int OpenSystem() override;
    int OpenKeyboard(WindowHandle window) override;
    int OpenMouse(WindowHandle window) override;
    int OpenJoysticks() override;
    void Close() override;

    int ReadKeyboard(uint8_t keys[256]) override;
    int ReadMouse(InputMouseState& state) override;

    int GetJoystickCount() const override;
    bool HasJoystick(int joystick) const override;
    int ReadJoystick(int joystick, InputJoystickState& state) override;
    const char* GetJoystickName(int joystick) const override;

    int ReadGamepad(int user, InputGamepadState& state) override;
    int SetGamepadVibration(int user, uint16_t left, uint16_t right) override;

    int GetCursorPosition(int& x, int& y) override;
    void SetCursorPosition(int x, int y) override;

private:
    static bool ValidJoystick(int joystick) { return joystick >= 0 && joystick < INPUT_MAX_JOYSTICKS; }
    static bool ValidUser(int user) { return user >= 0 && user < INPUT_MAX_GAMEPADS; }

    struct ScriptedJoystick
    {
        bool present = false;
        bool readFails = false;
        char name[INPUT_JOYSTICK_NAME_SIZE] = {};
        InputJoystickState state;
    };
    struct ScriptedGamepad
    {
        bool connected = false;
        InputGamepadState state;
        uint16_t leftMotor = 0;
        uint16_t rightMotor = 0;
        int vibrationCalls = 0;
    };

    int m_failSystem = 0;
    int m_failKeyboard = 0;
    int m_failMouse = 0;
    int m_failJoysticks = 0;
    bool m_open = false;
    bool m_focus = true;
    uint8_t m_keys[256] = {};
    InputMouseState m_mouse;
    int m_cursorX = 0;
    int m_cursorY = 0;
    int m_joystickCount = 0;
    ScriptedJoystick m_joysticks[INPUT_MAX_JOYSTICKS];
    ScriptedGamepad m_gamepads[INPUT_MAX_GAMEPADS];
};

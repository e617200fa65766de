#include "tests/support/ScriptedInputSource.h"

#include <cstdio>
#include <cstring>

ScriptedInputSource::ScriptedInputSource() = default;

void ScriptedInputSource::SetFailure(int openSystem, int openKeyboard, int openMouse, int openJoysticks)
{
    m_failSystem = openSystem;
    m_failKeyboard = openKeyboard;
    m_failMouse = openMouse;
    m_failJoysticks = openJoysticks;
}

void ScriptedInputSource::SetJoystickCount(int count)
{
    if (count < 0)
        count = 0;
    if (count > INPUT_MAX_JOYSTICKS)
        count = INPUT_MAX_JOYSTICKS;
    m_joystickCount = count;
    for (int i = 0; i < INPUT_MAX_JOYSTICKS; ++i)
    {
        m_joysticks[i].present = i < count;
        if (i < count && m_joysticks[i].name[0] == '\0')
            std::snprintf(m_joysticks[i].name, sizeof(m_joysticks[i].name), "Scripted Joystick %d", i);
    }
}

void ScriptedInputSource::SetJoystickPresent(int joystick, bool present)
{
    if (ValidJoystick(joystick))
        m_joysticks[joystick].present = present;
}

void ScriptedInputSource::SetJoystickName(int joystick, const char* name)
{
    if (!ValidJoystick(joystick) || name == nullptr)
        return;
    std::snprintf(m_joysticks[joystick].name, sizeof(m_joysticks[joystick].name), "%s", name);
}

void ScriptedInputSource::SetJoystickReadFails(int joystick, bool fails)
{
    if (ValidJoystick(joystick))
        m_joysticks[joystick].readFails = fails;
}

void ScriptedInputSource::SetGamepadConnected(int user, bool connected)
{
    if (ValidUser(user))
        m_gamepads[user].connected = connected;
}

void ScriptedInputSource::ReleaseAllKeys()
{
    std::memset(m_keys, 0, sizeof(m_keys));
}

void ScriptedInputSource::SetMouseButton(int button, bool down)
{
    if (button >= 0 && button < 8)
        m_mouse.buttons[button] = down ? 1 : 0;
}

InputJoystickState* ScriptedInputSource::GetJoystick(int joystick)
{
    return ValidJoystick(joystick) ? &m_joysticks[joystick].state : nullptr;
}

InputGamepadState* ScriptedInputSource::GetGamepad(int user)
{
    return ValidUser(user) ? &m_gamepads[user].state : nullptr;
}

uint16_t ScriptedInputSource::GetLeftMotor(int user) const
{
    return ValidUser(user) ? m_gamepads[user].leftMotor : 0;
}

uint16_t ScriptedInputSource::GetRightMotor(int user) const
{
    return ValidUser(user) ? m_gamepads[user].rightMotor : 0;
}

int ScriptedInputSource::GetVibrationCalls(int user) const
{
    return ValidUser(user) ? m_gamepads[user].vibrationCalls : 0;
}

int ScriptedInputSource::OpenSystem()
{
    if (m_failSystem)
        return 0;
    m_open = true;
    return 1;
}

int ScriptedInputSource::OpenKeyboard(WindowHandle window)
{
    (void)window;
    return m_failKeyboard ? 0 : 1;
}

int ScriptedInputSource::OpenMouse(WindowHandle window)
{
    (void)window;
    return m_failMouse ? 0 : 1;
}

int ScriptedInputSource::OpenJoysticks()
{
    return m_failJoysticks ? 0 : 1;
}

void ScriptedInputSource::Close()
{
    m_open = false;
}

int ScriptedInputSource::ReadKeyboard(uint8_t keys[256])
{
    if (!m_focus)
        return 0;
    std::memcpy(keys, m_keys, sizeof(m_keys));
    return 1;
}

int ScriptedInputSource::ReadMouse(InputMouseState& state)
{
    // Motion that happened while the window was in the background is lost,
    // as it is for a real mouse.
    const InputMouseState current = m_mouse;
    m_mouse.x = 0;
    m_mouse.y = 0;
    m_mouse.z = 0;
    if (!m_focus)
        return 0;
    state = current;
    return 1;
}

int ScriptedInputSource::GetJoystickCount() const
{
    return m_joystickCount;
}

bool ScriptedInputSource::HasJoystick(int joystick) const
{
    return ValidJoystick(joystick) && joystick < m_joystickCount && m_joysticks[joystick].present;
}

int ScriptedInputSource::ReadJoystick(int joystick, InputJoystickState& state)
{
    if (!HasJoystick(joystick) || m_joysticks[joystick].readFails)
        return 0;
    state = m_focus ? m_joysticks[joystick].state : InputJoystickState();
    return 1;
}

const char* ScriptedInputSource::GetJoystickName(int joystick) const
{
    return HasJoystick(joystick) ? m_joysticks[joystick].name : "";
}

int ScriptedInputSource::ReadGamepad(int user, InputGamepadState& state)
{
    if (!ValidUser(user) || !m_gamepads[user].connected)
        return 0;
    state = m_focus ? m_gamepads[user].state : InputGamepadState();
    return 1;
}

int ScriptedInputSource::SetGamepadVibration(int user, uint16_t left, uint16_t right)
{
    if (!ValidUser(user))
        return 0;
    ScriptedGamepad& pad = m_gamepads[user];
    ++pad.vibrationCalls;
    pad.leftMotor = left;
    pad.rightMotor = right;
    return pad.connected ? 1 : 0;
}

int ScriptedInputSource::GetCursorPosition(int& x, int& y)
{
    x = m_cursorX;
    y = m_cursorY;
    return 1;
}

void ScriptedInputSource::SetCursorPosition(int x, int y)
{
    m_cursorX = x;
    m_cursorY = y;
}

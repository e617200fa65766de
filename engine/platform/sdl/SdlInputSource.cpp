#include "engine/platform/sdl/SdlInputSource.h"

#include "engine/core/FailureLog.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/message/PlatformWindow.h"

#include <cstdio>

namespace
{
// Rumble is refreshed every frame; if frames stop coming the pad stops
// shaking on its own after this long.
constexpr uint32_t kRumbleRefreshMilliseconds = 200;
constexpr int32_t kWheelStep = 120;

// Joystick axes in the order of the joystick record. Pads with exactly four
// axes carry the right stick on the third and fourth (Z and Rz); larger
// ones list X, Y, Z, Rx, Ry, Rz, then the sliders.
enum AxisSlot
{
    AXIS_X,
    AXIS_Y,
    AXIS_Z,
    AXIS_RX,
    AXIS_RY,
    AXIS_RZ,
    AXIS_SLIDER0,
    AXIS_SLIDER1,
    AXIS_SLOT_COUNT
};

int32_t* AxisField(InputJoystickState& state, int slot)
{
    switch (slot)
    {
    case AXIS_X: return &state.x;
    case AXIS_Y: return &state.y;
    case AXIS_Z: return &state.z;
    case AXIS_RX: return &state.rx;
    case AXIS_RY: return &state.ry;
    case AXIS_RZ: return &state.rz;
    case AXIS_SLIDER0: return &state.sliders[0];
    case AXIS_SLIDER1: return &state.sliders[1];
    default: return nullptr;
    }
}

int AxisSlotOf(int axis, int axisCount)
{
    if (axisCount == 4 && axis == 3)
        return AXIS_RZ;
    return axis < AXIS_SLOT_COUNT ? axis : -1;
}

// -32768..32767 onto the record's -1000..1000, rounded.
int32_t ScaleAxis(int16_t raw)
{
    const int32_t shifted = static_cast<int32_t>(raw) + 32768;
    return (shifted * 2000 + 32767) / 65535 - 1000;
}

uint32_t HatDirection(uint8_t hat)
{
    switch (hat)
    {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return INPUT_HAT_CENTERED;
    }
}

// Game pads report up as positive; SDL reports down as positive.
int16_t FlipY(int16_t value)
{
    return value == INT16_MIN ? INT16_MAX : static_cast<int16_t>(-value);
}

uint8_t TriggerByte(int16_t value)
{
    if (value <= 0)
        return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(value) * 255 / 32767);
}

struct GamepadButtonBit
{
    SDL_GameControllerButton button;
    uint16_t bit;
};

const GamepadButtonBit kGamepadButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, GAMEPAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, GAMEPAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, GAMEPAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, GAMEPAD_DPAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_START, GAMEPAD_START},
    {SDL_CONTROLLER_BUTTON_BACK, GAMEPAD_BACK},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, GAMEPAD_LEFT_THUMB},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, GAMEPAD_RIGHT_THUMB},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, GAMEPAD_LEFT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, GAMEPAD_RIGHT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_A, GAMEPAD_A},
    {SDL_CONTROLLER_BUTTON_B, GAMEPAD_B},
    {SDL_CONTROLLER_BUTTON_X, GAMEPAD_X},
    {SDL_CONTROLLER_BUTTON_Y, GAMEPAD_Y},
};

// Mouse buttons in the record's order: left, right, middle, back, forward,
// then SDL's buttons 6-8.
const uint32_t kMouseButtons[8] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1,
                                   SDL_BUTTON_X2,   6,                7,                 8};

// The record's index of an SDL mouse button; -1 for a button it has none for.
int MouseButtonIndex(uint8_t sdlButton)
{
    for (int b = 0; b < 8; ++b)
    {
        if (kMouseButtons[b] == sdlButton)
            return b;
    }
    return -1;
}

void CopyName(char* out, size_t size, const char* utf8)
{
    const std::string name = ConvertUtf8ToShiftJis(utf8 != nullptr ? utf8 : "");
    std::snprintf(out, size, "%s", name.c_str());
}
}

SdlInputSource::SdlInputSource() = default;

SdlInputSource::~SdlInputSource()
{
    Close();
}

int SdlInputSource::OpenSystem()
{
    if (m_systemOpen)
        return 1;
    // SDL's first subsystem would otherwise turn SIGINT and SIGTERM into a
    // quit event that a program without an SDL window never reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Pads keep reporting while the program's window is not an SDL one
    // (the configuration tool's dialog).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0)
    {
        LogFailure("input: SDL_InitSubSystem", SDL_GetError());
        return 0;
    }
    m_systemOpen = true;
    SDL_AddEventWatch(WatchEvent, this);
    return 1;
}

int SdlInputSource::OpenKeyboard(WindowHandle window)
{
    m_window = window;
    m_sdlWindow = nullptr;
    if (window == nullptr)
        return 0;
    // Other backends (GTK dialogs) have native handles of their own; only an
    // SDL window has SDL's keyboard and mouse.
    SDL_Window* candidate = static_cast<SDL_Window*>(window->GetNativeHandle());
    if (candidate != nullptr && SDL_GetWindowFromID(SDL_GetWindowID(candidate)) == candidate)
        m_sdlWindow = candidate;
    return 1;
}

int SdlInputSource::OpenMouse(WindowHandle window)
{
    return window != nullptr ? 1 : 0;
}

int SdlInputSource::OpenJoysticks()
{
    if (!m_systemOpen)
        return 0;
    const int devices = SDL_NumJoysticks();
    if (devices < 0)
    {
        LogFailure("input: SDL_NumJoysticks", SDL_GetError());
        return 0;
    }
    for (int device = 0; device < devices; ++device)
    {
        const bool isGamepad = SDL_IsGameController(device) == SDL_TRUE;
        if (isGamepad)
        {
            for (SDL_GameController*& slot : m_gamepads)
            {
                if (slot != nullptr)
                    continue;
                slot = SDL_GameControllerOpen(device);
                break;
            }
            const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device);
            if (IsOpenAsGamepad(id) && !m_listGamepadsAsJoysticks)
                continue;
        }
        if (m_joystickCount >= INPUT_MAX_JOYSTICKS)
            break;
        const int slot = m_joystickCount++;
        // A device that fails to open leaves its slot empty.
        m_joysticks[slot] = SDL_JoystickOpen(device);
        if (m_joysticks[slot] == nullptr)
            LogFailure("input: SDL_JoystickOpen", SDL_GetError());
        else
            CopyName(m_joystickNames[slot], sizeof(m_joystickNames[slot]), SDL_JoystickName(m_joysticks[slot]));
    }
    m_devicesChanged = false;
    return 1;
}

void SdlInputSource::Close()
{
    for (SDL_GameController*& gamepad : m_gamepads)
    {
        if (gamepad != nullptr)
            SDL_GameControllerClose(gamepad);
        gamepad = nullptr;
    }
    for (int j = 0; j < INPUT_MAX_JOYSTICKS; ++j)
    {
        if (m_joysticks[j] != nullptr)
            SDL_JoystickClose(m_joysticks[j]);
        m_joysticks[j] = nullptr;
        m_joystickNames[j][0] = '\0';
    }
    m_joystickCount = 0;
    if (m_systemOpen)
    {
        SDL_DelEventWatch(WatchEvent, this);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        m_systemOpen = false;
    }
    m_window = nullptr;
    m_sdlWindow = nullptr;
}

int SdlInputSource::WatchEvent(void* userdata, SDL_Event* event)
{
    static_cast<SdlInputSource*>(userdata)->OnEvent(*event);
    return 1;
}

bool SdlInputSource::IsOurWindow(uint32_t windowId) const
{
    return m_sdlWindow != nullptr && SDL_GetWindowFromID(windowId) == m_sdlWindow;
}

void SdlInputSource::OnEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_MOUSEMOTION:
        if (IsOurWindow(event.motion.windowID))
        {
            std::lock_guard<std::mutex> lock(m_eventLock);
            m_motionX += event.motion.xrel;
            m_motionY += event.motion.yrel;
        }
        break;
    case SDL_MOUSEWHEEL:
        if (IsOurWindow(event.wheel.windowID))
        {
            const int32_t steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            std::lock_guard<std::mutex> lock(m_eventLock);
            m_wheel += steps * kWheelStep;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        // A key pressed and released between two polls still counts once;
        // a key's own repeats are no new presses.
        if (event.key.repeat == 0 && IsOurWindow(event.key.windowID))
        {
            const uint8_t code = TranslateScancode(event.key.keysym.scancode);
            std::lock_guard<std::mutex> lock(m_eventLock);
            if (code != 0 && event.type == SDL_KEYDOWN)
                m_keyPresses.Press(code);
            else if (code != 0)
                m_keyPresses.Release(code);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        // A touchpad's tap sends the press and the release together.
        if (IsOurWindow(event.button.windowID))
        {
            const int button = MouseButtonIndex(event.button.button);
            std::lock_guard<std::mutex> lock(m_eventLock);
            if (button >= 0 && event.type == SDL_MOUSEBUTTONDOWN)
                m_mousePresses.Press(static_cast<uint32_t>(button));
            else if (button >= 0)
                m_mousePresses.Release(static_cast<uint32_t>(button));
        }
        break;
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
        m_devicesChanged = true;
        break;
    default:
        break;
    }
}

bool SdlInputSource::HasFocus() const
{
    if (m_sdlWindow != nullptr)
        return SDL_GetKeyboardFocus() == m_sdlWindow;
    return m_window != nullptr && m_window->HasFocus();
}

void SdlInputSource::BeginFrame()
{
    if (!m_systemOpen)
        return;
    // Brings SDL's key, mouse and joystick states up to date. Events stay
    // queued for the window's own pump.
    SDL_PumpEvents();
    if (m_devicesChanged.exchange(false))
        OpenNewGamepads();
}

bool SdlInputSource::IsOpenAsGamepad(SDL_JoystickID id) const
{
    for (SDL_GameController* gamepad : m_gamepads)
    {
        if (gamepad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(gamepad)) == id)
            return true;
    }
    return false;
}

bool SdlInputSource::IsOpenAsJoystick(SDL_JoystickID id) const
{
    for (int j = 0; j < m_joystickCount; ++j)
    {
        if (m_joysticks[j] != nullptr && SDL_JoystickInstanceID(m_joysticks[j]) == id)
            return true;
    }
    return false;
}

// Game pads come and go while the program runs; the joystick list stays as
// it was opened, so that joystick numbers keep their meaning.
void SdlInputSource::OpenNewGamepads()
{
    for (SDL_GameController*& gamepad : m_gamepads)
    {
        if (gamepad != nullptr && !SDL_GameControllerGetAttached(gamepad))
        {
            SDL_GameControllerClose(gamepad);
            gamepad = nullptr;
        }
    }
    const int devices = SDL_NumJoysticks();
    for (int device = 0; device < devices; ++device)
    {
        if (!SDL_IsGameController(device))
            continue;
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device);
        if (IsOpenAsGamepad(id) || IsOpenAsJoystick(id))
            continue;
        for (SDL_GameController*& gamepad : m_gamepads)
        {
            if (gamepad != nullptr)
                continue;
            gamepad = SDL_GameControllerOpen(device);
            break;
        }
    }
}

int SdlInputSource::ReadKeyboard(uint8_t keys[256])
{
    std::lock_guard<std::mutex> lock(m_eventLock);
    // Out of focus nothing is read, and what was pressed meanwhile is not
    // this window's.
    if (m_sdlWindow == nullptr || !HasFocus())
    {
        m_keyPresses.Reset();
        return 0;
    }
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    uint8_t down[256] = {};
    for (int scancode = 0; scancode < count; ++scancode)
    {
        if (state[scancode] == 0)
            continue;
        const uint8_t code = TranslateScancode(static_cast<SDL_Scancode>(scancode));
        if (code != 0)
            down[code] = 1;
    }
    m_keyPresses.Read(down, keys, 256);
    return 1;
}

int SdlInputSource::ReadMouse(InputMouseState& state)
{
    InputMouseState read;
    std::lock_guard<std::mutex> lock(m_eventLock);
    read.x = m_motionX;
    read.y = m_motionY;
    read.z = m_wheel;
    m_motionX = m_motionY = m_wheel = 0;
    if (m_sdlWindow == nullptr || !HasFocus())
    {
        m_mousePresses.Reset();
        return 0;
    }
    const Uint32 mask = SDL_GetMouseState(nullptr, nullptr);
    uint8_t down[8] = {};
    for (int b = 0; b < 8; ++b)
        down[b] = (mask & SDL_BUTTON(kMouseButtons[b])) != 0 ? 1 : 0;
    m_mousePresses.Read(down, read.buttons, 8);
    state = read;
    return 1;
}

bool SdlInputSource::HasJoystick(int joystick) const
{
    return joystick >= 0 && joystick < m_joystickCount && m_joysticks[joystick] != nullptr;
}

int SdlInputSource::ReadJoystick(int joystick, InputJoystickState& state)
{
    if (!HasJoystick(joystick))
        return 0;
    state = InputJoystickState();
    SDL_Joystick* device = m_joysticks[joystick];
    // In the background, or unplugged, a joystick is centred with nothing
    // pressed rather than frozen in its last position.
    if (!HasFocus() || !SDL_JoystickGetAttached(device))
        return 1;
    const int axes = SDL_JoystickNumAxes(device);
    for (int axis = 0; axis < axes; ++axis)
    {
        int32_t* field = AxisField(state, AxisSlotOf(axis, axes));
        if (field != nullptr)
            *field = ScaleAxis(SDL_JoystickGetAxis(device, axis));
    }
    const int hats = SDL_JoystickNumHats(device);
    for (int hat = 0; hat < hats && hat < INPUT_JOYSTICK_HATS; ++hat)
        state.hats[hat] = HatDirection(SDL_JoystickGetHat(device, hat));
    const int buttons = SDL_JoystickNumButtons(device);
    for (int button = 0; button < buttons && button < INPUT_JOYSTICK_BUTTONS; ++button)
        state.buttons[button] = SDL_JoystickGetButton(device, button) != 0 ? 1 : 0;
    return 1;
}

const char* SdlInputSource::GetJoystickName(int joystick) const
{
    return HasJoystick(joystick) ? m_joystickNames[joystick] : "";
}

int SdlInputSource::ReadGamepad(int user, InputGamepadState& state)
{
    if (user < 0 || user >= INPUT_MAX_GAMEPADS)
        return 0;
    SDL_GameController* gamepad = m_gamepads[user];
    if (gamepad == nullptr || !SDL_GameControllerGetAttached(gamepad))
        return 0;
    state = InputGamepadState();
    if (!HasFocus())
        return 1;
    for (const GamepadButtonBit& entry : kGamepadButtons)
    {
        if (SDL_GameControllerGetButton(gamepad, entry.button))
            state.buttons |= entry.bit;
    }
    state.leftTrigger = TriggerByte(SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    state.rightTrigger = TriggerByte(SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    state.thumbLX = SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_LEFTX);
    state.thumbLY = FlipY(SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_LEFTY));
    state.thumbRX = SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_RIGHTX);
    state.thumbRY = FlipY(SDL_GameControllerGetAxis(gamepad, SDL_CONTROLLER_AXIS_RIGHTY));
    return 1;
}

int SdlInputSource::SetGamepadVibration(int user, uint16_t left, uint16_t right)
{
    if (user < 0 || user >= INPUT_MAX_GAMEPADS || m_gamepads[user] == nullptr)
        return 0;
    const uint32_t duration = (left == 0 && right == 0) ? 0 : kRumbleRefreshMilliseconds;
    // Pads without motors refuse; that is not an error for the game.
    SDL_GameControllerRumble(m_gamepads[user], left, right, duration);
    return 1;
}

int SdlInputSource::GetCursorPosition(int& x, int& y)
{
    if (m_sdlWindow == nullptr)
        return 0;
    int globalX = 0;
    int globalY = 0;
    int windowX = 0;
    int windowY = 0;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(m_sdlWindow, &windowX, &windowY);
    x = globalX - windowX;
    y = globalY - windowY;
    return 1;
}

void SdlInputSource::SetCursorPosition(int x, int y)
{
    if (m_sdlWindow != nullptr)
        SDL_WarpMouseInWindow(m_sdlWindow, x, y);
}

uint8_t SdlInputSource::TranslateScancode(SDL_Scancode scancode)
{
    switch (scancode)
    {
    case SDL_SCANCODE_A: return KEY_A;
    case SDL_SCANCODE_B: return KEY_B;
    case SDL_SCANCODE_C: return KEY_C;
    case SDL_SCANCODE_D: return KEY_D;
    case SDL_SCANCODE_E: return KEY_E;
    case SDL_SCANCODE_F: return KEY_F;
    case SDL_SCANCODE_G: return KEY_G;
    case SDL_SCANCODE_H: return KEY_H;
    case SDL_SCANCODE_I: return KEY_I;
    case SDL_SCANCODE_J: return KEY_J;
    case SDL_SCANCODE_K: return KEY_K;
    case SDL_SCANCODE_L: return KEY_L;
    case SDL_SCANCODE_M: return KEY_M;
    case SDL_SCANCODE_N: return KEY_N;
    case SDL_SCANCODE_O: return KEY_O;
    case SDL_SCANCODE_P: return KEY_P;
    case SDL_SCANCODE_Q: return KEY_Q;
    case SDL_SCANCODE_R: return KEY_R;
    case SDL_SCANCODE_S: return KEY_S;
    case SDL_SCANCODE_T: return KEY_T;
    case SDL_SCANCODE_U: return KEY_U;
    case SDL_SCANCODE_V: return KEY_V;
    case SDL_SCANCODE_W: return KEY_W;
    case SDL_SCANCODE_X: return KEY_X;
    case SDL_SCANCODE_Y: return KEY_Y;
    case SDL_SCANCODE_Z: return KEY_Z;
    case SDL_SCANCODE_1: return KEY_1;
    case SDL_SCANCODE_2: return KEY_2;
    case SDL_SCANCODE_3: return KEY_3;
    case SDL_SCANCODE_4: return KEY_4;
    case SDL_SCANCODE_5: return KEY_5;
    case SDL_SCANCODE_6: return KEY_6;
    case SDL_SCANCODE_7: return KEY_7;
    case SDL_SCANCODE_8: return KEY_8;
    case SDL_SCANCODE_9: return KEY_9;
    case SDL_SCANCODE_0: return KEY_0;
    case SDL_SCANCODE_RETURN: return KEY_RETURN;
    case SDL_SCANCODE_ESCAPE: return KEY_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return KEY_BACK;
    case SDL_SCANCODE_TAB: return KEY_TAB;
    case SDL_SCANCODE_SPACE: return KEY_SPACE;
    case SDL_SCANCODE_MINUS: return KEY_MINUS;
    case SDL_SCANCODE_EQUALS: return KEY_EQUALS;
    case SDL_SCANCODE_LEFTBRACKET: return KEY_LBRACKET;
    case SDL_SCANCODE_RIGHTBRACKET: return KEY_RBRACKET;
    case SDL_SCANCODE_BACKSLASH: return KEY_BACKSLASH;
    case SDL_SCANCODE_NONUSHASH: return KEY_BACKSLASH;
    case SDL_SCANCODE_SEMICOLON: return KEY_SEMICOLON;
    case SDL_SCANCODE_APOSTROPHE: return KEY_APOSTROPHE;
    case SDL_SCANCODE_GRAVE: return KEY_GRAVE;
    case SDL_SCANCODE_COMMA: return KEY_COMMA;
    case SDL_SCANCODE_PERIOD: return KEY_PERIOD;
    case SDL_SCANCODE_SLASH: return KEY_SLASH;
    case SDL_SCANCODE_CAPSLOCK: return KEY_CAPITAL;
    case SDL_SCANCODE_F1: return KEY_F1;
    case SDL_SCANCODE_F2: return KEY_F2;
    case SDL_SCANCODE_F3: return KEY_F3;
    case SDL_SCANCODE_F4: return KEY_F4;
    case SDL_SCANCODE_F5: return KEY_F5;
    case SDL_SCANCODE_F6: return KEY_F6;
    case SDL_SCANCODE_F7: return KEY_F7;
    case SDL_SCANCODE_F8: return KEY_F8;
    case SDL_SCANCODE_F9: return KEY_F9;
    case SDL_SCANCODE_F10: return KEY_F10;
    case SDL_SCANCODE_F11: return KEY_F11;
    case SDL_SCANCODE_F12: return KEY_F12;
    case SDL_SCANCODE_F13: return KEY_F13;
    case SDL_SCANCODE_F14: return KEY_F14;
    case SDL_SCANCODE_F15: return KEY_F15;
    case SDL_SCANCODE_PRINTSCREEN: return KEY_SYSRQ;
    case SDL_SCANCODE_SCROLLLOCK: return KEY_SCROLL;
    case SDL_SCANCODE_PAUSE: return KEY_PAUSE;
    case SDL_SCANCODE_INSERT: return KEY_INSERT;
    case SDL_SCANCODE_HOME: return KEY_HOME;
    case SDL_SCANCODE_PAGEUP: return KEY_PRIOR;
    case SDL_SCANCODE_DELETE: return KEY_DELETE;
    case SDL_SCANCODE_END: return KEY_END;
    case SDL_SCANCODE_PAGEDOWN: return KEY_NEXT;
    case SDL_SCANCODE_RIGHT: return KEY_RIGHT;
    case SDL_SCANCODE_LEFT: return KEY_LEFT;
    case SDL_SCANCODE_DOWN: return KEY_DOWN;
    case SDL_SCANCODE_UP: return KEY_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return KEY_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return KEY_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return KEY_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return KEY_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return KEY_ADD;
    case SDL_SCANCODE_KP_ENTER: return KEY_NUMPADENTER;
    case SDL_SCANCODE_KP_1: return KEY_NUMPAD1;
    case SDL_SCANCODE_KP_2: return KEY_NUMPAD2;
    case SDL_SCANCODE_KP_3: return KEY_NUMPAD3;
    case SDL_SCANCODE_KP_4: return KEY_NUMPAD4;
    case SDL_SCANCODE_KP_5: return KEY_NUMPAD5;
    case SDL_SCANCODE_KP_6: return KEY_NUMPAD6;
    case SDL_SCANCODE_KP_7: return KEY_NUMPAD7;
    case SDL_SCANCODE_KP_8: return KEY_NUMPAD8;
    case SDL_SCANCODE_KP_9: return KEY_NUMPAD9;
    case SDL_SCANCODE_KP_0: return KEY_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return KEY_DECIMAL;
    case SDL_SCANCODE_KP_EQUALS: return KEY_NUMPADEQUALS;
    case SDL_SCANCODE_KP_COMMA: return KEY_NUMPADCOMMA;
    case SDL_SCANCODE_NONUSBACKSLASH: return KEY_OEM_102;
    case SDL_SCANCODE_APPLICATION: return KEY_APPS;
    case SDL_SCANCODE_POWER: return KEY_POWER;
    case SDL_SCANCODE_SLEEP: return KEY_SLEEP;
    case SDL_SCANCODE_INTERNATIONAL1: return KEY_ABNT_C1;
    case SDL_SCANCODE_INTERNATIONAL2: return KEY_KANA;
    case SDL_SCANCODE_INTERNATIONAL3: return KEY_YEN;
    case SDL_SCANCODE_INTERNATIONAL4: return KEY_CONVERT;
    case SDL_SCANCODE_INTERNATIONAL5: return KEY_NOCONVERT;
    case SDL_SCANCODE_LCTRL: return KEY_LCONTROL;
    case SDL_SCANCODE_LSHIFT: return KEY_LSHIFT;
    case SDL_SCANCODE_LALT: return KEY_LMENU;
    case SDL_SCANCODE_LGUI: return KEY_LWIN;
    case SDL_SCANCODE_RCTRL: return KEY_RCONTROL;
    case SDL_SCANCODE_RSHIFT: return KEY_RSHIFT;
    case SDL_SCANCODE_RALT: return KEY_RMENU;
    case SDL_SCANCODE_RGUI: return KEY_RWIN;
    case SDL_SCANCODE_MUTE: return KEY_MUTE;
    case SDL_SCANCODE_AUDIOMUTE: return KEY_MUTE;
    case SDL_SCANCODE_VOLUMEUP: return KEY_VOLUMEUP;
    case SDL_SCANCODE_VOLUMEDOWN: return KEY_VOLUMEDOWN;
    case SDL_SCANCODE_AUDIONEXT: return KEY_NEXTTRACK;
    case SDL_SCANCODE_AUDIOPREV: return KEY_PREVTRACK;
    case SDL_SCANCODE_AUDIOSTOP: return KEY_MEDIASTOP;
    case SDL_SCANCODE_AUDIOPLAY: return KEY_PLAYPAUSE;
    case SDL_SCANCODE_MEDIASELECT: return KEY_MEDIASELECT;
    case SDL_SCANCODE_MAIL: return KEY_MAIL;
    case SDL_SCANCODE_CALCULATOR: return KEY_CALCULATOR;
    case SDL_SCANCODE_COMPUTER: return KEY_MYCOMPUTER;
    case SDL_SCANCODE_AC_SEARCH: return KEY_WEBSEARCH;
    case SDL_SCANCODE_AC_HOME: return KEY_WEBHOME;
    case SDL_SCANCODE_AC_BACK: return KEY_WEBBACK;
    case SDL_SCANCODE_AC_FORWARD: return KEY_WEBFORWARD;
    case SDL_SCANCODE_AC_STOP: return KEY_WEBSTOP;
    case SDL_SCANCODE_AC_REFRESH: return KEY_WEBREFRESH;
    case SDL_SCANCODE_AC_BOOKMARKS: return KEY_WEBFAVORITES;
    default: return 0;
    }
}

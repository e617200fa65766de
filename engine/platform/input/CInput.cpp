#include "engine/platform/input/CInput.h"

#include "engine/core/MathConstants.h"
#include "engine/core/DeterministicMath.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/sdl/SdlInputSource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

namespace
{
// Device failures, shown to the user with the caption "Error".
const char* const kSystemFailed = "DirectInput8\x83I\x83u\x83W\x83" "F\x83N\x83g\x82\xCC\x90\xB6\x90\xAC\x82\xC9\x8E"
                                  "\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const char* const kKeyboardCreateFailed = "DirectInput8\n\x83L\x81[\x83{\x81[\x83h\x83I\x83u\x83W\x83" "F\x83N\x83g\x82"
                                          "\xCC\x90\xB6\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const char* const kKeyboardCooperationFailed = "DirectInput8\n\x83L\x81[\x83{\x81[\x83h\x82\xCC\x8B\xA6\x92\xB2\x90"
                                               "\xDD\x92\xE8\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const char* const kMouseCreateFailed = "DirectInput8\n\x83}\x83" "E\x83X\x83I\x83u\x83W\x83" "F\x83N\x83g\x82\xCC\x90"
                                       "\xB6\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const char* const kMouseCooperationFailed = "DirectInput8\n\x83}\x83" "E\x83X\x82\xCC\x8B\xA6\x92\xB2\x90\xDD\x92\xE8"
                                            "\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const char* const kErrorCaption = "Error";

const uint8_t kDefaultKeys[KVR_PAD_ACTION_COUNT] = {
    KEY_UP,      KEY_DOWN,    KEY_LEFT,    KEY_RIGHT,    KEY_W, KEY_S, KEY_A,      KEY_D,
    KEY_T,       KEY_NUMPAD2, KEY_NUMPAD8, KEY_NUMPAD4,  KEY_NUMPAD6,  KEY_LCONTROL, KEY_Z, KEY_X,
    KEY_C,       KEY_V,       KEY_Q,       KEY_E,        KEY_LSHIFT,   KEY_R,        KEY_TAB, KEY_RETURN,
};

const char* const kPadElementNames[KVR_PAD_ELEMENT_COUNT] = {
    "DP_UP", "DP_DOWN", "DP_LEFT", "DP_RIGHT", "LS_UP", "LS_DOWN",
    "LS_LEFT", "LS_RIGHT", "LS_PUSH", "RS_UP", "RS_DOWN", "RS_LEFT",
    "RS_RIGHT", "RS_PUSH", "BUTTON1", "BUTTON2", "BUTTON3", "BUTTON4",
    "BUTTON7", "BUTTON5", "BUTTON8", "BUTTON6", "BUTTON9", "BUTTON10",
    "BUTTON13", "BUTTON14", "BUTTON15", "BUTTON16", "BUTTON17", "BUTTON18",
    "BUTTON19", "BUTTON20", "BUTTON21", "BUTTON22", "BUTTON23", "BUTTON24",
    "BUTTON25", "BUTTON26", "BUTTON27", "BUTTON28", "BUTTON29", "BUTTON30",
    "BUTTON31", "BUTTON32", "BUTTON33", "BUTTON34", "BUTTON35", "BUTTON36",
    "BUTTON37", "BUTTON38", "BUTTON39", "BUTTON40", "BUTTON41", "BUTTON42",
    "BUTTON43", "BUTTON44", "BUTTON45", "BUTTON46", "BUTTON47", "BUTTON48",
    "BUTTON49", "BUTTON50", "BUTTON51", "BUTTON52",
};

const uint8_t kFunctionKeys[12] = {KEY_F1, KEY_F2, KEY_F3, KEY_F4,  KEY_F5,  KEY_F6,
                                   KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12};
const uint8_t kDigitKeys[10] = {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9, KEY_0};

// Buttons 8-15 and 17-20 are the directions of the d-pad and the sticks;
// they don't count as "any button".
bool IsDirectionButton(int button)
{
    return (button >= 8 && button <= 15) || (button >= 17 && button <= 20);
}

// Joystick axes past half-way count as a direction; close to the centre
// they read as centred.
constexpr int32_t kAxisDirection = 500;
constexpr int32_t kAxisDeadZone = 100;

int32_t Magnitude(int32_t value)
{
    return value < 0 ? -value : value;
}

void MapAxis(int32_t& axis, uint32_t& negative, uint32_t& positive)
{
    if (axis < -kAxisDirection)
        negative = 1;
    else if (axis >= kAxisDirection + 1)
        positive = 1;
    else if (Magnitude(axis) < kAxisDeadZone)
        axis = 0;
}

float ClampAxis(float value)
{
    value = std::trunc(value * 100.0f) * 0.01f;
    if (value < -1.0f)
        return -1.0f;
    if (value > 1.0f)
        return 1.0f;
    return value;
}

float StickAngle(float x, float y)
{
    float angle = RadianToDegreeFloat(KvrAtan2(y, x)) + 90.0f;
    if (angle >= 360.0f)
        angle -= 360.0f;
    if (angle < 0.0f)
        angle += 360.0f;
    return angle;
}

uint16_t DecaySpeed(uint16_t speed, uint16_t decay, uint32_t milliseconds)
{
    if (speed == 0)
        return 0;
    const float step = static_cast<float>(decay) * static_cast<float>(milliseconds) / 1000.0f;
    const float speedValue = static_cast<float>(speed);
    if (speedValue > step)
        return static_cast<uint16_t>(speedValue - step);
    return 0;
}

// Client coordinates stay far inside int; anything else is not a position.
int ToPixel(float value)
{
    if (!(value > -1.0e9f && value < 1.0e9f))
        return 0;
    return static_cast<int>(value);
}

// A held-back input reads as up until the device reads it up with the
// window focused; from then on it is free again. Out of focus the devices
// read everything up, down or not, and that lets nothing go.
template <typename State>
void HoldBack(State* states, bool* heldBack, size_t count, bool focused)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (!heldBack[i])
            continue;
        if (states[i] != 0)
            states[i] = 0;
        else if (focused)
            heldBack[i] = false;
    }
}

// Marks what is down as held back and reads it as up from now.
template <typename State>
void StartHoldingBack(State* states, bool* heldBack, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (states[i] == 0)
            continue;
        heldBack[i] = true;
        states[i] = 0;
    }
}

void UpdateButton(tag_KVRPADSTATE& state, int b, uint32_t milliseconds)
{
    state.pressed.button[b] = 0;
    state.released.button[b] = 0;
    const bool wasDown = state.previous.button[b] != 0;
    if (state.current.button[b] != 0)
    {
        state.held.button[b] = 1;
        state.up.button[b] = 0;
        state.upMilliseconds.button[b] = 0;
        if (wasDown)
            state.heldMilliseconds.button[b] += milliseconds;
        else
            state.pressed.button[b] = 1;
        return;
    }
    state.held.button[b] = 0;
    state.up.button[b] = 1;
    state.heldMilliseconds.button[b] = 0;
    if (wasDown)
        state.released.button[b] = 1;
    else
        state.upMilliseconds.button[b] += milliseconds;
}
}

CInput::CInput()
{
    for (tag_KVRXINPUTPAD& pad : m_xinputPads)
        pad = tag_KVRXINPUTPAD();
    std::memset(m_pads, 0, sizeof(m_pads));
}

CInput::~CInput()
{
    Release();
}

void CInput::SetInputSource(InputSource* source)
{
    m_source = source;
    m_ownSource.reset();
}

int CInput::Init(CSystem* system)
{
    if (system == nullptr)
        return 0;
    m_system = system;
    if (!InitDirectInput(system->GetWindowHandle()))
        return 0;
    InitPads();
    return 1;
}

int CInput::InitWithWindow(WindowHandle window)
{
    if (window == nullptr)
        return 0;
    m_system = nullptr;
    if (!InitDirectInput(window))
        return 0;
    InitPads();
    return 1;
}

int CInput::InitDirectInput(WindowHandle window)
{
    Release();
    m_window = window;
    if (m_source == nullptr)
    {
        m_ownSource = std::make_unique<SdlInputSource>();
        m_source = m_ownSource.get();
    }
    if (!m_source->OpenSystem())
    {
        ShowMessageBox(nullptr, kSystemFailed, kErrorCaption);
        return 0;
    }
    m_opened = true;
    if (!CreateKeyboard())
        return 0;
    if (!CreateMouse())
        return 0;
    return CreateJoysticks();
}

int CInput::CreateKeyboard()
{
    // Keys are read only while this window has the focus; without a window
    // there is nothing to bind them to.
    if (m_window == nullptr)
    {
        ShowMessageBox(nullptr, kKeyboardCooperationFailed, kErrorCaption);
        return 0;
    }
    if (!m_source->OpenKeyboard(m_window))
    {
        ShowMessageBox(nullptr, kKeyboardCreateFailed, kErrorCaption);
        return 0;
    }
    return 1;
}

int CInput::CreateMouse()
{
    if (m_window == nullptr)
    {
        ShowMessageBox(nullptr, kMouseCooperationFailed, kErrorCaption);
        return 0;
    }
    if (!m_source->OpenMouse(m_window))
    {
        ShowMessageBox(nullptr, kMouseCreateFailed, kErrorCaption);
        return 0;
    }
    return 1;
}

int CInput::CreateJoysticks()
{
    m_joystickCount = 0;
    std::memset(m_joystickOpen, 0, sizeof(m_joystickOpen));
    std::memset(m_joystickInstances, 0, sizeof(m_joystickInstances));
    if (!m_source->OpenJoysticks())
        return 0;
    int count = m_source->GetJoystickCount();
    if (count > INPUT_MAX_JOYSTICKS)
        count = INPUT_MAX_JOYSTICKS;
    if (count < 0)
        count = 0;
    m_joystickCount = static_cast<uint8_t>(count);
    for (int j = 0; j < count; ++j)
    {
        m_polledJoysticks[j] = InputJoystickState();
        m_joysticks[j] = InputJoystickState();
        if (!m_source->HasJoystick(j))
            continue;
        m_joystickOpen[j] = true;
        KvrJoystickInstance& instance = m_joystickInstances[j];
        std::snprintf(instance.instanceName, sizeof(instance.instanceName), "%s", m_source->GetJoystickName(j));
        std::snprintf(instance.productName, sizeof(instance.productName), "%s", m_source->GetJoystickName(j));
    }
    return 1;
}

void CInput::InitPads()
{
    std::memset(m_pads, 0, sizeof(m_pads));
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
    {
        tag_KVRPADSTATE& state = m_pads[p];
        state.stickPresent = JoystickExists(p) ? 1 : 0;
        for (uint32_t b = 0; b < KVR_PAD_MOUSE_BUTTON_COUNT; ++b)
            state.mouseButtonMap[b] = b;
        for (uint32_t n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
        {
            state.joystickMap[n] = n;
            state.xinputMap[n] = n;
            state.keyMap[n] = kDefaultKeys[n];
        }
        state.moveThreshold = 5.0f;
        state.vibrationDecay = 20000;
        state.joystickIndex = p;
    }
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
        m_xinputPads[p].SetSource(m_source);
    for (uint8_t p = 0; p < INPUT_MAX_GAMEPADS; ++p)
    {
        m_pads[p].useXInput = 1;
        m_xinputPads[p].Init(p);
    }
}

void CInput::Release()
{
    if (m_source != nullptr && m_opened)
        m_source->Close();
    m_opened = false;
    m_joystickCount = 0;
    std::memset(m_joystickOpen, 0, sizeof(m_joystickOpen));
    for (tag_KVRXINPUTPAD& pad : m_xinputPads)
        pad.SetSource(nullptr);
    if (m_ownSource)
    {
        m_ownSource.reset();
        m_source = nullptr;
    }
}

bool CInput::JoystickExists(uint8_t joystick) const
{
    return joystick < INPUT_MAX_JOYSTICKS && joystick < m_joystickCount && m_joystickOpen[joystick];
}

void CInput::PollJoysticks()
{
    for (uint8_t j = 0; j < m_joystickCount; ++j)
    {
        if (!m_joystickOpen[j])
            continue;
        InputJoystickState read;
        // A failed read keeps the last state; the source retries next frame.
        if (!m_source->ReadJoystick(j, read))
            continue;
        for (uint8_t& button : read.buttons)
            button = button != 0 ? 1 : 0;
        m_polledJoysticks[j] = read;
        m_joysticks[j] = read;
    }
}

void CInput::PollKeyboard()
{
    std::memcpy(m_previousKeys, m_keys, sizeof(m_keys));
    m_focused = m_opened && m_source->ReadKeyboard(m_keys);
    if (!m_focused)
    {
        std::memset(m_keys, 0, sizeof(m_keys));
        return;
    }
    for (uint8_t& key : m_keys)
        key = key != 0 ? 1 : 0;
    HoldBack(m_keys, m_keysHeldBack, std::size(m_keys), true);
}

void CInput::PollMouse()
{
    const bool read = m_opened && m_source->ReadMouse(m_mouse);
    if (!read)
        m_mouse = InputMouseState();
    HoldBackWheel();
    if (!read)
        return;
    for (uint8_t& button : m_mouse.buttons)
        button = button != 0 ? 1 : 0;
    HoldBack(m_mouse.buttons, m_mouseButtonsHeldBack, std::size(m_mouse.buttons), true);
}

// The wheel is read anew each frame, and a turning wheel's notches often
// come more than a frame apart: a frame without one is no stop, and the next
// notch of a turn that goes on after the hold would read as a new press. A
// notch is dated by the frame that reads it (several in one frame are one
// reading), not by its event's time, which runs on the platform's real
// clock: the frame time is the clock tests drive, and a notch read up to a
// frame late holds the wheel only that much longer. Time out of focus counts
// as stillness: no notch comes to this window then.
void CInput::HoldBackWheel()
{
    m_wheelStillMilliseconds += std::min(GetElapsedMilliseconds(), kWheelStillMilliseconds - m_wheelStillMilliseconds);
    if (!IsWheelTurning())
        m_wheelHeldBack = false;
    if (m_mouse.z != 0)
        m_wheelStillMilliseconds = 0;
    if (m_wheelHeldBack)
        m_mouse.z = 0;
}

bool CInput::IsWheelTurning() const
{
    return m_wheelStillMilliseconds < kWheelStillMilliseconds;
}

void CInput::HoldUntilReleased()
{
    StartHoldingBack(m_keys, m_keysHeldBack, std::size(m_keys));
    StartHoldingBack(m_mouse.buttons, m_mouseButtonsHeldBack, std::size(m_mouse.buttons));
    // A wheel between two notches of a turn is held too.
    if (IsWheelTurning())
    {
        m_wheelHeldBack = true;
        m_mouse.z = 0;
    }
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
    {
        StartHoldingBack(m_elements[p], m_elementsHeldBack[p], KVR_PAD_ELEMENT_COUNT);
        // The pads as this frame read them: whatever reads them after the
        // caller in this frame sees the buttons up, and the next frame sees
        // no release of a press it never saw.
        tag_KVRPADSTATE& state = m_pads[p];
        for (int b = 0; b < KVR_PAD_BUTTON_COUNT; ++b)
        {
            if (state.current.button[b] == 0)
                continue;
            state.current.button[b] = 0;
            state.pressed.button[b] = 0;
            state.held.button[b] = 0;
            state.heldMilliseconds.button[b] = 0;
            state.up.button[b] = 1;
            state.upMilliseconds.button[b] = 0;
        }
    }
}

int CInput::Update()
{
    if (m_opened)
        m_source->BeginFrame();
    PollJoysticks();
    PollKeyboard();
    PollMouse();
    int x = 0;
    int y = 0;
    const bool cursorRead = m_opened && m_source->GetCursorPosition(x, y);
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
    {
        // Without a cursor reading the cursor stays where it was.
        const float cursorX = cursorRead ? static_cast<float>(x) : m_pads[p].lastCursor[0];
        const float cursorY = cursorRead ? static_cast<float>(y) : m_pads[p].lastCursor[1];
        UpdatePad(p, cursorX, cursorY);
    }
    return 1;
}

uint32_t CInput::ReadKey(uint32_t code) const
{
    return code < 256 ? m_keys[code] : 0;
}

void CInput::UpdatePad(uint8_t pad, float cursorX, float cursorY)
{
    tag_KVRPADSTATE& state = m_pads[pad];
    state.previous = state.current;
    std::memset(&state.current, 0, sizeof(state.current));
    uint32_t elements[KVR_PAD_ELEMENT_COUNT] = {};
    uint32_t* current = state.current.button;

    for (int b = 0; b < KVR_PAD_MOUSE_BUTTON_COUNT; ++b)
    {
        const uint32_t source = state.mouseButtonMap[b];
        current[KVR_BUTTON_MOUSE_FIRST + b] = source < KVR_PAD_MOUSE_BUTTON_COUNT ? m_mouse.buttons[source] : 0;
    }

    state.wheel = static_cast<float>(m_mouse.z) * 0.1f;
    current[KVR_BUTTON_WHEEL_UP] = state.wheel >= 0.6f ? 1 : 0;
    current[KVR_BUTTON_WHEEL_DOWN] = state.wheel <= -0.6f ? 1 : 0;

    UpdateCursorDelta(state, cursorX, cursorY);

    const int device = ReadPadDevice(pad, state, elements);
    HoldBack(elements, m_elementsHeldBack[pad], KVR_PAD_ELEMENT_COUNT, m_focused);
    KeepPadElements(pad, elements);

    uint32_t* actions = current + KVR_BUTTON_ACTION_FIRST;
    for (int n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
        actions[n] = ReadKey(state.keyMap[n]);

    // Keys override the sticks; of two opposite keys the first one wins.
    if (actions[KVR_ACTION_LS_LEFT])
        state.leftX = -1.0f;
    else if (actions[KVR_ACTION_LS_RIGHT])
        state.leftX = 1.0f;
    if (actions[KVR_ACTION_LS_UP])
        state.leftY = -1.0f;
    else if (actions[KVR_ACTION_LS_DOWN])
        state.leftY = 1.0f;
    if (actions[KVR_ACTION_RS_LEFT])
        state.rightX = -1.0f;
    else if (actions[KVR_ACTION_RS_RIGHT])
        state.rightX = 1.0f;
    if (actions[KVR_ACTION_RS_UP])
        state.rightY = -1.0f;
    else if (actions[KVR_ACTION_RS_DOWN])
        state.rightY = 1.0f;

    if (device != 0)
    {
        const uint32_t* map = device == 2 ? state.xinputMap : state.joystickMap;
        for (int n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
        {
            if (map[n] < KVR_PAD_ELEMENT_COUNT)
                actions[n] |= elements[map[n]];
        }
    }

    for (int k = 0; k < 12; ++k)
        current[KVR_BUTTON_FUNCTION_FIRST + k] = m_keys[kFunctionKeys[k]];
    for (int k = 0; k < 10; ++k)
        current[KVR_BUTTON_DIGIT_FIRST + k] = m_keys[kDigitKeys[k]];

    ProcessSticks(&state);
    UpdateButtonTimers(&state);
}

void CInput::UpdateCursorDelta(tag_KVRPADSTATE& state, float cursorX, float cursorY)
{
    // The origin trails one reading behind, so slow movement below the
    // threshold is reported in steps rather than lost.
    const bool moved = std::fabs(cursorX - state.moveOrigin[0]) > state.moveThreshold ||
                       std::fabs(cursorY - state.moveOrigin[1]) > state.moveThreshold;
    if (moved)
    {
        state.moveOrigin[0] = state.lastCursor[0];
        state.moveOrigin[1] = state.lastCursor[1];
        state.mouseDeltaX = std::trunc(cursorX - state.moveOrigin[0]);
        state.mouseDeltaY = std::trunc(cursorY - state.moveOrigin[1]);
    }
    else
    {
        state.mouseDeltaX = 0.0f;
        state.mouseDeltaY = 0.0f;
    }
    state.lastCursor[0] = cursorX;
    state.lastCursor[1] = cursorY;
}

// Fills the elements and the sticks from the pad's controller: 2 for a game
// pad, 1 for a joystick, 0 when the pad has none this frame.
int CInput::ReadPadDevice(uint8_t pad, tag_KVRPADSTATE& state, uint32_t elements[KVR_PAD_ELEMENT_COUNT])
{
    if (pad < INPUT_MAX_GAMEPADS && state.useXInput && m_xinputPads[pad].GetState())
    {
        tag_KVRXINPUTPAD& gamepad = m_xinputPads[pad];
        gamepad.Map(elements, state.swapRightStick, state.invertRightY, state.invertRightX);
        if (state.leftMotorSpeed == 0 && state.rightMotorSpeed == 0)
            gamepad.StopVibration();
        else
            gamepad.SetVibration(state.leftMotorSpeed, state.rightMotorSpeed);
        state.leftX = static_cast<float>(gamepad.state.thumbLX) / 32767.0f;
        state.leftY = -static_cast<float>(gamepad.state.thumbLY) / 32767.0f;
        state.rightX = static_cast<float>(gamepad.state.thumbRX) / 32767.0f;
        state.rightY = -static_cast<float>(gamepad.state.thumbRY) / 32767.0f;
        state.stickPresent = 1;
        return 2;
    }

    const uint8_t joystick = state.joystickIndex;
    if (!JoystickExists(joystick))
    {
        state.stickPresent = 0;
        state.leftX = state.leftY = state.rightX = state.rightY = 0.0f;
        return 0;
    }
    m_joysticks[joystick] = m_polledJoysticks[joystick];
    MapJoystick(joystick, elements, state.swapRightStick, state.invertRightY, state.invertRightX);
    const InputJoystickState& mapped = m_joysticks[joystick];
    state.leftX = static_cast<float>(mapped.x) * 0.001f;
    state.leftY = static_cast<float>(mapped.y) * 0.001f;
    state.rightX = static_cast<float>(mapped.z) * 0.001f;
    state.rightY = static_cast<float>(mapped.rz) * 0.001f;
    state.stickPresent = 1;
    return 1;
}

void CInput::MapJoystick(uint8_t joystick, uint32_t elements[KVR_PAD_ELEMENT_COUNT], uint32_t swapRight,
                         uint32_t invertRightY, uint32_t invertRightX)
{
    if (!JoystickExists(joystick))
        return;
    InputJoystickState& state = m_joysticks[joystick];
    const uint8_t* buttons = state.buttons;
    auto button = [buttons](int b) -> uint32_t { return buttons[b] != 0 ? 1u : 0u; };

    elements[14] = button(0);
    elements[15] = button(1);
    elements[16] = button(2);
    elements[17] = button(3);
    elements[18] = button(6);
    elements[19] = button(4);
    elements[20] = button(7);
    elements[21] = button(5);
    elements[8] = button(10);
    elements[13] = button(11);
    elements[22] = button(8);
    elements[23] = button(9);
    for (int e = 24; e < 48; ++e)
        elements[e] = button(e - 12);

    // Sector borders belong to both neighbours: 4500 is up and right.
    const uint32_t hat = state.hats[0];
    if (hat < 65535)
    {
        elements[0] = (hat <= 4500 || hat >= 31500) ? 1 : 0;
        elements[1] = (hat >= 13500 && hat < 22501) ? 1 : 0;
        elements[2] = (hat >= 22500 && hat < 31501) ? 1 : 0;
        elements[3] = (hat >= 4500 && hat < 13501) ? 1 : 0;
    }

    MapAxis(state.y, elements[4], elements[5]);
    MapAxis(state.x, elements[6], elements[7]);

    // Pads put the right stick on Z/Rz or on Rx/Ry; take whichever moves.
    if (Magnitude(state.rz) < Magnitude(state.ry))
        state.rz = state.ry;
    if (Magnitude(state.z) < Magnitude(state.rx))
        state.z = state.rx;
    if (swapRight)
        std::swap(state.rz, state.z);
    if (invertRightY)
        state.rz = -state.rz;
    if (invertRightX)
        state.z = -state.z;
    MapAxis(state.rz, elements[9], elements[10]);
    MapAxis(state.z, elements[11], elements[12]);
}

void CInput::ProcessSticks(tag_KVRPADSTATE* state)
{
    if (state == nullptr)
        return;
    state->leftX = ClampAxis(state->leftX);
    state->leftY = ClampAxis(state->leftY);
    state->rightX = ClampAxis(state->rightX);
    state->rightY = ClampAxis(state->rightY);
    state->leftMagnitude = std::sqrt(state->leftX * state->leftX + state->leftY * state->leftY);
    state->rightMagnitude = std::sqrt(state->rightX * state->rightX + state->rightY * state->rightY);
    state->leftAngle = StickAngle(state->leftX, state->leftY);
    state->rightAngle = StickAngle(state->rightX, state->rightY);
}

void CInput::UpdateButtonTimers(tag_KVRPADSTATE* state)
{
    if (state == nullptr)
        return;
    const uint32_t milliseconds = GetElapsedMilliseconds();
    state->rightMotorSpeed = DecaySpeed(state->rightMotorSpeed, state->vibrationDecay, milliseconds);
    state->leftMotorSpeed = DecaySpeed(state->leftMotorSpeed, state->vibrationDecay, milliseconds);
    for (int b = 0; b < KVR_PAD_BUTTON_COUNT; ++b)
        UpdateButton(*state, b, milliseconds);
}

void CInput::UpdateButtonTimers(uint8_t pad)
{
    UpdateButtonTimers(GetPadState(pad));
}

const InputJoystickState* CInput::GetJoystickState(uint8_t joystick) const
{
    return JoystickExists(joystick) ? &m_joysticks[joystick] : nullptr;
}

uint8_t CInput::GetJoystickButton(uint8_t joystick, uint8_t button) const
{
    const InputJoystickState* state = GetJoystickState(joystick);
    if (state == nullptr || button >= 32)
        return 0;
    return state->buttons[button];
}

const KvrJoystickInstance* CInput::GetJoystickInstance(uint8_t joystick) const
{
    return joystick < INPUT_MAX_JOYSTICKS ? &m_joystickInstances[joystick] : nullptr;
}

void CInput::SetCursorPosition(const float point[2])
{
    if (point == nullptr || !m_opened)
        return;
    m_source->SetCursorPosition(ToPixel(point[0]), ToPixel(point[1]));
}

void CInput::GetCursorPosition(float point[2])
{
    int x = 0;
    int y = 0;
    if (m_opened)
        m_source->GetCursorPosition(x, y);
    if (point == nullptr)
        return;
    point[0] = static_cast<float>(x);
    point[1] = static_cast<float>(y);
}

tag_KVRPADSTATE* CInput::GetPadState(uint8_t pad)
{
    return pad < KVR_PAD_COUNT ? &m_pads[pad] : nullptr;
}

uint32_t CInput::GetPadButton(uint8_t pad, uint8_t button) const
{
    if (pad >= KVR_PAD_COUNT)
        return 0;
    return GetMappedButton(&m_pads[pad], button);
}

uint32_t CInput::GetMappedButton(const tag_KVRPADSTATE* state, uint8_t button)
{
    if (state == nullptr || button >= KVR_PAD_BUTTON_COUNT)
        return 0;
    return state->pressed.button[button];
}

uint32_t CInput::GetButtonState(const tag_KVRPADSTATE* state, uint8_t button)
{
    if (state == nullptr || button >= KVR_PAD_BUTTON_COUNT)
        return 0;
    return state->held.button[button];
}

uint32_t CInput::IsAnyPadButtonDown(uint8_t pad) const
{
    if (pad >= KVR_PAD_COUNT)
        return 0;
    return IsAnyButtonDown(&m_pads[pad]);
}

uint32_t CInput::IsAnyButtonDown(const tag_KVRPADSTATE* state)
{
    if (state == nullptr)
        return 0;
    for (int b = 0; b < KVR_PAD_BUTTON_COUNT; ++b)
    {
        if (!IsDirectionButton(b) && state->pressed.button[b] != 0)
            return 1;
    }
    return 0;
}

float CInput::GetAnalogX(const tag_KVRPADSTATE* state)
{
    return state != nullptr ? state->leftX : 0.0f;
}

float CInput::GetAnalogY(const tag_KVRPADSTATE* state)
{
    return state != nullptr ? state->leftY : 0.0f;
}

float* CInput::GetCameraAxes(tag_KVRPADSTATE* state)
{
    return state != nullptr ? &state->mouseDeltaX : nullptr;
}

void CInput::KeepPadElements(uint8_t pad, const uint32_t elements[KVR_PAD_ELEMENT_COUNT])
{
    for (int e = 0; e < KVR_PAD_ELEMENT_COUNT; ++e)
    {
        m_previousElements[pad][e] = m_elements[pad][e];
        m_elements[pad][e] = elements[e] != 0 ? 1 : 0;
    }
}

uint8_t CInput::IsPadElementTriggered(uint8_t pad, uint8_t element) const
{
    if (pad >= KVR_PAD_COUNT || element >= KVR_PAD_ELEMENT_COUNT)
        return 0;
    return m_elements[pad][element] != 0 && m_previousElements[pad][element] == 0 ? 1 : 0;
}

uint8_t CInput::IsKeyTriggered(uint8_t code) const
{
    if (m_previousKeys[code] != 0)
        return 0;
    return m_keys[code];
}

const char* CInput::GetKeyName(uint8_t code)
{
    return GetKeyCodeName(code);
}

const char* CInput::GetPadElementName(uint8_t element)
{
    return element < KVR_PAD_ELEMENT_COUNT ? kPadElementNames[element] : "";
}

tag_KVRXINPUTPAD* CInput::GetXInputPad(uint8_t slot)
{
    return slot < KVR_PAD_COUNT ? &m_xinputPads[slot] : nullptr;
}

uint8_t CInput::GetDefaultKey(uint8_t action)
{
    return action < KVR_PAD_ACTION_COUNT ? kDefaultKeys[action] : 0;
}

void CInput::ClampPadMappings(tag_KVRPADSTATE* state, uint8_t pad)
{
    if (state == nullptr)
        return;
    for (uint32_t n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
    {
        if (state->keyMap[n] >= 256)
            state->keyMap[n] = kDefaultKeys[n];
        if (state->joystickMap[n] >= KVR_PAD_ELEMENT_COUNT)
            state->joystickMap[n] = n;
        if (state->xinputMap[n] >= KVR_PAD_ELEMENT_COUNT)
            state->xinputMap[n] = n;
    }
    for (uint32_t b = 0; b < KVR_PAD_MOUSE_BUTTON_COUNT; ++b)
    {
        if (state->mouseButtonMap[b] >= KVR_PAD_MOUSE_BUTTON_COUNT)
            state->mouseButtonMap[b] = b;
    }
    if (state->joystickIndex >= INPUT_MAX_JOYSTICKS)
        state->joystickIndex = pad < INPUT_MAX_JOYSTICKS ? pad : 0;
}

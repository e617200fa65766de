#pragma once

#include "engine/platform/input/InputSource.h"
#include "engine/platform/message/Message.h"
#include "engine/platform/input/tag_KVRPADSTATE.h"
#include "engine/platform/input/tag_KVRXINPUTPAD.h"

#include <cstdint>
#include <memory>

class CSystem;

// Description of an opened joystick, for the configuration tool's lists.
struct KvrJoystickInstance
{
    char instanceName[INPUT_JOYSTICK_NAME_SIZE];
    char productName[INPUT_JOYSTICK_NAME_SIZE];
};

// The program's one input object. It opens the keyboard, the mouse, up to 16
// joysticks and 4 game pads on the system window, polls them once per frame
// and folds them into 16 logical pads (tag_KVRPADSTATE). Game code reads the
// pads, never the devices.
class CInput
{
public:
    CInput();
    ~CInput();

    CInput(const CInput&) = delete;
    CInput& operator=(const CInput&) = delete;

    // Where devices come from. Without a source set before Init, CInput
    // opens SDL's devices itself. The source is borrowed and must outlive
    // the object (or its Release).
    void SetInputSource(InputSource* source);

    int Init(CSystem* system);
    // For windows that no CSystem owns (the configuration tool's dialog,
    // tests); the window must outlive the object.
    int InitWithWindow(WindowHandle window);
    void Release();

    // Once per frame: polls every device and rewrites the 16 pads.
    int Update();

    // Holds back every key, mouse button and pad element that is down, and
    // the wheel while it turns: each reads as up, on every pad and to the
    // key queries alike, from now (the pads as this frame read them too)
    // until it has been let go with the window focused (the wheel, even
    // between two notches: until it has been still for
    // kWheelStillMilliseconds). A layer that closes on a key (a menu, a
    // pop-up, a screen that ends on a press) calls it, so that the press acts
    // there alone and not also on what takes the keys next, even where that
    // acts on a held key.
    void HoldUntilReleased();

    // A wheel counts as turning while its notches come closer together than
    // this, and has stopped once it has been still this long. A person's
    // steady turn sends its notches a few to some tens of milliseconds apart,
    // a slow one more than a frame apart; half a second without a notch is
    // the stop the desktop's input stack (libinput) also takes, ending a
    // wheel's scroll there.
    static constexpr uint32_t kWheelStillMilliseconds = 500;

    // Devices.
    uint8_t GetKeyState(uint8_t code) const { return m_keys[code]; }
    const InputMouseState* GetMouseState() const { return &m_mouse; }
    uint8_t GetJoystickCount() const { return m_joystickCount; }
    const InputJoystickState* GetJoystickState(uint8_t joystick) const;
    uint8_t GetJoystickButton(uint8_t joystick, uint8_t button) const;
    const KvrJoystickInstance* GetJoystickInstance(uint8_t joystick) const;
    void SetCursorPosition(const float point[2]);
    void GetCursorPosition(float point[2]);
    void SetMousePosition(const float point[2]) { SetCursorPosition(point); }
    void GetMousePosition(float point[2]) { GetCursorPosition(point); }

    // Fills the pad elements from joystick j, changing its state in place so
    // that the sticks read afterwards are the merged, swapped, inverted and
    // dead-zoned ones. Nothing happens for a missing joystick.
    void MapJoystick(uint8_t joystick, uint32_t elements[KVR_PAD_ELEMENT_COUNT], uint32_t swapRight,
                     uint32_t invertRightY, uint32_t invertRightX);

    // Logical pads. Out-of-range pads, buttons and elements read as nothing
    // (null, 0 or an empty name).
    tag_KVRPADSTATE* GetPadState(uint8_t pad);
    uint32_t GetPadButton(uint8_t pad, uint8_t button) const;
    static uint32_t GetMappedButton(const tag_KVRPADSTATE* state, uint8_t button);
    static uint32_t GetButtonState(const tag_KVRPADSTATE* state, uint8_t button);
    uint32_t IsAnyPadButtonDown(uint8_t pad) const;
    static uint32_t IsAnyButtonDown(const tag_KVRPADSTATE* state);
    static float GetAnalogX(const tag_KVRPADSTATE* state);
    static float GetAnalogY(const tag_KVRPADSTATE* state);
    static float* GetCameraAxes(tag_KVRPADSTATE* state);
    uint8_t IsKeyTriggered(uint8_t code) const;
    // 1 when the pad's device element (any of the 64, not only those the
    // actions are mapped to) went down in the last Update. The
    // configuration tool binds an action to whichever element is pressed.
    uint8_t IsPadElementTriggered(uint8_t pad, uint8_t element) const;
    static const char* GetKeyName(uint8_t code);
    static const char* GetPadElementName(uint8_t element);
    tag_KVRXINPUTPAD* GetXInputPad(uint8_t slot);

    static void ProcessSticks(tag_KVRPADSTATE* state);
    static void UpdateButtonTimers(tag_KVRPADSTATE* state);
    void UpdateButtonTimers(uint8_t pad);

    // The default assignment of actions to keys (0 for no action).
    static uint8_t GetDefaultKey(uint8_t action);
    // Puts assignments that point outside their tables (key codes from 256,
    // mouse buttons from 8, pad elements from 64, joysticks from 16) back
    // to their defaults. The settings loader calls it; Update also reads
    // such entries as "not pressed".
    static void ClampPadMappings(tag_KVRPADSTATE* state, uint8_t pad);

private:
    int InitDirectInput(WindowHandle window);
    int CreateKeyboard();
    int CreateMouse();
    int CreateJoysticks();
    void InitPads();

    void PollJoysticks();
    void PollKeyboard();
    void PollMouse();
    void HoldBackWheel();
    bool IsWheelTurning() const;
    void ReadCursor(float& x, float& y);
    void UpdatePad(uint8_t pad, float cursorX, float cursorY);
    void UpdateCursorDelta(tag_KVRPADSTATE& state, float cursorX, float cursorY);
    int ReadPadDevice(uint8_t pad, tag_KVRPADSTATE& state, uint32_t elements[KVR_PAD_ELEMENT_COUNT]);
    uint32_t ReadKey(uint32_t code) const;
    void KeepPadElements(uint8_t pad, const uint32_t elements[KVR_PAD_ELEMENT_COUNT]);
    bool JoystickExists(uint8_t joystick) const;

    InputSource* m_source = nullptr;
    std::unique_ptr<InputSource> m_ownSource;
    bool m_opened = false;
    WindowHandle m_window = nullptr;
    CSystem* m_system = nullptr;

    uint8_t m_joystickCount = 0;
    bool m_joystickOpen[INPUT_MAX_JOYSTICKS] = {};
    uint8_t m_previousKeys[256] = {};
    uint8_t m_keys[256] = {};
    InputMouseState m_mouse;
    // As polled, and as left by the last MapJoystick: every pad maps from
    // the polled state, so two pads on one joystick see the same input.
    InputJoystickState m_polledJoysticks[INPUT_MAX_JOYSTICKS];
    InputJoystickState m_joysticks[INPUT_MAX_JOYSTICKS];
    KvrJoystickInstance m_joystickInstances[INPUT_MAX_JOYSTICKS] = {};
    tag_KVRXINPUTPAD m_xinputPads[KVR_PAD_COUNT];
    tag_KVRPADSTATE m_pads[KVR_PAD_COUNT] = {};
    // Each pad's device elements as the last two Updates read them.
    uint8_t m_elements[KVR_PAD_COUNT][KVR_PAD_ELEMENT_COUNT] = {};
    uint8_t m_previousElements[KVR_PAD_COUNT][KVR_PAD_ELEMENT_COUNT] = {};
    // The last keyboard read succeeded: keys are read only while the window
    // has the focus, and out of it the pads read everything up.
    bool m_focused = false;
    // What HoldUntilReleased holds back until the device reads it up.
    bool m_keysHeldBack[256] = {};
    bool m_mouseButtonsHeldBack[INPUT_MOUSE_BUTTONS] = {};
    bool m_wheelHeldBack = false;
    // Since the last notch, up to the stop interval (still from the start).
    uint32_t m_wheelStillMilliseconds = kWheelStillMilliseconds;
    bool m_elementsHeldBack[KVR_PAD_COUNT][KVR_PAD_ELEMENT_COUNT] = {};
};

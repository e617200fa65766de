#include "engine/platform/input/CInput.h"
#include "engine/platform/FrameTimer.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/PlatformMessageBox.h"
#include "tests/support/ScriptedInputSource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> g_boxes;

void CatchBox(const char* text, const char* caption)
{
    g_boxes.push_back(std::string(caption) + ":" + text);
}

constexpr uint8_t Action(uint32_t action)
{
    return static_cast<uint8_t>(KVR_BUTTON_ACTION_FIRST + action);
}

class InputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_boxes.clear();
        SetMessageBoxHook(CatchBox);
        SetFrameTime(16);
        input.SetInputSource(&source);
    }
    void TearDown() override
    {
        input.Release();
        SetMessageBoxHook(nullptr);
        SetFrameTime(0);
    }
    void Start() { ASSERT_EQ(input.InitWithWindow(&window), 1); }
    tag_KVRPADSTATE& Pad(uint8_t pad) { return *input.GetPadState(pad); }
    uint32_t Held(uint8_t pad, uint8_t button) { return CInput::GetButtonState(&Pad(pad), button); }

    ScriptedInputSource source;
    HeadlessWindow window{nullptr};
    CInput input;
};

TEST_F(InputTest, InitRefusesMissingSystemOrWindow)
{
    EXPECT_EQ(input.Init(nullptr), 0);
    EXPECT_EQ(input.InitWithWindow(nullptr), 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(InputTest, DeviceFailuresShowTheirMessageAndFailInit)
{
    source.SetFailure(1, 0, 0, 0);
    EXPECT_EQ(input.InitWithWindow(&window), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Error:DirectInput8\x83I", 0), 0u);

    g_boxes.clear();
    source.SetFailure(0, 1, 0, 0);
    EXPECT_EQ(input.InitWithWindow(&window), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Error:DirectInput8\n\x83L\x81[\x83{", 0), 0u);

    g_boxes.clear();
    source.SetFailure(0, 0, 1, 0);
    EXPECT_EQ(input.InitWithWindow(&window), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Error:DirectInput8\n\x83}\x83" "E\x83X", 0), 0u);

    // A failed joystick enumeration fails quietly.
    g_boxes.clear();
    source.SetFailure(0, 0, 0, 1);
    EXPECT_EQ(input.InitWithWindow(&window), 0);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(input.GetJoystickCount(), 0);
}

TEST_F(InputTest, DefaultsOfEveryPad)
{
    source.SetJoystickCount(2);
    Start();
    const uint8_t expectedKeys[KVR_PAD_ACTION_COUNT] = {
        KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_W, KEY_S, KEY_A, KEY_D, KEY_T, KEY_NUMPAD2, KEY_NUMPAD8, KEY_NUMPAD4,
        KEY_NUMPAD6, KEY_LCONTROL, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_Q, KEY_E, KEY_LSHIFT, KEY_R, KEY_TAB, KEY_RETURN};
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
    {
        const tag_KVRPADSTATE& pad = Pad(p);
        for (uint32_t n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
        {
            EXPECT_EQ(pad.keyMap[n], expectedKeys[n]) << "pad " << int(p) << " action " << n;
            EXPECT_EQ(pad.joystickMap[n], n);
            EXPECT_EQ(pad.xinputMap[n], n);
        }
        for (uint32_t b = 0; b < KVR_PAD_MOUSE_BUTTON_COUNT; ++b)
            EXPECT_EQ(pad.mouseButtonMap[b], b);
        EXPECT_EQ(pad.moveThreshold, 5.0f);
        EXPECT_EQ(pad.vibrationDecay, 20000);
        EXPECT_EQ(pad.joystickIndex, p);
        EXPECT_EQ(pad.useXInput, p < 4 ? 1u : 0u);
        EXPECT_EQ(pad.stickPresent, p < 2 ? 1u : 0u);
    }
    EXPECT_EQ(input.GetXInputPad(3)->user, 3u);
}

TEST_F(InputTest, DefaultKeysDriveTheirActionsOnEveryPad)
{
    Start();
    const uint8_t keys[] = {KEY_UP, KEY_W, KEY_T, KEY_NUMPAD2, KEY_LCONTROL, KEY_Z, KEY_Q, KEY_E, KEY_RETURN};
    const uint32_t actions[] = {KVR_ACTION_DP_UP,   KVR_ACTION_LS_UP,   KVR_ACTION_LS_PUSH,
                                KVR_ACTION_RS_UP,   KVR_ACTION_RS_PUSH, KVR_ACTION_BUTTON1,
                                KVR_ACTION_BUTTON7, KVR_ACTION_BUTTON5, KVR_ACTION_BUTTON10};
    for (size_t i = 0; i < sizeof(keys); ++i)
    {
        source.ReleaseAllKeys();
        source.SetKey(keys[i], true);
        input.Update();
        for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
        {
            for (uint32_t n = 0; n < KVR_PAD_ACTION_COUNT; ++n)
                EXPECT_EQ(Held(p, Action(n)), n == actions[i] ? 1u : 0u) << "key " << int(keys[i]) << " action " << n;
        }
    }
    // The right stick's default keys: numpad 2 is up, numpad 8 down.
    source.ReleaseAllKeys();
    source.SetKey(KEY_NUMPAD2, true);
    input.Update();
    EXPECT_EQ(Pad(0).rightY, -1.0f);
}

TEST_F(InputTest, FunctionDigitAndMouseButtons)
{
    Start();
    source.SetKey(KEY_F1, true);
    source.SetKey(KEY_F12, true);
    source.SetKey(KEY_1, true);
    source.SetKey(KEY_0, true);
    source.SetMouseButton(1, true);
    input.Update();
    EXPECT_EQ(Held(0, KVR_BUTTON_FUNCTION_FIRST), 1u);
    EXPECT_EQ(Held(0, KVR_BUTTON_FUNCTION_FIRST + 11), 1u);
    EXPECT_EQ(Held(0, KVR_BUTTON_FUNCTION_FIRST + 1), 0u);
    EXPECT_EQ(Held(0, KVR_BUTTON_DIGIT_FIRST), 1u);
    EXPECT_EQ(Held(0, KVR_BUTTON_DIGIT_FIRST + 9), 1u);
    EXPECT_EQ(Held(0, KVR_BUTTON_DIGIT_FIRST + 1), 0u);
    EXPECT_EQ(Held(0, 1), 1u);
    EXPECT_EQ(Held(0, 0), 0u);
    // A remapped mouse button.
    Pad(0).mouseButtonMap[0] = 1;
    input.Update();
    EXPECT_EQ(Held(0, 0), 1u);
}

TEST_F(InputTest, OppositeKeysFirstOfThePairWins)
{
    Start();
    source.SetKey(KEY_W, true);
    source.SetKey(KEY_S, true);
    source.SetKey(KEY_A, true);
    source.SetKey(KEY_D, true);
    source.SetKey(KEY_NUMPAD2, true);
    source.SetKey(KEY_NUMPAD8, true);
    source.SetKey(KEY_NUMPAD4, true);
    source.SetKey(KEY_NUMPAD6, true);
    input.Update();
    EXPECT_EQ(Pad(0).leftY, -1.0f);
    EXPECT_EQ(Pad(0).leftX, -1.0f);
    EXPECT_EQ(Pad(0).rightY, -1.0f);
    EXPECT_EQ(Pad(0).rightX, -1.0f);

    source.SetKey(KEY_W, false);
    source.SetKey(KEY_A, false);
    input.Update();
    EXPECT_EQ(Pad(0).leftY, 1.0f);
    EXPECT_EQ(Pad(0).leftX, 1.0f);
}

TEST_F(InputTest, KeysOverrideTheJoystickStick)
{
    source.SetJoystickCount(1);
    Start();
    source.GetJoystick(0)->x = 700;
    source.GetJoystick(0)->y = 300;
    input.Update();
    EXPECT_FLOAT_EQ(Pad(0).leftX, 0.7f);
    EXPECT_FLOAT_EQ(Pad(0).leftY, 0.3f);
    source.SetKey(KEY_A, true);
    input.Update();
    EXPECT_EQ(Pad(0).leftX, -1.0f);
    EXPECT_FLOAT_EQ(Pad(0).leftY, 0.3f);
}

TEST_F(InputTest, HatSectorsShareTheirBorders)
{
    source.SetJoystickCount(1);
    Start();
    struct Case
    {
        uint32_t hat;
        uint32_t up, down, left, right;
    };
    const Case cases[] = {
        {0, 1, 0, 0, 0},        {4500, 1, 0, 0, 1},     {4501, 0, 0, 0, 1},     {9000, 0, 0, 0, 1},
        {13500, 0, 1, 0, 1},    {18000, 0, 1, 0, 0},    {22500, 0, 1, 1, 0},    {27000, 0, 0, 1, 0},
        {31500, 1, 0, 1, 0},    {35999, 1, 0, 0, 0},    {65535, 0, 0, 0, 0},    {INPUT_HAT_CENTERED, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        source.GetJoystick(0)->hats[0] = c.hat;
        input.Update();
        EXPECT_EQ(Held(0, Action(KVR_ACTION_DP_UP)), c.up) << c.hat;
        EXPECT_EQ(Held(0, Action(KVR_ACTION_DP_DOWN)), c.down) << c.hat;
        EXPECT_EQ(Held(0, Action(KVR_ACTION_DP_LEFT)), c.left) << c.hat;
        EXPECT_EQ(Held(0, Action(KVR_ACTION_DP_RIGHT)), c.right) << c.hat;
    }
}

TEST_F(InputTest, JoystickAxesDeadZoneAndDirections)
{
    source.SetJoystickCount(1);
    Start();
    InputJoystickState& stick = *source.GetJoystick(0);
    stick.x = 99;
    stick.y = -99;
    input.Update();
    EXPECT_EQ(Pad(0).leftX, 0.0f);
    EXPECT_EQ(Pad(0).leftY, 0.0f);
    EXPECT_EQ(input.GetJoystickState(0)->x, 0);

    stick.x = 100;
    stick.y = -500;
    input.Update();
    EXPECT_FLOAT_EQ(Pad(0).leftX, 0.1f);
    EXPECT_FLOAT_EQ(Pad(0).leftY, -0.5f);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_UP)), 0u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_RIGHT)), 0u);

    stick.x = 501;
    stick.y = -501;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_UP)), 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_RIGHT)), 1u);

    // The right stick takes Ry when Rz is quieter.
    stick = InputJoystickState();
    stick.ry = 800;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_RS_DOWN)), 1u);
    EXPECT_FLOAT_EQ(Pad(0).rightY, 0.8f);
}

TEST_F(InputTest, RightStickOptionsSwapAndInvert)
{
    source.SetJoystickCount(1);
    Start();
    source.GetJoystick(0)->z = 600;
    source.GetJoystick(0)->rz = -300;
    Pad(0).swapRightStick = 1;
    Pad(0).invertRightY = 1;
    // Pad 5 reads the same joystick with the same options: both must agree.
    Pad(5).joystickIndex = 0;
    Pad(5).swapRightStick = 1;
    Pad(5).invertRightY = 1;
    input.Update();
    for (uint8_t p : {0, 5})
    {
        EXPECT_FLOAT_EQ(Pad(p).rightX, -0.3f) << int(p);
        EXPECT_FLOAT_EQ(Pad(p).rightY, -0.6f) << int(p);
        EXPECT_EQ(Held(p, Action(KVR_ACTION_RS_UP)), 1u) << int(p);
        EXPECT_EQ(Pad(p).stickPresent, 1u) << int(p);
    }
}

TEST_F(InputTest, JoystickButtonsReachElementsAndRemappedActions)
{
    source.SetJoystickCount(1);
    Start();
    InputJoystickState& stick = *source.GetJoystick(0);
    stick.buttons[0] = 0x80;
    stick.buttons[10] = 1;
    stick.buttons[35] = 0x80;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON1)), 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_PUSH)), 1u);
    EXPECT_EQ(input.GetJoystickButton(0, 0), 1);
    EXPECT_EQ(input.GetJoystickButton(0, 32), 0);

    // Element 47 is button 35; elements from 48 have names but no source.
    Pad(0).joystickMap[KVR_ACTION_BUTTON2] = 47;
    Pad(0).joystickMap[KVR_ACTION_BUTTON3] = 63;
    input.Update();
    EXPECT_EQ(Pad(0).current.button[Action(KVR_ACTION_BUTTON2)], 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON3)), 0u);
}

TEST_F(InputTest, GamepadPreferredOverJoystickForFirstFourPads)
{
    source.SetJoystickCount(1);
    source.SetGamepadConnected(0, true);
    Start();
    source.GetJoystick(0)->buttons[1] = 1;
    source.GetGamepad(0)->buttons = GAMEPAD_A;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON1)), 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON2)), 0u);

    source.SetGamepadConnected(0, false);
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON1)), 0u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON2)), 1u);
}

TEST_F(InputTest, GamepadDeadZoneTriggersAndDirections)
{
    source.SetGamepadConnected(0, true);
    Start();
    InputGamepadState& pad = *source.GetGamepad(0);
    pad.thumbLX = 6000;
    pad.thumbLY = -6000;
    pad.leftTrigger = 127;
    pad.rightTrigger = 128;
    input.Update();
    EXPECT_EQ(Pad(0).leftX, 0.0f);
    EXPECT_EQ(Pad(0).leftY, 0.0f);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON5)), 0u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON6)), 1u);

    pad.thumbLX = 16383;
    pad.thumbLY = 16383;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_RIGHT)), 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_UP)), 1u);
    EXPECT_FLOAT_EQ(Pad(0).leftX, 0.49f);
    EXPECT_FLOAT_EQ(Pad(0).leftY, -0.49f);

    pad.thumbLX = 16382;
    pad.thumbLY = -16383;
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_RIGHT)), 0u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_DOWN)), 1u);

    // Full deflection, including the one value that has no positive twin.
    pad.thumbRX = -32768;
    pad.thumbRY = -32768;
    input.Update();
    EXPECT_EQ(Pad(0).rightX, -1.0f);
    EXPECT_EQ(Pad(0).rightY, 1.0f);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_RS_LEFT)), 1u);
    EXPECT_EQ(Held(0, Action(KVR_ACTION_RS_DOWN)), 1u);
}

TEST_F(InputTest, StickRoundingMagnitudeAndAngle)
{
    tag_KVRPADSTATE pad = {};
    pad.leftX = 0.999f;
    pad.leftY = -1.5f;
    CInput::ProcessSticks(&pad);
    EXPECT_FLOAT_EQ(pad.leftX, 0.99f);
    EXPECT_EQ(pad.leftY, -1.0f);

    struct Case
    {
        float x, y, angle;
    };
    const Case cases[] = {{0, -1, 0}, {1, 0, 90}, {0, 1, 180}, {-1, 0, 270}, {1, 1, 135}, {-1, -1, 315}};
    for (const Case& c : cases)
    {
        pad.rightX = c.x;
        pad.rightY = c.y;
        CInput::ProcessSticks(&pad);
        EXPECT_NEAR(pad.rightAngle, c.angle, 1e-3) << c.x << "," << c.y;
        EXPECT_GE(pad.rightAngle, 0.0f);
        EXPECT_LT(pad.rightAngle, 360.0f);
    }
    EXPECT_NEAR(pad.rightMagnitude, 1.41421f, 1e-4);
}

TEST_F(InputTest, EdgesAndHeldTimesAcrossFrames)
{
    Start();
    const uint8_t button = Action(KVR_ACTION_BUTTON1);
    tag_KVRPADSTATE& pad = Pad(0);
    source.SetKey(KEY_Z, true);
    input.Update();
    EXPECT_EQ(input.GetPadButton(0, button), 1u);
    EXPECT_EQ(pad.held.button[button], 1u);
    EXPECT_EQ(pad.heldMilliseconds.button[button], 0u);

    input.Update();
    EXPECT_EQ(input.GetPadButton(0, button), 0u);
    EXPECT_EQ(pad.heldMilliseconds.button[button], 16u);

    SetFrameTime(17);
    input.Update();
    EXPECT_EQ(pad.heldMilliseconds.button[button], 33u);
    EXPECT_EQ(pad.up.button[button], 0u);

    source.SetKey(KEY_Z, false);
    input.Update();
    EXPECT_EQ(pad.released.button[button], 1u);
    EXPECT_EQ(pad.held.button[button], 0u);
    EXPECT_EQ(pad.heldMilliseconds.button[button], 0u);
    EXPECT_EQ(pad.up.button[button], 1u);
    EXPECT_EQ(pad.upMilliseconds.button[button], 0u);

    input.Update();
    EXPECT_EQ(pad.released.button[button], 0u);
    EXPECT_EQ(pad.upMilliseconds.button[button], 17u);
}

// A layer that closes on a key holds back what is down: the pads and the
// key queries read it as up at once and until it is let go, with no release
// seen, while other keys and later presses act as ever. A wheel still
// turning is held until it stops; a frame out of focus, where every device
// reads up, lets nothing go.
TEST_F(InputTest, HeldBackKeysButtonsAndElementsReadAsUpUntilLetGo)
{
    source.SetJoystickCount(1);
    Start();
    const uint8_t decide = Action(KVR_ACTION_BUTTON1);
    const uint8_t cancel = Action(KVR_ACTION_BUTTON2);
    const uint8_t attack = Action(KVR_ACTION_BUTTON3);
    InputJoystickState& stick = *source.GetJoystick(0);
    source.SetKey(KEY_Z, true);
    source.SetKey(KEY_ESCAPE, true);
    source.SetMouseButton(0, true);
    source.TurnWheel(120);
    stick.buttons[1] = 1;
    input.Update();
    input.HoldUntilReleased();
    for (int frame = 0; frame < 4; ++frame)
    {
        EXPECT_EQ(Held(0, decide), 0u) << frame;
        EXPECT_EQ(input.GetPadButton(0, decide), 0u) << frame;
        EXPECT_EQ(Held(0, cancel), 0u) << frame;
        EXPECT_EQ(Held(0, KVR_BUTTON_MOUSE_FIRST), 0u) << frame;
        EXPECT_EQ(input.GetPadButton(0, KVR_BUTTON_WHEEL_UP), 0u) << frame;
        EXPECT_EQ(Pad(0).released.button[decide], 0u) << frame;
        EXPECT_EQ(input.GetKeyState(KEY_Z), 0) << frame;
        EXPECT_EQ(input.IsKeyTriggered(KEY_ESCAPE), 0) << frame;
        EXPECT_EQ(input.IsPadElementTriggered(0, 15), 0) << frame;
        source.SetFocus(frame != 1);
        source.TurnWheel(120);
        // Keys that go down after the hold are free.
        source.SetKey(KEY_C, frame == 2);
        input.Update();
        EXPECT_EQ(Held(0, attack), frame == 2 ? 1u : 0u) << frame;
    }
    source.SetKey(KEY_Z, false);
    source.SetKey(KEY_ESCAPE, false);
    source.SetMouseButton(0, false);
    stick.buttons[1] = 0;
    input.Update();
    EXPECT_EQ(Pad(0).released.button[decide], 0u);
    source.SetKey(KEY_Z, true);
    source.SetKey(KEY_ESCAPE, true);
    source.SetMouseButton(0, true);
    source.TurnWheel(120);
    stick.buttons[1] = 1;
    input.Update();
    EXPECT_EQ(input.GetPadButton(0, decide), 1u);
    EXPECT_EQ(input.GetPadButton(0, cancel), 1u);
    EXPECT_EQ(input.GetPadButton(0, KVR_BUTTON_MOUSE_FIRST), 1u);
    // One frame without a notch is no stop: the wheel is still turning.
    EXPECT_EQ(input.GetPadButton(0, KVR_BUTTON_WHEEL_UP), 0u);
    EXPECT_EQ(input.IsKeyTriggered(KEY_ESCAPE), 1);
    EXPECT_EQ(input.IsPadElementTriggered(0, 15), 1);
}

// A person's steady turn sends its notches several to many milliseconds
// apart, often more than a frame. A turn going on when a layer closes, on a
// notch or between two, is held while its notches keep coming and until it
// has been still for the stop interval; a fresh turn after that acts at once.
TEST_F(InputTest, AWheelTurningThroughTheHoldIsHeldUntilItHasBeenStill)
{
    Start();
    constexpr uint32_t kFrame = 16;
    const uint32_t still = CInput::kWheelStillMilliseconds;
    uint32_t now = 0;
    uint32_t lastNotch = 0;
    const auto step = [&](uint32_t notches) {
        source.TurnWheel(static_cast<int32_t>(120 * notches));
        now += kFrame;
        lastNotch = notches > 0 ? now : lastNotch;
        input.Update();
        return input.GetPadButton(0, KVR_BUTTON_WHEEL_UP);
    };
    // A notch every gap milliseconds, read by the frame it falls in.
    const auto turn = [&](uint32_t gap, uint32_t milliseconds) {
        uint32_t presses = 0;
        for (const uint32_t end = now + milliseconds; now < end;)
            presses += step((now + kFrame) / gap - now / gap);
        return presses;
    };
    for (const uint32_t gap : {10u, 30u, 60u})
    {
        EXPECT_GT(turn(gap, 200), 0u) << gap;
        while (gap > kFrame && input.GetMouseState()->z != 0)
            turn(gap, 1);
        input.HoldUntilReleased();
        EXPECT_EQ(turn(gap, 400), 0u) << gap;
        while (now + 2 * kFrame < lastNotch + still)
            step(0);
        EXPECT_EQ(step(1), 0u) << gap;
        while (now + kFrame < lastNotch + still)
            step(0);
        EXPECT_EQ(step(1), 1u) << gap;
    }
}

TEST_F(InputTest, AnyButtonIgnoresDirections)
{
    Start();
    source.SetKey(KEY_W, true);
    source.SetKey(KEY_UP, true);
    source.SetKey(KEY_NUMPAD2, true);
    input.Update();
    EXPECT_EQ(input.IsAnyPadButtonDown(0), 0u);
    source.SetKey(KEY_T, true);
    input.Update();
    EXPECT_EQ(input.IsAnyPadButtonDown(0), 1u);
    // Pressed only on the frame it went down.
    input.Update();
    EXPECT_EQ(input.IsAnyPadButtonDown(0), 0u);
    EXPECT_EQ(input.IsAnyPadButtonDown(16), 0u);
}

TEST_F(InputTest, AnyPadElementReportsItsPressOnce)
{
    // Joystick button 30 is element 42, which no action is mapped to.
    source.SetJoystickCount(1);
    Start();
    source.GetJoystick(0)->buttons[30] = 0x80;
    input.Update();
    EXPECT_EQ(input.IsPadElementTriggered(0, 42), 1);
    EXPECT_EQ(input.IsPadElementTriggered(0, 41), 0);
    input.Update();
    EXPECT_EQ(input.IsPadElementTriggered(0, 42), 0);
    source.GetJoystick(0)->buttons[30] = 0;
    input.Update();
    source.GetJoystick(0)->buttons[30] = 1;
    input.Update();
    EXPECT_EQ(input.IsPadElementTriggered(0, 42), 1);
    EXPECT_EQ(input.IsPadElementTriggered(0, 64), 0);
    EXPECT_EQ(input.IsPadElementTriggered(16, 42), 0);
}

TEST_F(InputTest, KeyTriggeredOnlyOnTheFirstFrame)
{
    Start();
    source.SetKey(KEY_ESCAPE, true);
    input.Update();
    EXPECT_EQ(input.IsKeyTriggered(KEY_ESCAPE), 1);
    EXPECT_EQ(input.GetKeyState(KEY_ESCAPE), 1);
    input.Update();
    EXPECT_EQ(input.IsKeyTriggered(KEY_ESCAPE), 0);
    EXPECT_EQ(input.GetKeyState(KEY_ESCAPE), 1);
}

TEST_F(InputTest, VibrationIsSentAndDecays)
{
    source.SetGamepadConnected(0, true);
    Start();
    Pad(0).leftMotorSpeed = 20000;
    Pad(0).rightMotorSpeed = 20000;
    input.Update();
    EXPECT_EQ(source.GetLeftMotor(0), 20000);
    EXPECT_EQ(Pad(0).leftMotorSpeed, 19680);
    EXPECT_EQ(Pad(0).rightMotorSpeed, 19680);
    int frames = 1;
    while (Pad(0).leftMotorSpeed != 0 && frames < 200)
    {
        input.Update();
        ++frames;
    }
    EXPECT_EQ(frames, 63);
    EXPECT_EQ(Pad(0).rightMotorSpeed, 0);
    // The motors get the speed of the frame, then the stop.
    EXPECT_EQ(source.GetLeftMotor(0), 160);
    input.Update();
    EXPECT_EQ(source.GetLeftMotor(0), 0);
    EXPECT_EQ(source.GetRightMotor(0), 0);
    EXPECT_EQ(source.GetVibrationCalls(0), 64);
}

TEST_F(InputTest, DecayUsesTheFrameTime)
{
    tag_KVRPADSTATE pad = {};
    pad.vibrationDecay = 1000;
    pad.leftMotorSpeed = 100;
    SetFrameTime(33);
    CInput::UpdateButtonTimers(&pad);
    EXPECT_EQ(pad.leftMotorSpeed, 67);
    SetFrameTime(1000);
    CInput::UpdateButtonTimers(&pad);
    EXPECT_EQ(pad.leftMotorSpeed, 0);
}

TEST_F(InputTest, CursorDeltaTrailsBehindTheOrigin)
{
    Start();
    std::vector<float> deltas;
    for (int frame = 1; frame <= 7; ++frame)
    {
        source.SetCursor(frame * 2, 0);
        input.Update();
        deltas.push_back(Pad(0).mouseDeltaX);
    }
    EXPECT_EQ(deltas, (std::vector<float>{0, 0, 2, 0, 2, 0, 2}));

    CInput fresh;
    fresh.SetInputSource(&source);
    ASSERT_EQ(fresh.InitWithWindow(&window), 1);
    source.SetCursor(300, 4);
    fresh.Update();
    EXPECT_EQ(fresh.GetPadState(0)->mouseDeltaX, 300.0f);
    EXPECT_EQ(fresh.GetPadState(0)->mouseDeltaY, 4.0f);
    EXPECT_EQ(CInput::GetCameraAxes(fresh.GetPadState(0))[0], 300.0f);
}

TEST_F(InputTest, WheelNotchIsButtonAndValue)
{
    Start();
    source.TurnWheel(120);
    input.Update();
    EXPECT_FLOAT_EQ(Pad(0).wheel, 12.0f);
    EXPECT_EQ(Held(0, KVR_BUTTON_WHEEL_UP), 1u);
    EXPECT_EQ(Held(0, KVR_BUTTON_WHEEL_DOWN), 0u);
    input.Update();
    EXPECT_EQ(Pad(0).wheel, 0.0f);
    source.TurnWheel(-120);
    input.Update();
    EXPECT_EQ(Held(0, KVR_BUTTON_WHEEL_DOWN), 1u);
    EXPECT_EQ(input.GetMouseState()->z, -120);
}

TEST_F(InputTest, NothingReadsWithoutFocus)
{
    Start();
    source.SetKey(KEY_W, true);
    source.SetMouseButton(0, true);
    source.SetFocus(false);
    source.MoveMouse(10, 10);
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_UP)), 0u);
    EXPECT_EQ(Held(0, 0), 0u);
    EXPECT_EQ(input.GetMouseState()->x, 0);
    source.SetFocus(true);
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_LS_UP)), 1u);
    EXPECT_EQ(input.GetPadButton(0, Action(KVR_ACTION_LS_UP)), 1u);
}

TEST_F(InputTest, JoystickSlotsAndFailedReads)
{
    Start();
    EXPECT_EQ(input.GetJoystickCount(), 0);
    for (int j = 0; j < 256; ++j)
        EXPECT_EQ(input.GetJoystickState(static_cast<uint8_t>(j)), nullptr);

    source.SetJoystickCount(3);
    source.SetJoystickPresent(1, false);
    source.SetJoystickName(2, "Pad Two");
    ASSERT_EQ(input.InitWithWindow(&window), 1);
    EXPECT_EQ(input.GetJoystickCount(), 3);
    EXPECT_NE(input.GetJoystickState(0), nullptr);
    EXPECT_EQ(input.GetJoystickState(1), nullptr);
    EXPECT_STREQ(input.GetJoystickInstance(2)->instanceName, "Pad Two");
    EXPECT_EQ(input.GetJoystickInstance(16), nullptr);
    EXPECT_EQ(Pad(1).stickPresent, 0u);

    // A read that fails keeps the last state.
    source.GetJoystick(0)->buttons[0] = 1;
    input.Update();
    source.SetJoystickReadFails(0, true);
    source.GetJoystick(0)->buttons[0] = 0;
    input.Update();
    EXPECT_EQ(input.GetJoystickButton(0, 0), 1);
}

TEST_F(InputTest, RetargetedJoystickIndexReadsTheSticks)
{
    source.SetJoystickCount(1);
    Start();
    EXPECT_EQ(Pad(6).stickPresent, 0u);
    source.GetJoystick(0)->x = 400;
    input.Update();
    EXPECT_EQ(Pad(6).leftX, 0.0f);
    Pad(6).joystickIndex = 0;
    input.Update();
    EXPECT_EQ(Pad(6).stickPresent, 1u);
    EXPECT_FLOAT_EQ(Pad(6).leftX, 0.4f);
}

TEST_F(InputTest, OutOfRangeMappingsReadAsNothingAndClampToDefaults)
{
    source.SetJoystickCount(1);
    Start();
    tag_KVRPADSTATE& pad = Pad(0);
    pad.keyMap[KVR_ACTION_BUTTON1] = 300;
    pad.mouseButtonMap[2] = 9;
    pad.joystickMap[KVR_ACTION_BUTTON2] = 64;
    pad.xinputMap[KVR_ACTION_BUTTON3] = 0xFFFFFFFF;
    pad.joystickIndex = 200;
    source.SetKey(KEY_Z, true);
    source.SetMouseButton(2, true);
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON1)), 0u);
    EXPECT_EQ(Held(0, 2), 0u);
    EXPECT_EQ(pad.stickPresent, 0u);

    CInput::ClampPadMappings(&pad, 0);
    EXPECT_EQ(pad.keyMap[KVR_ACTION_BUTTON1], KEY_Z);
    EXPECT_EQ(pad.mouseButtonMap[2], 2u);
    EXPECT_EQ(pad.joystickMap[KVR_ACTION_BUTTON2], static_cast<uint32_t>(KVR_ACTION_BUTTON2));
    EXPECT_EQ(pad.xinputMap[KVR_ACTION_BUTTON3], static_cast<uint32_t>(KVR_ACTION_BUTTON3));
    EXPECT_EQ(pad.joystickIndex, 0);
    input.Update();
    EXPECT_EQ(Held(0, Action(KVR_ACTION_BUTTON1)), 1u);
    EXPECT_EQ(Held(0, 2), 1u);
}

TEST_F(InputTest, IndexedGettersCheckTheirIndex)
{
    Start();
    EXPECT_EQ(input.GetPadState(16), nullptr);
    EXPECT_EQ(input.GetPadState(255), nullptr);
    EXPECT_EQ(input.GetPadButton(16, 0), 0u);
    EXPECT_EQ(input.GetPadButton(0, 56), 0u);
    EXPECT_EQ(CInput::GetMappedButton(nullptr, 0), 0u);
    EXPECT_EQ(CInput::GetMappedButton(&Pad(0), 56), 0u);
    EXPECT_EQ(CInput::GetButtonState(&Pad(0), 255), 0u);
    EXPECT_EQ(CInput::GetButtonState(nullptr, 0), 0u);
    EXPECT_EQ(CInput::IsAnyButtonDown(nullptr), 0u);
    EXPECT_EQ(CInput::GetCameraAxes(nullptr), nullptr);
    EXPECT_EQ(input.GetXInputPad(16), nullptr);
    input.UpdateButtonTimers(static_cast<uint8_t>(16));
}

TEST(InputNames, KeyNames)
{
    EXPECT_STREQ(CInput::GetKeyName(1), "ESCAPE");
    EXPECT_STREQ(CInput::GetKeyName(2), "1");
    EXPECT_STREQ(CInput::GetKeyName(11), "0");
    EXPECT_STREQ(CInput::GetKeyName(28), "RETURN");
    EXPECT_STREQ(CInput::GetKeyName(144), "PREVTRACK");
    EXPECT_STREQ(CInput::GetKeyName(200), "UP");
    EXPECT_STREQ(CInput::GetKeyName(211), "DELETE");
    EXPECT_STREQ(CInput::GetKeyName(0x9C), "NUMPADENTER");
    EXPECT_STREQ(CInput::GetKeyName(0), "");
    EXPECT_STREQ(CInput::GetKeyName(0x54), "");
    for (int code = 253; code < 256; ++code)
    {
        ASSERT_NE(CInput::GetKeyName(static_cast<uint8_t>(code)), nullptr);
        EXPECT_STREQ(CInput::GetKeyName(static_cast<uint8_t>(code)), "");
    }
}

TEST(InputNames, PadElementNames)
{
    EXPECT_STREQ(CInput::GetPadElementName(0), "DP_UP");
    EXPECT_STREQ(CInput::GetPadElementName(13), "RS_PUSH");
    EXPECT_STREQ(CInput::GetPadElementName(18), "BUTTON7");
    EXPECT_STREQ(CInput::GetPadElementName(19), "BUTTON5");
    EXPECT_STREQ(CInput::GetPadElementName(23), "BUTTON10");
    EXPECT_STREQ(CInput::GetPadElementName(24), "BUTTON13");
    EXPECT_STREQ(CInput::GetPadElementName(47), "BUTTON36");
    EXPECT_STREQ(CInput::GetPadElementName(63), "BUTTON52");
    EXPECT_STREQ(CInput::GetPadElementName(64), "");
    EXPECT_STREQ(CInput::GetPadElementName(255), "");
}
}

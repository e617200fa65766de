#include "engine/platform/input/CInput.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/message/PlatformWindow.h"
#include "engine/platform/sdl/SdlInputSource.h"

#include "PrivateXServer.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace
{
// A real SDL window for the input layer to read from.
class SdlTestWindow : public PlatformWindow
{
public:
    SdlTestWindow(const char* title, int x) : PlatformWindow(nullptr)
    {
        m_window = SDL_CreateWindow(title, x, 0, 320, 240, SDL_WINDOW_SHOWN);
    }
    ~SdlTestWindow() override
    {
        if (m_window != nullptr)
            SDL_DestroyWindow(m_window);
    }
    bool HasFocus() const override { return m_window != nullptr && SDL_GetKeyboardFocus() == m_window; }
    void* GetNativeHandle() const override { return m_window; }
    SDL_Window* Get() const { return m_window; }

    std::string GetX11Id() const
    {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (m_window == nullptr || !SDL_GetWindowWMInfo(m_window, &info) || info.subsystem != SDL_SYSWM_X11)
            return std::string();
        return std::to_string(static_cast<unsigned long>(info.info.x11.window));
    }

private:
    SDL_Window* m_window = nullptr;
};

bool RunXdotool(const std::string& arguments)
{
    const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// What the window's own event pump does every frame: take everything.
void DrainEvents()
{
    SDL_Event event;
    int bound = 10000;
    while (bound-- > 0 && SDL_PollEvent(&event))
    {
    }
}

// The X server answers asynchronously; give it a bounded number of short
// turns.
template <typename Condition>
bool WaitFor(Condition condition)
{
    for (int turn = 0; turn < 1000; ++turn)
    {
        SDL_PumpEvents();
        if (condition())
            return true;
        SDL_Delay(10);
    }
    return false;
}

bool EventWaiting(uint32_t type)
{
    SDL_Event event;
    return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, type, type) > 0;
}

class SdlInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "needs xdotool";
        if (std::system("command -v Xvfb >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "needs Xvfb";
        m_display = std::make_unique<PrivateDisplay>();
        ASSERT_TRUE(m_display->IsActive());
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        m_videoStarted = true;
        SetFrameTime(16);
        window = new SdlTestWindow("input test", 0);
        other = new SdlTestWindow("other window", 400);
        ASSERT_NE(window->Get(), nullptr) << SDL_GetError();
        ASSERT_NE(other->Get(), nullptr) << SDL_GetError();
        ASSERT_FALSE(window->GetX11Id().empty());
        ASSERT_EQ(input.InitWithWindow(window), 1);
    }
    void TearDown() override
    {
        input.Release();
        delete window;
        delete other;
        if (m_videoStarted)
        {
            DrainEvents();
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        m_display.reset();
        SetFrameTime(0);
    }

    void Focus(SdlTestWindow* target)
    {
        ASSERT_TRUE(RunXdotool("windowfocus --sync " + target->GetX11Id()));
        ASSERT_TRUE(WaitFor([target] { return SDL_GetKeyboardFocus() == target->Get(); }));
        DrainEvents();
    }

    // Sends a key tap and waits until SDL has queued it; the window's pump
    // has not run yet, so the next poll is the first to see it.
    void TapKey(const char* key)
    {
        ASSERT_TRUE(RunXdotool(std::string("key ") + key));
        ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYUP); }));
    }

    uint32_t HeldW() { return CInput::GetButtonState(input.GetPadState(0), KVR_BUTTON_ACTION_FIRST + KVR_ACTION_LS_UP); }

    SdlTestWindow* window = nullptr;
    SdlTestWindow* other = nullptr;
    CInput input;

private:
    std::unique_ptr<PrivateDisplay> m_display;
    bool m_videoStarted = false;
};

TEST_F(SdlInputTest, KeyReachesPadZeroInTheNextPoll)
{
    Focus(window);
    input.Update();
    EXPECT_EQ(HeldW(), 0u);

    TapKey("w");
    input.Update();
    DrainEvents();
    EXPECT_EQ(HeldW(), 1u);
    EXPECT_EQ(input.GetPadButton(0, KVR_BUTTON_ACTION_FIRST + KVR_ACTION_LS_UP), 1u);
    EXPECT_EQ(input.GetPadState(0)->leftY, -1.0f);
    EXPECT_EQ(input.GetKeyState(KEY_W), 1);

    // The tap is over by the poll after.
    input.Update();
    EXPECT_EQ(HeldW(), 0u);
    EXPECT_EQ(input.GetPadState(0)->released.button[KVR_BUTTON_ACTION_FIRST + KVR_ACTION_LS_UP], 1u);
}

// A touchpad's tap sends the button's press and release together, and a
// quick second press may come while the poll still reads the first one
// down: each press shows as a press in one poll.
TEST_F(SdlInputTest, EveryPressBetweenTwoPollsCountsOnce)
{
    Focus(window);
    ASSERT_TRUE(RunXdotool("mousemove --sync --window " + window->GetX11Id() + " 50 60"));
    input.Update();
    DrainEvents();
    ASSERT_TRUE(RunXdotool("click 1"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_MOUSEBUTTONUP); }));
    input.Update();
    DrainEvents();
    const tag_KVRPADSTATE& pad = *input.GetPadState(0);
    EXPECT_EQ(CInput::GetMappedButton(&pad, KVR_BUTTON_MOUSE_FIRST), 1u) << "the click was lost";
    input.Update();
    EXPECT_EQ(CInput::GetButtonState(&pad, KVR_BUTTON_MOUSE_FIRST), 0u);
    EXPECT_EQ(pad.released.button[KVR_BUTTON_MOUSE_FIRST], 1u);

    // Z let go and pressed again between two polls that read it down: up
    // in the first poll after, pressed anew in the next.
    const uint8_t z = KVR_BUTTON_ACTION_FIRST + KVR_ACTION_BUTTON1;
    ASSERT_TRUE(RunXdotool("keydown z"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYDOWN); }));
    input.Update();
    DrainEvents();
    ASSERT_EQ(CInput::GetMappedButton(&pad, z), 1u);
    ASSERT_TRUE(RunXdotool("keyup z"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYUP); }));
    ASSERT_TRUE(RunXdotool("keydown z"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYDOWN); }));
    input.Update();
    DrainEvents();
    EXPECT_EQ(pad.released.button[z], 1u);
    input.Update();
    EXPECT_EQ(CInput::GetMappedButton(&pad, z), 1u) << "the second press was lost";
    ASSERT_TRUE(RunXdotool("keyup z"));
}

TEST_F(SdlInputTest, HeldKeyStaysDownAcrossPolls)
{
    Focus(window);
    ASSERT_TRUE(RunXdotool("keydown z"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYDOWN); }));
    const uint8_t button = KVR_BUTTON_ACTION_FIRST + KVR_ACTION_BUTTON1;
    for (int frame = 0; frame < 3; ++frame)
    {
        input.Update();
        DrainEvents();
        EXPECT_EQ(CInput::GetButtonState(input.GetPadState(0), button), 1u) << frame;
    }
    EXPECT_EQ(input.GetPadState(0)->heldMilliseconds.button[button], 32u);
    ASSERT_TRUE(RunXdotool("keyup z"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYUP); }));
    input.Update();
    EXPECT_EQ(CInput::GetButtonState(input.GetPadState(0), button), 0u);

    // A keyboard that sends two scancodes of one key code (backslash and the
    // non-US hash): the second key-down, while the key is down, is no press.
    ASSERT_TRUE(RunXdotool("keydown backslash"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYDOWN); }));
    input.Update();
    DrainEvents();
    ASSERT_EQ(input.GetKeyState(KEY_BACKSLASH), 1);
    SDL_Event second{};
    second.key.type = SDL_KEYDOWN;
    second.key.state = SDL_PRESSED;
    second.key.windowID = SDL_GetWindowID(window->Get());
    second.key.keysym.scancode = SDL_SCANCODE_NONUSHASH;
    ASSERT_EQ(SDL_PushEvent(&second), 1);
    input.Update();
    EXPECT_EQ(input.GetKeyState(KEY_BACKSLASH), 1) << "read as let go for a second press";
    ASSERT_TRUE(RunXdotool("keyup backslash"));
}

TEST_F(SdlInputTest, NothingShowsWithoutFocus)
{
    Focus(other);
    TapKey("w");
    input.Update();
    DrainEvents();
    EXPECT_EQ(HeldW(), 0u);
    EXPECT_EQ(input.GetKeyState(KEY_W), 0);

    ASSERT_TRUE(RunXdotool("keydown s"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_KEYDOWN); }));
    input.Update();
    DrainEvents();
    EXPECT_EQ(input.GetKeyState(KEY_S), 0);
    ASSERT_TRUE(RunXdotool("keyup s"));
}

TEST_F(SdlInputTest, CursorWheelAndMotionOfTheWindow)
{
    Focus(window);
    ASSERT_TRUE(RunXdotool("mousemove --sync --window " + window->GetX11Id() + " 50 60"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_MOUSEMOTION); }));
    input.Update();
    DrainEvents();
    float point[2] = {};
    input.GetCursorPosition(point);
    EXPECT_EQ(point[0], 50.0f);
    EXPECT_EQ(point[1], 60.0f);

    ASSERT_TRUE(RunXdotool("mousemove_relative --sync 7 3"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_MOUSEMOTION); }));
    input.Update();
    DrainEvents();
    EXPECT_EQ(input.GetMouseState()->x, 7);
    EXPECT_EQ(input.GetMouseState()->y, 3);

    ASSERT_TRUE(RunXdotool("click 4"));
    ASSERT_TRUE(WaitFor([] { return EventWaiting(SDL_MOUSEWHEEL); }));
    input.Update();
    DrainEvents();
    EXPECT_EQ(input.GetMouseState()->z, 120);
    EXPECT_EQ(CInput::GetButtonState(input.GetPadState(0), KVR_BUTTON_WHEEL_UP), 1u);

    const float target[2] = {20.0f, 30.0f};
    input.SetCursorPosition(target);
    ASSERT_TRUE(WaitFor([this] {
        float now[2] = {};
        input.GetCursorPosition(now);
        return now[0] == 20.0f && now[1] == 30.0f;
    }));
}

// Virtual devices stand in for a plain joystick and a game controller; the
// controller is also a joystick to SDL.
TEST_F(SdlInputTest, ControllerAndJoystickEachDriveOnePad)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER), 0);
    const int plainIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 4, 12, 1);
    const int padIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    ASSERT_GE(plainIndex, 0) << SDL_GetError();
    ASSERT_GE(padIndex, 0) << SDL_GetError();
    ASSERT_TRUE(SDL_IsGameController(padIndex));
    SDL_Joystick* plain = SDL_JoystickOpen(plainIndex);
    SDL_Joystick* pad = SDL_JoystickOpen(padIndex);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(pad, nullptr);

    ASSERT_EQ(input.InitWithWindow(window), 1);
    // The controller is a game pad only, so the plain joystick is number 0.
    EXPECT_EQ(input.GetJoystickCount(), 1);
    EXPECT_STRNE(input.GetJoystickInstance(0)->instanceName, "");
    input.GetPadState(1)->joystickIndex = 0;
    Focus(window);

    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    SDL_JoystickSetVirtualButton(plain, 1, 1);
    SDL_JoystickSetVirtualAxis(plain, 0, 32767);
    SDL_JoystickSetVirtualAxis(plain, 3, -32768);
    SDL_JoystickSetVirtualHat(plain, 0, SDL_HAT_RIGHTUP);
    input.Update();
    DrainEvents();

    const uint8_t button1 = KVR_BUTTON_ACTION_FIRST + KVR_ACTION_BUTTON1;
    const uint8_t button2 = KVR_BUTTON_ACTION_FIRST + KVR_ACTION_BUTTON2;
    for (uint8_t p = 0; p < KVR_PAD_COUNT; ++p)
    {
        EXPECT_EQ(CInput::GetButtonState(input.GetPadState(p), button1), p == 0 ? 1u : 0u) << int(p);
        EXPECT_EQ(CInput::GetButtonState(input.GetPadState(p), button2), p == 1 ? 1u : 0u) << int(p);
    }
    const tag_KVRPADSTATE& first = *input.GetPadState(0);
    EXPECT_EQ(first.leftY, -1.0f);
    EXPECT_EQ(CInput::GetButtonState(&first, KVR_BUTTON_ACTION_FIRST + KVR_ACTION_LS_UP), 1u);

    const tag_KVRPADSTATE& second = *input.GetPadState(1);
    EXPECT_EQ(input.GetJoystickState(0)->hats[0], 4500u);
    EXPECT_EQ(second.leftX, 1.0f);
    EXPECT_EQ(second.rightY, -1.0f);
    EXPECT_EQ(CInput::GetButtonState(&second, KVR_BUTTON_ACTION_FIRST + KVR_ACTION_RS_UP), 1u);
    EXPECT_EQ(CInput::GetButtonState(&second, KVR_BUTTON_ACTION_FIRST + KVR_ACTION_DP_UP), 1u);
    EXPECT_EQ(CInput::GetButtonState(&second, KVR_BUTTON_ACTION_FIRST + KVR_ACTION_DP_RIGHT), 1u);

    // In the background both read as idle rather than frozen.
    Focus(other);
    input.Update();
    DrainEvents();
    EXPECT_EQ(CInput::GetButtonState(&first, button1), 0u);
    EXPECT_EQ(first.leftY, 0.0f);
    EXPECT_EQ(CInput::GetButtonState(&second, button2), 0u);
    EXPECT_EQ(second.leftX, 0.0f);

    input.Release();
    SDL_JoystickClose(pad);
    SDL_JoystickClose(plain);
    SDL_JoystickDetachVirtual(padIndex);
    SDL_JoystickDetachVirtual(plainIndex);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

// Asked to, the controller shows up in the joystick list too.
TEST_F(SdlInputTest, ControllersCanBeListedAsJoysticks)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER), 0);
    const int padIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    ASSERT_GE(padIndex, 0) << SDL_GetError();
    {
        SdlInputSource source;
        source.SetListGamepadsAsJoysticks(true);
        CInput both;
        both.SetInputSource(&source);
        ASSERT_EQ(both.InitWithWindow(window), 1);
        EXPECT_EQ(both.GetJoystickCount(), 1);
    }
    input.Release();
    ASSERT_EQ(input.InitWithWindow(window), 1);
    EXPECT_EQ(input.GetJoystickCount(), 0);
    input.Release();
    SDL_JoystickDetachVirtual(padIndex);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

TEST(SdlKeyTable, TranslatesScancodesToSavedKeyCodes)
{
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_W), 0x11);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_ESCAPE), 0x01);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_0), 0x0B);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_KP_2), 0x50);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_KP_ENTER), 0x9C);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_RCTRL), 0x9D);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_UP), 0xC8);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_DELETE), 0xD3);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_F11), 0x57);
    EXPECT_EQ(SdlInputSource::TranslateScancode(SDL_SCANCODE_UNKNOWN), 0);
    // Every key we translate has a name for the configuration tool.
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
    {
        const uint8_t code = SdlInputSource::TranslateScancode(static_cast<SDL_Scancode>(scancode));
        if (code != 0)
        {
            EXPECT_STRNE(GetKeyCodeName(code), "") << scancode;
        }
    }
}
}

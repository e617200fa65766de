#include "engine/platform/CApplicationMain.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/CComInit.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "engine/platform/WinMain.h"

#include <gtest/gtest.h>

#include "tests/support/TestDisplay.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
uint32_t g_now;

uint32_t FakeNow()
{
    return g_now;
}

void FakeSleep(uint32_t milliseconds)
{
    g_now += milliseconds;
}

void NoSleep(uint32_t)
{
}

// Everything the application does, in order, as the test reads it back.
std::vector<std::string> g_events;

class TestApplication : public CApplicationMain
{
public:
    ~TestApplication() override { Shutdown(); }

    int OnLostDevice() override
    {
        g_events.push_back("lost");
        return 1;
    }
    int OnResetDevice() override
    {
        g_events.push_back("reset");
        return 1;
    }
    int Render() override
    {
        if (m_graphics == nullptr || !m_graphics->BeginScene())
        {
            g_events.push_back("skipped");
            return 0;
        }
        ++frames;
        m_graphics->GetDevice()->Clear(CLEAR_TARGET, clearColor, 1.0f, 0);
        uint32_t pixel = 0;
        if (m_graphics->GetDevice()->ReadPixels(nullptr, 320, 240, 1, 1, &pixel) == DEVICE_OK)
            lastPixel = pixel;
        return m_graphics->EndScene();
    }
    LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam) override
    {
        seen.push_back(id);
        return CApplicationMain::WindowProc(window, id, wParam, lParam);
    }

    int frames = 0;
    uint32_t clearColor = 0xFF2080C0;
    uint32_t lastPixel = 0;
    std::vector<uint32_t> seen;
};

class ApplicationMainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No focus is needed (events are pushed into SDL's own queue), so
        // the shared display serves.
        if (!HaveDisplay() || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            GTEST_SKIP() << "needs an X display (the test command starts Xvfb)";
        m_videoStarted = true;
        ASSERT_NE(getcwd(m_folder, sizeof(m_folder)), nullptr);
        // Keeps the GL driver loaded to the end of the process, so that leak
        // reports inside it name it (and its suppression applies).
        SDL_GL_LoadLibrary(nullptr);
        g_events.clear();
        g_now = 1000;
        MessageQueue::Clear();
        CSystem::SetCalibrationClock(FakeNow, FakeSleep);
        CGraphics::SetSleepFunction(NoSleep);
        m_app = std::make_unique<TestApplication>();
        g_pApplication = m_app.get();
    }
    void TearDown() override
    {
        if (m_app)
            m_app->Shutdown();
        g_pApplication = nullptr;
        m_app.reset();
        SetFrameTimerClock(nullptr, nullptr);
        CSystem::SetCalibrationClock(nullptr, nullptr);
        CGraphics::SetSleepFunction(nullptr);
        MessageQueue::Clear();
        if (m_folder[0] != 0)
        {
            EXPECT_EQ(chdir(m_folder), 0);
        }
        // The video ends with the test: a later test may start it on a
        // display of its own.
        if (m_videoStarted)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    int InitApplication()
    {
        const int result = m_app->Init(GetProgramInstance(), WndProc);
        // Frames paced by a clock of the test's own.
        SetFrameTimerClock(FakeNow, FakeSleep);
        InitFrameTimer(m_app->GetSystem(), 60);
        return result;
    }

    // The main loop as the program entry runs it, bounded; true when the
    // quit message ended it.
    bool RunLoop(int maxFrames)
    {
        for (int frame = 0; frame < maxFrames;)
        {
            Message message;
            if (MessageQueue::Peek(message))
            {
                if (message.id == MSG_QUIT)
                    return true;
                MessageQueue::Dispatch(message);
                continue;
            }
            WaitNextFrame();
            m_app->Update();
            m_app->Render();
            ++frame;
        }
        return false;
    }

    SdlWindow* Window() { return dynamic_cast<SdlWindow*>(m_app->GetSystem()->GetWindowHandle()); }

    void PushWindowEvent(uint8_t event)
    {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = event;
        e.window.windowID = Window()->GetWindowId();
        SDL_PushEvent(&e);
    }
    void PushKey(uint32_t type, SDL_Keycode key, uint16_t modifiers)
    {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = Window()->GetWindowId();
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
        e.key.keysym.mod = modifiers;
        SDL_PushEvent(&e);
    }

    std::unique_ptr<TestApplication> m_app;
    char m_folder[PATH_MAX] = {};
    bool m_videoStarted = false;
};
}

TEST_F(ApplicationMainTest, RunsFramesThroughDeviceLossUntilTheWindowCloses)
{
    ASSERT_EQ(InitApplication(), 1);
    ASSERT_NE(m_app->GetGraphics(), nullptr);
    ASSERT_NE(m_app->GetSound(), nullptr);
    ASSERT_NE(m_app->GetInput(), nullptr);
    ASSERT_NE(m_app->GetComInit(), nullptr);
    EXPECT_EQ(CComInit::GetCurrent(), m_app->GetComInit());
    EXPECT_EQ(m_app->GetComInit()->GetSystem(), m_app->GetSystem());
    EXPECT_STREQ(m_app->GetSystem()->GetName(), "QOR");
    EXPECT_EQ(m_app->GetSystem()->GetStyle(), 0x00CA0000u);
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->GetClientBounds().width, 640);
    EXPECT_EQ(Window()->GetClientBounds().height, 480);
    EXPECT_EQ(GetFrameInterval(), 16u);

    // Frames draw the clear colour, which reads back from the frame.
    EXPECT_FALSE(RunLoop(5));
    EXPECT_EQ(m_app->frames, 5);
    EXPECT_EQ(m_app->lastPixel & 0x00FFFFFFu, m_app->clearColor & 0x00FFFFFFu);
    EXPECT_EQ(GetElapsedMilliseconds(), 16u);

    // While the device stays lost frames are skipped; the reset reaches the
    // application through the two private messages around it.
    m_app->GetGraphics()->GetDevice()->SimulateDeviceLoss(1);
    m_app->clearColor = 0xFF40A020;
    EXPECT_FALSE(RunLoop(3));
    const std::vector<std::string> expected = {"skipped", "lost", "reset", "skipped"};
    EXPECT_EQ(g_events, expected);
    EXPECT_EQ(m_app->frames, 6);
    EXPECT_EQ(m_app->lastPixel & 0x00FFFFFFu, 0x40A020u);

    // The window's close box ends the loop; the window stays until Shutdown.
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(RunLoop(200));
    EXPECT_NE(m_app->GetSystem(), nullptr);
    EXPECT_NE(std::find(m_app->seen.begin(), m_app->seen.end(), uint32_t(MSG_CLOSE)), m_app->seen.end());

    m_app->Shutdown();
    EXPECT_EQ(m_app->GetGraphics(), nullptr);
    EXPECT_EQ(m_app->GetInput(), nullptr);
    EXPECT_EQ(m_app->GetSound(), nullptr);
    EXPECT_EQ(m_app->GetComInit(), nullptr);
    EXPECT_EQ(m_app->GetSystem(), nullptr);
    EXPECT_EQ(CComInit::GetCurrent(), nullptr);
    EXPECT_EQ(CSound::GetInstance(), nullptr);
    // A second Shutdown finds nothing to free.
    EXPECT_EQ(m_app->Shutdown(), 0u);
}

TEST_F(ApplicationMainTest, SystemKeysAreSwallowedButAltF4Closes)
{
    ASSERT_EQ(InitApplication(), 1);
    for (SDL_Keycode key : {SDLK_LALT, SDLK_F10, SDLK_F12})
    {
        PushKey(SDL_KEYDOWN, key, KMOD_LALT);
        PushKey(SDL_KEYUP, key, KMOD_LALT);
    }
    EXPECT_FALSE(RunLoop(3));
    int systemKeys = 0;
    for (uint32_t id : m_app->seen)
    {
        systemKeys += (id == MSG_SYSKEYDOWN || id == MSG_SYSKEYUP) ? 1 : 0;
        EXPECT_NE(id, uint32_t(MSG_SYSCOMMAND));
        EXPECT_NE(id, uint32_t(MSG_CLOSE));
    }
    EXPECT_EQ(systemKeys, 6);

    // Screen saver refused, other commands passed on.
    EXPECT_EQ(MessageQueue::Send(Window(), MSG_SYSCOMMAND, SYSCMD_SCREENSAVE, 0), 1);

    PushKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
    EXPECT_TRUE(RunLoop(200));
    EXPECT_NE(std::find(m_app->seen.begin(), m_app->seen.end(), uint32_t(MSG_CLOSE)), m_app->seen.end());
}

TEST_F(ApplicationMainTest, ShutdownAfterAFailedInitFreesWhatExists)
{
    // No instance: the window can't be made, so Init stops at its first step.
    EXPECT_EQ(m_app->Init(nullptr, WndProc), 0);
    ASSERT_NE(m_app->GetSystem(), nullptr);
    EXPECT_EQ(m_app->GetGraphics(), nullptr);
    EXPECT_EQ(m_app->GetInput(), nullptr);
    m_app->Shutdown();
    EXPECT_EQ(m_app->GetSystem(), nullptr);
    m_app->Shutdown();
    EXPECT_EQ(m_app->GetSystem(), nullptr);
}

TEST(ApplicationMainIme, AttachedImeSeesMessagesFirstAndMayConsumeThem)
{
    MessageQueue::Clear();
    TestApplication app;
    g_events.clear();
    CImeInput ime;
    ASSERT_EQ(ime.Create(64), 1);
    ime.SetEnable(1);
    // Without an IME object typed characters reach the application.
    EXPECT_EQ(app.WindowProc(nullptr, MSG_CHAR, 'a', 0), 0);
    EXPECT_EQ(ime.GetLength(), 0u);

    app.SetImeInput(&ime);
    EXPECT_EQ(app.WindowProc(nullptr, MSG_CHAR, 'a', 0), 0);
    EXPECT_EQ(ime.GetTextString(), "a");
    // What the editor does not take goes on to the application.
    EXPECT_EQ(app.WindowProc(nullptr, MSG_DEVICE_LOST, 0, 0), 0);
    EXPECT_EQ(app.WindowProc(nullptr, MSG_DEVICE_RESET, 0, 0), 0);
    const std::vector<std::string> expected = {"lost", "reset"};
    EXPECT_EQ(g_events, expected);
    app.SetImeInput(nullptr);
    ime.Release();
    MessageQueue::Clear();
}

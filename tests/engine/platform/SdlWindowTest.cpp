#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sdl/SdlEventPump.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "engine/platform/input/VirtualKeyMap.h"

#include "PrivateXServer.h"

#include <gtest/gtest.h>

#include "tests/support/TestDisplay.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
std::vector<Message> g_received;

LResult RecordingProcedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    g_received.push_back(Message{window, id, wParam, lParam});
    return 0;
}

// Runs the message loop's pumps until a message with that id reached the
// procedure, for at most about ten seconds of real events (a loaded machine
// may be slow to deliver them).
bool PumpUntil(uint32_t id)
{
    for (int round = 0; round < 1000; ++round)
    {
        Message message;
        while (MessageQueue::Peek(message))
            MessageQueue::Dispatch(message);
        for (const Message& received : g_received)
        {
            if (received.id == id)
                return true;
        }
        SDL_Delay(10);
    }
    return false;
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr)
        output += buffer;
    pclose(pipe);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

unsigned long X11WindowOf(SdlWindow& window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(window.GetNativeHandle()), &info))
        return 0;
    if (info.subsystem != SDL_SYSWM_X11)
        return 0;
    return static_cast<unsigned long>(info.info.x11.window);
}

class SdlWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Focus is one per display and other tests run beside this one, so
        // take a private server when there is one to take.
        m_display = std::make_unique<PrivateDisplay>();
        if (!HaveDisplay())
            GTEST_SKIP() << "needs an X display (the test command starts Xvfb)";
        g_received.clear();
        MessageQueue::Clear();
        WindowBounds bounds{100, 50, 646, 505};
        WindowFrame frame{3, 22, 3, 3};
        // "QOR テスト" in Shift-JIS.
        ASSERT_TRUE(m_window.Create("QOR \x83\x65\x83\x58\x83\x67", bounds, frame));
        m_window.Show();
    }
    void TearDown() override
    {
        m_window.Destroy();
        MessageQueue::Clear();
        g_received.clear();
        m_display.reset();
    }

    void PushKey(uint32_t type, SDL_Keycode key, uint16_t modifiers)
    {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = m_window.GetWindowId();
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        event.key.keysym.mod = modifiers;
        SDL_PushEvent(&event);
    }

    std::unique_ptr<PrivateDisplay> m_display;
    SdlWindow m_window{RecordingProcedure};
};
}

TEST_F(SdlWindowTest, OpensWithOpenGlClientAreaAndUtf8Title)
{
    SDL_Window* native = static_cast<SDL_Window*>(m_window.GetNativeHandle());
    ASSERT_NE(native, nullptr);
    EXPECT_NE(SDL_GetWindowFlags(native) & SDL_WINDOW_OPENGL, 0u);
    EXPECT_TRUE(m_window.IsVisible());

    const WindowBounds client = m_window.GetClientBounds();
    EXPECT_EQ(client.width, 640);
    EXPECT_EQ(client.height, 480);
    EXPECT_EQ(client.x, 103);
    EXPECT_EQ(client.y, 72);
    const WindowBounds outer = m_window.GetBounds();
    EXPECT_EQ(outer.x, 100);
    EXPECT_EQ(outer.y, 50);
    EXPECT_EQ(outer.width, 646);
    EXPECT_EQ(outer.height, 505);

    EXPECT_STREQ(SDL_GetWindowTitle(native), "QOR \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_STREQ(m_window.GetTitle(), "QOR \x83\x65\x83\x58\x83\x67");
    m_window.SetTitle("QOR FPS60");
    EXPECT_STREQ(SDL_GetWindowTitle(native), "QOR FPS60");
}

TEST_F(SdlWindowTest, XServerSeesTheTitle)
{
    const unsigned long xWindow = X11WindowOf(m_window);
    if (xWindow == 0)
        GTEST_SKIP() << "not an X11 window";
    SDL_PumpEvents();
    const std::string name = RunCommand("xdotool getwindowname " + std::to_string(xWindow) + " 2>/dev/null");
    EXPECT_EQ(name, "QOR \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
}

TEST_F(SdlWindowTest, CloseRequestBecomesCloseMessage)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = m_window.GetWindowId();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
    ASSERT_TRUE(PumpUntil(MSG_CLOSE));
    EXPECT_EQ(g_received.back().window, &m_window);
}

TEST_F(SdlWindowTest, KeysBecomeKeyAndSystemKeyMessages)
{
    PushKey(SDL_KEYDOWN, SDLK_w, KMOD_NONE);
    PushKey(SDL_KEYUP, SDLK_w, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDLK_5, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDLK_F12, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDLK_F10, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
    PushKey(SDL_KEYUP, SDLK_LALT, KMOD_NONE);
    ASSERT_TRUE(PumpUntil(MSG_SYSKEYUP));

    std::vector<Message> keys;
    for (const Message& message : g_received)
    {
        if (message.id >= MSG_KEYDOWN && message.id <= MSG_SYSKEYUP)
            keys.push_back(message);
    }
    ASSERT_EQ(keys.size(), 8u);
    const uint32_t expectedIds[] = {MSG_KEYDOWN, MSG_KEYUP, MSG_KEYDOWN, MSG_KEYDOWN,
                                    MSG_SYSKEYDOWN, MSG_SYSKEYDOWN, MSG_SYSKEYDOWN, MSG_SYSKEYUP};
    const WParam expectedKeys[] = {'W', 'W', '5', VKEY_F12, VKEY_F10, VKEY_MENU, VKEY_F4, VKEY_MENU};
    for (size_t i = 0; i < keys.size(); ++i)
    {
        EXPECT_EQ(keys[i].id, expectedIds[i]) << i;
        EXPECT_EQ(keys[i].wParam, expectedKeys[i]) << i;
    }
    // Release and Alt bits of the key flags.
    EXPECT_NE(static_cast<uint32_t>(keys[1].lParam) & (1u << 31), 0u);
    EXPECT_EQ(static_cast<uint32_t>(keys[0].lParam) & (1u << 31), 0u);
    EXPECT_NE(static_cast<uint32_t>(keys[6].lParam) & (1u << 29), 0u);
}

TEST_F(SdlWindowTest, RealKeyPressReachesTheFocusedWindow)
{
    const unsigned long xWindow = X11WindowOf(m_window);
    if (xWindow == 0 || RunCommand("command -v xdotool").empty())
        GTEST_SKIP() << "needs X11 and xdotool";
    RunCommand("xdotool windowfocus --sync " + std::to_string(xWindow));
    ASSERT_TRUE(PumpUntil(MSG_SETFOCUS));
    EXPECT_TRUE(m_window.HasFocus());
    RunCommand("xdotool key w");
    ASSERT_TRUE(PumpUntil(MSG_KEYUP));
    bool sawW = false;
    for (const Message& message : g_received)
        sawW = sawW || (message.id == MSG_KEYDOWN && message.wParam == 'W');
    EXPECT_TRUE(sawW);
}

TEST_F(SdlWindowTest, EventsOfAClosedWindowAreDropped)
{
    const uint32_t id = m_window.GetWindowId();
    m_window.Destroy();
    EXPECT_EQ(m_window.GetNativeHandle(), nullptr);
    EXPECT_EQ(SdlWindow::FromWindowId(id), nullptr);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].id, static_cast<uint32_t>(MSG_DESTROY));
}

TEST(SdlEventPump, ListenersSeeTheirEventTypeAndMayRemoveThemselves)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    // Only this test's events: a test before it may have left some queued.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    static int userEvents;
    static int allEvents;
    static int listenerId;
    userEvents = 0;
    allEvents = 0;
    listenerId = SdlEventPump::AddListener(SDL_USEREVENT, [](const SDL_Event&) {
        ++userEvents;
        SdlEventPump::RemoveListener(listenerId);
    });
    const int allId = SdlEventPump::AddListener(SdlEventPump::kAllEvents, [](const SDL_Event&) { ++allEvents; });

    SDL_Event event{};
    event.type = SDL_USEREVENT;
    SdlEventPump::Deliver(event);
    SdlEventPump::Deliver(event);
    event.type = SDL_KEYDOWN;
    SdlEventPump::Deliver(event);
    EXPECT_EQ(userEvents, 1);
    EXPECT_EQ(allEvents, 3);

    // The message queue runs the pump while someone holds it.
    SdlEventPump::Acquire();
    event.type = SDL_USEREVENT;
    SDL_PushEvent(&event);
    Message message;
    EXPECT_FALSE(MessageQueue::Peek(message));
    EXPECT_EQ(allEvents, 4);
    SdlEventPump::Release();

    SdlEventPump::RemoveListener(allId);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(VirtualKeyMap, LettersDigitsAndFunctionKeys)
{
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_a), 0x41u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_z), 0x5Au);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_0), 0x30u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_9), 0x39u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F1), 0x70u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F4), 0x73u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F10), 0x79u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F12), 0x7Bu);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_RALT), 0x12u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_ESCAPE), 0x1Bu);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_KP_ENTER), 0x0Du);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_VOLUMEUP), 0u);
}

// A test killed before its destructors run (a time limit, Ctrl-C) takes its
// X server along instead of leaving it to wait for clients for ever.
TEST(PrivateXServer, EndsWithATestThatIsKilled)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t test = fork();
    ASSERT_GE(test, 0);
    if (test == 0)
    {
        close(fds[0]);
        PrivateXServer* server = new PrivateXServer(); // never deleted: the "test" is killed
        const pid_t spawned = server->GetDisplay().empty() ? 0 : server->Pid();
        (void)!write(fds[1], &spawned, sizeof(spawned));
        pause();
        _exit(0);
    }
    close(fds[1]);
    pid_t server = 0;
    const bool told = read(fds[0], &server, sizeof(server)) == static_cast<ssize_t>(sizeof(server));
    close(fds[0]);
    kill(test, SIGKILL);
    waitpid(test, nullptr, 0);
    ASSERT_TRUE(told);
    ASSERT_GT(server, 0) << "Xvfb did not start";
    EXPECT_FALSE(childoftest::StillRuns(server));
}

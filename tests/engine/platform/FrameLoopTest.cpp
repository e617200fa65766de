#include "engine/platform/CApplicationMain.h"
#include "engine/platform/FrameTimer.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/WinMain.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

namespace
{
uint32_t g_fakeNow;
uint32_t g_sleeps;

uint32_t FakeClock()
{
    return g_fakeNow;
}

void FakeFrameSleep(uint32_t milliseconds)
{
    ++g_sleeps;
    g_fakeNow += milliseconds;
}

class FakeClockScope
{
public:
    explicit FakeClockScope(uint32_t start)
    {
        g_fakeNow = start;
        g_sleeps = 0;
        SetFrameTimerClock(FakeClock, FakeFrameSleep);
    }
    ~FakeClockScope() { SetFrameTimerClock(nullptr, nullptr); }
};

// What the test application saw, kept outside it because WinMain deletes it.
struct AppLog
{
    int inits = 0;
    int frames = 0;
    std::vector<uint32_t> messages;
    bool deleted = false;
};
AppLog g_appLog;
bool g_failInit;
int g_quitAfterFrames;
HeadlessWindow* g_window;

class TestApplication : public CApplicationMain
{
public:
    ~TestApplication() override { g_appLog.deleted = true; }
    int Init(InstanceHandle, WindowProcedure procedure) override
    {
        ++g_appLog.inits;
        g_window = new HeadlessWindow(procedure);
        return g_failInit ? 0 : 1;
    }
    int Update() override
    {
        ++g_appLog.frames;
        if (g_appLog.frames == g_quitAfterFrames)
            g_window->Destroy();
        return 1;
    }
    int OnLostDevice() override { return 1; }
    int OnResetDevice() override { return 1; }
    int Render() override { return 1; }
    uint32_t Shutdown() override { return 0; }
    LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam) override
    {
        g_appLog.messages.push_back(id);
        return CApplicationMain::WindowProc(window, id, wParam, lParam);
    }
};

class FrameLoop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_appLog = AppLog();
        g_failInit = false;
        g_quitAfterFrames = -1;
        MessageQueue::Clear();
    }
    void TearDown() override
    {
        delete g_window;
        g_window = nullptr;
        MessageQueue::Clear();
    }
};
}

CApplicationMain* CreateApplication()
{
    return new TestApplication();
}

TEST(FrameTimer, IntervalIsWholeMilliseconds)
{
    FakeClockScope clock(1000);
    InitFrameTimer(nullptr, 60);
    EXPECT_EQ(GetFrameInterval(), 16u);
    InitFrameTimer(nullptr, 0);
    EXPECT_EQ(GetFrameInterval(), 0u);
}

TEST(FrameTimer, WaitSleepsOutTheIntervalInMillisecondSteps)
{
    FakeClockScope clock(5000);
    InitFrameTimer(nullptr, 60);
    g_fakeNow += 3;
    WaitNextFrame();
    EXPECT_EQ(g_sleeps, 13u);
    EXPECT_EQ(GetElapsedMilliseconds(), 16u);
    EXPECT_FLOAT_EQ(GetElapsedSeconds(), 16 * 0.001f);

    // A slow frame is not waited for and reports its full time.
    g_sleeps = 0;
    g_fakeNow += 40;
    WaitNextFrame();
    EXPECT_EQ(g_sleeps, 0u);
    EXPECT_EQ(GetElapsedMilliseconds(), 40u);
}

TEST(FrameTimer, ZeroRateNeverWaits)
{
    FakeClockScope clock(100);
    InitFrameTimer(nullptr, 0);
    WaitNextFrame();
    EXPECT_EQ(g_sleeps, 0u);
    EXPECT_EQ(GetElapsedMilliseconds(), 0u);
}

TEST(FrameTimer, ClockWrapIsHarmless)
{
    FakeClockScope clock(0xFFFFFFF8u);
    InitFrameTimer(nullptr, 60);
    g_fakeNow += 20;
    WaitNextFrame();
    EXPECT_EQ(GetElapsedMilliseconds(), 20u);
}

TEST(FrameTimer, SetFrameTimeOverridesElapsed)
{
    SetFrameTime(17);
    EXPECT_EQ(GetElapsedMilliseconds(), 17u);
    EXPECT_FLOAT_EQ(GetElapsedSeconds(), 0.017f);
    // Replays and online frames set the time; their seconds must be the
    // very bits the live frame loop computed, (float)ms * 0.001f.
    for (uint32_t ms : {15u, 16u, 17u, 18u, 33u, 60u})
    {
        SetFrameTime(ms);
        const float live = static_cast<float>(ms) * 0.001f;
        const float seconds = GetElapsedSeconds();
        EXPECT_EQ(std::bit_cast<uint32_t>(seconds), std::bit_cast<uint32_t>(live)) << ms;
    }
}

TEST_F(FrameLoop, QuitAmongMessagesStopsTheLoopAtOnce)
{
    FakeClockScope clock(0);
    InitFrameTimer(nullptr, 0);
    HeadlessWindow window(WndProc);
    MessageQueue::Post(&window, MSG_USER + 10, 0, 0);
    MessageQueue::PostQuit(0);
    MessageQueue::Post(&window, MSG_USER + 11, 0, 0);

    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 0), 0);
    ASSERT_EQ(g_appLog.messages.size(), 1u);
    EXPECT_EQ(g_appLog.messages[0], MSG_USER + 10);
    EXPECT_EQ(g_appLog.frames, 0);
    EXPECT_TRUE(g_appLog.deleted);
    EXPECT_EQ(g_pApplication, nullptr);
}

TEST_F(FrameLoop, DestroyedWindowEndsTheLoopAfterFrames)
{
    FakeClockScope clock(0);
    InitFrameTimer(nullptr, 60);
    g_quitAfterFrames = 3;
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 0), 0);
    EXPECT_EQ(g_appLog.frames, 3);
    EXPECT_TRUE(g_appLog.deleted);
}

TEST_F(FrameLoop, FailedInitReturnsMinusOne)
{
    g_failInit = true;
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(g_appLog.inits, 1);
    EXPECT_EQ(g_pApplication, nullptr);
}

TEST_F(FrameLoop, DestroyReachesQuitWithoutAnApplication)
{
    ASSERT_EQ(g_pApplication, nullptr);
    EXPECT_EQ(WndProc(nullptr, MSG_DESTROY, 0, 0), 0);
    Message message;
    ASSERT_TRUE(MessageQueue::Peek(message));
    EXPECT_EQ(message.id, static_cast<uint32_t>(MSG_QUIT));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(FrameLoop, MessagesOfADeletedWindowAreNeverDispatched)
{
    auto* doomed = new HeadlessWindow(WndProc);
    HeadlessWindow survivor(WndProc);
    MessageQueue::Post(doomed, MSG_USER + 1, 0, 0);
    MessageQueue::Post(&survivor, MSG_USER + 2, 0, 0);
    MessageQueue::Post(doomed, MSG_USER + 3, 0, 0);
    delete doomed;

    Message message;
    ASSERT_TRUE(MessageQueue::Peek(message));
    EXPECT_EQ(message.window, &survivor);
    EXPECT_EQ(MessageQueue::Count(), 0);
}

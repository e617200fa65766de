#include "engine/platform/FrameTimer.h"

#include "engine/platform/CSystem.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/message/PlatformWindow.h"

#include <cstdio>
#include <cstdlib>

namespace
{
uint32_t g_lastFrameTime;
uint32_t g_interval;
uint32_t g_elapsedMilliseconds;
float g_elapsedSeconds;
uint32_t g_lastFps;
uint32_t g_frameCount;
uint32_t g_lastReportTime;
CSystem* g_system;

FrameClockFunction g_frameClock = GetTickMilliseconds;
FrameSleepFunction g_frameSleep = SleepMilliseconds;

void StoreElapsed(uint32_t milliseconds)
{
    g_elapsedMilliseconds = milliseconds;
    g_elapsedSeconds = static_cast<float>(milliseconds) * 0.001f;
}
}

void InitFrameTimer(CSystem* system, uint32_t framesPerSecond)
{
    // The platform's sleep already has millisecond resolution; there is no
    // timer period to raise.
    g_interval = framesPerSecond == 0 ? 0 : 1000u / framesPerSecond;
    g_lastFrameTime = g_frameClock();
    g_lastReportTime = g_lastFrameTime;
    std::srand(g_lastFrameTime);
    SetFrameTimerSystem(system);
}

void WaitNextFrame()
{
    uint32_t now = g_frameClock();
    uint32_t elapsed = now - g_lastFrameTime;
    while (elapsed < g_interval)
    {
        g_frameSleep(1);
        now = g_frameClock();
        elapsed = now - g_lastFrameTime;
    }
    g_lastFrameTime = now;
    StoreElapsed(elapsed);
}

uint32_t GetElapsedMilliseconds()
{
    return g_elapsedMilliseconds;
}

float GetElapsedSeconds()
{
    return g_elapsedSeconds;
}

void SetFrameTime(uint32_t milliseconds)
{
    StoreElapsed(milliseconds);
}

void UpdateFpsTitle()
{
    ++g_frameCount;
    const uint32_t now = g_frameClock();
    if (now - g_lastReportTime < 1000)
        return;
    if (g_system != nullptr && g_system->GetWindowHandle() != nullptr)
    {
        const char* name = g_system->GetName();
        char title[320];
        std::snprintf(title, sizeof(title), "%s FPS%d", name != nullptr ? name : "", static_cast<int>(g_frameCount));
        g_system->GetWindowHandle()->SetTitle(title);
    }
    g_lastReportTime = now;
    g_lastFps = g_frameCount;
    g_frameCount = 0;
}

uint32_t EndFrameTimer()
{
    return 0;
}

void SetFrameTimerSystem(CSystem* system)
{
    g_system = system;
}

uint32_t GetFrameInterval()
{
    return g_interval;
}

uint32_t GetLastFps()
{
    return g_lastFps;
}

void SetFrameTimerClock(FrameClockFunction clock, FrameSleepFunction sleep)
{
    g_frameClock = clock != nullptr ? clock : GetTickMilliseconds;
    g_frameSleep = sleep != nullptr ? sleep : SleepMilliseconds;
}

uint32_t GetFrameClockMilliseconds()
{
    return g_frameClock();
}

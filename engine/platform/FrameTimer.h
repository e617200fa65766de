#pragma once

#include <cstdint>

class CSystem;

// Process-wide frame pacing. Game code reads the elapsed time of the last
// frame; the main loop waits out the interval before every frame.

void InitFrameTimer(CSystem* system, uint32_t framesPerSecond);
void WaitNextFrame();
uint32_t GetElapsedMilliseconds();
float GetElapsedSeconds();
void SetFrameTime(uint32_t milliseconds);
void UpdateFpsTitle();
uint32_t EndFrameTimer();
void SetFrameTimerSystem(CSystem* system);

uint32_t GetFrameInterval();
uint32_t GetLastFps();

// Tests replace the clock and the sleep so that no test waits for real
// time; null restores the platform's own.
using FrameClockFunction = uint32_t (*)();
using FrameSleepFunction = void (*)(uint32_t milliseconds);
void SetFrameTimerClock(FrameClockFunction clock, FrameSleepFunction sleep);
// The frame timer's clock now, in milliseconds: what code that paces itself
// against the frames reads, so that the tests' clock serves it too.
uint32_t GetFrameClockMilliseconds();

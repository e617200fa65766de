#pragma once

#include <cstdint>

// The millisecond clock and sleep of the platform. The clock is
// CLOCK_MONOTONIC in milliseconds, truncated to 32 bits: differences of two
// readings stay right across the wrap.
uint32_t GetTickMilliseconds();
void SleepMilliseconds(uint32_t milliseconds);

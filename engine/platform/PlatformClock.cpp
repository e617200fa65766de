#include "engine/platform/PlatformClock.h"

#include <cerrno>
#include <ctime>

uint32_t GetTickMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SleepMilliseconds(uint32_t milliseconds)
{
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(milliseconds / 1000u);
    wait.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR)
    {
    }
}

// The marks the screens' transitions pass, counted for tests.
#include "game/menu/MenuTransitions.h"

#include <atomic>

namespace
{
constexpr float kStart = 0.0f;
constexpr float kMiddle = 0.5f;
constexpr float kEnd = 1.0f;

// Atomic: whichever thread steps a screen, a test reads the count on its own.
std::atomic<uint32_t> g_marks{0};

bool AtAnEnd(float level)
{
    return level == kStart || level == kEnd;
}
}

namespace MenuTransitions
{
void Moved(float before, float after)
{
    if (before == after)
        return;
    const bool crossesMiddle = (before < kMiddle) != (after < kMiddle);
    if (AtAnEnd(before) || crossesMiddle || AtAnEnd(after))
        g_marks.fetch_add(1, std::memory_order_relaxed);
}

void MovedThrough(uint32_t before, uint32_t after, uint32_t from, uint32_t span)
{
    auto progress = [&](uint32_t clock) {
        if (clock <= from)
            return kStart;
        return clock - from >= span ? kEnd : static_cast<float>(clock - from) / static_cast<float>(span);
    };
    Moved(progress(before), progress(after));
}

uint32_t MarksPassed()
{
    return g_marks.load(std::memory_order_relaxed);
}
}

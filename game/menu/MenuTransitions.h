#pragma once

#include <cstdint>

// A count of the moments the screens' transitions (fades, slides, turns,
// page turns) pass, for tests. A transition runs between 0 and 1, either
// way; it passes a mark where it leaves 0 or 1, crosses one half, or
// arrives at 0 or 1. Tests that draw only the frames they look at also
// draw the frames where a mark is passed: every transition is then drawn at
// its start, middle and end, the states a player sees for a moment only.
// The game pays one atomic add per mark.
namespace MenuTransitions
{
// A transition moved from before to after (each 0-1) in this update.
void Moved(float before, float after);
// A transition driven by a clock in milliseconds, running from the clock's
// from to from + span, whose clock moved from before to after.
void MovedThrough(uint32_t before, uint32_t after, uint32_t from, uint32_t span);
// The marks passed since the program started.
uint32_t MarksPassed();
}

#pragma once

#include <cstdint>

// The mission list's cursor: the selected mission and the first of the
// thirteen rows on view, for a list of any length (an empty list keeps
// both at 0; a list that fits keeps the first row at 0).
//
// | input                  | at                           | result                               |
// |------------------------|------------------------------|--------------------------------------|
// | up                     | the first mission            | the last, with the last rows on view |
// | up                     | the first row on view        | the view moves up one, then the cursor |
// | down                   | the last mission             | the first, the view at the top       |
// | down                   | the last row on view         | the view moves down one, then the cursor |
// | the mouse on a row     | a row holding a mission      | that mission                         |
// | the scroll bar, held   | the pointer's height         | the view's first row, and the cursor on it |
struct MissionListCursor
{
    static constexpr uint32_t kRows = 13;

    uint32_t selected = 0;
    uint32_t top = 0;

    // The highest first row of a list of count.
    static uint32_t MaxTop(uint32_t count) { return count > kRows ? count - kRows : 0; }

    void Up(uint32_t count);
    void Down(uint32_t count);
    // The mission on row (0-12) of the view; false for a row past the list.
    bool PointAt(uint32_t row, uint32_t count);
    // The view's first row from the pointer's height along the bar (0 at
    // its top, barHeight at its bottom; above and below hold the ends), each
    // first row an equal share of the bar; the cursor goes onto it. True
    // when the view moved.
    bool Scroll(float along, float barHeight, uint32_t count);
    // Inside a list of count (after the list has changed).
    void Fit(uint32_t count);
};

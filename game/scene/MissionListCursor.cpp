// The mission list's cursor rules.
#include "game/scene/MissionListCursor.h"

#include <algorithm>
#include <cmath>

void MissionListCursor::Up(uint32_t count)
{
    if (count == 0)
        return;
    if (selected == 0)
    {
        selected = count - 1;
        top = MaxTop(count);
        return;
    }
    if (selected <= top && top > 0)
        --top;
    --selected;
}

void MissionListCursor::Down(uint32_t count)
{
    if (count == 0)
        return;
    if (selected + 1 >= count)
    {
        selected = 0;
        top = 0;
        return;
    }
    if (selected >= top + kRows - 1 && top < MaxTop(count))
        ++top;
    ++selected;
}

bool MissionListCursor::PointAt(uint32_t row, uint32_t count)
{
    if (row >= kRows || top + row >= count)
        return false;
    selected = top + row;
    return true;
}

bool MissionListCursor::Scroll(float along, float barHeight, uint32_t count)
{
    const uint32_t before = top;
    const uint32_t highest = MaxTop(count);
    if (highest == 0 || barHeight <= 0.0f)
        top = 0;
    else if (along < 0.0f)
        top = 0;
    else if (along >= barHeight)
        top = highest;
    else
    {
        // Each first row, the last one too, takes an equal share of the bar.
        const float share = barHeight / static_cast<float>(highest + 1);
        top = std::min(static_cast<uint32_t>(std::floor(along / share)), highest);
    }
    if (count > 0)
        selected = top;
    return top != before;
}

void MissionListCursor::Fit(uint32_t count)
{
    if (count == 0)
    {
        selected = 0;
        top = 0;
        return;
    }
    if (selected >= count)
        selected = count - 1;
    if (top > MaxTop(count))
        top = MaxTop(count);
    if (selected < top)
        top = selected;
    if (selected >= top + kRows)
        top = selected - kRows + 1;
}

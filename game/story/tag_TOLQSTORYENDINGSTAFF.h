#pragma once

#include <cstdint>

// One line of the staff roll: its text size in layout units (also its
// spacing) and its text.
struct tag_TOLQSTORYENDINGSTAFF
{
    static constexpr uint32_t kTextSize = 260;

    int32_t size;
    char text[kTextSize];
};

#pragma once

#include <cstdint>

// A mission's texts (NUL-terminated Shift-JIS) and its rank thresholds:
// rank k goes to a result whose score or whole seconds left reach
// threshold k, trying k from 6 down.
struct tag_TOLQMISSIONHEADER
{
    static constexpr uint32_t kTextSize = 260;
    static constexpr uint32_t kDescriptionSize = 1024;
    static constexpr uint32_t kRanks = 7;

    char title[kTextSize];
    char description[kDescriptionSize];
    char characters[kTextSize];
    char enemies[kTextSize];
    char timeLimit[kTextSize];
    char rankCondition[kTextSize];
    uint32_t rankThresholds[kRanks];
};

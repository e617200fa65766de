#pragma once

#include "engine/core/CkvrVector3.h"

// A pair of points. In keyframe tracks the first is a curve's control point
// and the second the point on the path.
class CkvrLine
{
public:
    CkvrVector3 first;
    CkvrVector3 second;

    CkvrLine() = default;
    // A null point stays (0, 0, 0).
    CkvrLine(const CkvrVector3* a, const CkvrVector3* b)
    {
        if (a != nullptr)
            first = *a;
        if (b != nullptr)
            second = *b;
    }
    CkvrLine(const CkvrVector3& a, const CkvrVector3& b) : first(a), second(b) {}
};

static_assert(sizeof(CkvrLine) == 24);

#pragma once

#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// Comparisons the math tests share.
inline void ExpectMatrixNear(const CkvrMatrix& a, const CkvrMatrix& b, float eps = 1e-6f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

inline void ExpectVec(const CkvrVector3& v, float x, float y, float z, float eps = 1e-6f)
{
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

inline uint32_t BitsOf(float v)
{
    uint32_t b;
    std::memcpy(&b, &v, sizeof(b));
    return b;
}

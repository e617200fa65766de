// The matrix inverse divides in float where the plain form divides two
// floats in double and rounds the quotient to float. The two agree because a
// quotient of two 24-bit numbers is never within a double's rounding error
// of a float rounding boundary without lying on it; this checks the claim
// over the whole range, subnormal and overflowing quotients included.
#include <gtest/gtest.h>

#include "tests/engine/core/MathExpect.h"

#include <cstdint>
#include <cstring>

namespace
{
float FromBits(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof(f));
    return f;
}

// Float division as the compiler emits it at run time, not folded.
float DivideInFloat(float a, float b)
{
    volatile float va = a, vb = b;
    return va / vb;
}

float DivideInDouble(float a, float b)
{
    volatile double va = a, vb = b;
    return float(va / vb);
}
}

TEST(CoreMathRounding, FloatQuotientRoundedThroughDoubleIsTheFloatQuotient)
{
    uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int n = 0; n < 2000000; ++n)
    {
        // Any bit pattern but NaN, so every exponent and the subnormals occur.
        const float a = FromBits(next() & 0xff7fffffu);
        float b = FromBits(next() & 0xff7fffffu);
        if (b == 0.0f)
            b = 1.0f;
        ASSERT_EQ(BitsOf(DivideInFloat(a, b)), BitsOf(DivideInDouble(a, b))) << a << " / " << b;
    }
    // Quotients near the ends of the range, and exact halfway cases.
    const float edges[] = {1.0f, 3.0f, 1.5f, 16777215.0f, 16777217.0f, 1e-38f, 1e-45f, 3.4e38f, 0.1f, 7.0f};
    for (float a : edges)
        for (float b : edges)
        {
            EXPECT_EQ(BitsOf(DivideInFloat(a, b)), BitsOf(DivideInDouble(a, b))) << a << " / " << b;
            EXPECT_EQ(BitsOf(DivideInFloat(-a, b)), BitsOf(DivideInDouble(-a, b))) << -a << " / " << b;
        }
}

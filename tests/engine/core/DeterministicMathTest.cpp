// The simulation's own trig: pinned to the bit, because replays and online
// peers must turn by exactly the same amounts, and close to the C library's.
#include "engine/core/DeterministicMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
uint32_t Bits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}
}

TEST(DeterministicMath, PinnedBits)
{
    EXPECT_EQ(Bits(KvrSin(0.5f)), 0x3ef57744u);
    EXPECT_EQ(Bits(KvrCos(0.5f)), 0x3f60a940u);
    EXPECT_EQ(Bits(KvrSin(-2.75f)), 0xbec36912u);
    EXPECT_EQ(Bits(KvrCos(100.0f)), 0x3f5cc0eeu);
    EXPECT_EQ(Bits(KvrAtan2(0.29f, -0.99f)), 0x4036d31du);
    EXPECT_EQ(Bits(KvrAtan2(-1.0f, 3.0f)), 0xbea4bc7du);
    EXPECT_EQ(Bits(KvrSin(0.0f)), 0u);
    EXPECT_EQ(Bits(KvrCos(0.0f)), Bits(1.0f));
}

TEST(DeterministicMath, CloseToTheLibraryOverASweep)
{
    for (int i = -20000; i <= 20000; ++i)
    {
        const float x = static_cast<float>(i) * 0.00157f;
        ASSERT_NEAR(KvrSin(x), std::sin(x), 1e-6) << x;
        ASSERT_NEAR(KvrCos(x), std::cos(x), 1e-6) << x;
        ASSERT_NEAR(KvrSin(static_cast<double>(x)), std::sin(static_cast<double>(x)), 1e-12) << x;
    }
    for (int i = 0; i < 3600; ++i)
    {
        const double a = i * 0.1 * 3.14159265358979 / 180.0;
        const float y = static_cast<float>(std::sin(a) * 1.7), x = static_cast<float>(std::cos(a) * 1.7);
        ASSERT_NEAR(KvrAtan2(y, x), std::atan2(y, x), 1e-6) << y << " " << x;
    }
}

TEST(DeterministicMath, Atan2SpecialCases)
{
    const float pi = static_cast<float>(std::acos(-1.0));
    EXPECT_EQ(KvrAtan2(0.0f, 0.0f), 0.0f);
    EXPECT_EQ(KvrAtan2(0.0f, -0.0f), pi);
    EXPECT_EQ(KvrAtan2(-0.0f, -1.0f), -pi);
    EXPECT_FLOAT_EQ(KvrAtan2(1.0f, 0.0f), pi / 2);
    EXPECT_FLOAT_EQ(KvrAtan2(-5.0f, 0.0f), -pi / 2);
    EXPECT_FLOAT_EQ(KvrAtan2(1.0f, 1.0f), pi / 4);
    EXPECT_TRUE(std::isnan(KvrSin(std::nanf(""))));
    EXPECT_TRUE(std::isnan(KvrCos(INFINITY)));
}

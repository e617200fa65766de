#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/core/CRandom.h"

#include <gtest/gtest.h>

#include "tests/engine/core/MathExpect.h"

#include <cmath>

namespace
{
void ResetRandom()
{
    const uint32_t defaults[4] = {123456789, 362436069, 521288629, 88675123};
    SetRandomState(defaults);
}

}

TEST(CkvrVector3, NormalOfZeroIsZeroAndNormalisesKnownVector)
{
    ExpectVec(CkvrVector3().GetNormal(), 0, 0, 0, 0);
    ExpectVec(CkvrVector3(3, 0, 4).GetNormal(), 0.6f, 0, 0.8f);
    CkvrVector3 v(3, 0, 4);
    v.Normalize(&v); // in place
    ExpectVec(v, 0.6f, 0, 0.8f);
    EXPECT_FLOAT_EQ(CkvrVector3(3, 0, 4).Length(), 5.0f);
}

TEST(CkvrVector3, AngleCases)
{
    const CkvrVector3 x(1, 0, 0);
    EXPECT_FLOAT_EQ(x.GetAngle(CkvrVector3(0, 1, 0)), 90.0f);
    EXPECT_FLOAT_EQ(x.GetAngle(CkvrVector3(-2, 0, 0)), 180.0f);
    EXPECT_EQ(x.GetAngle(CkvrVector3()), 0.0f);
    EXPECT_EQ(x.GetAngle(static_cast<const CkvrVector3*>(nullptr)), 0.0f);
    // Nearly parallel vectors whose quotient rounds past 1 clamp to 0, not NaN.
    const CkvrVector3 a(0.1f, 0.2f, 0.3f);
    const float angle = a.GetAngle(a * 3.0f);
    EXPECT_FALSE(std::isnan(angle));
    EXPECT_NEAR(angle, 0.0f, 0.05f);
    EXPECT_NEAR(x.GetAngleRadian(CkvrVector3(0, 1, 0)), 1.5707964f, 1e-6f);
}

TEST(CkvrVector3, CrossAndNullForms)
{
    ExpectVec(CkvrVector3(1, 0, 0).Cross(CkvrVector3(0, 1, 0)), 0, 0, 1, 0);
    ExpectVec(CkvrVector3(1, 2, 3).Cross(static_cast<const CkvrVector3*>(nullptr)), 0, 0, 0, 0);
    CkvrVector3 out(7, 7, 7);
    const CkvrVector3 y(0, 1, 0);
    CkvrVector3(1, 0, 0).CrossTo(nullptr, &out);
    ExpectVec(out, 7, 7, 7, 0);
    CkvrVector3(1, 0, 0).CrossTo(&y, &out);
    ExpectVec(out, 0, 0, 1, 0);
    EXPECT_EQ(CkvrVector3(1, 2, 3).Dot(static_cast<const CkvrVector3*>(nullptr)), 0.0f);
    CkvrVector3 keep(1, 2, 3);
    keep = static_cast<const CkvrVector3*>(nullptr);
    ExpectVec(keep, 1, 2, 3, 0);
}

TEST(CkvrVector3, TransformsUseRowVectorConvention)
{
    CkvrMatrix m;
    m.Set(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const CkvrVector3 v(1, 1, 1);
    ExpectVec(v.GetTransform(m), 28, 32, 36, 0);
    ExpectVec(v.GetTransformNormal(m), 15, 18, 21, 0);
    // w' = 4 + 8 + 12 + 16 = 40.
    ExpectVec(v.GetTransformCoord(m), 28.0f / 40, 32.0f / 40, 36.0f / 40);
    CkvrVector4 h(1, 1, 1, 1);
    h.Transform(m);
    EXPECT_EQ(h.w, 40.0f);
    EXPECT_EQ(h.x, 28.0f);
}

TEST(CkvrVector3, RandomDrawsZThenXAndSkipsZero)
{
    ResetRandom();
    const CkvrVector3 r = CkvrVector3(1, 0, 2).GetRandom(100);
    // Two draws: 3701687786 for z (mod 400), 458299110 for x (mod 200).
    EXPECT_FLOAT_EQ(r.z, float(double(3701687786u % 400) / 100 - 2));
    EXPECT_FLOAT_EQ(r.x, float(double(458299110u % 200) / 100 - 1));
    EXPECT_EQ(r.y, 0.0f);
    EXPECT_EQ(Random(), 2500872618u); // exactly two numbers were drawn
}

TEST(CkvrVector4, RandomDrawsWFirstAndCrossIsOrthogonal)
{
    ResetRandom();
    const CkvrVector4 r = CkvrVector4(0, 0, 0, 1).GetRandom(100);
    EXPECT_FLOAT_EQ(r.w, float(double(3701687786u % 200) / 100 - 1));
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(Random(), 458299110u);

    const CkvrVector4 a(1, 2, 3, 4), b(0, 1, 5, 2), c(3, 1, 0, 1);
    const CkvrVector4 v = a.Cross(b, c);
    auto dot = [](const CkvrVector4& p, const CkvrVector4& q) {
        return double(p.x) * q.x + double(p.y) * q.y + double(p.z) * q.z + double(p.w) * q.w;
    };
    EXPECT_EQ(dot(v, a), 0.0);
    EXPECT_EQ(dot(v, b), 0.0);
    EXPECT_EQ(dot(v, c), 0.0);
    const CkvrVector4 none = a.Cross(nullptr, &c);
    EXPECT_EQ(none.x + none.y + none.z + none.w, 0.0f);
    EXPECT_EQ(CkvrVector4(0, 0, 0, 0).GetNormal().w, 0.0f);
    EXPECT_FLOAT_EQ(CkvrVector4(0, 0, 0, 2).GetNormal().w, 1.0f);
}

TEST(CkvrVector3, RandomOutsideContractStillDrawsOnce)
{
    ResetRandom();
    const CkvrVector3 r = CkvrVector3(0.001f, 0, 0).GetRandom(100); // n = 0
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(Random(), 458299110u);
}

TEST(CkvrVector3, PerpendicularPairs)
{
    const CkvrVector3 dirs[] = {{1, 0, 0}, {0, 0, 5}, {0, 0, -1}, {0.3f, -0.2f, 0.9f}, {0, 0, -1e-30f}, {0, 0, 0}};
    for (const CkvrVector3& d : dirs)
    {
        CkvrVector3 p, q;
        d.GetPerpendicular(&p, &q);
        EXPECT_FALSE(std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z));
        EXPECT_FALSE(std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z));
        // out1 is a unit vector; out2 is this x out1, as long as this.
        EXPECT_NEAR(p.Length(), 1.0f, 1e-6f);
        EXPECT_NEAR(p.Dot(q), 0.0f, 1e-6f);
        EXPECT_NEAR(p.Dot(d), 0.0f, 1e-6f);
        EXPECT_NEAR(q.Dot(d), 0.0f, 1e-6f);
        if (d.Length() > 0.5f)
        {
            EXPECT_NEAR(q.Length(), d.Length(), 1e-5f);
        }
    }
    CkvrVector3 p;
    CkvrVector3(1, 0, 0).GetPerpendicular(&p, nullptr);
    ExpectVec(p, 0, 1, 0, 0);
    CkvrVector3(0, 0, 5).GetPerpendicular(&p, nullptr);
    ExpectVec(p, 0, -1, 0, 0);
}

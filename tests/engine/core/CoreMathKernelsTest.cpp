// The portable and the AVX2 builds of the core math kernels against each
// other and against the scalar definitions, bit for bit, on the same inputs:
// ordinary values, exact ties, zeros of both signs, subnormals and values
// that overflow. The AVX2 half is skipped on a CPU without AVX2.
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector4.h"
#include "engine/core/Collision.h"
#include "engine/core/CoreMathKernels.h"

#include <gtest/gtest.h>

#include "tests/engine/core/MathExpect.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
using kvr_math::CoreMathKernels;

// Same bits, or NaN on both sides (NaN payloads may follow operand order).
void ExpectSameFloats(const float* got, const float* want, size_t count, const char* what)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (std::isnan(got[i]) && std::isnan(want[i]))
            continue;
        EXPECT_EQ(BitsOf(got[i]), BitsOf(want[i])) << what << " element " << i << ": " << got[i] << " vs " << want[i];
    }
}

// Small deterministic generator with values over many magnitudes.
class Values
{
public:
    uint32_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

    float Any()
    {
        static const float kSpecial[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-40f, -3e-39f, 3e38f, -2e38f, 1e-20f};
        const uint32_t pick = Next() % 16;
        if (pick < 3)
            return kSpecial[Next() % 10];
        const float unit = float(Next() % 20001) / 10000.0f - 1.0f;
        return std::ldexp(unit, int(Next() % 41) - 20);
    }

    float Small()
    {
        return float(int(Next() % 17) - 8) * 0.25f;
    }

private:
    uint32_t state_ = 12345u;
};

std::vector<const CoreMathKernels*> Builds()
{
    std::vector<const CoreMathKernels*> builds{&kvr_math::GetPortableKernels()};
    if (kvr_math::GetAvx2Kernels() != nullptr)
        builds.push_back(kvr_math::GetAvx2Kernels());
    return builds;
}

// The inverse from its scalar definition: column i is the cross product of
// the other rows, signed +, -, +, -, each element divided by the
// determinant in double and rounded to float.
void ScalarInverse(const float* m, float* out)
{
    CkvrMatrix src;
    std::memcpy(src.m, m, sizeof(src.m));
    const float d = src.GetDeterminant();
    if (d == 0.0f)
        return;
    const CkvrVector4 rows[4] = {{m[0], m[1], m[2], m[3]},
                                 {m[4], m[5], m[6], m[7]},
                                 {m[8], m[9], m[10], m[11]},
                                 {m[12], m[13], m[14], m[15]}};
    for (int column = 0; column < 4; ++column)
    {
        const CkvrVector4* other[3];
        for (int r = 0, n = 0; r < 4; ++r)
            if (r != column)
                other[n++] = &rows[r];
        const CkvrVector4 v = other[0]->Cross(*other[1], *other[2]);
        const float c[4] = {v.x, v.y, v.z, v.w};
        for (int row = 0; row < 4; ++row)
        {
            const float signed_ = (column % 2 == 0) ? c[row] : -c[row];
            out[row * 4 + column] = float(double(signed_) / double(d));
        }
    }
}
}

TEST(CoreMathKernels, DispatchPicksOneOfTheBuilds)
{
    const CoreMathKernels* chosen = &kvr_math::GetKernels();
    EXPECT_TRUE(chosen == &kvr_math::GetPortableKernels() || chosen == kvr_math::GetAvx2Kernels());
    if (kvr_math::GetAvx2Kernels() == nullptr)
        GTEST_SKIP() << "no AVX2 on this CPU: only the portable build was checked";
}

TEST(CoreMathKernels, InverseMatchesTheScalarDefinitionInEveryBuild)
{
    Values values;
    for (int trial = 0; trial < 3000; ++trial)
    {
        float m[16];
        for (float& e : m)
            e = trial % 2 == 0 ? values.Any() : values.Small();
        if (trial % 7 == 0)
            m[3] = m[7] = m[11] = 0.0f, m[15] = 1.0f;
        float want[16];
        for (float& e : want)
            e = 42.0f;
        ScalarInverse(m, want);
        for (const CoreMathKernels* build : Builds())
        {
            float got[16];
            for (float& e : got)
                e = 42.0f; // left alone when singular
            build->inverse(m, got);
            ExpectSameFloats(got, want, 16, "inverse");
        }
    }
}

TEST(CoreMathKernels, InverseLeavesTheOutputAloneWhenSingular)
{
    const float singular[16] = {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 0, 0, 0, 1, 0};
    for (const CoreMathKernels* build : Builds())
    {
        float out[16];
        for (float& e : out)
            e = 7.0f;
        build->inverse(singular, out);
        for (float e : out)
            EXPECT_EQ(e, 7.0f);
    }
}

TEST(CoreMathKernels, TransformMatchesPointByPointInPlaceAndNot)
{
    Values values;
    for (uint32_t count = 0; count < 14; ++count)
    {
        for (int trial = 0; trial < 40; ++trial)
        {
            CkvrMatrix m;
            for (float& e : m.m)
                e = trial % 2 == 0 ? values.Any() : values.Small();
            std::vector<CkvrVector3> in(count + 1);
            for (CkvrVector3& p : in)
                p = CkvrVector3(values.Any(), values.Any(), values.Any());
            std::vector<CkvrVector3> want(count + 1, CkvrVector3(9.0f, 9.0f, 9.0f));
            for (uint32_t i = 0; i < count; ++i)
                want[i] = in[i].GetTransform(m);
            for (const CoreMathKernels* build : Builds())
            {
                std::vector<CkvrVector3> out(count + 1, CkvrVector3(9.0f, 9.0f, 9.0f));
                build->transform(m.m, &in[0].x, &out[0].x, count);
                ExpectSameFloats(&out[0].x, &want[0].x, 3 * (count + 1), "transform");
                std::vector<CkvrVector3> same = in;
                same[count] = CkvrVector3(9.0f, 9.0f, 9.0f);
                build->transform(m.m, &same[0].x, &same[0].x, count);
                ExpectSameFloats(&same[0].x, &want[0].x, 3 * (count + 1), "transform in place");
            }
        }
    }
}

TEST(CoreMathKernels, SphereRunsMatchThePairTest)
{
    Values values;
    for (uint32_t count = 0; count < 23; ++count)
    {
        for (int trial = 0; trial < 30; ++trial)
        {
            std::vector<float> spheres(count * 4 + 4);
            for (float& e : spheres)
                e = trial % 3 == 0 ? values.Any() : values.Small();
            const float* a = spheres.data() + count * 4;
            std::vector<uint8_t> want(count);
            uint32_t wantHits = 0;
            for (uint32_t i = 0; i < count; ++i)
                wantHits += want[i] = uint8_t(HitSphereSphere(a, &spheres[i * 4]));
            for (const CoreMathKernels* build : Builds())
            {
                std::vector<uint8_t> got(count, 5);
                EXPECT_EQ(build->sphereSpheres(a, spheres.data(), count, got.data()), wantHits);
                EXPECT_EQ(got, want);
                EXPECT_EQ(build->sphereSpheres(a, spheres.data(), count, nullptr), wantHits);
            }
        }
    }
}

TEST(CoreMathKernels, SphereRunsCountTouchingAsHit)
{
    const float a[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float run[20] = {2, 0, 0, 1, 0, 2.5f, 0, 1, 0, 0, -2, 1, 1, 1, 1, 1, 0, 0, 0, 0};
    for (const CoreMathKernels* build : Builds())
    {
        uint8_t hits[5];
        EXPECT_EQ(build->sphereSpheres(a, run, 5, hits), 4u);
        EXPECT_EQ(hits[1], 0u);
    }
    uint8_t hits[2] = {5, 5};
    EXPECT_EQ(HitSphereSpheres(nullptr, run, 2, hits), 0u);
    EXPECT_EQ(hits[0] + hits[1], 0);
}

TEST(CoreMathKernels, SegmentRunsMatchThePairTest)
{
    Values values;
    for (uint32_t count = 0; count < 23; ++count)
    {
        for (int trial = 0; trial < 30; ++trial)
        {
            std::vector<float> spheres(count * 4);
            for (float& e : spheres)
                e = trial % 3 == 0 ? values.Any() : values.Small();
            const CkvrVector3 start(values.Small(), values.Small(), values.Small());
            // Every fifth segment has zero length.
            const CkvrVector3 end = trial % 5 == 0 ? start : CkvrVector3(values.Small(), values.Small(), values.Small());
            std::vector<uint8_t> want(count);
            uint32_t wantHits = 0;
            for (uint32_t i = 0; i < count; ++i)
                wantHits += want[i] = uint8_t(HitSegmentSphere(&start, &end, &spheres[i * 4]));
            for (const CoreMathKernels* build : Builds())
            {
                std::vector<uint8_t> got(count, 5);
                EXPECT_EQ(build->segmentSpheres(&start.x, &end.x, spheres.data(), count, got.data()), wantHits);
                EXPECT_EQ(got, want);
                EXPECT_EQ(build->segmentSpheres(&start.x, &end.x, spheres.data(), count, nullptr), wantHits);
            }
        }
    }
}

TEST(CoreMathKernels, SegmentRunsCoverEachCase)
{
    // Spheres beside the start, beside the end, on the middle of the line,
    // touching the line (no hit) and far away.
    const float run[20] = {-0.5f, 0, 0, 0.6f, 10.5f, 0, 0, 0.6f, 5, 0.5f, 0, 0.6f, 5, 1, 0, 1, 5, 9, 0, 1};
    const CkvrVector3 start(0, 0, 0), end(10, 0, 0);
    const uint8_t want[5] = {1, 1, 1, 0, 0};
    for (const CoreMathKernels* build : Builds())
    {
        uint8_t hits[5];
        EXPECT_EQ(build->segmentSpheres(&start.x, &end.x, run, 5, hits), 3u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(hits[i], want[i]) << "sphere " << i;
    }
    EXPECT_EQ(HitSegmentSpheres(&start, nullptr, run, 5, nullptr), 0u);
}

// Results of the core math pinned bit for bit. Replays and networked battles
// rely on every build computing the same bits, so a faster rewrite of any of
// these operations must leave every pinned value as it is, in debug,
// sanitizer and optimized builds alike.
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/Collision.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
std::vector<uint32_t> Bits(const float* values, size_t count)
{
    std::vector<uint32_t> bits(count);
    std::memcpy(bits.data(), values, count * sizeof(float));
    return bits;
}

void ExpectBits(const float* values, const std::vector<uint32_t>& expected)
{
    const std::vector<uint32_t> got = Bits(values, expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(got[i], expected[i]) << "component " << i << " is " << values[i];
}

// A rotation with a translation, whose inverse is exact in theory only.
CkvrMatrix RigidMatrix()
{
    CkvrMatrix m;
    m.Set(0.8f, 0.36f, -0.48f, 0.0f, -0.6f, 0.48f, -0.64f, 0.0f, 0.0f, 0.8f, 0.6f, 0.0f, 3.25f, -1.5f, 7.125f, 1.0f);
    return m;
}

// A general matrix, w column included.
CkvrMatrix GeneralMatrix()
{
    CkvrMatrix m;
    m.Set(2.0f, 0.5f, -1.25f, 0.1f, 0.3f, 1.7f, 0.9f, -0.2f, -0.7f, 0.4f, 3.1f, 0.05f, 1.1f, -2.3f, 0.6f, 1.3f);
    return m;
}

const CkvrVector3 kPoints[3] = {{1.5f, -2.25f, 0.125f}, {10.0f, 3.3f, -7.7f}, {-0.1f, 0.2f, 0.3f}};
}

TEST(CoreMathBits, MatrixInverseDeterminantAndProduct)
{
    ExpectBits(RigidMatrix().GetInverse().m,
               {0x3f4ccccdu, 0xbf19999au, 0xb275c28fu, 0x80000000u, 0x3eb851ecu, 0x3ef5c290u, 0x3f4ccccdu, 0x80000000u,
                0xbef5c290u, 0xbf23d70bu, 0x3f19999au, 0x80000000u, 0x3fae147du, 0x40e75c29u, 0xc044cccdu, 0x3f800000u});
    ExpectBits(GeneralMatrix().GetInverse().m,
               {0x3f6dd161u, 0xbf309b42u, 0x3f1d22eau, 0xbe4e07cdu, 0xbf0dc7c7u, 0x3fa054d4u, 0xbf232383u, 0x3e8506e7u,
                0x3e9fc32du, 0xbebb05e6u, 0x3f1301e6u, 0xbdd17b5au, 0xbff47872u, 0x403dfaffu, 0xbff4b879u, 0x3fb92284u});
    const float determinant = GeneralMatrix().GetDeterminant();
    ExpectBits(&determinant, {0x40a3c6a8u});
    ExpectBits((RigidMatrix() * GeneralMatrix()).m,
               {0x4002d0e6u, 0x3f51eb86u, 0xc00a7efau, 0xbc83126eu, 0xbf1ba5e4u, 0x3e851eb7u, 0xbf4d4fdeu, 0xbe408313u,
                0xbe3851ecu, 0x3fcccccdu, 0x40251eb8u, 0xbe051eb9u, 0x400a6668u, 0xbec00000u, 0x418a3333u, 0x40120000u});
}

TEST(CoreMathBits, SlerpOnBothArcs)
{
    const CkvrQuaternion a(0.1f, 0.7f, -0.2f, 0.677f);
    const CkvrQuaternion b(-0.5f, 0.1f, 0.6f, 0.6164f);
    CkvrQuaternion r;
    r.Slerp(&a, &b, 0.37f);
    ExpectBits(&r.x, {0xbe241c07u, 0x3f11bfe3u, 0x3e07ccfau, 0x3f4b7574u});
    // A negative dot product takes the short arc through -b.
    const CkvrQuaternion c(-0.3f, -0.2f, 0.5f, -0.787f);
    r.Slerp(&a, &c, 0.81f);
    ExpectBits(&r.x, {0x3e89d3adu, 0x3e9dbb73u, 0xbee92d55u, 0x3f4a56deu});
}

TEST(CoreMathBits, PointTransforms)
{
    CkvrVector3 out[3];
    GeneralMatrix().TransformArray(kPoints, out, 3);
    ExpectBits(&out[0].x, {0x4055999au, 0xc0aa6667u, 0xc03a6666u, 0x41dbd70au, 0x40a75c29u, 0xc2033333u, 0x3f400000u,
                           0xbff1eb85u, 0x3feae148u});
    const CkvrVector3 point = kPoints[1].GetTransform(GeneralMatrix());
    ExpectBits(&point.x, {0x41dbd70au, 0x40a75c29u, 0xc2033333u});
    const CkvrVector3 coord = kPoints[1].GetTransformCoord(GeneralMatrix());
    ExpectBits(&coord.x, {0x41af2bdbu, 0x40855ac6u, 0xc1d1156bu});
    const CkvrVector3 normal = kPoints[1].GetTransformNormal(GeneralMatrix());
    ExpectBits(&normal.x, {0x41d30a3du, 0x40f0f5c3u, 0xc2059999u});
}

TEST(CoreMathBits, CollisionAnswers)
{
    float a[4] = {0.1f, 0.2f, 0.3f, 0.75f};
    float b[4] = {5.3f, 1.1f, -0.4f, 1.25f};
    const CkvrVector3 va(1.7f, 0.2f, -0.1f), vb(-2.9f, 0.3f, 0.45f);
    CkvrVector3 contact;
    ASSERT_EQ(HitMovingSpheres(a, b, &va, &vb, &contact, 1), 1u);
    ExpectBits(a, {0x3fb14b8au, 0x3eb3cf38u, 0x3e65ca63u});
    ExpectBits(b, {0x4046e538u, 0x3fa9d41cu, 0xbd7507b4u});
    ExpectBits(&contact.x, {0x4001fd90u, 0x3f378fd6u, 0x3df14b8au});

    const CkvrVector3 start(0.3f, 2.0f, 0.1f), end(0.2f, -1.5f, -0.3f);
    const CkvrVector3 p0(-1.0f, 0.1f, -1.0f), p1(1.0f, -0.2f, -1.0f), p2(0.0f, 0.05f, 1.5f);
    CkvrVector3 hit, normal;
    float best = 100.0f;
    ASSERT_EQ(HitSegmentTriangle(&start, &end, &p0, &p1, &p2, HIT_SIDE_BOTH, &hit, &normal, &best), 1u);
    ExpectBits(&hit.x, {0x3e772d2cu, 0xbd534c05u, 0xbe09b1b7u});
    ExpectBits(&normal.x, {0xbe17c82cu, 0xbf7cf849u, 0x3d21e695u});
    ExpectBits(&best, {0x40888eadu});
}

namespace
{
// The inverse written the plain way: column i is the cross product of the
// other three rows, signed and divided by the determinant one element at a
// time.
CkvrMatrix ReferenceInverse(const CkvrMatrix& a)
{
    const float d = a.GetDeterminant();
    CkvrMatrix out;
    if (d == 0.0f)
        return out;
    for (int i = 0; i < 4; ++i)
    {
        CkvrVector4 rows[3];
        for (int r = 0, k = 0; r < 4; ++r)
        {
            if (r != i)
                rows[k++] = CkvrVector4(a.m + r * 4);
        }
        const CkvrVector4 v = rows[0].Cross(rows[1], rows[2]);
        const double f = (i % 2 == 0) ? 1.0 : -1.0;
        out.m[0 * 4 + i] = float(f * v.x / d);
        out.m[1 * 4 + i] = float(f * v.y / d);
        out.m[2 * 4 + i] = float(f * v.z / d);
        out.m[3 * 4 + i] = float(f * v.w / d);
    }
    return out;
}
}

// Many matrices, from tame to badly scaled: the inverse and the point-array
// transform give exactly the bits of their one-element-at-a-time forms.
TEST(CoreMathBits, InverseAndArrayTransformMatchThePlainForms)
{
    uint32_t state = 12345u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state >> 8) - (1 << 23)) / float(1 << 20); // about -8 to 8
    };
    const float scales[] = {1.0f, 1e-3f, 1e5f, 1e-20f, 3e18f};
    for (int n = 0; n < 500; ++n)
    {
        CkvrMatrix a;
        const float scale = scales[n % 5];
        for (float& e : a.m)
            e = next() * scale;
        const CkvrMatrix fast = a.GetInverse();
        const CkvrMatrix plain = ReferenceInverse(a);
        ASSERT_EQ(Bits(fast.m, 16), Bits(plain.m, 16)) << "matrix " << n;

        CkvrVector3 points[5], moved[5];
        for (CkvrVector3& p : points)
            p.Set(next(), next() * scale, next());
        a.TransformArray(points, moved, 5);
        for (int i = 0; i < 5; ++i)
        {
            const CkvrVector3 one = points[i].GetTransform(a);
            ASSERT_EQ(Bits(&moved[i].x, 3), Bits(&one.x, 3)) << "matrix " << n << " point " << i;
        }
        // In place gives the same.
        a.TransformArray(points, points, 5);
        ASSERT_EQ(Bits(&points[0].x, 15), Bits(&moved[0].x, 15));
    }
}

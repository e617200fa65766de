#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"

#include <gtest/gtest.h>

#include "tests/engine/core/MathExpect.h"

#include <cmath>

namespace
{
void ExpectQuat(const CkvrQuaternion& q, float x, float y, float z, float w, float eps = 1e-6f)
{
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
    EXPECT_NEAR(q.w, w, eps);
}

}

TEST(CkvrQuaternion, InverseBranches)
{
    ExpectQuat(CkvrQuaternion(0, 0, 0, 1).GetInverse(), 0, 0, 0, 1, 0);
    ExpectQuat(CkvrQuaternion(0, 0, 0, 2).GetInverse(), 0, 0, 0, 0.5f, 0);
    ExpectQuat(CkvrQuaternion(1, 0, 0, 0).GetInverse(), -1, 0, 0, 0, 0);
}

TEST(CkvrQuaternion, ProductIsHamiltonWithThisOnTheLeft)
{
    // i * j = k, j * i = -k.
    CkvrQuaternion i(1, 0, 0, 0);
    i *= CkvrQuaternion(0, 1, 0, 0);
    ExpectQuat(i, 0, 0, 1, 0, 0);
    CkvrQuaternion j(0, 1, 0, 0);
    j *= CkvrQuaternion(1, 0, 0, 0);
    ExpectQuat(j, 0, 0, -1, 0, 0);
    ExpectQuat(CkvrQuaternion(1, 0, 0, 0) * CkvrVector3(0, 1, 0), 0, 0, 1, 0, 0);
}

TEST(CkvrQuaternion, SlerpLinearBranchAndShortArc)
{
    // d = 0.9995: linear blend.
    const CkvrQuaternion a(0, 0, 0, 1);
    const float s = std::sqrt(1.0f - 0.9995f * 0.9995f);
    const CkvrQuaternion b(s, 0, 0, 0.9995f);
    CkvrQuaternion r;
    r.Slerp(&a, &b, 0.5f);
    ExpectQuat(r, s * 0.5f, 0, 0, (1 + 0.9995f) * 0.5f);

    // d = -0.5: goes towards -q2, so t = 1 gives -q2.
    const CkvrQuaternion c(std::sqrt(0.75f), 0, 0, -0.5f);
    r.Slerp(&a, &c, 1.0f);
    ExpectQuat(r, -c.x, 0, 0, 0.5f, 1e-6f);
    r.Slerp(&a, &c, 0.0f);
    ExpectQuat(r, 0, 0, 0, 1, 1e-6f);

    CkvrQuaternion keep(1, 2, 3, 4);
    keep.Slerp(nullptr, &a, 0.5f);
    ExpectQuat(keep, 1, 2, 3, 4, 0);
}

TEST(CkvrQuaternion, RotationArcHalfTurns)
{
    CkvrQuaternion q;
    const CkvrVector3 px(1, 0, 0), nx(-1, 0, 0), pz(0, 0, 5), nz(0, 0, -5);
    q.SetRotationArc(&px, &nx);
    ExpectQuat(q, 0, 1, 0, 0, 0);
    q.SetRotationArc(&pz, &nz);
    ExpectQuat(q, 0, -1, 0, 0, 0);
    // From the negative z axis the arc must not produce NaN.
    q.SetRotationArc(&nz, &pz);
    EXPECT_FALSE(std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z) || std::isnan(q.w));
    EXPECT_NEAR(q.Length(), 1.0f, 1e-6f);
    q.SetRotationArc(nullptr, &pz);
    ExpectQuat(q, 0, 0, 0, 1, 0);
    // A quarter turn x -> y.
    const CkvrVector3 py(0, 1, 0);
    q.SetRotationArcUnit(&px, &py);
    ExpectQuat(q, 0, 0, std::sqrt(0.5f), std::sqrt(0.5f));
}

TEST(CkvrQuaternion, MatrixTurnsByTheConjugate)
{
    CkvrQuaternion q;
    const CkvrVector3 z(0, 0, 1);
    q.SetRotationAxis(90, &z);
    const CkvrVector3 p = CkvrVector3(1, 0, 0).GetTransform(q.GetMatrix());
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.y, -1, 1e-6f);
    // RotateVector turns the other way, by q itself.
    const CkvrVector3 r = q.RotateVector(CkvrVector3(1, 0, 0));
    EXPECT_NEAR(r.y, 1, 1e-6f);
    const CkvrVector3 back = q.InverseRotateVector(r);
    EXPECT_NEAR(back.x, 1, 1e-6f);
    EXPECT_NEAR(back.y, 0, 1e-6f);

    // SetRotationAxis(theta, x) gives the X rotation of -theta.
    const CkvrVector3 x(1, 0, 0);
    q.SetRotationAxis(30, &x);
    CkvrMatrix rx;
    rx.SetRotationX(-30);
    ExpectMatrixNear(q.GetMatrix(), rx);
}

TEST(CkvrQuaternion, MatrixRoundTrips)
{
    const CkvrVector3 axis = CkvrVector3(1, 2, 3).GetNormal();
    for (float angle : {10.0f, 100.0f, 160.0f, 250.0f})
    {
        CkvrQuaternion q;
        q.SetRotationAxis(angle, &axis);
        CkvrQuaternion back;
        const CkvrMatrix m = q.GetMatrix();
        back.SetRotationMatrix(&m);
        const float sign = (back.w * q.w < 0) ? -1.0f : 1.0f;
        ExpectQuat(back, sign * q.x, sign * q.y, sign * q.z, sign * q.w, 1e-5f);
        // The matrix's own reading treats it as a row-vector rotation: the
        // conjugate.
        const CkvrQuaternion c = m.GetQuaternion();
        const float s2 = (c.w * q.w < 0) ? -1.0f : 1.0f;
        ExpectQuat(c, -s2 * q.x, -s2 * q.y, -s2 * q.z, s2 * q.w, 1e-5f);
    }
}

TEST(CkvrQuaternion, AxisAngle)
{
    float angle = 5;
    CkvrVector3 axis(9, 9, 9);
    CkvrQuaternion(0, 0, 0, 1).GetAxisAngle(&angle, &axis);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.x + axis.y + axis.z, 0.0f);

    CkvrQuaternion q;
    const CkvrVector3 y(0, 1, 0);
    q.SetRotationAxis(60, &y);
    q.GetAxisAngle(&angle, &axis);
    EXPECT_NEAR(angle, 60.0f, 1e-4f);
    EXPECT_NEAR(axis.y, 1.0f, 1e-5f);

    // An unnormalised result with |w| > 1 yields no NaN.
    CkvrQuaternion big(0.001f, 0, 0, 1.0001f);
    big.GetAxisAngle(&angle, &axis);
    EXPECT_FALSE(std::isnan(angle) || std::isnan(axis.x));
    CkvrQuaternion neg(0.0f, 0, 0, -1.0001f);
    neg.GetAxisAngle(&angle, &axis);
    EXPECT_FALSE(std::isnan(angle) || std::isnan(axis.x) || std::isnan(axis.y));
}

TEST(CkvrQuaternion, NormalizeZeroAndLength)
{
    ExpectQuat(CkvrQuaternion().GetNormal(), 0, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(CkvrQuaternion(1, 1, 1, 1).Length(), 2.0f);
    ExpectQuat(CkvrQuaternion(0, 0, 0, 3).GetNormal(), 0, 0, 0, 1, 0);
}

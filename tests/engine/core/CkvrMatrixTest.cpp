#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"

#include <gtest/gtest.h>

#include "tests/engine/core/MathExpect.h"

#include <cmath>

namespace
{
CkvrMatrix RotX(float d)
{
    CkvrMatrix m;
    m.SetRotationX(d);
    return m;
}
CkvrMatrix RotY(float d)
{
    CkvrMatrix m;
    m.SetRotationY(d);
    return m;
}
CkvrMatrix RotZ(float d)
{
    CkvrMatrix m;
    m.SetRotationZ(d);
    return m;
}
}

TEST(CkvrMatrix, SingleAxisRotationsMapAxes)
{
    ExpectVec(CkvrVector3(0, 1, 0).GetTransform(RotX(90)), 0, 0, 1);
    ExpectVec(CkvrVector3(1, 0, 0).GetTransform(RotY(90)), 0, 0, -1);
    ExpectVec(CkvrVector3(1, 0, 0).GetTransform(RotZ(90)), 0, 1, 0);
    CkvrMatrix t;
    const CkvrVector3 move(1, 2, 3);
    t.SetTranslation(&move);
    ExpectVec(CkvrVector3(1, 1, 1).GetTransform(t), 2, 3, 4, 0);
    ExpectVec(CkvrVector3(1, 1, 1).GetTransformNormal(t), 1, 1, 1, 0);
}

TEST(CkvrMatrix, EulerOrdersAreProductsInNameOrder)
{
    const float x = 17, y = -41, z = 73;
    struct Case
    {
        void (CkvrMatrix::*set)(float, float, float);
        CkvrMatrix expected;
    } cases[] = {
        {&CkvrMatrix::SetRotationZXY, RotZ(z) * RotX(x) * RotY(y)},
        {&CkvrMatrix::SetRotationXYZ, RotX(x) * RotY(y) * RotZ(z)},
        {&CkvrMatrix::SetRotationYZX, RotY(y) * RotZ(z) * RotX(x)},
        {&CkvrMatrix::SetRotationXZY, RotX(x) * RotZ(z) * RotY(y)},
        {&CkvrMatrix::SetRotationYXZ, RotY(y) * RotX(x) * RotZ(z)},
        {&CkvrMatrix::SetRotationZYX, RotZ(z) * RotY(y) * RotX(x)},
    };
    for (const Case& c : cases)
    {
        CkvrMatrix m;
        (m.*c.set)(x, y, z);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(m.m[i], c.expected.m[i]); // bit-exact
    }
    CkvrMatrix a, b;
    const CkvrVector3 angles(x, y, z);
    a.SetRotation(&angles);
    b.SetRotationZXY(x, y, z);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a.m[i], b.m[i]);
    CkvrMatrix keep = RotX(5);
    keep.SetRotationXYZ(static_cast<const CkvrVector3*>(nullptr));
    ExpectMatrixNear(keep, RotX(5), 0);
}

TEST(CkvrMatrix, AxisRotations)
{
    CkvrMatrix m;
    const CkvrVector3 z2(0, 0, 2), z1(0, 0, 1), x1(1, 0, 0);
    m.SetRotationAxis(90, &z2);
    ExpectMatrixNear(m, RotZ(90));
    m.SetRotationAxis(33, &x1);
    ExpectMatrixNear(m, RotX(33));
    m.SetRotationAxisQuaternion(90, z1);
    ExpectMatrixNear(m, RotZ(-90));
    m.SetRotationAxisQuaternion(25, x1);
    ExpectMatrixNear(m, RotX(-25));
}

TEST(CkvrMatrix, InverseAndDeterminant)
{
    CkvrMatrix s;
    const CkvrVector3 scale(2, 4, 8);
    s.SetScaling(&scale);
    EXPECT_FLOAT_EQ(s.GetDeterminant(), 64.0f);
    const CkvrMatrix inv = s.GetInverse();
    EXPECT_EQ(inv.m[0], 0.5f);
    EXPECT_EQ(inv.m[5], 0.25f);
    EXPECT_EQ(inv.m[10], 0.125f);
    EXPECT_EQ(inv.m[15], 1.0f);

    CkvrMatrix zero;
    zero.Set(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    CkvrMatrix out = RotX(10);
    zero.GetInverse(&out);
    ExpectMatrixNear(out, RotX(10), 0);
    ExpectMatrixNear(zero.GetInverse(), CkvrMatrix(), 0);

    // A general affine matrix times its inverse is the identity.
    CkvrMatrix w;
    w.SetRotationZXY(20, 30, 40);
    const CkvrVector3 move(5, -3, 2);
    CkvrMatrix t;
    t.SetTranslation(&move);
    w *= t;
    ExpectMatrixNear(w * w.GetInverse(), CkvrMatrix(), 1e-5f);
    EXPECT_NEAR(w.GetDeterminant(), 1.0f, 1e-5f);
}

TEST(CkvrMatrix, EulerAnglesReadBack)
{
    ExpectVec(RotX(30).GetEulerAngles(), 30, 0, 0, 1e-4f);
    ExpectVec(RotY(30).GetEulerAngles(), 0, 30, 0, 1e-4f);
    CkvrMatrix m;
    m.SetRotationZYX(30, 20, 10);
    const CkvrVector3 e = m.GetEulerAngles();
    EXPECT_NEAR(e.x, 30, 1e-4f);
    EXPECT_NEAR(e.y, 20, 1e-4f);
}

TEST(CkvrMatrix, ElementsRowsAndColumns)
{
    CkvrMatrix m;
    m.Set(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m.GetElement(4, 0), 0.0f);
    EXPECT_EQ(m.GetElement(1, 2), 7.0f);
    const CkvrMatrix before = m;
    m.SetElement(0, 7, 99);
    ExpectMatrixNear(m, before, 0);
    EXPECT_EQ(m.GetRow(3).x, 13.0f);
    EXPECT_EQ(m.GetColumn(1).w, 14.0f);
    CkvrVector3 c;
    m.GetColumn(2, &c);
    ExpectVec(c, 3, 7, 11, 0);
    const CkvrVector4 mv = m.TransformColumn(CkvrVector4(1, 0, 0, 1));
    EXPECT_EQ(mv.x, 5.0f);
    EXPECT_EQ(mv.w, 29.0f);
    ExpectVec(m.TransformTransposed(CkvrVector3(1, 0, 0)), 1 + 13, 5 + 14, 9 + 15, 0);
    EXPECT_EQ(RotZ(180).GetAbsolute().m[0], 1.0f);
}

TEST(CkvrMatrix, MultiplyAliasesAndNulls)
{
    CkvrMatrix m;
    m.Set(1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    m.Multiply(m, &m);
    EXPECT_EQ(m.m[0], 7.0f);
    EXPECT_EQ(m.m[1], 10.0f);
    EXPECT_EQ(m.m[4], 15.0f);
    EXPECT_EQ(m.m[5], 22.0f);
    CkvrMatrix p;
    p.Multiply(&m, nullptr);
    ExpectMatrixNear(p, CkvrMatrix(), 0);
}

TEST(CkvrMatrix, ScaleRotationAndQuaternion)
{
    CkvrMatrix s;
    const CkvrVector3 scale(2, 3, 4);
    s.SetScaling(&scale);
    const CkvrMatrix m = s * RotY(45);
    ExpectVec(m.GetScale(), 2, 3, 4, 1e-6f);
    ExpectMatrixNear(m.GetRotation(), RotY(45));
    const CkvrMatrix r3 = m.GetRotation3x3();
    EXPECT_EQ(r3.m[0], m.m[0]);
    // GetQuaternion undoes the quaternion matrix of the conjugate.
    CkvrQuaternion q;
    const CkvrVector3 axis = CkvrVector3(0, 1, 1).GetNormal();
    q.SetRotationAxis(70, &axis);
    const CkvrQuaternion back = q.GetMatrix().GetQuaternion();
    EXPECT_NEAR(back.x, -q.x, 1e-6f);
    EXPECT_NEAR(back.y, -q.y, 1e-6f);
    EXPECT_NEAR(back.w, q.w, 1e-6f);
}

TEST(CkvrMatrix, PreAndPostRotations)
{
    CkvrMatrix m;
    m.SetRotationY(20);
    const float rad = 0.4f;
    const float deg = float(double(rad) * 180.0 / 3.14159274);
    CkvrMatrix pre = m, post = m;
    PreRotateX(rad, &pre);
    PostRotateX(&post, rad);
    ExpectMatrixNear(pre, RotX(deg) * m, 1e-5f);
    ExpectMatrixNear(post, m * RotX(deg), 1e-5f);
    pre = m;
    post = m;
    PreRotateY(rad, &pre);
    PostRotateY(&post, rad);
    ExpectMatrixNear(pre, RotY(deg) * m, 1e-5f);
    ExpectMatrixNear(post, m * RotY(deg), 1e-5f);
    pre = m;
    post = m;
    PreRotateZ(rad, &pre);
    PostRotateZ(&post, rad);
    ExpectMatrixNear(pre, RotZ(deg) * m, 1e-5f);
    ExpectMatrixNear(post, m * RotZ(deg), 1e-5f);
    EXPECT_EQ(PreRotateX(rad, nullptr), nullptr);
    EXPECT_EQ(PostRotateZXY(nullptr, CkvrVector3()), nullptr);

    CkvrMatrix a, b;
    PostRotateZXY(&a, CkvrVector3(0.1f, 0.2f, 0.3f));
    b = CkvrMatrix();
    PostRotateZ(&b, 0.3f);
    PostRotateX(&b, 0.1f);
    PostRotateY(&b, 0.2f);
    ExpectMatrixNear(a, b, 0);
}

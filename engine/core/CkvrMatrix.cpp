#include "engine/core/CkvrMatrix.h"

#include "engine/core/CkvrQuaternion.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"

#include <cmath>

namespace
{
// Row (0-based) of the upper 3x3 as a vector.
CkvrVector3 Row3(const CkvrMatrix& mat, int row)
{
    return CkvrVector3(mat.m[row * 4], mat.m[row * 4 + 1], mat.m[row * 4 + 2]);
}

CkvrMatrix RotationX(float degrees)
{
    CkvrMatrix r;
    r.SetRotationX(degrees);
    return r;
}

CkvrMatrix RotationY(float degrees)
{
    CkvrMatrix r;
    r.SetRotationY(degrees);
    return r;
}

CkvrMatrix RotationZ(float degrees)
{
    CkvrMatrix r;
    r.SetRotationZ(degrees);
    return r;
}

// Replaces rows ra and rb (0-based) by (c * ra + s * rb, -s * ra + c * rb).
void RotateRows(CkvrMatrix* mat, int ra, int rb, float c, float s)
{
    float* m = mat->m;
    for (int col = 0; col < 4; ++col)
    {
        const float a = m[ra * 4 + col];
        const float b = m[rb * 4 + col];
        m[ra * 4 + col] = c * a + s * b;
        m[rb * 4 + col] = -s * a + c * b;
    }
}

// Replaces columns ca and cb (0-based) by (c * ca - s * cb, s * ca + c * cb).
void RotateColumns(CkvrMatrix* mat, int ca, int cb, float c, float s)
{
    float* m = mat->m;
    for (int row = 0; row < 4; ++row)
    {
        const float a = m[row * 4 + ca];
        const float b = m[row * 4 + cb];
        m[row * 4 + ca] = a * c - b * s;
        m[row * 4 + cb] = a * s + b * c;
    }
}
}

void CkvrMatrix::Set(float m11, float m12, float m13, float m14,
                     float m21, float m22, float m23, float m24,
                     float m31, float m32, float m33, float m34,
                     float m41, float m42, float m43, float m44)
{
    const float values[16] = {m11, m12, m13, m14, m21, m22, m23, m24,
                              m31, m32, m33, m34, m41, m42, m43, m44};
    for (int i = 0; i < 16; ++i)
        m[i] = values[i];
}

void CkvrMatrix::SetTranslation(const CkvrVector3* v)
{
    if (v == nullptr)
        return;
    Identity();
    m[12] = v->x;
    m[13] = v->y;
    m[14] = v->z;
}

void CkvrMatrix::SetScaling(const CkvrVector3* v)
{
    if (v == nullptr)
        return;
    Set(v->x, 0, 0, 0, 0, v->y, 0, 0, 0, 0, v->z, 0, 0, 0, 0, 1);
}

void CkvrMatrix::SetRotationX(float degrees)
{
    const float r = DegreeToRadian(degrees);
    const float c = KvrCos(r);
    const float s = KvrSin(r);
    Set(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
}

void CkvrMatrix::SetRotationY(float degrees)
{
    const float r = DegreeToRadian(degrees);
    const float c = KvrCos(r);
    const float s = KvrSin(r);
    Set(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
}

void CkvrMatrix::SetRotationZ(float degrees)
{
    const float r = DegreeToRadian(degrees);
    const float c = KvrCos(r);
    const float s = KvrSin(r);
    Set(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void CkvrMatrix::SetRotationZXY(float x, float y, float z)
{
    *this = RotationZ(z) * RotationX(x) * RotationY(y);
}

void CkvrMatrix::SetRotationXYZ(float x, float y, float z)
{
    *this = RotationX(x) * RotationY(y) * RotationZ(z);
}

void CkvrMatrix::SetRotationYZX(float x, float y, float z)
{
    *this = RotationY(y) * RotationZ(z) * RotationX(x);
}

void CkvrMatrix::SetRotationXZY(float x, float y, float z)
{
    *this = RotationX(x) * RotationZ(z) * RotationY(y);
}

void CkvrMatrix::SetRotationYXZ(float x, float y, float z)
{
    *this = RotationY(y) * RotationX(x) * RotationZ(z);
}

void CkvrMatrix::SetRotationZYX(float x, float y, float z)
{
    *this = RotationZ(z) * RotationY(y) * RotationX(x);
}

void CkvrMatrix::SetRotationZXY(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationZXY(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationXYZ(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationXYZ(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationYZX(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationYZX(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationXZY(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationXZY(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationYXZ(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationYXZ(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationZYX(const CkvrVector3* a)
{
    if (a != nullptr)
        SetRotationZYX(a->x, a->y, a->z);
}

void CkvrMatrix::SetRotationAxis(float degrees, const CkvrVector3* axis)
{
    if (axis == nullptr)
        return;
    const float r = DegreeToRadian(degrees);
    const CkvrVector3 n = axis->GetNormal();
    const double c = KvrCos(double(r));
    const double s = KvrSin(double(r));
    const double t = 1.0 - c;
    const double x = n.x, y = n.y, z = n.z;
    Set(float(t * x * x + c), float(t * x * y + s * z), float(t * x * z - s * y), 0,
        float(t * x * y - s * z), float(t * y * y + c), float(t * y * z + s * x), 0,
        float(t * x * z + s * y), float(t * y * z - s * x), float(t * z * z + c), 0,
        0, 0, 0, 1);
}

void CkvrMatrix::SetRotationAxisQuaternion(float degrees, const CkvrVector3& axis)
{
    CkvrQuaternion q;
    q.SetRotationAxis(degrees, &axis);
    q.GetNormal().GetMatrix(this);
}

void CkvrMatrix::Multiply(const CkvrMatrix* a, const CkvrMatrix* b)
{
    if (a == nullptr || b == nullptr)
    {
        Identity();
        return;
    }
    *this = *a * *b;
}

CkvrVector3 CkvrMatrix::GetScale() const
{
    return CkvrVector3(Row3(*this, 0).Length(), Row3(*this, 1).Length(), Row3(*this, 2).Length());
}

void CkvrMatrix::GetScale(CkvrVector3* out) const
{
    if (out != nullptr)
        *out = GetScale();
}

CkvrMatrix CkvrMatrix::GetRotation() const
{
    const CkvrVector3 r1 = Row3(*this, 0).GetNormal();
    const CkvrVector3 r2 = Row3(*this, 1).GetNormal();
    const CkvrVector3 r3 = Row3(*this, 2).GetNormal();
    CkvrMatrix out;
    out.Set(r1.x, r1.y, r1.z, 0, r2.x, r2.y, r2.z, 0, r3.x, r3.y, r3.z, 0, 0, 0, 0, 1);
    return out;
}

void CkvrMatrix::GetRotation(CkvrMatrix* out) const
{
    if (out != nullptr)
        *out = GetRotation();
}

CkvrMatrix CkvrMatrix::GetRotation3x3() const
{
    CkvrMatrix out;
    out.Set(m[0], m[1], m[2], 0, m[4], m[5], m[6], 0, m[8], m[9], m[10], 0, 0, 0, 0, 1);
    return out;
}

void CkvrMatrix::GetRotation3x3(CkvrMatrix* out) const
{
    if (out != nullptr)
        *out = GetRotation3x3();
}

CkvrVector3 CkvrMatrix::GetEulerAngles() const
{
    // Normalise the columns of the upper 3x3.
    const CkvrVector3 c1 = CkvrVector3(m[0], m[4], m[8]).GetNormal();
    const CkvrVector3 c2 = CkvrVector3(m[1], m[5], m[9]).GetNormal();
    const CkvrVector3 c3 = CkvrVector3(m[2], m[6], m[10]).GetNormal();
    CkvrMatrix n;
    n.Set(c1.x, c2.x, c3.x, 0, c1.y, c2.y, c3.y, 0, c1.z, c2.z, c3.z, 0, 0, 0, 0, 1);

    float rx = KvrAtan2(n.m[9], n.m[10]);
    PostRotateX(&n, -rx);
    const float h = std::sqrt(float(double(n.m[0]) * n.m[0] + double(n.m[4]) * n.m[4]));
    float ry = KvrAtan2(-n.m[8], h);
    float rz = KvrAtan2(-n.m[1], n.m[0]);
    if (rx == kPi)
    {
        ry = ry > 0.0f ? ry - kPi : ry + kPi;
        rx = 0.0f;
        rz = rz + kPi;
    }
    return CkvrVector3(RadianToDegree(-rx), RadianToDegree(-ry), RadianToDegree(-rz));
}

void CkvrMatrix::GetEulerAngles(CkvrVector3* out) const
{
    if (out != nullptr)
        *out = GetEulerAngles();
}

CkvrQuaternion CkvrMatrix::GetQuaternion() const
{
    const CkvrMatrix r = GetRotation();
    const double m11 = r.m[0], m12 = r.m[1], m13 = r.m[2];
    const double m21 = r.m[4], m22 = r.m[5], m23 = r.m[6];
    const double m31 = r.m[8], m32 = r.m[9], m33 = r.m[10];
    CkvrQuaternion q;
    const float t = float(m11 + m22 + m33 + 1.0);
    if (t >= 1.0f)
    {
        const double s = 0.5 / std::sqrt(double(t));
        q.w = float(0.25 / s);
        q.x = float((m23 - m32) * s);
        q.y = float((m31 - m13) * s);
        q.z = float((m12 - m21) * s);
        return q;
    }
    const double g = m33 < m22 ? m22 : m33;
    if (m11 > g)
    {
        const double root = std::sqrt(m11 - (m22 + m33) + 1.0);
        const double s = 0.5 / root;
        q.x = float(root / 2.0);
        q.y = float((m12 + m21) * s);
        q.z = float((m31 + m13) * s);
        q.w = float((m23 - m32) * s);
    }
    else if (m22 == g)
    {
        const double root = std::sqrt(m22 - (m33 + m11) + 1.0);
        const double s = 0.5 / root;
        q.y = float(root / 2.0);
        q.x = float((m12 + m21) * s);
        q.z = float((m23 + m32) * s);
        q.w = float((m31 - m13) * s);
    }
    else
    {
        const double root = std::sqrt(m33 - (m11 + m22) + 1.0);
        const double s = 0.5 / root;
        q.z = float(root / 2.0);
        q.x = float((m31 + m13) * s);
        q.y = float((m23 + m32) * s);
        q.w = float((m12 - m21) * s);
    }
    return q;
}

void CkvrMatrix::GetQuaternion(CkvrQuaternion* out) const
{
    if (out != nullptr)
        *out = GetQuaternion();
}

CkvrMatrix CkvrMatrix::GetAbsolute() const
{
    CkvrMatrix out;
    for (int i = 0; i < 16; ++i)
        out.m[i] = std::fabs(m[i]);
    return out;
}

void CkvrMatrix::GetAbsolute(CkvrMatrix* out) const
{
    if (out != nullptr)
        *out = GetAbsolute();
}

float CkvrMatrix::GetElement(uint32_t row, uint32_t column) const
{
    if (row > 3 || column > 3)
        return 0.0f;
    return m[row * 4 + column];
}

void CkvrMatrix::SetElement(uint32_t row, uint32_t column, float value)
{
    if (row > 3 || column > 3)
        return;
    m[row * 4 + column] = value;
}

CkvrVector4 CkvrMatrix::GetRow(uint32_t i) const
{
    if (i > 3)
        return CkvrVector4();
    return CkvrVector4(m + i * 4);
}

void CkvrMatrix::GetRow(uint32_t i, CkvrVector4* out) const
{
    if (out != nullptr)
        *out = GetRow(i);
}

void CkvrMatrix::GetRow(uint32_t i, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    const CkvrVector4 r = GetRow(i);
    out->Set(r.x, r.y, r.z);
}

CkvrVector4 CkvrMatrix::GetColumn(uint32_t i) const
{
    if (i > 3)
        return CkvrVector4();
    return CkvrVector4(m[i], m[4 + i], m[8 + i], m[12 + i]);
}

void CkvrMatrix::GetColumn(uint32_t i, CkvrVector4* out) const
{
    if (out != nullptr)
        *out = GetColumn(i);
}

void CkvrMatrix::GetColumn(uint32_t i, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    const CkvrVector4 c = GetColumn(i);
    out->Set(c.x, c.y, c.z);
}

CkvrVector3 CkvrMatrix::TransformTransposed(const CkvrVector3& v) const
{
    const double x = v.x, y = v.y, z = v.z;
    return CkvrVector3(float(x * m[0] + y * m[1] + z * m[2] + m[12]),
                       float(x * m[4] + y * m[5] + z * m[6] + m[13]),
                       float(x * m[8] + y * m[9] + z * m[10] + m[14]));
}

CkvrVector4 CkvrMatrix::TransformColumn(const CkvrVector4& v) const
{
    CkvrVector4 out;
    float* o = &out.x;
    for (int row = 0; row < 4; ++row)
    {
        const float* r = m + row * 4;
        o[row] = float(double(r[0]) * v.x + double(r[1]) * v.y + double(r[2]) * v.z + double(r[3]) * v.w);
    }
    return out;
}

CkvrMatrix* PreRotateX(float radians, CkvrMatrix* matrix)
{
    if (matrix != nullptr)
        RotateRows(matrix, 1, 2, KvrCos(radians), KvrSin(radians));
    return matrix;
}

CkvrMatrix* PreRotateY(float radians, CkvrMatrix* matrix)
{
    // Ry has -s at (1, 3): row1' = c row1 - s row3, row3' = s row1 + c row3.
    if (matrix != nullptr)
        RotateRows(matrix, 0, 2, KvrCos(radians), -KvrSin(radians));
    return matrix;
}

CkvrMatrix* PreRotateZ(float radians, CkvrMatrix* matrix)
{
    if (matrix != nullptr)
        RotateRows(matrix, 0, 1, KvrCos(radians), KvrSin(radians));
    return matrix;
}

CkvrMatrix* PostRotateX(CkvrMatrix* matrix, float radians)
{
    if (matrix != nullptr)
        RotateColumns(matrix, 1, 2, KvrCos(radians), KvrSin(radians));
    return matrix;
}

CkvrMatrix* PostRotateY(CkvrMatrix* matrix, float radians)
{
    // col1' = c col1 + s col3, col3' = -s col1 + c col3.
    if (matrix != nullptr)
        RotateColumns(matrix, 0, 2, KvrCos(radians), -KvrSin(radians));
    return matrix;
}

CkvrMatrix* PostRotateZ(CkvrMatrix* matrix, float radians)
{
    // col1' = c col1 - s col2, col2' = s col1 + c col2.
    if (matrix != nullptr)
        RotateColumns(matrix, 0, 1, KvrCos(radians), KvrSin(radians));
    return matrix;
}

CkvrMatrix* PreRotateYXZ(const CkvrVector3& radians, CkvrMatrix* matrix)
{
    if (matrix == nullptr)
        return nullptr;
    PreRotateY(radians.y, matrix);
    PreRotateX(radians.x, matrix);
    PreRotateZ(radians.z, matrix);
    return matrix;
}

CkvrMatrix* PostRotateZXY(CkvrMatrix* matrix, const CkvrVector3& radians)
{
    if (matrix == nullptr)
        return nullptr;
    PostRotateZ(matrix, radians.z);
    PostRotateX(matrix, radians.x);
    PostRotateY(matrix, radians.y);
    return matrix;
}

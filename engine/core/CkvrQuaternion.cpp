#include "engine/core/CkvrQuaternion.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/core/MathConstants.h"

#include <cmath>

namespace
{
CkvrQuaternion Product(const CkvrQuaternion& a, const CkvrQuaternion& b)
{
    const double x1 = a.x, y1 = a.y, z1 = a.z, w1 = a.w;
    const double x2 = b.x, y2 = b.y, z2 = b.z, w2 = b.w;
    return CkvrQuaternion(float(w1 * x2 + x1 * w2 + y1 * z2 - z1 * y2),
                          float(w1 * y2 + y1 * w2 + z1 * x2 - x1 * z2),
                          float(w1 * z2 + z1 * w2 + x1 * y2 - y1 * x2),
                          float(w1 * w2 - x1 * x2 - y1 * y2 - z1 * z2));
}

CkvrQuaternion Conjugate(const CkvrQuaternion& q)
{
    return CkvrQuaternion(-q.x, -q.y, -q.z, q.w);
}
}

float CkvrQuaternion::LengthSq() const
{
    return float(double(x) * x + double(y) * y + double(z) * z + double(w) * w);
}

float CkvrQuaternion::Length() const
{
    return std::sqrt(LengthSq());
}

void CkvrQuaternion::Normalize(CkvrQuaternion* out) const
{
    if (out == nullptr)
        return;
    *out = GetNormal();
}

CkvrQuaternion CkvrQuaternion::GetNormal() const
{
    const float length = Length();
    const double k = length > 0.0f ? 1.0 / double(length) : 0.0;
    return CkvrQuaternion(float(x * k), float(y * k), float(z * k), float(w * k));
}

void CkvrQuaternion::Inverse(CkvrQuaternion* out) const
{
    if (out == nullptr)
        return;
    *out = GetInverse();
}

CkvrQuaternion CkvrQuaternion::GetInverse() const
{
    const float n = LengthSq();
    if (n == 1.0f)
        return Conjugate(*this);
    return CkvrQuaternion(float(-x / double(n)), float(-y / double(n)), float(-z / double(n)),
                          float(w / double(n)));
}

CkvrQuaternion& CkvrQuaternion::operator*=(const CkvrQuaternion& q)
{
    *this = Product(*this, q);
    return *this;
}

CkvrQuaternion CkvrQuaternion::operator*(const CkvrVector3& v) const
{
    return Product(*this, CkvrQuaternion(v.x, v.y, v.z, 0.0f));
}

void CkvrQuaternion::Slerp(const CkvrQuaternion* q1, const CkvrQuaternion* q2, float t)
{
    if (q1 == nullptr || q2 == nullptr)
        return;
    float d = float(double(q1->x) * q2->x + double(q1->y) * q2->y + double(q1->z) * q2->z +
                    double(q1->w) * q2->w);
    double sign = 1.0;
    if (d < 0.0f)
    {
        sign = -1.0;
        d = -d;
    }
    double s1 = 1.0 - double(t);
    double s2 = t;
    // Close quaternions blend linearly: sin(omega) would be nearly zero.
    if (1.0 - double(d) > double(kSlerpThreshold))
    {
        const float omega = std::acos(d);
        const float sinOmega = std::sin(omega);
        s1 = std::sin(float((1.0 - t) * omega)) / double(sinOmega);
        s2 = std::sin(float(double(t) * omega)) / double(sinOmega);
    }
    const double k2 = sign * s2;
    const CkvrQuaternion a = *q1;
    const CkvrQuaternion b = *q2;
    x = float(s1 * a.x + k2 * b.x);
    y = float(s1 * a.y + k2 * b.y);
    z = float(s1 * a.z + k2 * b.z);
    w = float(s1 * a.w + k2 * b.w);
}

void CkvrQuaternion::SetRotationAxis(float angle, const CkvrVector3* axis)
{
    if (axis == nullptr)
        return;
    const float h = float(double(angle) * kHalfDegreeToRadian);
    const double s = std::sin(h);
    x = float(axis->x * s);
    y = float(axis->y * s);
    z = float(axis->z * s);
    w = std::cos(h);
}

void CkvrQuaternion::SetArc(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& from)
{
    const CkvrVector3 c = a.Cross(b);
    const float s = std::sqrt(float(2.0 * (double(a.Dot(b)) + 1.0)));
    if (s != 0.0f)
    {
        x = float(c.x / double(s));
        y = float(c.y / double(s));
        z = float(c.z / double(s));
        w = float(s * 0.5);
        return;
    }
    // Opposite vectors: a half turn about any perpendicular axis.
    CkvrVector3 p;
    from.GetPerpendicular(&p, nullptr);
    x = p.x;
    y = p.y;
    z = p.z;
    w = 0.0f;
}

void CkvrQuaternion::SetRotationArc(const CkvrVector3* from, const CkvrVector3* to)
{
    if (from == nullptr || to == nullptr)
    {
        *this = CkvrQuaternion(0.0f, 0.0f, 0.0f, 1.0f);
        return;
    }
    SetArc(from->GetNormal(), to->GetNormal(), *from);
}

CkvrQuaternion* CkvrQuaternion::SetRotationArcUnit(const CkvrVector3* from, const CkvrVector3* to)
{
    if (from == nullptr || to == nullptr)
    {
        *this = CkvrQuaternion(0.0f, 0.0f, 0.0f, 1.0f);
        return this;
    }
    SetArc(*from, *to, *from);
    return this;
}

void CkvrQuaternion::SetRotationMatrix(const CkvrMatrix* matrix)
{
    if (matrix == nullptr)
        return;
    const float* m = matrix->m;
    const double m11 = m[0], m12 = m[1], m13 = m[2];
    const double m21 = m[4], m22 = m[5], m23 = m[6];
    const double m31 = m[8], m32 = m[9], m33 = m[10];
    const double m44 = m[15];
    const float t = float(m11 + m22 + m33 + m44);
    if (t > 0.0f)
    {
        const double s = 0.5 / std::sqrt(double(t));
        w = float(0.25 / s);
        x = float((m32 - m23) * s);
        y = float((m13 - m31) * s);
        z = float((m21 - m12) * s);
        return;
    }
    const double g = m33 < m22 ? m22 : m33;
    if (m11 > g)
    {
        const double r = std::sqrt(m11 - (m22 + m33) + 1.0);
        const double s = 0.5 / r;
        x = float(r / 2.0);
        y = float((m12 + m21) * s);
        z = float((m31 + m13) * s);
        w = float((m32 - m23) * s);
    }
    else if (m22 == g)
    {
        const double r = std::sqrt(m22 - (m11 + m33) + 1.0);
        const double s = 0.5 / r;
        y = float(r / 2.0);
        x = float((m12 + m21) * s);
        z = float((m23 + m32) * s);
        w = float((m13 - m31) * s);
    }
    else
    {
        const double r = std::sqrt(m33 - (m11 + m22) + 1.0);
        const double s = 0.5 / r;
        z = float(r / 2.0);
        x = float((m31 + m13) * s);
        y = float((m23 + m32) * s);
        w = float((m21 - m12) * s);
    }
}

void CkvrQuaternion::GetMatrix(CkvrMatrix* out) const
{
    const double xx = double(x) * x, yy = double(y) * y, zz = double(z) * z;
    const double xy = double(x) * y, xz = double(x) * z, yz = double(y) * z;
    const double xw = double(x) * w, yw = double(y) * w, zw = double(z) * w;
    out->Set(float(1.0 - 2.0 * (yy + zz)), float(2.0 * (xy - zw)), float(2.0 * (xz + yw)), 0.0f,
             float(2.0 * (xy + zw)), float(1.0 - 2.0 * (xx + zz)), float(2.0 * (yz - xw)), 0.0f,
             float(2.0 * (xz - yw)), float(2.0 * (yz + xw)), float(1.0 - 2.0 * (xx + yy)), 0.0f,
             0.0f, 0.0f, 0.0f, 1.0f);
}

CkvrMatrix CkvrQuaternion::GetMatrix() const
{
    CkvrMatrix m;
    GetMatrix(&m);
    return m;
}

void CkvrQuaternion::GetAxisAngle(float* angle, CkvrVector3* axis) const
{
    if (angle == nullptr || axis == nullptr)
        return;
    // An unnormalised quaternion (a slerp result, say) can carry |w| > 1;
    // clamp so that acos stays defined.
    float cw = w;
    if (cw > 1.0f)
        cw = 1.0f;
    if (cw < -1.0f)
        cw = -1.0f;
    const float a = std::acos(cw);
    if (-kAxisAngleThreshold < a && a < kAxisAngleThreshold)
    {
        axis->Set(0.0f, 0.0f, 0.0f);
        *angle = 0.0f;
        return;
    }
    const double s = std::sin(a);
    axis->Set(float(x / s), float(y / s), float(z / s));
    *angle = float(2.0 * (double(a) * 180.0 / double(kPi)));
}

void CkvrQuaternion::RotateVector(const CkvrVector3& v, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    const CkvrQuaternion r = Product(*this * v, Conjugate(*this));
    out->Set(r.x, r.y, r.z);
}

CkvrVector3 CkvrQuaternion::RotateVector(const CkvrVector3& v) const
{
    CkvrVector3 out;
    RotateVector(v, &out);
    return out;
}

void CkvrQuaternion::InverseRotateVector(const CkvrVector3& v, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    const CkvrQuaternion r = Product(Conjugate(*this) * v, *this);
    out->Set(r.x, r.y, r.z);
}

CkvrVector3 CkvrQuaternion::InverseRotateVector(const CkvrVector3& v) const
{
    CkvrVector3 out;
    InverseRotateVector(v, &out);
    return out;
}

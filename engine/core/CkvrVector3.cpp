#include "engine/core/CkvrVector3.h"

#include "engine/core/CRandom.h"
#include "engine/core/MathConstants.h"

#include <cmath>

float CkvrVector3::Length() const
{
    return std::sqrt(LengthSq());
}

void CkvrVector3::CrossTo(const CkvrVector3* v, CkvrVector3* out) const
{
    if (v == nullptr || out == nullptr)
        return;
    out->x = float(double(y) * v->z - double(z) * v->y);
    out->y = float(double(z) * v->x - double(x) * v->z);
    out->z = float(double(x) * v->y - double(y) * v->x);
}

void CkvrVector3::Normalize(CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    *out = GetNormal();
}

CkvrVector3 CkvrVector3::GetNormal() const
{
    const float length = Length();
    const double k = length > 0.0f ? 1.0 / double(length) : 0.0;
    return CkvrVector3(float(x * k), float(y * k), float(z * k));
}

float CkvrVector3::GetAngleRadian(const CkvrVector3& v) const
{
    const float p = static_cast<float>(double(Length()) * double(v.Length()));
    if (p <= 0.0f)
        return 0.0f;
    double k = (double(x) * v.x + double(y) * v.y + double(z) * v.z) / p;
    // Rounding can push the quotient just past 1; acos would give NaN.
    if (k < -1.0)
        k = -1.0;
    if (k > 1.0)
        k = 1.0;
    return std::acos(static_cast<float>(k));
}

float CkvrVector3::GetAngle(const CkvrVector3& v) const
{
    return RadianToDegree(GetAngleRadian(v));
}

CkvrVector3 CkvrVector3::GetRandom(int32_t resolution) const
{
    // Draw order (z, y, x) is part of replays: keep it.
    const float rz = RandomComponent(z, resolution);
    const float ry = RandomComponent(y, resolution);
    const float rx = RandomComponent(x, resolution);
    return CkvrVector3(rx, ry, rz);
}

void CkvrVector3::GetPerpendicular(CkvrVector3* out1, CkvrVector3* out2) const
{
    if (out1 == nullptr)
        return;
    const double xy = double(x) * x + double(y) * y;
    // Vectors on the negative z axis (and the zero vector) have no x-y part
    // to build from: they take the other branch instead of dividing by zero.
    if (z > kPerpendicularThreshold || xy == 0.0)
    {
        const double a = double(y) * y + double(z) * z;
        if (a == 0.0)
        {
            out1->Set(0.0f, 1.0f, 0.0f);
            if (out2 != nullptr)
                out2->Set(1.0f, 0.0f, 0.0f);
            return;
        }
        const double k = 1.0 / std::sqrt(a);
        out1->Set(0.0f, float(-z * k), float(y * k));
        if (out2 != nullptr)
            out2->Set(float(a * k), float(-x * double(out1->z)), float(x * double(out1->y)));
        return;
    }
    const double k = 1.0 / std::sqrt(xy);
    out1->Set(float(-y * k), float(x * k), 0.0f);
    if (out2 != nullptr)
        out2->Set(float(-z * double(out1->y)), float(z * double(out1->x)), float(xy * k));
}

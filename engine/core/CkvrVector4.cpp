#include "engine/core/CkvrVector4.h"

#include "engine/core/MathConstants.h"

#include <cmath>

CkvrVector4 CkvrVector4::Cross(const CkvrVector4& b, const CkvrVector4& c) const
{
    const CkvrVector4& a = *this;
    // 2x2 minors of b and c, shared by the four components.
    const double zw = double(b.z) * c.w - double(c.z) * b.w;
    const double yw = double(b.y) * c.w - double(c.y) * b.w;
    const double yz = double(b.y) * c.z - double(c.y) * b.z;
    const double xw = double(b.x) * c.w - double(c.x) * b.w;
    const double xz = double(b.x) * c.z - double(c.x) * b.z;
    const double xy = double(b.x) * c.y - double(c.x) * b.y;
    CkvrVector4 out;
    out.x = float(a.y * zw - a.z * yw + a.w * yz);
    out.y = float(-(a.x * zw - a.z * xw + a.w * xz));
    out.z = float(a.x * yw - a.y * xw + a.w * xy);
    out.w = float(-(a.x * yz - a.y * xz + a.z * xy));
    return out;
}

CkvrVector4 CkvrVector4::Cross(const CkvrVector4* b, const CkvrVector4* c) const
{
    if (b == nullptr || c == nullptr)
        return CkvrVector4();
    return Cross(*b, *c);
}

void CkvrVector4::Cross(const CkvrVector4* b, const CkvrVector4* c, CkvrVector4* out) const
{
    if (b == nullptr || c == nullptr || out == nullptr)
        return;
    *out = Cross(*b, *c);
}

CkvrVector4& CkvrVector4::Cross(const CkvrVector4& b, const CkvrVector4& c, CkvrVector4& out) const
{
    out = Cross(b, c);
    return out;
}

void CkvrVector4::Normalize(CkvrVector4* out) const
{
    if (out == nullptr)
        return;
    *out = GetNormal();
}

CkvrVector4 CkvrVector4::GetNormal() const
{
    const double sum = double(x) * x + double(y) * y + double(z) * z + double(w) * w;
    const float length = std::sqrt(static_cast<float>(sum));
    const double k = length > 0.0f ? 1.0 / double(length) : 0.0;
    return CkvrVector4(float(x * k), float(y * k), float(z * k), float(w * k));
}

CkvrVector4 CkvrVector4::GetRandom(int32_t resolution) const
{
    // Draw order (w, z, y, x) is part of replays: keep it.
    const float rw = RandomComponent(w, resolution);
    const float rz = RandomComponent(z, resolution);
    const float ry = RandomComponent(y, resolution);
    const float rx = RandomComponent(x, resolution);
    return CkvrVector4(rx, ry, rz, rw);
}

#include "engine/core/CkvrVector4.h"

#include "engine/core/MathConstants.h"

#include <cmath>

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

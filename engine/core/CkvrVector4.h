#pragma once

#include <cstdint>

class CkvrMatrix;

// Four floats: a homogeneous point, a plane or a colour (r, g, b, a).
class CkvrVector4
{
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    CkvrVector4() = default;
    CkvrVector4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    // A null source leaves the four floats zero.
    explicit CkvrVector4(const float* v)
    {
        if (v == nullptr)
            return;
        x = v[0];
        y = v[1];
        z = v[2];
        w = v[3];
    }

    void Set(float ax, float ay, float az, float aw)
    {
        x = ax;
        y = ay;
        z = az;
        w = aw;
    }

    CkvrVector4(const CkvrVector4& other) = default;
    CkvrVector4& operator=(const CkvrVector4& v) = default;
    CkvrVector4& operator=(const CkvrVector4* v)
    {
        if (v != nullptr)
            *this = *v;
        return *this;
    }

    // The four-dimensional cross product: the vector orthogonal to this, b
    // and c. The pointer form does nothing when an operand is null.
    void Cross(const CkvrVector4* b, const CkvrVector4* c, CkvrVector4* out) const;
    CkvrVector4& Cross(const CkvrVector4& b, const CkvrVector4& c, CkvrVector4& out) const;
    CkvrVector4 Cross(const CkvrVector4* b, const CkvrVector4* c) const;
    inline CkvrVector4 Cross(const CkvrVector4& b, const CkvrVector4& c) const;

    // A zero vector normalises to zero. out may be this.
    void Normalize(CkvrVector4* out) const;
    CkvrVector4 GetNormal() const;

    // Components in [-c, c) in steps of 1/resolution; draws w, z, y, x.
    CkvrVector4 GetRandom(int32_t resolution) const;

    // (x, y, z, w) times the full matrix; defined in CkvrMatrix.h.
    inline void Transform(const CkvrMatrix& m);
    inline CkvrVector4 GetTransform(const CkvrMatrix& m) const;
};

static_assert(sizeof(CkvrVector4) == 16);

// Inline: the matrix determinant and inverse are built from it.
inline CkvrVector4 CkvrVector4::Cross(const CkvrVector4& b, const CkvrVector4& c) const
{
    const CkvrVector4& a = *this;
    // 2x2 minors of b and c, shared by the four components.
    const double zw = double(b.z) * c.w - double(c.z) * b.w;
    const double yw = double(b.y) * c.w - double(c.y) * b.w;
    const double yz = double(b.y) * c.z - double(c.y) * b.z;
    const double xw = double(b.x) * c.w - double(c.x) * b.w;
    const double xz = double(b.x) * c.z - double(c.x) * b.z;
    const double xy = double(b.x) * c.y - double(c.x) * b.y;
    return CkvrVector4(float(a.y * zw - a.z * yw + a.w * yz),
                       float(-(a.x * zw - a.z * xw + a.w * xz)),
                       float(a.x * yw - a.y * xw + a.w * xy),
                       float(-(a.x * yz - a.y * xz + a.z * xy)));
}

#include "engine/core/CkvrMatrix.h"

#pragma once

#include <cstdint>

class CkvrMatrix;

// Three floats: a point, a direction or a set of Euler angles in degrees.
// Arithmetic runs in double and is rounded to float when a component is
// stored, so results are the same bits on every machine.
class CkvrVector3
{
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    CkvrVector3() = default;
    CkvrVector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    void Set(float ax, float ay, float az)
    {
        x = ax;
        y = ay;
        z = az;
    }

    CkvrVector3(const CkvrVector3& other) = default;
    CkvrVector3& operator=(const CkvrVector3& v) = default;
    // A null source leaves the vector unchanged.
    CkvrVector3& operator=(const CkvrVector3* v)
    {
        if (v != nullptr)
            *this = *v;
        return *this;
    }

    float LengthSq() const { return static_cast<float>(SumSq()); }
    float Length() const;

    float Dot(const CkvrVector3& v) const
    {
        return static_cast<float>(double(x) * v.x + double(y) * v.y + double(z) * v.z);
    }
    float Dot(const CkvrVector3* v) const { return v != nullptr ? Dot(*v) : 0.0f; }

    CkvrVector3 operator+(const CkvrVector3& v) const
    {
        return CkvrVector3(float(double(x) + v.x), float(double(y) + v.y), float(double(z) + v.z));
    }
    CkvrVector3 operator-(const CkvrVector3& v) const
    {
        return CkvrVector3(float(double(x) - v.x), float(double(y) - v.y), float(double(z) - v.z));
    }
    CkvrVector3 operator*(float s) const
    {
        return CkvrVector3(float(double(x) * s), float(double(y) * s), float(double(z) * s));
    }
    CkvrVector3 Multiply(const CkvrVector3& v) const
    {
        return CkvrVector3(float(double(x) * v.x), float(double(y) * v.y), float(double(z) * v.z));
    }

    CkvrVector3 Cross(const CkvrVector3& v) const
    {
        return CkvrVector3(float(double(y) * v.z - double(z) * v.y),
                           float(double(z) * v.x - double(x) * v.z),
                           float(double(x) * v.y - double(y) * v.x));
    }
    CkvrVector3 Cross(const CkvrVector3* v) const { return v != nullptr ? Cross(*v) : CkvrVector3(); }
    // out must be neither this nor v.
    void CrossTo(const CkvrVector3* v, CkvrVector3* out) const;

    // A zero vector normalises to zero. out may be this.
    void Normalize(CkvrVector3* out) const;
    CkvrVector3 GetNormal() const;

    // Angle between the two vectors in degrees; 0 when either is zero.
    float GetAngle(const CkvrVector3& v) const;
    float GetAngle(const CkvrVector3* v) const { return v != nullptr ? GetAngle(*v) : 0.0f; }
    float GetAngleRadian(const CkvrVector3& v) const;
    float GetAngleRadian(const CkvrVector3* v) const { return v != nullptr ? GetAngleRadian(*v) : 0.0f; }

    // (x, y, z, 1) times the matrix; the w column is ignored. Defined in
    // CkvrMatrix.h so that the loops over many points inline them.
    inline void Transform(const CkvrMatrix& m);
    inline CkvrVector3 GetTransform(const CkvrMatrix& m) const;
    // (x, y, z, 1) times the matrix divided by its w column.
    inline void TransformCoord(const CkvrMatrix& m, CkvrVector3* out) const;
    inline CkvrVector3 GetTransformCoord(const CkvrMatrix& m) const;
    // (x, y, z) times the upper 3x3.
    inline void TransformNormal(const CkvrMatrix& m, CkvrVector3* out) const;
    inline CkvrVector3 GetTransformNormal(const CkvrMatrix& m) const;

    // Random vector whose components lie in [-c, c) in steps of 1/resolution,
    // c being this vector's components. Draws from the process-wide stream,
    // z first, then y, then x, skipping zero components.
    CkvrVector3 GetRandom(int32_t resolution) const;

    // Two unit vectors perpendicular to this and to each other. out2 is only
    // filled when out1 is given.
    void GetPerpendicular(CkvrVector3* out1, CkvrVector3* out2) const;

private:
    double SumSq() const { return double(x) * x + double(y) * y + double(z) * z; }
};

static_assert(sizeof(CkvrVector3) == 12);

#include "engine/core/CkvrMatrix.h"

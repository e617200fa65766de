#pragma once

#include "engine/core/CkvrVector3.h"

class CkvrMatrix;

// Rotation as (x, y, z, w), w the scalar part. The default value is all
// zeros, not the identity (0, 0, 0, 1).
class CkvrQuaternion
{
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    CkvrQuaternion() = default;
    CkvrQuaternion(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}

    CkvrQuaternion(const CkvrQuaternion& other) = default;
    CkvrQuaternion& operator=(const CkvrQuaternion& q) = default;
    CkvrQuaternion& operator=(const CkvrQuaternion* q)
    {
        if (q != nullptr)
            *this = *q;
        return *this;
    }

    float LengthSq() const;
    float Length() const;

    // A zero quaternion normalises to zero. out may be this.
    void Normalize(CkvrQuaternion* out) const;
    CkvrQuaternion GetNormal() const;

    // The conjugate for a unit quaternion, otherwise conjugate / |q|^2.
    void Inverse(CkvrQuaternion* out) const;
    CkvrQuaternion GetInverse() const;

    // Hamilton product, this on the left.
    CkvrQuaternion& operator*=(const CkvrQuaternion& q);
    // this * (v, 0).
    CkvrQuaternion operator*(const CkvrVector3& v) const;

    // Spherical interpolation from q1 (t = 0) to q2 (t = 1), along the short
    // arc; the result is not renormalised.
    void Slerp(const CkvrQuaternion* q1, const CkvrQuaternion* q2, float t);

    // Rotation by angle degrees about axis (used unnormalised).
    void SetRotationAxis(float angle, const CkvrVector3* axis);
    // Shortest rotation turning from into to.
    void SetRotationArc(const CkvrVector3* from, const CkvrVector3* to);
    CkvrQuaternion* SetRotationArcUnit(const CkvrVector3* from, const CkvrVector3* to);
    void SetRotationMatrix(const CkvrMatrix* m);

    // The row-vector matrix of the conjugate rotation (see CkvrMatrix).
    void GetMatrix(CkvrMatrix* out) const;
    CkvrMatrix GetMatrix() const;

    // Angle in degrees and axis; nothing unless both outputs are given.
    void GetAxisAngle(float* angle, CkvrVector3* axis) const;

    // v rotated by this (q v q*), or by the conjugate (q* v q).
    void RotateVector(const CkvrVector3& v, CkvrVector3* out) const;
    CkvrVector3 RotateVector(const CkvrVector3& v) const;
    void InverseRotateVector(const CkvrVector3& v, CkvrVector3* out) const;
    CkvrVector3 InverseRotateVector(const CkvrVector3& v) const;

private:
    void SetArc(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& from);
};

static_assert(sizeof(CkvrQuaternion) == 16);

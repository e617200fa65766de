#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include "engine/core/CoreMathKernels.h"

#include <cstring>

class CkvrQuaternion;

// 4x4 transform, sixteen floats row-major: m[4 * (row - 1) + (column - 1)].
// Points are row vectors multiplied on the left (p * M), so the translation
// is the fourth row and A * B applies A first, then B. The layout is what the
// graphics device takes as a transform, unchanged.
class CkvrMatrix
{
public:
    float m[16];

    CkvrMatrix() { Identity(); }
    CkvrMatrix(const CkvrMatrix& other) = default;
    CkvrMatrix& operator=(const CkvrMatrix& other) = default;
    CkvrMatrix& operator=(const CkvrMatrix* other)
    {
        if (other != nullptr)
            *this = *other;
        return *this;
    }

    void Set(float m11, float m12, float m13, float m14,
             float m21, float m22, float m23, float m24,
             float m31, float m32, float m33, float m34,
             float m41, float m42, float m43, float m44);
    // A copy of constant rows, which every optimisation level turns into a
    // few stores (a loop choosing 1 or 0 per element does not fold at -O2
    // and cost more than an inverse).
    void Identity()
    {
        static constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::memcpy(m, kIdentity, sizeof(m));
    }

    void SetTranslation(const CkvrVector3* v);
    void SetScaling(const CkvrVector3* v);

    // Single-axis rotations, degrees; each replaces the whole matrix.
    void SetRotationX(float degrees);
    void SetRotationY(float degrees);
    void SetRotationZ(float degrees);

    // Euler rotations, angles (x, y, z) in degrees. The name gives the order
    // in which the axes act on a point: ZXY turns about z, then x, then y.
    // A null vector leaves the matrix unchanged.
    void SetRotationZXY(const CkvrVector3* angles);
    void SetRotationZXY(float x, float y, float z);
    void SetRotationXYZ(const CkvrVector3* angles);
    void SetRotationXYZ(float x, float y, float z);
    void SetRotationYZX(const CkvrVector3* angles);
    void SetRotationYZX(float x, float y, float z);
    void SetRotationXZY(const CkvrVector3* angles);
    void SetRotationXZY(float x, float y, float z);
    void SetRotationYXZ(const CkvrVector3* angles);
    void SetRotationYXZ(float x, float y, float z);
    void SetRotationZYX(const CkvrVector3* angles);
    void SetRotationZYX(float x, float y, float z);
    // The order placed objects use: ZXY.
    void SetRotation(const CkvrVector3* angles) { SetRotationZXY(angles); }
    void SetRotation(float x, float y, float z) { SetRotationZXY(x, y, z); }

    // Rotation by angle degrees about the normalised axis.
    void SetRotationAxis(float degrees, const CkvrVector3* axis);
    // The same built through a quaternion: turns the opposite way.
    void SetRotationAxisQuaternion(float degrees, const CkvrVector3& axis);

    // out = this * other; out may be this or other.
    void Multiply(const CkvrMatrix& other, CkvrMatrix* out) const { *out = *this * other; }
    CkvrMatrix& operator*=(const CkvrMatrix& other)
    {
        *this = *this * other;
        return *this;
    }
    // this = a * b; a null operand makes this the identity.
    void Multiply(const CkvrMatrix* a, const CkvrMatrix* b);
    inline CkvrMatrix operator*(const CkvrMatrix& other) const;

    // Lengths of rows 1 to 3.
    CkvrVector3 GetScale() const;
    void GetScale(CkvrVector3* out) const;
    // Rows 1 to 3 normalised; fourth row and column cleared.
    CkvrMatrix GetRotation() const;
    void GetRotation(CkvrMatrix* out) const;
    // Upper 3x3 as it is; fourth row and column cleared.
    CkvrMatrix GetRotation3x3() const;
    void GetRotation3x3(CkvrMatrix* out) const;
    // Degrees; reproduces single-axis rotations.
    CkvrVector3 GetEulerAngles() const;
    void GetEulerAngles(CkvrVector3* out) const;
    CkvrQuaternion GetQuaternion() const;
    void GetQuaternion(CkvrQuaternion* out) const;

    inline float GetDeterminant() const;
    // A singular matrix (determinant exactly 0) leaves out unchanged, or
    // returns the identity from the by-value form.
    inline void GetInverse(CkvrMatrix* out) const;
    inline CkvrMatrix GetInverse() const;

    CkvrMatrix GetAbsolute() const;
    void GetAbsolute(CkvrMatrix* out) const;

    // Rows and columns from 0 to 3; other indices give 0 or store nothing.
    float GetElement(uint32_t row, uint32_t column) const;
    void SetElement(uint32_t row, uint32_t column, float value);
    CkvrVector4 GetRow(uint32_t i) const;
    void GetRow(uint32_t i, CkvrVector4* out) const;
    void GetRow(uint32_t i, CkvrVector3* out) const;
    CkvrVector4 GetColumn(uint32_t i) const;
    void GetColumn(uint32_t i, CkvrVector4* out) const;
    void GetColumn(uint32_t i, CkvrVector3* out) const;

    // Transform (x, y, z, 1) of count points, as CkvrVector3::Transform does
    // one; in and out may be the same array. For vertex and hit-model loops.
    inline void TransformArray(const CkvrVector3* in, CkvrVector3* out, uint32_t count) const;

    // The transposed 3x3 applied to v, plus the translation row.
    CkvrVector3 TransformTransposed(const CkvrVector3& v) const;
    // M * v (column vector).
    CkvrVector4 TransformColumn(const CkvrVector4& v) const;

private:
    // Products fill every element; they skip the identity fill.
    struct NoInit
    {
    };
    explicit CkvrMatrix(NoInit) {}
};

static_assert(sizeof(CkvrMatrix) == 64);

// Rotations applied in place to an existing matrix, angles in radians.
// Pre: matrix = R * matrix. Post: matrix = matrix * R. Null returns null.
CkvrMatrix* PreRotateX(float radians, CkvrMatrix* matrix);
CkvrMatrix* PreRotateY(float radians, CkvrMatrix* matrix);
CkvrMatrix* PreRotateZ(float radians, CkvrMatrix* matrix);
CkvrMatrix* PostRotateX(CkvrMatrix* matrix, float radians);
CkvrMatrix* PostRotateY(CkvrMatrix* matrix, float radians);
CkvrMatrix* PostRotateZ(CkvrMatrix* matrix, float radians);
// PreRotateY, then PreRotateX, then PreRotateZ.
CkvrMatrix* PreRotateYXZ(const CkvrVector3& radians, CkvrMatrix* matrix);
// PostRotateZ, then PostRotateX, then PostRotateY.
CkvrMatrix* PostRotateZXY(CkvrMatrix* matrix, const CkvrVector3& radians);

inline float CkvrMatrix::GetDeterminant() const
{
    const CkvrVector4 col1(m[0], m[4], m[8], m[12]);
    const CkvrVector4 col2(m[1], m[5], m[9], m[13]);
    const CkvrVector4 col3(m[2], m[6], m[10], m[14]);
    const CkvrVector4 v = col1.Cross(col2, col3);
    return float(-(double(m[3]) * v.x + double(m[7]) * v.y + double(m[11]) * v.z + double(m[15]) * v.w));
}

// Column i of the inverse is the cross product of the other three rows (in
// increasing order), signed +, -, +, - and divided by the determinant (out
// unchanged when it is zero); the columns are worked out side by side in
// CoreMathKernels.
inline void CkvrMatrix::GetInverse(CkvrMatrix* out) const
{
    if (out == nullptr)
        return;
    kvr_math::GetKernels().inverse(m, out->m);
}

inline CkvrMatrix CkvrMatrix::GetInverse() const
{
    CkvrMatrix out;
    GetInverse(&out);
    return out;
}

// Products are written out element by element in float, every result
// computed before any is stored, so operands may alias the result.
inline CkvrMatrix CkvrMatrix::operator*(const CkvrMatrix& other) const
{
    const float* a = m;
    const float* b = other.m;
    CkvrMatrix r{NoInit{}};
    for (int row = 0; row < 4; ++row)
    {
        const float a0 = a[row * 4 + 0], a1 = a[row * 4 + 1], a2 = a[row * 4 + 2], a3 = a[row * 4 + 3];
        for (int col = 0; col < 4; ++col)
            r.m[row * 4 + col] = a0 * b[col] + a1 * b[4 + col] + a2 * b[8 + col] + a3 * b[12 + col];
    }
    return r;
}

// Each output component is the same sum as GetTransform's, in the same
// order. Points are read whole before they are written, so in and out may be
// the same array.
inline void CkvrMatrix::TransformArray(const CkvrVector3* in, CkvrVector3* out, uint32_t count) const
{
    if (in == nullptr || out == nullptr)
        return;
    kvr_math::GetKernels().transform(m, &in->x, &out->x, count);
}

// Vector transforms, here so that loops over many points inline them.
inline void CkvrVector3::Transform(const CkvrMatrix& mat)
{
    *this = GetTransform(mat);
}

inline CkvrVector3 CkvrVector3::GetTransform(const CkvrMatrix& mat) const
{
    const float* m = mat.m;
    const double vx = x, vy = y, vz = z;
    return CkvrVector3(float(vx * m[0] + vy * m[4] + vz * m[8] + m[12]),
                       float(vx * m[1] + vy * m[5] + vz * m[9] + m[13]),
                       float(vx * m[2] + vy * m[6] + vz * m[10] + m[14]));
}

inline void CkvrVector3::TransformCoord(const CkvrMatrix& mat, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    *out = GetTransformCoord(mat);
}

inline CkvrVector3 CkvrVector3::GetTransformCoord(const CkvrMatrix& mat) const
{
    const float* m = mat.m;
    const double vx = x, vy = y, vz = z;
    const double k = 1.0 / (vx * m[3] + vy * m[7] + vz * m[11] + m[15]);
    return CkvrVector3(float((vx * m[0] + vy * m[4] + vz * m[8] + m[12]) * k),
                       float((vx * m[1] + vy * m[5] + vz * m[9] + m[13]) * k),
                       float((vx * m[2] + vy * m[6] + vz * m[10] + m[14]) * k));
}

inline void CkvrVector3::TransformNormal(const CkvrMatrix& mat, CkvrVector3* out) const
{
    if (out == nullptr)
        return;
    *out = GetTransformNormal(mat);
}

inline CkvrVector3 CkvrVector3::GetTransformNormal(const CkvrMatrix& mat) const
{
    const float* m = mat.m;
    const double vx = x, vy = y, vz = z;
    return CkvrVector3(float(vx * m[0] + vy * m[4] + vz * m[8]),
                       float(vx * m[1] + vy * m[5] + vz * m[9]),
                       float(vx * m[2] + vy * m[6] + vz * m[10]));
}

inline void CkvrVector4::Transform(const CkvrMatrix& mat)
{
    *this = GetTransform(mat);
}

inline CkvrVector4 CkvrVector4::GetTransform(const CkvrMatrix& mat) const
{
    const float* m = mat.m;
    const double vx = x, vy = y, vz = z, vw = w;
    return CkvrVector4(float(vx * m[0] + vy * m[4] + vz * m[8] + vw * m[12]),
                       float(vx * m[1] + vy * m[5] + vz * m[9] + vw * m[13]),
                       float(vx * m[2] + vy * m[6] + vz * m[10] + vw * m[14]),
                       float(vx * m[3] + vy * m[7] + vz * m[11] + vw * m[15]));
}

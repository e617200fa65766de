#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

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
    void Identity()
    {
        for (int i = 0; i < 16; ++i)
            m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
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

// Two doubles or two floats in one register. Each lane does exactly the
// arithmetic the scalar code does, in the same order, so the results are the
// same bits; the pairs only let the compiler issue two operations at once.
namespace kvr_math
{
typedef double Double2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));

inline Double2 Widen(Float2 v)
{
    return __builtin_convertvector(v, Double2);
}

inline Float2 Narrow(Double2 v)
{
    return __builtin_convertvector(v, Float2);
}

// The 2x2 minors of rows b and c that the four-dimensional cross product
// shares between its components, for two (b, c) pairs at once.
struct Minors2
{
    Double2 zw, yw, yz, xw, xz, xy;
};

inline Minors2 MakeMinors(const double* b0, const double* c0, const double* b1, const double* c1)
{
    const Double2 bx{b0[0], b1[0]}, by{b0[1], b1[1]}, bz{b0[2], b1[2]}, bw{b0[3], b1[3]};
    const Double2 cx{c0[0], c1[0]}, cy{c0[1], c1[1]}, cz{c0[2], c1[2]}, cw{c0[3], c1[3]};
    return Minors2{bz * cw - cz * bw, by * cw - cy * bw, by * cz - cy * bz,
                   bx * cw - cx * bw, bx * cz - cx * bz, bx * cy - cx * by};
}

// CkvrVector4::Cross(a, b, c) for two triples at once, each component
// rounded to float as the vector stores it, then back in double.
inline void Cross2(const double* a0, const double* a1, const Minors2& n, Double2 out[4])
{
    const Double2 ax{a0[0], a1[0]}, ay{a0[1], a1[1]}, az{a0[2], a1[2]}, aw{a0[3], a1[3]};
    out[0] = Widen(Narrow(ay * n.zw - az * n.yw + aw * n.yz));
    out[1] = Widen(Narrow(-(ax * n.zw - az * n.xw + aw * n.xz)));
    out[2] = Widen(Narrow(ax * n.yw - ay * n.xw + aw * n.xy));
    out[3] = Widen(Narrow(-(ax * n.yz - ay * n.xz + az * n.xy)));
}

}

inline float CkvrMatrix::GetDeterminant() const
{
    const CkvrVector4 col1(m[0], m[4], m[8], m[12]);
    const CkvrVector4 col2(m[1], m[5], m[9], m[13]);
    const CkvrVector4 col3(m[2], m[6], m[10], m[14]);
    const CkvrVector4 v = col1.Cross(col2, col3);
    return float(-(double(m[3]) * v.x + double(m[7]) * v.y + double(m[11]) * v.z + double(m[15]) * v.w));
}

// Column i of the inverse is the cross product of the other three rows (in
// increasing order), signed +, -, +, - and divided by the determinant.
// Columns 0 and 1 share the minors of rows 2 and 3; columns 2 and 3 pair
// rows (1, 3) with (1, 2). Adjacent columns fill adjacent elements.
inline void CkvrMatrix::GetInverse(CkvrMatrix* out) const
{
    using namespace kvr_math;
    if (out == nullptr)
        return;
    const float d = GetDeterminant();
    if (d == 0.0f)
        return;
    // The sixteen elements in double once, two at a time.
    double e[16];
    for (int i = 0; i < 16; i += 2)
    {
        const Double2 pair = Widen(Float2{m[i], m[i + 1]});
        e[i] = pair[0];
        e[i + 1] = pair[1];
    }
    const double* r0 = e;
    const double* r1 = e + 4;
    const double* r2 = e + 8;
    const double* r3 = e + 12;
    Double2 low[4], high[4];
    Cross2(r1, r0, MakeMinors(r2, r3, r2, r3), low);
    Cross2(r0, r0, MakeMinors(r1, r3, r1, r2), high);
    const Double2 sign{1.0, -1.0};
    const Double2 dd{double(d), double(d)};
    Double2 q[8];
    for (int row = 0; row < 4; ++row)
    {
        q[row * 2] = sign * low[row] / dd;
        q[row * 2 + 1] = sign * high[row] / dd;
    }
    float result[16];
    for (int row = 0; row < 4; ++row)
    {
        const Float2 a = Narrow(q[row * 2]);
        const Float2 b = Narrow(q[row * 2 + 1]);
        result[row * 4 + 0] = a[0];
        result[row * 4 + 1] = a[1];
        result[row * 4 + 2] = b[0];
        result[row * 4 + 3] = b[1];
    }
    for (int i = 0; i < 16; ++i)
        out->m[i] = result[i];
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

// One point per step: x and y of the result as a pair, z alone. Each point
// is read whole before it is written, so in and out may be the same array.
inline void CkvrMatrix::TransformArray(const CkvrVector3* in, CkvrVector3* out, uint32_t count) const
{
    using namespace kvr_math;
    if (in == nullptr || out == nullptr)
        return;
    const Double2 c0{m[0], m[1]}, c1{m[4], m[5]}, c2{m[8], m[9]}, c3{m[12], m[13]};
    const double z0 = m[2], z1 = m[6], z2 = m[10], z3 = m[14];
    for (uint32_t i = 0; i < count; ++i)
    {
        const double x = in[i].x, y = in[i].y, z = in[i].z;
        const Double2 xy = Double2{x, x} * c0 + Double2{y, y} * c1 + Double2{z, z} * c2 + c3;
        const float oz = float(x * z0 + y * z1 + z * z2 + z3);
        const Float2 oxy = Narrow(xy);
        out[i].x = oxy[0];
        out[i].y = oxy[1];
        out[i].z = oz;
    }
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

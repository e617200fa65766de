#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <emmintrin.h>

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
typedef long long Int64x2 __attribute__((vector_size(16)));
typedef float Float4 __attribute__((vector_size(16)));

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

// CkvrVector4::Cross(a, b, c) for two triples at once, before the rounding
// of each component to float.
inline void Cross2(const double* a0, const double* a1, const Minors2& n, Double2 out[4])
{
    const Double2 ax{a0[0], a1[0]}, ay{a0[1], a1[1]}, az{a0[2], a1[2]}, aw{a0[3], a1[3]};
    out[0] = ay * n.zw - az * n.yw + aw * n.yz;
    out[1] = -(ax * n.zw - az * n.xw + aw * n.xz);
    out[2] = ax * n.yw - ay * n.xw + aw * n.xy;
    out[3] = -(ax * n.yz - ay * n.xz + az * n.xy);
}

// Two floats from memory widened to doubles, and back.
inline __m128d Widen2(const float* p)
{
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

inline void Narrow2(__m128d v, float* p)
{
    _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(v));
}

// ((a + b) + c) + d, the order of the scalar sums.
inline __m128d Sum4(__m128d a, __m128d b, __m128d c, __m128d d)
{
    return _mm_add_pd(_mm_add_pd(_mm_add_pd(a, b), c), d);
}

inline Float4 Join(Float2 low, Float2 high)
{
    return Float4{low[0], low[1], high[0], high[1]};
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
    // The sixteen elements in double once.
    double e[16];
    for (int i = 0; i < 16; ++i)
        e[i] = m[i];
    const double* r0 = e;
    const double* r1 = e + 4;
    const double* r2 = e + 8;
    const double* r3 = e + 12;
    Double2 low[4], high[4];
    Cross2(r1, r0, MakeMinors(r2, r3, r2, r3), low);
    Cross2(r0, r0, MakeMinors(r1, r3, r1, r2), high);
    // Each element is float(double(c) / double(d)) with c and d floats. A
    // quotient of two floats rounded first to double and then to float is
    // the quotient rounded to float directly (53 >= 2 * 24 + 2), so the
    // division runs in float, four elements at a time, with the same bits.
    const Float4 sign{1.0f, -1.0f, 1.0f, -1.0f};
    const Float4 dd{d, d, d, d};
    for (int row = 0; row < 4; ++row)
    {
        const Float4 c = Join(Narrow(low[row]), Narrow(high[row]));
        const Float4 q = sign * c / dd;
        __builtin_memcpy(out->m + row * 4, &q, sizeof(q));
    }
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

// Two points per step, one point per lane: the six floats of the pair are
// loaded as three float pairs, widened, and sorted into x, y and z lanes;
// each output component is then the same sum as GetTransform's, in the same
// order. Both points are read whole before either is written, so in and out
// may be the same array. An odd last point takes the one-point form.
inline void CkvrMatrix::TransformArray(const CkvrVector3* in, CkvrVector3* out, uint32_t count) const
{
    using namespace kvr_math;
    if (in == nullptr || out == nullptr)
        return;
    const float* src = &in->x;
    float* dst = &out->x;
    __m128d k[12];
    for (int i = 0; i < 12; ++i)
        k[i] = _mm_set1_pd(m[(i / 3) * 4 + i % 3]);
    uint32_t i = 0;
    for (; i + 1 < count; i += 2, src += 6, dst += 6)
    {
        const __m128d d0 = Widen2(src);     // x0 y0
        const __m128d d1 = Widen2(src + 2); // z0 x1
        const __m128d d2 = Widen2(src + 4); // y1 z1
        const __m128d x = _mm_shuffle_pd(d0, d1, 2);
        const __m128d y = _mm_shuffle_pd(d0, d2, 1);
        const __m128d z = _mm_shuffle_pd(d1, d2, 2);
        const __m128d ox = Sum4(_mm_mul_pd(x, k[0]), _mm_mul_pd(y, k[3]), _mm_mul_pd(z, k[6]), k[9]);
        const __m128d oy = Sum4(_mm_mul_pd(x, k[1]), _mm_mul_pd(y, k[4]), _mm_mul_pd(z, k[7]), k[10]);
        const __m128d oz = Sum4(_mm_mul_pd(x, k[2]), _mm_mul_pd(y, k[5]), _mm_mul_pd(z, k[8]), k[11]);
        Narrow2(_mm_unpacklo_pd(ox, oy), dst);        // x0 y0
        Narrow2(_mm_shuffle_pd(oz, ox, 2), dst + 2);  // z0 x1
        Narrow2(_mm_unpackhi_pd(oy, oz), dst + 4);    // y1 z1
    }
    if (i < count)
        out[i] = in[i].GetTransform(*this);
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

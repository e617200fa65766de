#include "engine/core/CoreMathKernels.h"

#include "engine/core/CkvrVector4.h"
#include "engine/core/Collision.h"

#include <immintrin.h>

// Two builds of each kernel: one for any x86-64 (SSE2 pairs of doubles) and
// one for AVX2 (four doubles a register, three-operand instructions). Every
// lane of either does exactly the double arithmetic of the scalar code, in
// the same order, and neither uses fused multiply-add (it would round once
// where the scalar code rounds twice), so both give the same bits.
namespace kvr_math
{
namespace
{
// ---- Portable build --------------------------------------------------------

typedef double Double2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));
typedef float Float4 __attribute__((vector_size(16)));

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

inline void TransformOne(const float* m, const float* in, float* out)
{
    const double vx = in[0], vy = in[1], vz = in[2];
    const float x = float(vx * m[0] + vy * m[4] + vz * m[8] + m[12]);
    const float y = float(vx * m[1] + vy * m[5] + vz * m[9] + m[13]);
    const float z = float(vx * m[2] + vy * m[6] + vz * m[10] + m[14]);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// CkvrMatrix::GetDeterminant: the first three columns crossed, dotted with
// the fourth.
float DeterminantOf(const float* m)
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
void InversePortable(const float* m, float* out)
{
    const float d = DeterminantOf(m);
    if (d == 0.0f)
        return;
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
        __builtin_memcpy(out + row * 4, &q, sizeof(q));
    }
}

// Two points per step, one point per lane: the six floats of the pair are
// loaded as three float pairs, widened, and sorted into x, y and z lanes.
// Both points are read whole before either is written.
void TransformPortable(const float* m, const float* src, float* dst, uint32_t count)
{
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
        Narrow2(_mm_unpacklo_pd(ox, oy), dst);       // x0 y0
        Narrow2(_mm_shuffle_pd(oz, ox, 2), dst + 2); // z0 x1
        Narrow2(_mm_unpackhi_pd(oy, oz), dst + 4);   // y1 z1
    }
    if (i < count)
        TransformOne(m, src, dst);
}

uint32_t SphereSpheresPortable(const float* a, const float* spheres, uint32_t count, uint8_t* hits)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t hit = HitSphereSphere(a, spheres + i * 4);
        if (hits != nullptr)
            hits[i] = uint8_t(hit);
        n += hit;
    }
    return n;
}

uint32_t SegmentSpheresPortable(const float* start, const float* end, const float* spheres, uint32_t count,
                                uint8_t* hits)
{
    const CkvrVector3 s(start[0], start[1], start[2]), e(end[0], end[1], end[2]);
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t hit = HitSegmentSphere(&s, &e, spheres + i * 4);
        if (hits != nullptr)
            hits[i] = uint8_t(hit);
        n += hit;
    }
    return n;
}

const CoreMathKernels kPortable{InversePortable, TransformPortable, SphereSpheresPortable, SegmentSpheresPortable};

// ---- AVX2 build ------------------------------------------------------------

#define KVR_AVX2 __attribute__((target("avx2")))

// Four floats from four broadcasts: lanes of lo, except those set in mask
// (bit i for lane i), which come from hi; then widened.
template <int Mask>
KVR_AVX2 inline __m256d Pick(__m128 lo, __m128 hi)
{
    return _mm256_cvtps_pd(_mm_blend_ps(lo, hi, Mask));
}

// Lane i carries column i: the rows crossed are a = (1, 0, 0, 0),
// b = (2, 2, 1, 1), c = (3, 3, 3, 2), element k of each row gathered from
// broadcasts of m[k], m[4 + k], m[8 + k] and m[12 + k]. The same gathered
// lanes, read as components of the first three columns, give the cross
// product of those columns that the determinant is built from.
KVR_AVX2 void InverseAvx2(const float* m, float* out)
{
    __m256d a[4], b[4], c[4];
    for (int k = 0; k < 4; ++k)
    {
        const __m128 e0 = _mm_broadcast_ss(m + k), e1 = _mm_broadcast_ss(m + 4 + k);
        const __m128 e2 = _mm_broadcast_ss(m + 8 + k), e3 = _mm_broadcast_ss(m + 12 + k);
        a[k] = Pick<0x1>(e0, e1);
        b[k] = Pick<0xC>(e2, e1);
        c[k] = Pick<0x8>(e3, e2);
    }
    const __m128 sign = _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f);
    // Determinant: v = Cross(column 0, column 1, column 2) in float, then
    // -(((m3 * v.x + m7 * v.y) + m11 * v.z) + m15 * v.w). The signs of v's
    // components go onto the fourth column instead (flipping a sign is
    // exact either way), and the four products are summed in that order in
    // registers, without a trip through memory.
    const __m256d m1 = b[1] * c[2] - b[2] * c[1], m2 = a[1] * c[2] - a[2] * c[1], m3 = a[1] * b[2] - a[2] * b[1];
    const __m128 v = _mm256_cvtpd_ps(a[0] * m1 - b[0] * m2 + c[0] * m3);
    const __m256d w = _mm256_cvtps_pd(sign * _mm_setr_ps(m[3], m[7], m[11], m[15]));
    const __m256d p = _mm256_cvtps_pd(v) * w;
    const __m128d low = _mm256_castpd256_pd128(p), high = _mm256_extractf128_pd(p, 1);
    __m128d sum = _mm_add_sd(low, _mm_unpackhi_pd(low, low));
    sum = _mm_add_sd(sum, high);
    sum = _mm_add_sd(sum, _mm_unpackhi_pd(high, high));
    const float d = float(-_mm_cvtsd_f64(sum));
    if (d == 0.0f)
        return;
    const __m256d zw = b[2] * c[3] - c[2] * b[3], yw = b[1] * c[3] - c[1] * b[3], yz = b[1] * c[2] - c[1] * b[2];
    const __m256d xw = b[0] * c[3] - c[0] * b[3], xz = b[0] * c[2] - c[0] * b[2], xy = b[0] * c[1] - c[0] * b[1];
    __m256d cross[4];
    cross[0] = a[1] * zw - a[2] * yw + a[3] * yz;
    cross[1] = -(a[0] * zw - a[2] * xw + a[3] * xz);
    cross[2] = a[0] * yw - a[1] * xw + a[3] * xy;
    cross[3] = -(a[0] * yz - a[1] * xz + a[2] * xy);
    const __m128 dd = _mm_set1_ps(d);
    for (int row = 0; row < 4; ++row)
        _mm_storeu_ps(out + row * 4, sign * _mm256_cvtpd_ps(cross[row]) / dd);
}

// Four points a step, one point a lane: the twelve floats are sorted into
// x, y and z lanes, widened, and each output lane is the scalar sum
// ((x * m[j] + y * m[4 + j]) + z * m[8 + j]) + m[12 + j]. A step reads its
// four points before it writes any.
KVR_AVX2 void TransformAvx2(const float* m, const float* in, float* out, uint32_t count)
{
    __m256d k[12];
    for (int i = 0; i < 12; ++i)
        k[i] = _mm256_set1_pd(m[(i / 3) * 4 + i % 3]);
    uint32_t i = 0;
    for (; i + 3 < count; i += 4, in += 12, out += 12)
    {
        const __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + 4), c = _mm_loadu_ps(in + 8); // xyzx yzxy zxyz
        const __m128 t = _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 1, 3, 2));                          // x2 y2 x3 y3
        const __m128 u = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 2, 1));                          // y0 z0 y1 z1
        const __m256d x = _mm256_cvtps_pd(_mm_shuffle_ps(a, t, _MM_SHUFFLE(2, 0, 3, 0)));
        const __m256d y = _mm256_cvtps_pd(_mm_shuffle_ps(u, t, _MM_SHUFFLE(3, 1, 2, 0)));
        const __m256d z = _mm256_cvtps_pd(_mm_shuffle_ps(u, c, _MM_SHUFFLE(3, 0, 3, 1)));
        const __m128 fx = _mm256_cvtpd_ps(x * k[0] + y * k[3] + z * k[6] + k[9]);
        const __m128 fy = _mm256_cvtpd_ps(x * k[1] + y * k[4] + z * k[7] + k[10]);
        const __m128 fz = _mm256_cvtpd_ps(x * k[2] + y * k[5] + z * k[8] + k[11]);
        const __m128 lo = _mm_unpacklo_ps(fx, fy); // x0 y0 x1 y1
        const __m128 hi = _mm_unpackhi_ps(fx, fy); // x2 y2 x3 y3
        const __m128 zx = _mm_shuffle_ps(fz, lo, _MM_SHUFFLE(2, 2, 0, 0)); // z0 z0 x1 x1
        const __m128 yz = _mm_shuffle_ps(lo, fz, _MM_SHUFFLE(1, 1, 3, 3)); // y1 y1 z1 z1
        const __m128 zx3 = _mm_shuffle_ps(fz, hi, _MM_SHUFFLE(2, 2, 2, 2)); // z2 z2 x3 x3
        const __m128 yz3 = _mm_shuffle_ps(hi, fz, _MM_SHUFFLE(3, 3, 3, 3)); // y3 y3 z3 z3
        _mm_storeu_ps(out, _mm_shuffle_ps(lo, zx, _MM_SHUFFLE(2, 0, 1, 0)));
        _mm_storeu_ps(out + 4, _mm_shuffle_ps(yz, hi, _MM_SHUFFLE(1, 0, 2, 0)));
        _mm_storeu_ps(out + 8, _mm_shuffle_ps(zx3, yz3, _MM_SHUFFLE(2, 0, 2, 0)));
    }
    for (; i < count; ++i, in += 3, out += 3)
        TransformOne(m, in, out);
}

// Four spheres (x, y, z, r each) into x, y, z and r lanes, widened.
KVR_AVX2 inline void Transpose4(const float* p, __m256d& x, __m256d& y, __m256d& z, __m256d& r)
{
    __m128 p0 = _mm_loadu_ps(p), p1 = _mm_loadu_ps(p + 4), p2 = _mm_loadu_ps(p + 8), p3 = _mm_loadu_ps(p + 12);
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
    x = _mm256_cvtps_pd(p0);
    y = _mm256_cvtps_pd(p1);
    z = _mm256_cvtps_pd(p2);
    r = _mm256_cvtps_pd(p3);
}

// Lane i of a comparison mask as hits[i] = 1 or 0.
KVR_AVX2 inline void StoreHits(__m128 mask, uint8_t* hits)
{
    const int bits = _mm_movemask_ps(mask);
    for (int l = 0; l < 4; ++l)
        hits[l] = uint8_t((bits >> l) & 1);
}

// The spheres' four lanes of found summed.
KVR_AVX2 inline uint32_t SumLanes(__m128i found)
{
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), found);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

// Sphere a against spheres x, y, z, r (four lanes each): float(squared
// distance) <= float(squared radius sum) per lane.
KVR_AVX2 inline __m128 SphereHits(const __m256d* a, __m256d x, __m256d y, __m256d z, __m256d r)
{
    const __m256d dx = x - a[0], dy = y - a[1], dz = z - a[2];
    const __m256d rr = a[3] + r;
    return _mm_cmple_ps(_mm256_cvtpd_ps(dx * dx + dy * dy + dz * dz), _mm256_cvtpd_ps(rr * rr));
}

// Eight spheres a step: spheres i and i + 4 share a register, so one
// in-lane transpose sorts eight spheres into x, y, z and r.
KVR_AVX2 uint32_t SphereSpheresAvx2(const float* a, const float* spheres, uint32_t count, uint8_t* hits)
{
    const __m256d centre[4] = {_mm256_set1_pd(a[0]), _mm256_set1_pd(a[1]), _mm256_set1_pd(a[2]),
                               _mm256_set1_pd(a[3])};
    __m128i found = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 7 < count; i += 8)
    {
        const float* p = spheres + i * 4;
        __m256 q0 = _mm256_loadu2_m128(p + 16, p), q1 = _mm256_loadu2_m128(p + 20, p + 4);
        __m256 q2 = _mm256_loadu2_m128(p + 24, p + 8), q3 = _mm256_loadu2_m128(p + 28, p + 12);
        const __m256 t0 = _mm256_unpacklo_ps(q0, q1), t1 = _mm256_unpacklo_ps(q2, q3);
        const __m256 t2 = _mm256_unpackhi_ps(q0, q1), t3 = _mm256_unpackhi_ps(q2, q3);
        const __m256 x = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 y = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 z = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 r = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
        const __m128 low = SphereHits(centre, _mm256_cvtps_pd(_mm256_castps256_ps128(x)),
                                      _mm256_cvtps_pd(_mm256_castps256_ps128(y)),
                                      _mm256_cvtps_pd(_mm256_castps256_ps128(z)),
                                      _mm256_cvtps_pd(_mm256_castps256_ps128(r)));
        const __m128 high = SphereHits(centre, _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)),
                                       _mm256_cvtps_pd(_mm256_extractf128_ps(y, 1)),
                                       _mm256_cvtps_pd(_mm256_extractf128_ps(z, 1)),
                                       _mm256_cvtps_pd(_mm256_extractf128_ps(r, 1)));
        found = _mm_sub_epi32(_mm_sub_epi32(found, _mm_castps_si128(low)), _mm_castps_si128(high));
        if (hits != nullptr)
        {
            StoreHits(low, hits + i);
            StoreHits(high, hits + i + 4);
        }
    }
    for (; i + 3 < count; i += 4)
    {
        __m256d x, y, z, r;
        Transpose4(spheres + i * 4, x, y, z, r);
        const __m128 hit = SphereHits(centre, x, y, z, r);
        found = _mm_sub_epi32(found, _mm_castps_si128(hit));
        if (hits != nullptr)
            StoreHits(hit, hits + i);
    }
    const uint32_t n = SumLanes(found);
    if (i == count)
        return n;
    return n + SphereSpheresPortable(a, spheres + i * 4, count - i, hits != nullptr ? hits + i : nullptr);
}

// The three cases of HitSegmentSphere are worked out in every lane and the
// squared distance the scalar test would take is kept, then rounded and
// compared once.
KVR_AVX2 uint32_t SegmentSpheresAvx2(const float* start, const float* end, const float* spheres, uint32_t count,
                                     uint8_t* hits)
{
    const double dx = double(end[0]) - start[0], dy = double(end[1]) - start[1], dz = double(end[2]) - start[2];
    const double dd = dx * dx + dy * dy + dz * dz;
    const __m256d vdx = _mm256_set1_pd(dx), vdy = _mm256_set1_pd(dy), vdz = _mm256_set1_pd(dz);
    const __m256d vdd = _mm256_set1_pd(dd);
    const __m256d sx = _mm256_set1_pd(start[0]), sy = _mm256_set1_pd(start[1]), sz = _mm256_set1_pd(start[2]);
    const __m256d ex = _mm256_set1_pd(end[0]), ey = _mm256_set1_pd(end[1]), ez = _mm256_set1_pd(end[2]);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d zeroLength = _mm256_cmp_pd(vdd, zero, _CMP_EQ_OQ);
    __m128i found = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 3 < count; i += 4)
    {
        __m256d x, y, z, r;
        Transpose4(spheres + i * 4, x, y, z, r);
        const __m256d wx = x - sx, wy = y - sy, wz = z - sz;
        const __m256d k = vdx * wx + vdy * wy + vdz * wz;
        const __m256d ww = wx * wx + wy * wy + wz * wz;
        const __m256d fx = x - ex, fy = y - ey, fz = z - ez;
        const __m256d nearEnd = fx * fx + fy * fy + fz * fz;
        const __m256d nearLine = ww - k * k / vdd;
        const __m256d beforeStart = _mm256_or_pd(_mm256_cmp_pd(k, zero, _CMP_LT_OQ), zeroLength);
        const __m256d pastEnd = _mm256_cmp_pd(k, vdd, _CMP_GT_OQ);
        const __m256d dist = _mm256_blendv_pd(_mm256_blendv_pd(nearLine, nearEnd, pastEnd), ww, beforeStart);
        const __m128 hit = _mm_cmplt_ps(_mm256_cvtpd_ps(dist), _mm256_cvtpd_ps(r * r));
        found = _mm_sub_epi32(found, _mm_castps_si128(hit));
        if (hits != nullptr)
            StoreHits(hit, hits + i);
    }
    const uint32_t n = SumLanes(found);
    if (i == count)
        return n;
    return n + SegmentSpheresPortable(start, end, spheres + i * 4, count - i, hits != nullptr ? hits + i : nullptr);
}

const CoreMathKernels kAvx2{InverseAvx2, TransformAvx2, SphereSpheresAvx2, SegmentSpheresAvx2};

bool CpuHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
}

// Portable until start-up code has seen the CPU; both builds give the same
// bits, so code that runs before the switch is unaffected by it.
const CoreMathKernels* gCoreMathKernels = &kPortable;

namespace
{
const bool kKernelsChosen = [] {
    if (CpuHasAvx2())
        gCoreMathKernels = &kAvx2;
    return true;
}();
}

const CoreMathKernels& GetPortableKernels()
{
    return kPortable;
}

const CoreMathKernels* GetAvx2Kernels()
{
    static const bool has = CpuHasAvx2();
    return has ? &kAvx2 : nullptr;
}
}

#pragma once

#include <cstdint>

// The loops that dominate the core math, compiled twice: once for any
// x86-64 and once for AVX2 (wider registers, three-operand instructions, no
// fused multiply-add), picked once at run time from what the CPU supports.
// Both builds perform the same double operations in the same order on each
// element, so their results are bit for bit the same.
namespace kvr_math
{
struct CoreMathKernels
{
    // CkvrMatrix::GetInverse on sixteen floats: out is left alone when the
    // determinant is zero.
    void (*inverse)(const float* m, float* out);
    // CkvrMatrix::TransformArray on packed x, y, z triples; in may be out.
    void (*transform)(const float* m, const float* in, float* out, uint32_t count);
    // HitSphereSphere(a, spheres + 4 * i) for every i; returns the number
    // of hits, and each answer in hits[i] when hits is not null.
    uint32_t (*sphereSpheres)(const float* a, const float* spheres, uint32_t count, uint8_t* hits);
    // HitSegmentSphere(start, end, spheres + 4 * i) for every i; start and
    // end are x, y, z triples.
    uint32_t (*segmentSpheres)(const float* start, const float* end, const float* spheres, uint32_t count,
                               uint8_t* hits);
};

// The build that runs on any x86-64.
const CoreMathKernels& GetPortableKernels();
// The AVX2 build, or null when this CPU lacks AVX2.
const CoreMathKernels* GetAvx2Kernels();
// The fastest build this CPU runs, chosen at start-up.
extern const CoreMathKernels* gCoreMathKernels;
inline const CoreMathKernels& GetKernels()
{
    return *gCoreMathKernels;
}
}

#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CoreMathKernels.h"

#include <cmath>
#include <cstdint>

// Shape-against-shape tests. Shapes are runs of floats passed by pointer:
//   2D point      x, y
//   rectangle     left, top, right, bottom (top <= bottom)
//   circle        x, y, radius
//   sphere        x, y, z, radius
//   centred box   centre x, y, z, full edge lengths x, y, z
//   bounds        minimum x, y, z, maximum x, y, z
// Every test returns 1 (hit) or 0, and 0 for a null shape. Comparisons are
// made in double from the float inputs, squared distances rounded to float
// first; edges and touching shapes count as hits unless a test says
// otherwise.

// Oriented box for HitOrientedBoxes; the test fills in the axes from the
// rotation.
struct KVRORIENTEDBOX
{
    CkvrVector3 centre;
    CkvrVector3 rotation; // degrees, applied in the ZXY order of placed objects
    CkvrVector3 axis[3];  // images of the x, y and z axes, written by the test
    CkvrVector3 half;     // half extents along the box's own axes
};

uint32_t HitPointRect(const float* rect, const float* point);
uint32_t HitRectRect(const float* a, const float* b);
uint32_t HitPointCircle(const float* circle, const float* point);
uint32_t HitCircleCircle(const float* a, const float* b);

inline uint32_t HitPointSphere(const float* sphere, const float* point);
inline uint32_t HitSphereSphere(const float* a, const float* b);
// Spheres a and b moving by va and vb during one step. Already overlapping
// (or touching) is a hit at once. Otherwise the first contact time within
// the step is found; with move set both centres are moved to it. contact
// (optional) gets the middle of the overlap on the line of centres.
uint32_t HitMovingSpheres(float* a, float* b, const CkvrVector3* va, const CkvrVector3* vb, CkvrVector3* contact,
                          uint32_t move);

uint32_t HitPointBox(const float* box, const float* point);
uint32_t HitBoxBoxCentred(const float* a, const float* b);
uint32_t HitPointBounds(const float* bounds, const float* point);
inline uint32_t HitBoxBox(const float* a, const float* b);
// Separating-axis test of two rotated boxes; writes each box's axes.
uint32_t HitOrientedBoxes(KVRORIENTEDBOX* a, KVRORIENTEDBOX* b);

// 1 when the segment passes strictly inside the sphere (touching is 0).
inline uint32_t HitSegmentSphere(const CkvrVector3* start, const CkvrVector3* end, const float* sphere);

// One shape against a run of count spheres (four floats each): the answers
// of HitSphereSphere(a, sphere) and HitSegmentSphere(start, end, sphere) for
// every sphere, in hits (optional, one byte per sphere); returns the number
// of hits. Long runs take the CPU's widest registers.
inline uint32_t HitSphereSpheres(const float* a, const float* spheres, uint32_t count, uint8_t* hits);
inline uint32_t HitSegmentSpheres(const CkvrVector3* start, const CkvrVector3* end, const float* spheres,
                                  uint32_t count, uint8_t* hits);

// Side modes of the plane and triangle tests, with n the normal and the
// segment running from start to end: 0 only from the side n points to, 1
// from either side, 2 only from behind.
enum : uint32_t
{
    HIT_SIDE_FRONT = 0,
    HIT_SIDE_BOTH = 1,
    HIT_SIDE_BACK = 2,
};

uint32_t HitSegmentPlane(const CkvrVector3* start, const CkvrVector3* end, const CkvrVector3* planePoint,
                         const CkvrVector3* normal, uint32_t side, CkvrVector3* hit);

// Triangle tests. The triangle's normal is (p1 - p0) x (p2 - p1), unit
// length; a point on an edge is inside. point and normal (optional) receive
// the hit; best (optional, in/out) keeps only hits strictly nearer to the
// start than its squared distance, and is lowered to each accepted hit.
uint32_t HitSegmentTriangle(const CkvrVector3* start, const CkvrVector3* end, const CkvrVector3* p0,
                            const CkvrVector3* p1, const CkvrVector3* p2, uint32_t side, CkvrVector3* point,
                            CkvrVector3* normal, float* best);
// The sphere's diameter along the triangle's normal against the triangle.
uint32_t HitSphereTriangle(const CkvrVector3* centre, float radius, const CkvrVector3* p0, const CkvrVector3* p1,
                           const CkvrVector3* p2, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                           float* best);
// The segment centre +- normal * halfSize (component-wise) against the
// triangle.
uint32_t HitBoxTriangle(const CkvrVector3* centre, const CkvrVector3* halfSize, const CkvrVector3* p0,
                        const CkvrVector3* p1, const CkvrVector3* p2, uint32_t side, CkvrVector3* point,
                        CkvrVector3* normal, float* best);

// Bounds helpers on three-float arrays (inline: hit models bound every
// triangle they test).
// How far a box that spares the exact tests is widened on each side of an
// axis spanning low to high: far above the rounding of the boxes and of
// the exact tests, 1/64 of a unit and more far from the origin, where
// floats are coarser.
inline float RoundingMargin(float low, float high);
inline void GetPointBounds(float* minimum, float* maximum, const float* a, const float* b);
inline void GetTriangleBounds(float* minimum, float* maximum, const float* a, const float* b, const float* c);
float* Vec3AddScalar(const float* v, float s, float* out);
float* Vec3SubScalar(const float* v, float s, float* out);
float* Vec3Add(const float* v, const float* w, float* out);
float* Vec3Sub(const float* v, const float* w, float* out);

// The tests that run for every pair of objects each frame are inline.

inline float RoundingMargin(float low, float high)
{
    constexpr float kMargin = 1.0f / 64.0f;
    constexpr float kRelativeMargin = 1.0f / (1 << 20);
    const float size = std::fabs(low) > std::fabs(high) ? std::fabs(low) : std::fabs(high);
    return kMargin + size * kRelativeMargin;
}

inline void GetPointBounds(float* minimum, float* maximum, const float* a, const float* b)
{
    for (int i = 0; i < 3; ++i)
    {
        minimum[i] = a[i] < b[i] ? a[i] : b[i];
        maximum[i] = a[i] > b[i] ? a[i] : b[i];
    }
}

inline void GetTriangleBounds(float* minimum, float* maximum, const float* a, const float* b, const float* c)
{
    GetPointBounds(minimum, maximum, a, b);
    for (int i = 0; i < 3; ++i)
    {
        if (c[i] < minimum[i])
            minimum[i] = c[i];
        if (c[i] > maximum[i])
            maximum[i] = c[i];
    }
}

inline uint32_t HitPointSphere(const float* sphere, const float* point)
{
    if (sphere == nullptr || point == nullptr)
        return 0;
    const double dx = double(point[0]) - sphere[0], dy = double(point[1]) - sphere[1],
                 dz = double(point[2]) - sphere[2];
    return float(dx * dx + dy * dy + dz * dz) <= float(double(sphere[3]) * sphere[3]) ? 1 : 0;
}

inline uint32_t HitSphereSphere(const float* a, const float* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    const double dx = double(b[0]) - a[0], dy = double(b[1]) - a[1], dz = double(b[2]) - a[2];
    const double r = double(a[3]) + b[3];
    return float(dx * dx + dy * dy + dz * dz) <= float(r * r) ? 1 : 0;
}

inline uint32_t HitBoxBox(const float* a, const float* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    return (b[0] <= a[3] && b[3] >= a[0] && b[1] <= a[4] && b[4] >= a[1] && b[2] <= a[5] && b[5] >= a[2]) ? 1 : 0;
}

inline uint32_t HitSegmentSphere(const CkvrVector3* start, const CkvrVector3* end, const float* sphere)
{
    if (start == nullptr || end == nullptr || sphere == nullptr)
        return 0;
    const double dx = double(end->x) - start->x, dy = double(end->y) - start->y, dz = double(end->z) - start->z;
    const double wx = double(sphere[0]) - start->x, wy = double(sphere[1]) - start->y,
                 wz = double(sphere[2]) - start->z;
    const double k = dx * wx + dy * wy + dz * wz;
    const double dd = dx * dx + dy * dy + dz * dz;
    const double ww = wx * wx + wy * wy + wz * wz;
    const float rr = float(double(sphere[3]) * sphere[3]);
    // A segment of zero length is its start point. Touching is no hit.
    if (k < 0.0 || dd == 0.0)
        return float(ww) < rr ? 1 : 0;
    if (k > dd)
    {
        const double ex = double(sphere[0]) - end->x, ey = double(sphere[1]) - end->y,
                     ez = double(sphere[2]) - end->z;
        return float(ex * ex + ey * ey + ez * ez) < rr ? 1 : 0;
    }
    return float(ww - k * k / dd) < rr ? 1 : 0;
}

inline uint32_t HitSphereSpheres(const float* a, const float* spheres, uint32_t count, uint8_t* hits)
{
    if (a == nullptr || spheres == nullptr)
    {
        for (uint32_t i = 0; hits != nullptr && i < count; ++i)
            hits[i] = 0;
        return 0;
    }
    return kvr_math::GetKernels().sphereSpheres(a, spheres, count, hits);
}

inline uint32_t HitSegmentSpheres(const CkvrVector3* start, const CkvrVector3* end, const float* spheres,
                                  uint32_t count, uint8_t* hits)
{
    if (start == nullptr || end == nullptr || spheres == nullptr)
    {
        for (uint32_t i = 0; hits != nullptr && i < count; ++i)
            hits[i] = 0;
        return 0;
    }
    return kvr_math::GetKernels().segmentSpheres(&start->x, &end->x, spheres, count, hits);
}

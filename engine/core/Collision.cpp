#include "engine/core/Collision.h"

#include "engine/core/CkvrMatrix.h"

#include <cmath>

namespace
{
struct Vec
{
    double x, y, z;
};

Vec V(const CkvrVector3& v)
{
    return Vec{v.x, v.y, v.z};
}

Vec V(const float* v)
{
    return Vec{v[0], v[1], v[2]};
}

Vec Sub(const Vec& a, const Vec& b)
{
    return Vec{a.x - b.x, a.y - b.y, a.z - b.z};
}

double Dot(const Vec& a, const Vec& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec Cross(const Vec& a, const Vec& b)
{
    return Vec{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Squared lengths are compared as floats.
float LengthSq(const Vec& v)
{
    return float(Dot(v, v));
}

float Square(float r)
{
    return float(double(r) * r);
}

bool PassesSide(double k, uint32_t side)
{
    switch (side)
    {
    case HIT_SIDE_FRONT:
        return k > 0.0;
    case HIT_SIDE_BOTH:
        return k != 0.0;
    case HIT_SIDE_BACK:
        return k < 0.0;
    default:
        return false;
    }
}

// The middle of the overlap of two spheres on their line of centres.
// Concentric spheres have no such line: the contact is their centre.
CkvrVector3 OverlapMiddle(const Vec& ca, const Vec& cb, double ra, double rb)
{
    const Vec d = Sub(cb, ca);
    const double length = std::sqrt(Dot(d, d));
    if (length == 0.0)
        return CkvrVector3(float(ca.x), float(ca.y), float(ca.z));
    // The overlap runs from b's surface (length - rb) to a's (ra) along
    // the line; its middle is ra + (length - (ra + rb)) / 2 from a's centre.
    const double k = (ra + (length - (ra + rb)) / 2.0) / length;
    return CkvrVector3(float(ca.x + d.x * k), float(ca.y + d.y * k), float(ca.z + d.z * k));
}

// The shared core of the three triangle tests: segment a -> b against the
// triangle, distances measured from a.
uint32_t SegmentTriangle(const CkvrVector3& a, const CkvrVector3& b, const Vec& n, const Vec (&p)[3],
                         uint32_t side, CkvrVector3* point, CkvrVector3* normal, float* best)
{
    const Vec start = V(a);
    const Vec end = V(b);
    const Vec e = Sub(start, end);
    const double k = Dot(n, e);
    if (!PassesSide(k, side))
        return 0;
    const double t = -Dot(n, Sub(end, p[0])) / k;
    if (!(t >= 0.0 && t <= 1.0))
        return 0;
    const Vec hit{end.x + t * e.x, end.y + t * e.y, end.z + t * e.z};
    for (int i = 0; i < 3; ++i)
    {
        const Vec edge = Sub(p[(i + 1) % 3], p[i]);
        if (Dot(Cross(edge, Sub(hit, p[i])), n) < 0.0)
            return 0;
    }
    if (best != nullptr)
    {
        const float d2 = LengthSq(Sub(hit, start));
        if (*best <= d2)
            return 0;
        *best = d2;
    }
    if (point != nullptr)
        point->Set(float(hit.x), float(hit.y), float(hit.z));
    if (normal != nullptr)
        normal->Set(float(n.x), float(n.y), float(n.z));
    return 1;
}

// Unit normal (p1 - p0) x (p2 - p1), stored as floats as the engine keeps
// it; a degenerate triangle gets (0, 0, 0) and fails every side test.
Vec TriangleNormal(const Vec (&p)[3])
{
    const Vec c = Cross(Sub(p[1], p[0]), Sub(p[2], p[1]));
    const CkvrVector3 n = CkvrVector3(float(c.x), float(c.y), float(c.z)).GetNormal();
    return V(n);
}

bool AnyNull(const void* a, const void* b, const void* c)
{
    return a == nullptr || b == nullptr || c == nullptr;
}

void BoxAxes(KVRORIENTEDBOX* box)
{
    CkvrMatrix m;
    m.SetRotation(&box->rotation);
    for (uint32_t i = 0; i < 3; ++i)
        m.GetRow(i, &box->axis[i]);
}

double ProjectedRadius(const KVRORIENTEDBOX& box, const Vec& axis)
{
    return std::fabs(Dot(V(box.axis[0]), axis) * box.half.x) + std::fabs(Dot(V(box.axis[1]), axis) * box.half.y) +
           std::fabs(Dot(V(box.axis[2]), axis) * box.half.z);
}
}

uint32_t HitPointRect(const float* rect, const float* point)
{
    if (rect == nullptr || point == nullptr)
        return 0;
    return (rect[0] <= point[0] && point[0] <= rect[2] && rect[1] <= point[1] && point[1] <= rect[3]) ? 1 : 0;
}

uint32_t HitRectRect(const float* a, const float* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    return (a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3]) ? 1 : 0;
}

uint32_t HitPointCircle(const float* circle, const float* point)
{
    if (circle == nullptr || point == nullptr)
        return 0;
    const double dx = double(point[0]) - circle[0], dy = double(point[1]) - circle[1];
    return float(dx * dx + dy * dy) <= Square(circle[2]) ? 1 : 0;
}

uint32_t HitCircleCircle(const float* a, const float* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    const double dx = double(b[0]) - a[0], dy = double(b[1]) - a[1];
    return float(dx * dx + dy * dy) <= float((double(a[2]) + b[2]) * (double(a[2]) + b[2])) ? 1 : 0;
}

uint32_t HitMovingSpheres(float* a, float* b, const CkvrVector3* va, const CkvrVector3* vb, CkvrVector3* contact,
                          uint32_t move)
{
    if (AnyNull(a, b, va) || vb == nullptr)
        return 0;
    const Vec ca = V(a), cb = V(b);
    const double ra = a[3], rb = b[3];
    const double r = ra + rb;
    const Vec d = Sub(cb, ca);
    const float dd = LengthSq(d);
    if (float(r * r) >= dd)
    {
        if (contact != nullptr)
            *contact = OverlapMiddle(ca, cb, ra, rb);
        return 1;
    }
    const Vec w = Sub(V(*vb), V(*va));
    const double ww = Dot(w, w);
    if (ww == 0.0)
        return 0;
    const double q = Dot(d, w);
    const double disc = q * q - (double(dd) - r * r) * ww;
    if (disc < 0.0)
        return 0;
    const double root = std::sqrt(disc);
    const double t1 = (-q + root) / ww;
    const double t2 = (-q - root) / ww;
    const bool in1 = t1 >= 0.0 && t1 <= 1.0;
    const bool in2 = t2 >= 0.0 && t2 <= 1.0;
    if (!in1 && !in2)
        return 0;
    // The centres at the first contact, as floats whether or not they are
    // stored: the contact point is the same either way.
    const float at[6] = {float(ca.x + va->x * t2), float(ca.y + va->y * t2), float(ca.z + va->z * t2),
                         float(cb.x + vb->x * t2), float(cb.y + vb->y * t2), float(cb.z + vb->z * t2)};
    if (move != 0)
    {
        for (int i = 0; i < 3; ++i)
        {
            a[i] = at[i];
            b[i] = at[3 + i];
        }
    }
    const Vec fa = V(at), fb = V(at + 3);
    if (contact != nullptr)
        *contact = OverlapMiddle(fa, fb, ra, rb);
    return 1;
}

uint32_t HitPointBox(const float* box, const float* point)
{
    if (box == nullptr || point == nullptr)
        return 0;
    for (int i = 0; i < 3; ++i)
    {
        const double h = std::fabs(double(box[3 + i])) / 2.0;
        if (!(double(box[i]) - h <= point[i] && point[i] <= double(box[i]) + h))
            return 0;
    }
    return 1;
}

uint32_t HitBoxBoxCentred(const float* a, const float* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    for (int i = 0; i < 3; ++i)
    {
        const double ha = std::fabs(double(a[3 + i])) / 2.0, hb = std::fabs(double(b[3 + i])) / 2.0;
        if (!(a[i] - ha <= b[i] + hb && b[i] - hb <= a[i] + ha))
            return 0;
    }
    return 1;
}

uint32_t HitPointBounds(const float* bounds, const float* point)
{
    if (bounds == nullptr || point == nullptr)
        return 0;
    for (int i = 0; i < 3; ++i)
    {
        if (!(bounds[i] <= point[i] && point[i] <= bounds[3 + i]))
            return 0;
    }
    return 1;
}

uint32_t HitOrientedBoxes(KVRORIENTEDBOX* a, KVRORIENTEDBOX* b)
{
    if (a == nullptr || b == nullptr)
        return 0;
    BoxAxes(a);
    BoxAxes(b);
    const Vec t = Sub(V(b->centre), V(a->centre));
    Vec axes[15];
    for (int i = 0; i < 3; ++i)
    {
        axes[i] = V(a->axis[i]);
        axes[3 + i] = V(b->axis[i]);
    }
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            axes[6 + i * 3 + j] = Cross(V(a->axis[i]), V(b->axis[j]));
    }
    // Parallel axes give a zero cross product, which never separates.
    for (const Vec& axis : axes)
    {
        if (std::fabs(Dot(t, axis)) > ProjectedRadius(*a, axis) + ProjectedRadius(*b, axis))
            return 0;
    }
    return 1;
}

uint32_t HitSegmentPlane(const CkvrVector3* start, const CkvrVector3* end, const CkvrVector3* planePoint,
                         const CkvrVector3* normal, uint32_t side, CkvrVector3* hit)
{
    if (AnyNull(start, end, planePoint) || normal == nullptr)
        return 0;
    const Vec n = V(*normal);
    const Vec e = Sub(V(*start), V(*end));
    const double k = Dot(n, e);
    if (!PassesSide(k, side))
        return 0;
    const double t = -Dot(n, Sub(V(*end), V(*planePoint))) / k;
    if (!(t >= 0.0 && t <= 1.0))
        return 0;
    if (hit != nullptr)
        hit->Set(float(end->x + t * e.x), float(end->y + t * e.y), float(end->z + t * e.z));
    return 1;
}

uint32_t HitSegmentTriangle(const CkvrVector3* start, const CkvrVector3* end, const CkvrVector3* p0,
                            const CkvrVector3* p1, const CkvrVector3* p2, uint32_t side, CkvrVector3* point,
                            CkvrVector3* normal, float* best)
{
    if (AnyNull(start, end, p0) || p1 == nullptr || p2 == nullptr)
        return 0;
    const Vec p[3] = {V(*p0), V(*p1), V(*p2)};
    return SegmentTriangle(*start, *end, TriangleNormal(p), p, side, point, normal, best);
}

uint32_t HitSphereTriangle(const CkvrVector3* centre, float radius, const CkvrVector3* p0, const CkvrVector3* p1,
                           const CkvrVector3* p2, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                           float* best)
{
    if (AnyNull(centre, p0, p1) || p2 == nullptr)
        return 0;
    const Vec p[3] = {V(*p0), V(*p1), V(*p2)};
    const Vec n = TriangleNormal(p);
    const double r = radius;
    const CkvrVector3 a(float(centre->x + r * n.x), float(centre->y + r * n.y), float(centre->z + r * n.z));
    const CkvrVector3 b(float(centre->x - r * n.x), float(centre->y - r * n.y), float(centre->z - r * n.z));
    return SegmentTriangle(a, b, n, p, side, point, normal, best);
}

uint32_t HitBoxTriangle(const CkvrVector3* centre, const CkvrVector3* halfSize, const CkvrVector3* p0,
                        const CkvrVector3* p1, const CkvrVector3* p2, uint32_t side, CkvrVector3* point,
                        CkvrVector3* normal, float* best)
{
    if (AnyNull(centre, halfSize, p0) || p1 == nullptr || p2 == nullptr)
        return 0;
    const Vec p[3] = {V(*p0), V(*p1), V(*p2)};
    const Vec n = TriangleNormal(p);
    const Vec o{n.x * halfSize->x, n.y * halfSize->y, n.z * halfSize->z};
    const CkvrVector3 a(float(centre->x + o.x), float(centre->y + o.y), float(centre->z + o.z));
    const CkvrVector3 b(float(centre->x - o.x), float(centre->y - o.y), float(centre->z - o.z));
    return SegmentTriangle(a, b, n, p, side, point, normal, best);
}

float* Vec3AddScalar(const float* v, float s, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = float(double(v[i]) + s);
    return out;
}

float* Vec3SubScalar(const float* v, float s, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = float(double(v[i]) - s);
    return out;
}

float* Vec3Add(const float* v, const float* w, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = float(double(v[i]) + w[i]);
    return out;
}

float* Vec3Sub(const float* v, const float* w, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = float(double(v[i]) - w[i]);
    return out;
}

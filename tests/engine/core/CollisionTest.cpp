#include "engine/core/Collision.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Collision, RectanglesAndCirclesIncludeTheirEdges)
{
    const float rect[4] = {0, 0, 10, 20};
    const float corner[2] = {10, 20}, outside[2] = {10.001f, 5};
    EXPECT_EQ(HitPointRect(rect, corner), 1u);
    EXPECT_EQ(HitPointRect(rect, outside), 0u);
    EXPECT_EQ(HitPointRect(nullptr, corner), 0u);
    const float touching[4] = {10, 20, 30, 40}, apart[4] = {10.5f, 0, 30, 40};
    EXPECT_EQ(HitRectRect(rect, touching), 1u);
    EXPECT_EQ(HitRectRect(touching, rect), 1u);
    EXPECT_EQ(HitRectRect(rect, apart), 0u);
    const float circle[3] = {0, 0, 5}, onEdge[2] = {3, 4}, past[2] = {3, 4.01f};
    EXPECT_EQ(HitPointCircle(circle, onEdge), 1u);
    EXPECT_EQ(HitPointCircle(circle, past), 0u);
    const float other[3] = {10, 0, 5}, far[3] = {10.01f, 0, 5};
    EXPECT_EQ(HitCircleCircle(circle, other), 1u);
    EXPECT_EQ(HitCircleCircle(circle, far), 0u);
}

TEST(Collision, SpheresTouchingAndSegmentsTangent)
{
    const float a[4] = {0, 0, 0, 1}, b[4] = {2, 0, 0, 1}, c[4] = {2.01f, 0, 0, 1};
    EXPECT_EQ(HitSphereSphere(a, b), 1u);
    EXPECT_EQ(HitSphereSphere(a, c), 0u);
    const float onSurface[3] = {0, 1, 0};
    EXPECT_EQ(HitPointSphere(a, onSurface), 1u);

    // Tangent segment: touching is not a hit.
    const CkvrVector3 s(-2, 1, 0), e(2, 1, 0);
    EXPECT_EQ(HitSegmentSphere(&s, &e, a), 0u);
    const CkvrVector3 s2(-2, 0.99f, 0), e2(2, 0.99f, 0);
    EXPECT_EQ(HitSegmentSphere(&s2, &e2, a), 1u);
    // Before the start and past the end.
    const CkvrVector3 in(0.5f, 0, 0), away(5, 0, 0);
    EXPECT_EQ(HitSegmentSphere(&in, &away, a), 1u);
    EXPECT_EQ(HitSegmentSphere(&away, &in, a), 1u);
    const CkvrVector3 far1(3, 0, 0);
    EXPECT_EQ(HitSegmentSphere(&far1, &away, a), 0u);
    EXPECT_EQ(HitSegmentSphere(nullptr, &away, a), 0u);
}

TEST(Collision, ZeroLengthSegmentIsAPointTest)
{
    const float sphere[4] = {0, 0, 0, 1};
    const CkvrVector3 inside(0.5f, 0, 0), outside(1.5f, 0, 0), centre(0, 0, 0);
    EXPECT_EQ(HitSegmentSphere(&inside, &inside, sphere), 1u);
    EXPECT_EQ(HitSegmentSphere(&centre, &centre, sphere), 1u);
    EXPECT_EQ(HitSegmentSphere(&outside, &outside, sphere), 0u);
}

TEST(Collision, MovingSpheres)
{
    const CkvrVector3 right(2, 0, 0), left(-2, 0, 0);
    float a[4] = {0, 0, 0, 1}, b[4] = {4, 0, 0, 1};
    CkvrVector3 contact;
    EXPECT_EQ(HitMovingSpheres(a, b, &right, &left, &contact, 1), 1u);
    EXPECT_FLOAT_EQ(a[0], 1.0f); // t2 = 0.5
    EXPECT_FLOAT_EQ(b[0], 3.0f);
    EXPECT_FLOAT_EQ(contact.x, 2.0f);

    float c[4] = {0, 0, 0, 1}, d[4] = {4, 0, 0, 1};
    const CkvrVector3 one(1, 0, 0), minusOne(-1, 0, 0);
    EXPECT_EQ(HitMovingSpheres(c, d, &one, &minusOne, nullptr, 0), 1u); // just touch at t = 1
    EXPECT_EQ(c[0], 0.0f); // not moved without the flag

    float e[4] = {0, 0, 0, 1}, f[4] = {4, 0, 0, 1};
    const CkvrVector3 slow(0.5f, 0, 0), still(0, 0, 0);
    EXPECT_EQ(HitMovingSpheres(e, f, &slow, &still, nullptr, 1), 0u);
    EXPECT_EQ(HitMovingSpheres(e, f, &still, &still, nullptr, 1), 0u);
    const CkvrVector3 up(0, 10, 0);
    EXPECT_EQ(HitMovingSpheres(e, f, &up, &still, nullptr, 1), 0u); // misses

    // Overlapping already: contact in the middle of the overlap.
    float g[4] = {0, 0, 0, 2}, h[4] = {3, 0, 0, 2};
    EXPECT_EQ(HitMovingSpheres(g, h, &still, &still, &contact, 1), 1u);
    EXPECT_FLOAT_EQ(contact.x, 1.5f);
}

// One sphere passing a still one off-axis: the contact lies between the
// centres at the first touch, whether the centres are moved there or not.
TEST(Collision, MovingSpheresContactAtTheTouchWithOrWithoutMoving)
{
    const CkvrVector3 pass(10, 0, 0), still(0, 0, 0);
    float a[4] = {-5, 1.2f, 0, 1}, b[4] = {0, 0, 0, 1};
    CkvrVector3 contact;
    ASSERT_EQ(HitMovingSpheres(a, b, &pass, &still, &contact, 0), 1u);
    EXPECT_EQ(a[0], -5.0f); // left where it was
    EXPECT_EQ(a[1], 1.2f);
    // t2 = 0.34: a's centre at (-1.6, 1.2, 0), touching b at the midpoint.
    EXPECT_NEAR(contact.x, -0.8f, 1e-5f);
    EXPECT_NEAR(contact.y, 0.6f, 1e-5f);
    EXPECT_EQ(contact.z, 0.0f);

    CkvrVector3 movedContact;
    ASSERT_EQ(HitMovingSpheres(a, b, &pass, &still, &movedContact, 1), 1u);
    EXPECT_NEAR(a[0], -1.6f, 1e-5f);
    EXPECT_EQ(movedContact.x, contact.x);
    EXPECT_EQ(movedContact.y, contact.y);
    EXPECT_EQ(movedContact.z, contact.z);
}

TEST(Collision, ConcentricSpheresContactAtTheCentre)
{
    float a[4] = {1, 2, 3, 1}, b[4] = {1, 2, 3, 0.5f};
    const CkvrVector3 still(0, 0, 0);
    CkvrVector3 contact(9, 9, 9);
    EXPECT_EQ(HitMovingSpheres(a, b, &still, &still, &contact, 1), 1u);
    EXPECT_EQ(contact.x, 1.0f);
    EXPECT_EQ(contact.y, 2.0f);
    EXPECT_EQ(contact.z, 3.0f);
}

TEST(Collision, BoxesAndBounds)
{
    const float box[6] = {0, 0, 0, -2, 2, 2}; // negative size: its magnitude counts
    const float corner[3] = {1, 1, -1}, out[3] = {1.01f, 0, 0};
    EXPECT_EQ(HitPointBox(box, corner), 1u);
    EXPECT_EQ(HitPointBox(box, out), 0u);
    const float touching[6] = {2, 0, 0, 2, 2, 2}, apart[6] = {2.1f, 0, 0, 2, 2, 2};
    EXPECT_EQ(HitBoxBoxCentred(box, touching), 1u);
    EXPECT_EQ(HitBoxBoxCentred(box, apart), 0u);

    const float a[6] = {0, 0, 0, 1, 1, 1}, b[6] = {1, 0, 0, 2, 1, 1}, c[6] = {1.5f, 0, 0, 2, 1, 1};
    EXPECT_EQ(HitBoxBox(a, b), 1u); // a.max.x = b.min.x
    EXPECT_EQ(HitBoxBox(a, c), 0u);
    const float p[3] = {1, 1, 1};
    EXPECT_EQ(HitPointBounds(a, p), 1u);
    EXPECT_EQ(HitBoxBox(nullptr, a), 0u);

    float mn[3], mx[3];
    const float t0[3] = {1, 5, -2}, t1[3] = {3, -1, 0}, t2[3] = {2, 2, 7};
    GetTriangleBounds(mn, mx, t0, t1, t2);
    EXPECT_EQ(mn[0], 1.0f);
    EXPECT_EQ(mn[1], -1.0f);
    EXPECT_EQ(mx[2], 7.0f);
    float sum[3];
    EXPECT_EQ(Vec3AddScalar(t0, 1, sum), sum);
    EXPECT_EQ(sum[1], 6.0f);
    Vec3Sub(t0, t1, sum);
    EXPECT_EQ(sum[0], -2.0f);
}

TEST(Collision, OrientedBoxes)
{
    KVRORIENTEDBOX a{}, b{};
    a.half = b.half = CkvrVector3(0.5f, 0.5f, 0.5f);
    b.centre = CkvrVector3(1, 0, 0);
    EXPECT_EQ(HitOrientedBoxes(&a, &b), 1u);
    EXPECT_EQ(a.axis[0].x, 1.0f); // axes written
    b.centre = CkvrVector3(1.01f, 0, 0);
    EXPECT_EQ(HitOrientedBoxes(&a, &b), 0u);
    // Turned 45 degrees about z, the corner reaches sqrt(0.5) along x.
    b.rotation = CkvrVector3(0, 0, 45);
    b.centre = CkvrVector3(1.2f, 0, 0);
    EXPECT_EQ(HitOrientedBoxes(&a, &b), 1u);
    b.centre = CkvrVector3(1.22f, 0, 0);
    EXPECT_EQ(HitOrientedBoxes(&a, &b), 0u);
    EXPECT_EQ(HitOrientedBoxes(nullptr, &b), 0u);
}

TEST(Collision, SegmentAgainstTriangleSides)
{
    // Normal (p1 - p0) x (p2 - p1) points along +y.
    const CkvrVector3 p0(0, 0, 1), p1(1, 0, -1), p2(-1, 0, -1);
    const CkvrVector3 top(0, 1, 0), bottom(0, -1, 0);
    CkvrVector3 point(9, 9, 9), normal;
    EXPECT_EQ(HitSegmentTriangle(&top, &bottom, &p0, &p1, &p2, HIT_SIDE_FRONT, &point, &normal, nullptr), 1u);
    EXPECT_EQ(point.x, 0.0f);
    EXPECT_EQ(point.y, 0.0f);
    EXPECT_EQ(normal.y, 1.0f);
    EXPECT_EQ(HitSegmentTriangle(&bottom, &top, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitSegmentTriangle(&bottom, &top, &p0, &p1, &p2, HIT_SIDE_BOTH, nullptr, nullptr, nullptr), 1u);
    EXPECT_EQ(HitSegmentTriangle(&bottom, &top, &p0, &p1, &p2, HIT_SIDE_BACK, nullptr, nullptr, nullptr), 1u);
    EXPECT_EQ(HitSegmentTriangle(&bottom, &top, &p0, &p1, &p2, 3, nullptr, nullptr, nullptr), 0u);

    // Outside the triangle, and on its edge.
    const CkvrVector3 ot(2, 1, 0), ob(2, -1, 0);
    EXPECT_EQ(HitSegmentTriangle(&ot, &ob, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 0u);
    const CkvrVector3 et(0, 1, -1), eb(0, -1, -1);
    EXPECT_EQ(HitSegmentTriangle(&et, &eb, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 1u);
}

TEST(Collision, BestDistanceKeepsOnlyStrictlyNearerHits)
{
    const CkvrVector3 p0(0, 0, 1), p1(1, 0, -1), p2(-1, 0, -1);
    const CkvrVector3 top(0, 1, 0), onTriangle(0, 0, 0);
    float best = 1.0f; // the segment's squared length
    EXPECT_EQ(HitSegmentTriangle(&top, &onTriangle, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, &best), 0u);
    best = 1.5f;
    EXPECT_EQ(HitSegmentTriangle(&top, &onTriangle, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, &best), 1u);
    EXPECT_EQ(best, 1.0f);
}

TEST(Collision, SphereAndBoxAgainstTriangle)
{
    const CkvrVector3 p0(0, 0, 1), p1(1, 0, -1), p2(-1, 0, -1);
    const CkvrVector3 near(0, 0.5f, 0), far(0, 1.5f, 0);
    CkvrVector3 point;
    float best = 100.0f;
    EXPECT_EQ(HitSphereTriangle(&near, 1.0f, &p0, &p1, &p2, HIT_SIDE_FRONT, &point, nullptr, &best), 1u);
    EXPECT_FLOAT_EQ(point.y, 0.0f);
    EXPECT_FLOAT_EQ(best, 2.25f); // from the top of the sphere, 1.5 above
    EXPECT_EQ(HitSphereTriangle(&far, 1.0f, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitSphereTriangle(&near, 1.0f, &p0, &p1, &p2, HIT_SIDE_BACK, nullptr, nullptr, nullptr), 0u);

    const CkvrVector3 half(5, 1, 5);
    EXPECT_EQ(HitBoxTriangle(&near, &half, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 1u);
    EXPECT_EQ(HitBoxTriangle(&far, &half, &p0, &p1, &p2, HIT_SIDE_FRONT, nullptr, nullptr, nullptr), 0u);

    // A degenerate triangle fails every side test.
    EXPECT_EQ(HitSegmentTriangle(&far, &near, &p0, &p0, &p1, HIT_SIDE_BOTH, nullptr, nullptr, nullptr), 0u);
}

TEST(Collision, SegmentAgainstPlane)
{
    const CkvrVector3 origin(0, 0, 0), up(0, 1, 0), a(1, 2, 3), b(1, -2, 3);
    CkvrVector3 hit;
    EXPECT_EQ(HitSegmentPlane(&a, &b, &origin, &up, HIT_SIDE_FRONT, &hit), 1u);
    EXPECT_FLOAT_EQ(hit.y, 0.0f);
    EXPECT_FLOAT_EQ(hit.z, 3.0f);
    EXPECT_EQ(HitSegmentPlane(&b, &a, &origin, &up, HIT_SIDE_FRONT, &hit), 0u);
    const CkvrVector3 c(1, 1, 3);
    EXPECT_EQ(HitSegmentPlane(&a, &c, &origin, &up, HIT_SIDE_FRONT, &hit), 0u);
}

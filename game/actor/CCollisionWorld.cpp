#include "game/actor/CCollisionWorld.h"

#include "engine/core/Collision.h"
#include "engine/render/HitModel.h"
#include "game/actor/CBullet.h"

#include <algorithm>
#include <cmath>

void CCollisionWorld::AddGroundTriangle(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c)
{
    m_ground.push_back({{a, b, c}});
}

void CCollisionWorld::AddHitTriangle(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c)
{
    m_hit.push_back({{a, b, c}});
}

void CCollisionWorld::AddGroundQuad(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c,
                                    const CkvrVector3& d)
{
    AddGroundTriangle(a, b, c);
    AddGroundTriangle(a, c, d);
}

void CCollisionWorld::AddHitQuad(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c,
                                 const CkvrVector3& d)
{
    AddHitTriangle(a, b, c);
    AddHitTriangle(a, c, d);
}

uint32_t CCollisionWorld::AddBox(const CkvrVector3& centre, const CkvrVector3& half, uint16_t life)
{
    m_boxes.push_back({centre, half, life, false});
    const float low[3] = {centre.x - half.x, centre.y - half.y, centre.z - half.z};
    const float high[3] = {centre.x + half.x, centre.y + half.y, centre.z + half.z};
    for (int axis = 0; axis < 3; ++axis)
    {
        // A box of no numbers may still be met along the other axes: then
        // no segment is ever apart from all the boxes.
        const bool number = !std::isnan(low[axis]) && !std::isnan(high[axis]);
        m_boxesBounds[axis] = !number ? -INFINITY : (low[axis] < m_boxesBounds[axis] ? low[axis] : m_boxesBounds[axis]);
        m_boxesBounds[3 + axis] =
            !number ? INFINITY : (high[axis] > m_boxesBounds[3 + axis] ? high[axis] : m_boxesBounds[3 + axis]);
    }
    return static_cast<uint32_t>(m_boxes.size() - 1);
}

void CCollisionWorld::ClearBoxes()
{
    m_boxes.clear();
    const float empty[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    std::copy(empty, empty + 6, m_boxesBounds);
}

void CCollisionWorld::SetExtent(const CkvrVector3& minimum, const CkvrVector3& maximum)
{
    const float extent[6] = {minimum.x, minimum.y, minimum.z, maximum.x, maximum.y, maximum.z};
    for (int i = 0; i < 6; ++i)
        m_extent[i] = extent[i];
}

void CCollisionWorld::AddStartPoint(const CkvrVector3& position, const CkvrVector3& rotation)
{
    m_starts.push_back(position);
    m_startRotations.push_back(rotation);
}

const CkvrVector3* CCollisionWorld::GetStartPoint(uint32_t index, CkvrVector3* rotation) const
{
    if (index >= m_starts.size())
        return nullptr;
    if (rotation != nullptr)
        *rotation = m_startRotations[index];
    return &m_starts[index];
}

uint32_t IntersectTriangleList(const std::vector<CCollisionWorld::Triangle>& triangles, const CkvrVector3& start,
                               const CkvrVector3& end, uint32_t side, CkvrVector3* point, CkvrVector3* normal)
{
    float best = INFINITY;
    uint32_t hit = 0;
    for (const CCollisionWorld::Triangle& t : triangles)
    {
        if (HitSegmentTriangle(&start, &end, &t.p[0], &t.p[1], &t.p[2], side, point, normal, &best) != 0)
            hit = 1;
    }
    return hit;
}

uint32_t IntersectSegmentBox(const CkvrVector3& start, const CkvrVector3& end, const CkvrVector3& centre,
                             const CkvrVector3& half, float* t, CkvrVector3* normal)
{
    const float s[3] = {start.x, start.y, start.z};
    const float d[3] = {end.x - start.x, end.y - start.y, end.z - start.z};
    const float c[3] = {centre.x, centre.y, centre.z};
    const float h[3] = {half.x, half.y, half.z};
    float enter = 0.0f, leave = 1.0f;
    int enterAxis = -1;
    float enterSign = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
    {
        const float low = c[axis] - h[axis], high = c[axis] + h[axis];
        if (d[axis] == 0.0f)
        {
            if (s[axis] < low || s[axis] > high)
                return 0;
            continue;
        }
        float t0 = (low - s[axis]) / d[axis], t1 = (high - s[axis]) / d[axis];
        float sign = -1.0f;
        if (t0 > t1)
        {
            const float swap = t0;
            t0 = t1;
            t1 = swap;
            sign = 1.0f;
        }
        if (t0 > enter)
        {
            enter = t0;
            enterAxis = axis;
            enterSign = sign;
        }
        if (t1 < leave)
            leave = t1;
        if (enter > leave)
            return 0;
    }
    if (enterAxis < 0)
        return 0; // starts inside
    *t = enter;
    *normal = CkvrVector3(0, 0, 0);
    (&normal->x)[enterAxis] = enterSign;
    return 1;
}

// The nearest hit needs a point to compare with, even when the caller
// wants none.
uint32_t IntersectMesh(CMesh* mesh, const CkvrVector3& start, const CkvrVector3& end, uint32_t side,
                       CkvrVector3* point, CkvrVector3* normal)
{
    CkvrVector3 nearest;
    return HitSegmentModelGrid(&start, &end, mesh, side, point != nullptr ? point : &nearest, normal, nullptr,
                               nullptr);
}

uint32_t CCollisionWorld::IntersectGroundModel(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                          CkvrVector3* normal)
{
    if (m_groundMesh != nullptr)
        return IntersectMesh(m_groundMesh, start, end, HIT_SIDE_FRONT, point, normal);
    return IntersectTriangleList(m_ground, start, end, HIT_SIDE_FRONT, point, normal);
}

uint32_t CCollisionWorld::IntersectHitModelNearest(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                            CkvrVector3* normal)
{
    if (m_hitMesh != nullptr)
        return IntersectMesh(m_hitMesh, start, end, HIT_SIDE_BOTH, point, normal);
    return IntersectTriangleList(m_hit, start, end, HIT_SIDE_BOTH, point, normal);
}

namespace
{
// Far above the rounding of the slab test.
void Widen(float* low, float* high)
{
    for (int axis = 0; axis < 3; ++axis)
    {
        const float margin = RoundingMargin(low[axis], high[axis]);
        low[axis] -= margin;
        high[axis] += margin;
    }
}

bool Apart(const float* lowA, const float* highA, const float* lowB, const float* highB)
{
    return highA[0] < lowB[0] || lowA[0] > highB[0] || highA[1] < lowB[1] || lowA[1] > highB[1] ||
           highA[2] < lowB[2] || lowA[2] > highB[2];
}
}

bool CCollisionWorld::FindNearestBox(const CkvrVector3& start, const CkvrVector3& end, uint32_t* index, float* share,
                                     CkvrVector3* normal) const
{
    // A box wholly apart from the segment's bounds, by more than any
    // rounding of the slab test, can't be hit: it is passed over unasked.
    float low[3], high[3];
    GetPointBounds(low, high, &start.x, &end.x);
    Widen(low, high);
    if (Apart(low, high, m_boxesBounds, m_boxesBounds + 3))
        return false;
    float best = INFINITY;
    for (uint32_t i = 0; i < m_boxes.size(); ++i)
    {
        const Box& box = m_boxes[i];
        const float boxLow[3] = {box.centre.x - box.half.x, box.centre.y - box.half.y, box.centre.z - box.half.z};
        const float boxHigh[3] = {box.centre.x + box.half.x, box.centre.y + box.half.y, box.centre.z + box.half.z};
        if (box.broken || Apart(low, high, boxLow, boxHigh))
            continue;
        float t = 0.0f;
        CkvrVector3 n;
        if (IntersectSegmentBox(start, end, box.centre, box.half, &t, &n) == 0 || !(t < best))
            continue;
        best = t;
        *index = i;
        if (normal != nullptr)
            *normal = n;
    }
    *share = best;
    return best != INFINITY;
}

uint32_t CCollisionWorld::IntersectStageObjects(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                         CkvrVector3* normal)
{
    float t = 0.0f;
    if (!FindNearestBox(start, end, &m_lastBox, &t, normal))
        return 0;
    if (point != nullptr)
        *point = CkvrVector3(start.x + (end.x - start.x) * t, start.y + (end.y - start.y) * t,
                             start.z + (end.z - start.z) * t);
    return 1;
}

uint32_t CCollisionWorld::IntersectSight(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point)
{
    float best = INFINITY;
    auto keep = [&](const CkvrVector3& at) {
        const float distance = (at - start).Length();
        if (distance < best)
        {
            best = distance;
            *point = at;
        }
    };
    CkvrVector3 at;
    const bool ground = m_groundMesh != nullptr
                            ? IntersectMesh(m_groundMesh, start, end, HIT_SIDE_BOTH, &at, nullptr) != 0
                            : IntersectTriangleList(m_ground, start, end, HIT_SIDE_BOTH, &at, nullptr) != 0;
    if (ground)
        keep(at);
    if (IntersectHitModelNearest(start, end, &at, nullptr) != 0)
        keep(at);
    uint32_t box = 0;
    float t = 0.0f;
    if (FindNearestBox(start, end, &box, &t, nullptr))
        keep(start + (end - start) * t);
    return best != INFINITY ? 1 : 0;
}

uint32_t CCollisionWorld::HitBulletSegment(const CkvrVector3& start, const CkvrVector3& end)
{
    return (IntersectGroundModel(start, end, nullptr, nullptr) != 0 || IntersectHitModelNearest(start, end, nullptr, nullptr) != 0)
               ? 1
               : 0;
}

uint32_t CCollisionWorld::HitBulletBoxes(const CkvrVector3& start, const CkvrVector3& end, const CBullet& bullet)
{
    if (IntersectStageObjects(start, end, nullptr, nullptr) == 0)
        return 0;
    DamageBox(m_lastBox, static_cast<uint32_t>(bullet.GetPower()) * 20u);
    return 1;
}

uint32_t CCollisionWorld::DamageBox(uint32_t index, uint32_t amount)
{
    if (index >= m_boxes.size())
        return 0;
    Box& box = m_boxes[index];
    if (box.broken || box.life == 0)
        return 0;
    box.life = amount >= box.life ? 0 : static_cast<uint16_t>(box.life - amount);
    if (box.life != 0)
        return 0;
    box.broken = true;
    return 1;
}

uint32_t CCollisionWorld::SphereTouchesBox(uint32_t index, const float sphere[4]) const
{
    if (index >= m_boxes.size() || m_boxes[index].broken)
        return 0;
    const Box& box = m_boxes[index];
    const float c[3] = {box.centre.x, box.centre.y, box.centre.z};
    const float h[3] = {box.half.x, box.half.y, box.half.z};
    double distance = 0.0;
    for (int axis = 0; axis < 3; ++axis)
    {
        const double low = double(c[axis]) - h[axis], high = double(c[axis]) + h[axis];
        const double p = sphere[axis];
        const double outside = p < low ? low - p : (p > high ? p - high : 0.0);
        distance += outside * outside;
    }
    return float(distance) <= float(double(sphere[3]) * sphere[3]) ? 1 : 0;
}

void CCollisionWorld::RestoreBox(uint32_t index, uint16_t life)
{
    if (index >= m_boxes.size())
        return;
    m_boxes[index].broken = false;
    m_boxes[index].life = life;
}

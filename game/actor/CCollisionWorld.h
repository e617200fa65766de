#pragma once

#include "game/actor/IBattleStage.h"
#include "game/actor/IBulletWorld.h"

#include <cmath>
#include <cstdint>
#include <vector>

class CMesh;

// A stage's collision in plain triangle lists and boxes: the ground and hit
// models' triangles (a stage fills them from its meshes, tests build them by
// hand) and the stage objects' axis-aligned boxes. Every query walks its
// list in order and keeps the hit nearest to the segment's start, the lower
// index on ties.
class CCollisionWorld : public IBattleStage, public IBulletWorld
{
public:
    struct Triangle
    {
        CkvrVector3 p[3];
    };
    struct Box
    {
        CkvrVector3 centre;
        CkvrVector3 half;
        uint16_t life = 0; // 0 unbreakable
        bool broken = false;
    };

    // Models to query instead of the triangle lists: per model object its
    // block grid when it has one, else all its triangles; null goes back to
    // the lists.
    void SetGroundMesh(CMesh* mesh) { m_groundMesh = mesh; }
    void SetHitMesh(CMesh* mesh) { m_hitMesh = mesh; }

    void AddGroundTriangle(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c);
    void AddHitTriangle(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c);
    // Both triangles of a rectangle a b c d (in order around it).
    void AddGroundQuad(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c, const CkvrVector3& d);
    void AddHitQuad(const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c, const CkvrVector3& d);
    uint32_t AddBox(const CkvrVector3& centre, const CkvrVector3& half, uint16_t life);
    void SetExtent(const CkvrVector3& minimum, const CkvrVector3& maximum);
    void AddStartPoint(const CkvrVector3& position, const CkvrVector3& rotation);

    uint32_t IntersectGroundModel(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                             CkvrVector3* normal) override;
    uint32_t IntersectHitModelNearest(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                               CkvrVector3* normal) override;
    uint32_t IntersectStageObjects(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                            CkvrVector3* normal) override;
    uint32_t IntersectSight(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point) override;
    const float* GetExtent() const override { return m_extent; }
    uint32_t GetStartPointCount() const override { return static_cast<uint32_t>(m_starts.size()); }
    const CkvrVector3* GetStartPoint(uint32_t index, CkvrVector3* rotation) const override;

    uint32_t HitBulletSegment(const CkvrVector3& start, const CkvrVector3& end) override;
    uint32_t HitBulletBoxes(const CkvrVector3& start, const CkvrVector3& end, const CBullet& bullet) override;

    // Damages box index by amount; at 0 it breaks. 1 when it broke now.
    uint32_t DamageBox(uint32_t index, uint32_t amount) override;
    uint32_t GetBoxCount() const override { return static_cast<uint32_t>(m_boxes.size()); }
    uint32_t SphereTouchesBox(uint32_t index, const float sphere[4]) const override;
    void ClearBoxes();
    // A broken box stands again with its life.
    void RestoreBox(uint32_t index, uint16_t life);
    const std::vector<Box>& GetBoxes() const { return m_boxes; }
    uint32_t GetBoxHitIndex() const { return m_lastBox; }

private:
    // The standing box the segment enters first: its index, the share of
    // the segment to it and the normal of the face entered.
    bool FindNearestBox(const CkvrVector3& start, const CkvrVector3& end, uint32_t* index, float* share,
                        CkvrVector3* normal) const;

    CMesh* m_groundMesh = nullptr;
    CMesh* m_hitMesh = nullptr;
    std::vector<Triangle> m_ground;
    std::vector<Triangle> m_hit;
    std::vector<Box> m_boxes;
    // Around every box (broken ones too): a segment apart from it meets
    // none of them.
    float m_boxesBounds[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    std::vector<CkvrVector3> m_starts;
    std::vector<CkvrVector3> m_startRotations;
    float m_extent[6] = {-1000, -1000, -1000, 1000, 1000, 1000};
    uint32_t m_lastBox = 0;
};

// The nearest hit of a segment with a list of triangles in a side mode of
// the triangle tests (0 front only, 1 both): the one small query the stage's
// models go through, so that a block grid can replace the plain walk later.
uint32_t IntersectTriangleList(const std::vector<CCollisionWorld::Triangle>& triangles, const CkvrVector3& start,
                               const CkvrVector3& end, uint32_t side, CkvrVector3* point, CkvrVector3* normal);
// The nearest hit of a segment with a model's triangles.
uint32_t IntersectMesh(CMesh* mesh, const CkvrVector3& start, const CkvrVector3& end, uint32_t side,
                       CkvrVector3* point, CkvrVector3* normal);
// Segment against an axis-aligned box by slabs: the entry point and the
// normal of the face entered. A start inside the box is no hit.
uint32_t IntersectSegmentBox(const CkvrVector3& start, const CkvrVector3& end, const CkvrVector3& centre,
                             const CkvrVector3& half, float* t, CkvrVector3* normal);

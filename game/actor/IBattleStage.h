#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

// What fighters, bullets and items ask of the stage: segment queries
// against its ground model (hit from above only), its hit model (either
// side) and its boxes, its extent and its start points. Queries give the
// hit nearest to the segment's start and the surface normal there.
class IBattleStage
{
public:
    virtual ~IBattleStage() = default;
    virtual uint32_t IntersectGroundModel(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                     CkvrVector3* normal) = 0;
    virtual uint32_t IntersectHitModelNearest(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                       CkvrVector3* normal) = 0;
    virtual uint32_t IntersectStageObjects(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point,
                                    CkvrVector3* normal) = 0;
    // Where the stage first blocks sight along the segment: its ground and
    // hit models from either side, or a standing box. For cameras; nothing
    // of the battle changes.
    virtual uint32_t IntersectSight(const CkvrVector3& start, const CkvrVector3& end, CkvrVector3* point) = 0;
    // The breakable and solid boxes of the stage objects, by index.
    virtual uint32_t GetBoxCount() const = 0;
    // 1 when the sphere (x, y, z, r) touches box index, a standing one.
    virtual uint32_t SphereTouchesBox(uint32_t index, const float sphere[4]) const = 0;
    // Takes amount off box index; 1 when it broke now.
    virtual uint32_t DamageBox(uint32_t index, uint32_t amount) = 0;
    // Minimum corner, then maximum corner.
    virtual const float* GetExtent() const = 0;
    virtual uint32_t GetStartPointCount() const = 0;
    // Position of start point i (rotation optional); null past the end.
    virtual const CkvrVector3* GetStartPoint(uint32_t index, CkvrVector3* rotation) const = 0;
};

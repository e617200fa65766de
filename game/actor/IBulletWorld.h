#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CBullet;

// What bullets meet besides fighters: the stage's ground and hit models and
// its breakable boxes. The stage implements it; tests stand in for it.
class IBulletWorld
{
public:
    virtual ~IBulletWorld() = default;
    // 1 when the segment meets the ground or the hit model.
    virtual uint32_t HitBulletSegment(const CkvrVector3& start, const CkvrVector3& end) = 0;
    // 1 when the segment meets a box; the box takes the bullet's damage.
    virtual uint32_t HitBulletBoxes(const CkvrVector3& start, const CkvrVector3& end, const CBullet& bullet) = 0;
};

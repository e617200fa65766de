#include "game/actor/CameraSight.h"

#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CCollisionWorld.h"
#include "game/actor/IBattleStage.h"

#include <algorithm>
#include <cmath>

namespace
{
// The share of the segment at which a fighter's body is entered; INFINITY
// when it is not.
float BodyShare(const CCharacter& fighter, const CkvrVector3& start, const CkvrVector3& end)
{
    const CCharacterDefinition* definition = fighter.GetDefinition();
    if (definition == nullptr)
        return INFINITY;
    const float half = (fighter.IsDown() ? 2.0f * definition->radius : definition->height) * 0.5f;
    const CkvrVector3& at = *fighter.GetPosition();
    float t = 0.0f;
    CkvrVector3 normal;
    if (IntersectSegmentBox(start, end, CkvrVector3(at.x, at.y + half, at.z),
                            CkvrVector3(definition->radius, half, definition->radius), &t, &normal) == 0)
        return INFINITY;
    return t;
}
}

float CameraSight::BlockedAt(IBattleStage* stage, const CkvrVector3& target, const CkvrVector3& eye,
                             const Bodies& bodies)
{
    const CkvrVector3 line = eye - target;
    const float length = line.Length();
    if (!(length > 0.0f))
        return INFINITY;
    const float reach = length + kClearance;
    const CkvrVector3 end = target + line * (reach / length);
    float blocked = INFINITY;
    CkvrVector3 point;
    if (stage != nullptr && stage->IntersectSight(target, end, &point) != 0)
        blocked = (point - target).Length();
    for (uint32_t i = 0; bodies.fighters != nullptr && i < bodies.count; ++i)
    {
        const CCharacter* fighter = bodies.fighters[i];
        if (fighter != nullptr && fighter != bodies.about)
            blocked = std::min(blocked, BodyShare(*fighter, target, end) * reach);
    }
    return blocked;
}

CkvrVector3 CameraSight::KeepInSight(IBattleStage* stage, const CkvrVector3& target, const CkvrVector3& eye,
                                     const Bodies& bodies)
{
    const float blocked = BlockedAt(stage, target, eye, bodies);
    if (blocked == INFINITY)
        return eye;
    const CkvrVector3 line = eye - target;
    const float length = line.Length();
    const float kept = std::min(length, std::max(blocked - kClearance, blocked * 0.5f));
    return target + line * (kept / length);
}

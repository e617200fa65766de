#include "game/actor/CameraSight.h"

#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CCollisionWorld.h"
#include "game/actor/IBattleStage.h"

#include "engine/render/CCamera.h"

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

// Whether a body counts for a shot about bodies.about.
bool Counts(const CCharacter* fighter, const CameraSight::Bodies& bodies)
{
    if (fighter == nullptr || fighter == bodies.about)
        return false;
    return bodies.about == nullptr || !CameraSight::StandsInside(*fighter, *bodies.about);
}

// The part of the frame (0 to 1) between two normalised coordinates on one
// of its axes; negative when the span lies wholly outside.
float FrameSpan(float low, float high)
{
    return (std::min(high, 1.0f) - std::max(low, -1.0f)) * 0.5f;
}

// The share of the frame a standing body's box covers when the frame cuts
// it (its edges or the near plane); 0 when it is seen whole or not at all.
// The box is bounded in the eye's space, where on a box in front of the eye
// x / z and y / z are at their extremes at its corners.
float CutShare(const CCamera& shot, const CCharacter& fighter)
{
    constexpr float kNearPlane = 0.1f;
    const CCharacterDefinition* definition = fighter.GetDefinition();
    if (definition == nullptr)
        return 0.0f;
    const CkvrMatrix& view = shot.GetViewMatrix();
    const CkvrVector3& at = *fighter.GetPosition();
    const float r = definition->radius;
    CkvrVector3 low(INFINITY, INFINITY, INFINITY);
    CkvrVector3 high(-INFINITY, -INFINITY, -INFINITY);
    for (int corner = 0; corner < 8; ++corner)
    {
        const CkvrVector3 world(at.x + ((corner & 1) != 0 ? r : -r),
                                at.y + ((corner & 2) != 0 ? definition->height : 0.0f),
                                at.z + ((corner & 4) != 0 ? r : -r));
        const CkvrVector3 v = world.GetTransform(view);
        low = CkvrVector3(std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z));
        high = CkvrVector3(std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z));
    }
    if (high.z <= kNearPlane)
        return 0.0f;
    const float nearest = std::max(low.z, kNearPlane);
    const CkvrMatrix& projection = shot.GetProjectionMatrix();
    auto bounds = [&](float a, float b, float scale, float* from, float* to) {
        const float values[4] = {a / nearest * scale, a / high.z * scale, b / nearest * scale, b / high.z * scale};
        *from = *std::min_element(values, values + 4);
        *to = *std::max_element(values, values + 4);
    };
    float left = 0.0f, right = 0.0f, bottom = 0.0f, top = 0.0f;
    bounds(low.x, high.x, projection.m[0], &left, &right);
    bounds(low.y, high.y, projection.m[5], &bottom, &top);
    const bool whole = low.z > kNearPlane && left >= -1.0f && right <= 1.0f && bottom >= -1.0f && top <= 1.0f;
    const float across = FrameSpan(left, right);
    const float up = FrameSpan(bottom, top);
    return whole || across <= 0.0f || up <= 0.0f ? 0.0f : across * up;
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
        if (Counts(fighter, bodies))
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

bool CameraSight::StandsInside(const CCharacter& other, const CCharacter& about)
{
    const CCharacterDefinition* a = other.GetDefinition();
    const CCharacterDefinition* b = about.GetDefinition();
    if (a == nullptr || b == nullptr)
        return false;
    const CkvrVector3& p = *other.GetPosition();
    const CkvrVector3& q = *about.GetPosition();
    const float reach = a->radius + b->radius;
    const float dx = p.x - q.x;
    const float dz = p.z - q.z;
    return dx * dx + dz * dz < reach * reach && p.y < q.y + b->height && q.y < p.y + a->height;
}

float CameraSight::CutBodyShare(const CCamera& shot, const Bodies& bodies)
{
    float share = 0.0f;
    for (uint32_t i = 0; bodies.fighters != nullptr && i < bodies.count; ++i)
    {
        const CCharacter* fighter = bodies.fighters[i];
        if (Counts(fighter, bodies) && !fighter->IsDown())
            share = std::max(share, CutShare(shot, *fighter));
    }
    return share;
}

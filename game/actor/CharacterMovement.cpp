// Movement and collision with the stage: horizontal sweeps at knee and
// chest height against the hit model and boxes, then a vertical probe onto
// the ground model and box tops. Fighters pass through each other.
#include "game/actor/CCharacter.h"

#include "engine/platform/FrameTimer.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <cmath>

namespace
{
// How far below its feet a fighter on the ground looks for the ground, so
// that it follows a ramp down instead of falling off each step.
constexpr float kStepDown = 0.3f;

float HorizontalLength(const CkvrVector3& v)
{
    return std::sqrt(v.x * v.x + v.z * v.z);
}
}

void CCharacter::MoveAndCollide(tag_TOLQBATTLEFRAME* frame)
{
    if (m_definition == nullptr)
        return;
    IBattleStage* stage = frame != nullptr ? frame->stage : nullptr;
    const float dt = StepSeconds(GetElapsedMilliseconds());
    const uint32_t s = m_state.actionState;
    if (m_state.grounded == 0 && s != STATE_AIR_DASH && s != STATE_ELEMENTAL_CHARGE)
        m_state.velocity.y = m_state.velocity.y - m_definition->gravity * dt;
    if (stage != nullptr)
    {
        MoveHorizontally(stage, dt);
        MoveVertically(stage, dt);
    }
    else
    {
        m_position.x = m_position.x + m_state.velocity.x * dt;
        m_position.y = m_position.y + m_state.velocity.y * dt;
        m_position.z = m_position.z + m_state.velocity.z * dt;
    }
    Quantize();
    const float* extent = stage != nullptr ? stage->GetExtent() : nullptr;
    if (extent != nullptr && m_position.y < extent[1] && !IsDown() && m_data != nullptr)
        Defeat(frame, -1);
}

bool CCharacter::HorizontalBlocked(IBattleStage* stage, const CkvrVector3& from, const CkvrVector3& to,
                                   CkvrVector3* normal) const
{
    const float r = m_definition->radius;
    CkvrVector3 step(to.x - from.x, 0.0f, to.z - from.z);
    const float length = HorizontalLength(step);
    if (length == 0.0f)
        return false;
    // The sweep reaches a radius past the new centre, so that the body
    // stops with its surface at the wall.
    const float scale = (length + r) / length;
    const float heights[2] = {r, m_definition->height - r};
    for (float h : heights)
    {
        const CkvrVector3 start(from.x, from.y + h, from.z);
        const CkvrVector3 end(from.x + step.x * scale, from.y + h, from.z + step.z * scale);
        CkvrVector3 point, n;
        if (stage->IntersectHitModelNearest(start, end, &point, &n) != 0 || stage->IntersectStageObjects(start, end, &point, &n) != 0)
        {
            *normal = n;
            return true;
        }
    }
    return false;
}

void CCharacter::MoveHorizontally(IBattleStage* stage, float dt)
{
    CkvrVector3 delta(m_state.velocity.x * dt, 0.0f, m_state.velocity.z * dt);
    if (delta.x == 0.0f && delta.z == 0.0f)
        return;
    CkvrVector3 target(m_position.x + delta.x, m_position.y, m_position.z + delta.z);
    CkvrVector3 normal;
    if (HorizontalBlocked(stage, m_position, target, &normal))
    {
        // Slide: drop the part of the motion into the wall, then try once
        // more; a second wall stops the fighter.
        const float nl = HorizontalLength(normal);
        if (nl > 0.0f)
        {
            const float nx = normal.x / nl, nz = normal.z / nl;
            const float into = delta.x * nx + delta.z * nz;
            delta.x = delta.x - into * nx;
            delta.z = delta.z - into * nz;
        }
        target = CkvrVector3(m_position.x + delta.x, m_position.y, m_position.z + delta.z);
        if (nl == 0.0f || HorizontalBlocked(stage, m_position, target, &normal))
            return;
    }
    m_position.x = target.x;
    m_position.z = target.z;
}

void CCharacter::MoveVertically(IBattleStage* stage, float dt)
{
    const float newY = m_position.y + m_state.velocity.y * dt;
    if (m_state.velocity.y > 0.0f)
    {
        m_position.y = newY;
        m_state.grounded = 0;
        return;
    }
    const float reach = m_state.grounded != 0 ? kStepDown : 0.0f;
    const CkvrVector3 start(m_position.x, m_position.y + m_definition->radius, m_position.z);
    const CkvrVector3 end(m_position.x, newY - reach, m_position.z);
    CkvrVector3 point, normal;
    float groundY = -INFINITY;
    if (stage->IntersectGroundModel(start, end, &point, &normal) != 0)
        groundY = point.y;
    if (stage->IntersectStageObjects(start, end, &point, &normal) != 0 && normal.y > 0.0f && point.y > groundY)
        groundY = point.y;
    if (groundY == -INFINITY)
    {
        m_position.y = newY;
        m_state.grounded = 0;
        return;
    }
    m_position.y = groundY;
    m_state.velocity.y = 0.0f;
    const bool landing = m_state.grounded == 0;
    m_state.grounded = 1;
    const uint32_t s = m_state.actionState;
    if (landing && (s == STATE_JUMP || s == STATE_AIR_DASH || s == STATE_ELEMENTAL_JUMP))
        StartState(STATE_STAND);
}

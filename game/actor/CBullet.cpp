#include "game/actor/CBullet.h"

#include "engine/platform/FrameTimer.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/SimulationMath.h"

#include <cstring>

void CBullet::Setup(const CBulletDefinition* definition, int32_t owner, uint8_t team, uint8_t power,
                    const CkvrVector3& position, const CkvrVector3& velocity, const float extent[6])
{
    m_definition = definition;
    m_owner = owner;
    m_team = team;
    m_power = power;
    m_position = position;
    m_previous = position;
    m_velocity = velocity;
    QuantizeVector(&m_position);
    QuantizeVector(&m_previous);
    QuantizeVector(&m_velocity);
    if (definition != nullptr)
    {
        m_cancels = (definition->flags & CBulletDefinition::FLAG_CANCEL) != 0;
        m_gravity = definition->gravity;
        m_bulletRadius = definition->radius;
        m_life = static_cast<uint32_t>(definition->range / definition->speed * 1000.0f);
    }
    if (extent != nullptr)
        std::memcpy(m_extent, extent, sizeof(m_extent));
}

int CBullet::Update(uintptr_t)
{
    const uint32_t milliseconds = GetElapsedMilliseconds();
    const float dt = StepSeconds(milliseconds);
    m_previous = m_position;
    m_velocity.y = m_velocity.y - m_gravity * dt;
    m_position.x = m_position.x + m_velocity.x * dt;
    m_position.y = m_position.y + m_velocity.y * dt;
    m_position.z = m_position.z + m_velocity.z * dt;
    QuantizeVector(&m_velocity);
    QuantizeVector(&m_position);
    if (m_life <= milliseconds)
    {
        m_life = 0;
        return 0;
    }
    m_life -= milliseconds;
    const float* e = m_extent;
    const bool inside = m_position.x >= e[0] && m_position.y >= e[1] && m_position.z >= e[2] &&
                        m_position.x <= e[3] && m_position.y <= e[4] && m_position.z <= e[5];
    return inside ? 1 : 0;
}

void CBullet::HashState(CStateHash* hash) const
{
    hash->I32(m_owner);
    hash->U8(m_team);
    hash->U8(m_power);
    hash->U8(m_cancels ? 1 : 0);
    hash->Vec3(m_position);
    hash->Vec3(m_previous);
    hash->Vec3(m_velocity);
    hash->U32(m_life);
}

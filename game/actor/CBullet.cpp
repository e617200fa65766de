#include "game/actor/CBullet.h"

#include "engine/core/MathConstants.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CMesh.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/SimulationMath.h"

#include <cmath>
#include <cstring>

void CBullet::Setup(const CBulletDefinition* definition, int32_t owner, uint8_t team, uint8_t power,
                    const CkvrVector3& position, const CkvrVector3& velocity, const float extent[6])
{
    m_definition = definition;
    m_mesh = nullptr;
    m_meshResolved = false;
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

int CBullet::Render(uintptr_t)
{
    if (!m_meshResolved && m_definition != nullptr)
    {
        m_mesh = CActorResources::FindMesh(m_definition->model);
        m_meshResolved = true;
    }
    if (m_mesh == nullptr)
        return 0;
    // Model +z along the velocity: pitch about x, then yaw about y. This
    // is drawing, so the library's trigonometry will do.
    const CkvrVector3& v = m_velocity;
    const float flat = std::sqrt(v.x * v.x + v.z * v.z);
    const float yaw = (v.x != 0.0f || v.z != 0.0f) ? std::atan2(v.x, v.z) * kRadianToDegree : 0.0f;
    const float pitch = (flat != 0.0f || v.y != 0.0f) ? -std::atan2(v.y, flat) * kRadianToDegree : 0.0f;
    m_world.SetRotation(pitch, yaw, 0.0f);
    m_world.m[12] = m_position.x;
    m_world.m[13] = m_position.y;
    m_world.m[14] = m_position.z;
    if (CGraphics* graphics = CMesh::GetGraphics())
        graphics->SetBlendMode(GetBlendMode());
    return static_cast<int>(m_mesh->DrawStatic(&m_world, nullptr));
}

void CBullet::HashState(CStateHash* hash) const
{
    hash->Text(m_definition != nullptr ? m_definition->name : nullptr);
    hash->I32(m_owner);
    hash->U8(m_team);
    hash->U8(m_power);
    hash->U8(m_cancels ? 1 : 0);
    hash->Vec3(m_position);
    hash->Vec3(m_previous);
    hash->Vec3(m_velocity);
    hash->U32(m_life);
    hash->F32(m_gravity);
    hash->F32(m_bulletRadius);
    for (float bound : m_extent)
        hash->F32(bound);
}

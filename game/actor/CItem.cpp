#include "game/actor/CItem.h"

#include "engine/effect/CEffect.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CMesh.h"
#include "engine/render/CRenderList.h"
#include "game/actor/ActorDrawing.h"
#include "game/actor/CActorResources.h"
#include "game/actor/GroundShadow.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/SimulationMath.h"

#include <cmath>

CItem::CItem(const CItemDefinition* definition) : m_definition(definition)
{
    SetKind(KIND_GAME_OBJECT);
}

int CItem::Update(uintptr_t)
{
    if (m_taken || m_definition == nullptr)
        return 0;
    m_clock += GetElapsedMilliseconds();
    return (m_definition->fieldLife != 0 && m_clock >= m_definition->fieldLife) ? 0 : 1;
}

void CItem::MoveWithCollision(IBattleStage* stage)
{
    if (m_resting || stage == nullptr)
        return;
    const float dt = StepSeconds(GetElapsedMilliseconds());
    m_velocity.y = m_velocity.y - kGravity * dt;
    const float newY = m_position.y + m_velocity.y * dt;
    const CkvrVector3 start(m_position.x, m_position.y + 0.5f, m_position.z);
    const CkvrVector3 end(m_position.x, newY, m_position.z);
    CkvrVector3 point, normal;
    float ground = -INFINITY;
    if (stage->IntersectGroundModel(start, end, &point, &normal) != 0)
        ground = point.y;
    if (stage->IntersectStageObjects(start, end, &point, &normal) != 0 && normal.y > 0.0f && point.y > ground)
        ground = point.y;
    if (ground != -INFINITY)
    {
        m_position.y = ground;
        m_velocity = CkvrVector3();
        m_resting = true;
    }
    else
        m_position.y = newY;
    QuantizeVector(&m_position);
    QuantizeVector(&m_velocity);
}

void CItem::HashState(CStateHash* hash) const
{
    hash->Vec3(m_position);
    hash->Vec3(m_velocity);
    hash->U32(m_clock);
    hash->U8(m_taken ? 1 : 0);
    hash->U8(m_resting ? 1 : 0);
}

CMesh* CItem::GetModel()
{
    if (!m_modelLooked && m_definition != nullptr)
    {
        m_model = CActorResources::FindMesh(m_definition->model);
        m_modelLooked = true;
    }
    return m_model;
}

int CItem::Render(uintptr_t argument)
{
    if (m_taken || GetModel() == nullptr)
        return 1;
    if (argument != 0)
    {
        UpdateWorldMatrix();
        return reinterpret_cast<CRenderList*>(argument)->Add(this, 0);
    }
    ActorDrawing::DrawModel(m_model, &m_world, &m_color, GetBlendMode(), nullptr, true);
    return 1;
}

void CItem::DrawShadow(IBattleStage* stage)
{
    if (m_taken || m_definition == nullptr)
        return;
    GroundShadow::Draw(stage, m_shadowTexture, m_position, m_definition->radius * 2.0f, 0.01f);
}

void CItem::ReleaseAttachedEffect()
{
    // The handle answers null once the effect ended by itself.
    if (CEffect* effect = m_effect.Get())
        effect->Release();
    m_effect.Reset();
}

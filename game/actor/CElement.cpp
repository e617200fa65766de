#include "game/actor/CElement.h"

#include "engine/platform/FrameTimer.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CRenderList.h"
#include "game/actor/ActorDrawing.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/GroundShadow.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

CElement::CElement(const CElementDefinition* definition, const CkvrVector3& altar)
    : m_definition(definition), m_altar(altar)
{
    SetKind(KIND_GAME_OBJECT);
    QuantizeVector(&m_altar);
    m_position = m_altar;
}

CElement::CElement(const CElement& other, int duplicate)
    : CObjectBase(other, duplicate), m_definition(other.m_definition), m_altar(other.m_altar), m_state(other.m_state),
      m_carrier(other.m_carrier), m_respawnClock(other.m_respawnClock), m_elementMask(other.m_elementMask),
      m_model(other.m_model), m_modelLooked(other.m_modelLooked), m_shadowTexture(other.m_shadowTexture)
{
    if (other.m_animation != nullptr)
        ResetAnimation();
}

CElement::~CElement()
{
    ReleaseAnimation();
}

int CElement::Create(uintptr_t)
{
    if (m_definition == nullptr)
        return 0;
    GetModel();
    return 1;
}

CMesh* CElement::GetModel()
{
    if (!m_modelLooked && m_definition != nullptr)
    {
        m_model = CActorResources::FindMesh(m_definition->model);
        m_modelLooked = true;
    }
    return m_model;
}

void CElement::ReleaseAnimation()
{
    if (m_animation != nullptr)
        m_animation->Release();
    m_animation = nullptr;
}

void CElement::ResetAnimation()
{
    ReleaseAnimation();
    if (GetModel() == nullptr)
        return;
    m_animation = m_model->CreateAnimationController();
    if (m_animation != nullptr)
        m_animation->Play(m_definition->motion, 0.0f, 1, 0);
}

void CElement::AdvanceAnimation(float speed)
{
    if (m_animation != nullptr)
        m_animation->Update(FrameSeconds(GetElapsedMilliseconds()) * speed);
}

void CElement::UpdateMatrix()
{
    UpdateWorldMatrix();
    if (m_animation != nullptr)
        m_animation->UpdatePose(&m_world);
}

int CElement::Render(uintptr_t argument)
{
    if (m_state == STATE_IDLE || GetModel() == nullptr || !(m_color.w > 0.0f))
        return 1;
    if (argument != 0)
    {
        UpdateMatrix();
        return reinterpret_cast<CRenderList*>(argument)->Add(this, 0);
    }
    // It fades, so it leaves the depth buffer to what stands behind it.
    ActorDrawing::DrawModel(m_model, &m_world, &m_color, GetBlendMode(), m_animation, false);
    return 1;
}

void CElement::DrawShadow(IBattleStage* stage)
{
    if (m_state == STATE_IDLE || m_definition == nullptr)
        return;
    GroundShadow::Draw(stage, m_shadowTexture, m_position, m_definition->pickUpRadius * 2.0f, 0.1f);
}

void CElement::ResetAtAltar(uint32_t elementMask)
{
    m_elementMask = elementMask;
    if (m_state != STATE_IDLE || m_definition == nullptr || (elementMask & (1u << m_definition->element)) == 0)
        return;
    m_state = STATE_AT_ALTAR;
    m_position = m_altar;
    m_respawnClock = 0;
}

uint32_t CElement::TakeBy(int32_t fighter)
{
    if (m_state != STATE_AT_ALTAR)
        return 0;
    m_state = STATE_CARRIED;
    m_carrier = fighter;
    return 1;
}

int CElement::Update(uintptr_t argument)
{
    const tag_TOLQBATTLEFRAME* frame = reinterpret_cast<const tag_TOLQBATTLEFRAME*>(argument);
    if (m_state == STATE_CARRIED)
    {
        const CCharacter* carrier = (frame != nullptr && m_carrier >= 0 && m_carrier < frame->count)
                                        ? frame->fighters[m_carrier]
                                        : nullptr;
        if (carrier == nullptr || !carrier->IsBlessed() || carrier->IsDown())
        {
            m_state = STATE_IDLE;
            m_carrier = -1;
            m_respawnClock = 0;
            return 1;
        }
        // Above the carrier's head.
        const CkvrVector3* at = carrier->GetPosition();
        m_position = CkvrVector3(at->x, at->y + 2.2f, at->z);
        QuantizeVector(&m_position);
        return 1;
    }
    if (m_state == STATE_IDLE && m_definition != nullptr && m_definition->altarRespawn != 0)
    {
        m_respawnClock += GetElapsedMilliseconds();
        if (m_respawnClock >= m_definition->altarRespawn)
            ResetAtAltar(m_elementMask);
    }
    return 1;
}

void CElement::HashState(CStateHash* hash) const
{
    hash->U32(m_state);
    hash->I32(m_carrier);
    hash->U32(m_respawnClock);
    hash->U32(m_elementMask);
    hash->Vec3(m_position);
    hash->Vec3(m_altar);
}

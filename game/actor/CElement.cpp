#include "game/actor/CElement.h"

#include "engine/platform/FrameTimer.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

CElement::CElement(const CElementDefinition* definition, const CkvrVector3& altar)
    : m_definition(definition), m_altar(altar)
{
    SetKind(KIND_GAME_OBJECT);
    m_position = altar;
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
    hash->Vec3(m_position);
}

#include "game/actor/CElementAttack.h"

#include "game/actor/CCharacter.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CStateHash.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/actor/tag_TOLQCHARASTATE.h"

void CElementAttack::Start(const CElementAttackDefinition* definition)
{
    m_definition = definition;
    m_boxesHit.clear();
}

void CElementAttack::Advance(tag_TOLQCHARASTATE* state, uint32_t clock, IActorEffects* effects, uint32_t fighter,
                             const CkvrVector3& position, float yaw) const
{
    if (m_definition == nullptr || state == nullptr)
        return;
    const uint32_t previous = state->elementAttackTime;
    state->elementAttackTime = clock;
    if (effects == nullptr)
        return;
    for (const CEffectPlayerRecord& player : m_definition->effectPlayers)
    {
        const uint32_t plays = player.CountKeysPassed(previous, clock);
        for (uint32_t i = 0; i < plays; ++i)
            effects->PlayAttackEffect(player, fighter, position, yaw);
    }
}

void CElementAttack::TestHits(tag_TOLQBATTLEFRAME* frame, CCharacter* attacker)
{
    if (m_definition == nullptr || frame == nullptr || attacker == nullptr || attacker->GetDefinition() == nullptr)
        return;
    tag_TOLQCHARASTATE* state = attacker->GetStateBlock();
    const uint32_t clock = state->elementAttackTime;
    if (clock < m_definition->hitStart || clock >= m_definition->hitEnd)
        return;
    attacker->TestAttackSphere(frame, m_definition->reach, m_definition->radius, m_definition->power, &m_boxesHit);
}

const CWeaponDefinition* CElementAttack::GetShownWeapon(uint32_t clock, const CGameDataLists* gameData) const
{
    if (m_definition == nullptr || gameData == nullptr || m_definition->ownWeapon.empty() ||
        clock < m_definition->firstPhase)
        return nullptr;
    return gameData->FindWeapon(m_definition->ownWeapon.c_str());
}

void CElementAttack::HashState(CStateHash* hash) const
{
    hash->Text(m_definition != nullptr ? m_definition->name : nullptr);
    hash->U32(static_cast<uint32_t>(m_boxesHit.size()));
    for (uint32_t box : m_boxesHit)
        hash->U32(box);
}

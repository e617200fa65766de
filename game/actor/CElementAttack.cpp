#include "game/actor/CElementAttack.h"

#include "engine/core/Collision.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CombatRules.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/actor/tag_TOLQCHARASTATE.h"

#include <algorithm>

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
    tag_TOLQCHARASTATE* state = attacker->GetState();
    const uint32_t clock = state->elementAttackTime;
    if (clock < m_definition->hitStart || clock >= m_definition->hitEnd)
        return;
    const CCharacterDefinition* body = attacker->GetDefinition();
    const CkvrVector3& at = *attacker->GetPosition();
    const float yaw = DegreeToRadian(attacker->GetRotation()->y);
    const float chest = body->height - body->radius;
    const float reach = m_definition->reach;
    const float sphere[4] = {at.x + KvrSin(yaw) * reach, at.y + chest, at.z + KvrCos(yaw) * reach,
                             m_definition->radius};
    for (uint8_t i = 0; i < frame->count && i < 32; ++i)
    {
        CCharacter* other = frame->fighters[i];
        if (other == attacker || (state->swingHitMask & (1u << i)) != 0)
            continue;
        float spheres[2][4];
        other->GetBodySpheres(spheres);
        if (HitSphereSphere(sphere, spheres[0]) == 0 && HitSphereSphere(sphere, spheres[1]) == 0)
            continue;
        state->swingHitMask |= 1u << i;
        other->ReceiveHit(frame, attacker->GetIndex(), m_definition->power, false);
    }
    // Boxes take the damage without a factor.
    IBattleStage* stage = frame->stage;
    if (stage == nullptr)
        return;
    const bool powerItem = (state->statusBits & 1u) != 0;
    for (uint32_t box = 0; box < stage->GetBoxCount(); ++box)
    {
        if (stage->SphereTouchesBox(box, sphere) == 0)
            continue;
        if (std::find(m_boxesHit.begin(), m_boxesHit.end(), box) != m_boxesHit.end())
            continue;
        m_boxesHit.push_back(box);
        stage->DamageBox(box, ComputeDamage(m_definition->power, powerItem, 1.0f));
    }
}

const CWeaponDefinition* CElementAttack::GetShownWeapon(uint32_t clock, const CGameDataLists* gameData) const
{
    if (m_definition == nullptr || gameData == nullptr || m_definition->ownWeapon.empty() ||
        clock < m_definition->firstPhase)
        return nullptr;
    return gameData->FindWeapon(m_definition->ownWeapon.c_str());
}

// The hit step: goal test, the fighter's own swing against the others, and
// other owners' bullets against its body.
#include "game/actor/CCharacter.h"

#include "engine/core/Collision.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElement.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/CombatRules.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <algorithm>

namespace
{
struct BulletFilter
{
    uint8_t team;
    bool teamBattle;
    bool friendlyFire;
};

bool AcceptBullet(const CBullet& bullet, void* context)
{
    const BulletFilter* filter = static_cast<const BulletFilter*>(context);
    const bool mates = filter->teamBattle && filter->team < 4 && bullet.GetTeam() == filter->team;
    return filter->friendlyFire || !mates;
}
}

void CCharacter::UpdateHitsAndAttachments(tag_TOLQBATTLEFRAME* frame)
{
    if (frame == nullptr || m_data == nullptr)
        return;
    TestGoal(frame);
    TestSwing(frame);
    TestBullets(frame);
    TestItems(frame);
    TestElements(frame);
    // A hit can turn, stop or knock a fighter: what the next frame reads is
    // quantised like every other step's result.
    Quantize();
    UpdateWorldMatrix();
    UpdateWeaponHolders();
}

void CCharacter::TestGoal(tag_TOLQBATTLEFRAME* frame)
{
    if (m_state.actionState == STATE_STOPPED)
        return;
    int32_t teamSum = 0;
    for (uint8_t i = 0; i < frame->count; ++i)
    {
        CCharacter* other = frame->fighters[i];
        if (other == nullptr)
            continue;
        if (other == this || (m_data->teamBattle != 0 && other->GetTeam() < 4 && other->GetTeam() == GetTeam()))
            teamSum += other->m_state.ruleCounter;
    }
    if (HasReachedGoal(m_data->rule, m_state.ruleCounter, teamSum, m_data->goalCount))
        StartState(STATE_STOPPED);
}

void CCharacter::TestSwing(tag_TOLQBATTLEFRAME* frame)
{
    const uint32_t clock = m_state.stateClock;
    if (m_state.actionState == STATE_ATTACK)
    {
        const CWeapon* weapon = GetMainWeapon();
        if (weapon == nullptr || !weapon->IsShort())
            return;
        const CWeaponDefinition* definition = weapon->GetDefinition();
        if (clock >= definition->hitStart && clock < definition->hitEnd)
            TestAttackSphere(frame, definition->reach, definition->hitRadius, definition->power, &m_boxesHit);
        return;
    }
    const uint32_t s = m_state.actionState;
    if (s >= STATE_ELEMENT_ATTACK && s <= STATE_MAXIMUM_ATTACK)
        m_elementAttack.TestHits(frame, this);
}

void CCharacter::GetAttackSphere(float yawDegrees, float reach, float radius, float sphere[4]) const
{
    const float yaw = DegreeToRadian(yawDegrees);
    const float chest = m_definition->height - m_definition->radius;
    sphere[0] = m_position.x + KvrSin(yaw) * reach;
    sphere[1] = m_position.y + chest;
    sphere[2] = m_position.z + KvrCos(yaw) * reach;
    sphere[3] = radius;
}

bool CCharacter::BodyTouches(const float sphere[4]) const
{
    float body[2][4];
    GetBodySpheres(body);
    return HitSphereSphere(sphere, body[0]) != 0 || HitSphereSphere(sphere, body[1]) != 0;
}

// A sphere at reach in front of the chest hits each fighter once per action.
void CCharacter::TestAttackSphere(tag_TOLQBATTLEFRAME* frame, float reach, float radius, uint8_t power,
                                  std::vector<uint32_t>* boxesHit)
{
    float sphere[4];
    GetAttackSphere(m_rotation.y, reach, radius, sphere);
    for (uint8_t i = 0; i < frame->count && i < 32; ++i)
    {
        CCharacter* other = frame->fighters[i];
        if (other == nullptr || other == this || (m_state.swingHitMask & (1u << i)) != 0 ||
            !other->BodyTouches(sphere))
            continue;
        m_state.swingHitMask |= 1u << i;
        other->ReceiveHit(frame, GetIndex(), power, false);
    }
    // Boxes take the damage without a factor, each once per action.
    IBattleStage* stage = frame->stage;
    if (stage == nullptr)
        return;
    const bool powerItem = (m_state.statusBits & 1u) != 0;
    for (uint32_t box = 0; box < stage->GetBoxCount(); ++box)
    {
        if (stage->SphereTouchesBox(box, sphere) == 0)
            continue;
        if (std::find(boxesHit->begin(), boxesHit->end(), box) != boxesHit->end())
            continue;
        boxesHit->push_back(box);
        stage->DamageBox(box, ComputeDamage(power, powerItem, 1.0f));
    }
}

// Items touched by the body are taken, in the order they lie.
void CCharacter::TestItems(tag_TOLQBATTLEFRAME* frame)
{
    if (frame->field == nullptr || IsDown())
        return;
    float body[2][4];
    GetBodySpheres(body);
    for (std::unique_ptr<CItem>& item : frame->field->items)
    {
        if (item->IsTaken() || item->GetDefinition() == nullptr)
            continue;
        const CkvrVector3* at = item->GetPosition();
        const float sphere[4] = {at->x, at->y, at->z, item->GetDefinition()->radius};
        if (HitSphereSphere(sphere, body[0]) == 0 && HitSphereSphere(sphere, body[1]) == 0)
            continue;
        item->Take();
        ApplyItem(item->GetDefinition());
        PlayEvent(IActorEffects::ItemEvent(item->GetDefinition()->kind));
    }
}

void CCharacter::TestBullets(tag_TOLQBATTLEFRAME* frame)
{
    if (frame->bullets == nullptr || IsDown())
        return;
    float body[2][4];
    GetBodySpheres(body);
    BulletFilter filter{GetTeam(), m_data->teamBattle != 0, m_data->friendlyFire != 0};
    const std::vector<CBulletMemoryList::BodyHit> hits =
        frame->bullets->HitTestBody(GetIndex(), body, AcceptBullet, &filter);
    for (const CBulletMemoryList::BodyHit& hit : hits)
        ReceiveHit(frame, hit.owner, hit.power, true);
}

// Touching one's own element at its altar: its blessing, the element
// following.
void CCharacter::TestElements(tag_TOLQBATTLEFRAME* frame)
{
    if (frame->elements == nullptr || IsDown() || IsBlessed())
        return;
    float body[2][4];
    GetBodySpheres(body);
    for (uint32_t i = 0; i < frame->elementCount; ++i)
    {
        CElement* element = frame->elements[i];
        const CElementDefinition* definition = element->GetDefinition();
        if (definition == nullptr || element->GetState() != CElement::STATE_AT_ALTAR ||
            definition->element != m_definition->element)
            continue;
        const CkvrVector3* at = element->GetPosition();
        const float sphere[4] = {at->x, at->y, at->z, definition->pickUpRadius};
        if (HitSphereSphere(sphere, body[0]) == 0 && HitSphereSphere(sphere, body[1]) == 0)
            continue;
        if (element->TakeBy(GetIndex()) != 0)
        {
            SetBlessing(definition->blessingTime);
            PlayEvent(IActorEffects::EVENT_ELEMENTS_SET);
            return;
        }
    }
}

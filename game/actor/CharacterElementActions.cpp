// Element attacks, the burst, the elemental jumps, lock-on and blessing.
#include "game/actor/CCharacter.h"

#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/CombatRules.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <cmath>

namespace
{
float Distance(const CkvrVector3& a, const CkvrVector3& b)
{
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float YawTowards(const CkvrVector3& from, const CkvrVector3& to)
{
    return WrapYaw(RadianToDegreeFloat(KvrAtan2(to.x - from.x, to.z - from.z)));
}
}

void CCharacter::SetBlessing(uint32_t milliseconds)
{
    m_action.blessing = milliseconds != 0 ? 1 : 0;
    m_state.blessingClock = milliseconds;
    if (milliseconds != 0)
        m_state.statusBits |= 4u;
    else
        m_state.statusBits &= ~4u;
}

const CElementAttackDefinition* CCharacter::FindAttack(const std::string& name) const
{
    return m_gameData != nullptr ? m_gameData->FindElementAttack(name.c_str()) : nullptr;
}

CCharacter* CCharacter::GetLockOnTarget(tag_TOLQBATTLEFRAME* frame) const
{
    if (frame == nullptr || m_state.lockOn == 0 || m_state.lockOn > frame->count)
        return nullptr;
    return frame->fighters[m_state.lockOn - 1];
}

void CCharacter::UpdateLockOn(tag_TOLQBATTLEFRAME* frame)
{
    if (frame == nullptr || m_data == nullptr)
        return;
    if (Pressed(BUTTON_LOCK_ON))
    {
        if (m_state.lockOn != 0)
            m_state.lockOn = 0;
        else
        {
            float best = kLockOnRange;
            for (uint8_t i = 0; i < frame->count; ++i)
            {
                CCharacter* other = frame->fighters[i];
                if (other == nullptr || other == this || other->IsDown())
                    continue;
                const CombatantView a{GetIndex(), GetTeam(), false, false, false};
                const CombatantView b{other->GetIndex(), other->GetTeam(), false, false, false};
                if (AreTeamMates(a, b, m_data->teamBattle != 0))
                    continue;
                const float distance = Distance(m_position, other->m_position);
                if (distance <= best && (m_state.lockOn == 0 || distance < best))
                {
                    best = distance;
                    m_state.lockOn = static_cast<uint32_t>(i) + 1;
                }
            }
        }
    }
    CCharacter* target = GetLockOnTarget(frame);
    if (target == nullptr)
    {
        m_state.lockOn = 0;
        return;
    }
    if (target->IsDown() || Distance(m_position, target->m_position) > kLockOnKeepRange)
    {
        m_state.lockOn = 0;
        return;
    }
    const float yaw = YawTowards(m_position, target->m_position);
    m_state.cameraYaw = yaw;
    if (IsFreeToAct())
        m_rotation.y = yaw;
}

void CCharacter::UpdateBurst(uint32_t milliseconds)
{
    if (m_state.blessingClock != 0)
    {
        m_state.blessingClock = m_state.blessingClock > milliseconds ? m_state.blessingClock - milliseconds : 0;
        if (m_state.blessingClock == 0)
            SetBlessing(0);
    }
    if (m_state.burstActive == 0)
        return;
    m_state.burstClock += milliseconds;
    if (m_state.burstClock >= kBurstMilliseconds)
    {
        m_state.burstActive = 0;
        m_state.burstClock = 0;
        m_state.gauge = 0.0f;
        return;
    }
    m_state.gauge = 100.0f - static_cast<float>(m_state.burstClock) * (100.0f / static_cast<float>(kBurstMilliseconds));
}

bool CCharacter::StartElementAttack(const CElementAttackDefinition* attack, uint32_t state)
{
    if (attack == nullptr || m_state.ep < static_cast<float>(attack->epCost))
        return false;
    m_state.ep = m_state.ep - static_cast<float>(attack->epCost);
    StartState(state);
    m_elementAttack.Start(attack);
    m_state.runningElementAttack = static_cast<uint32_t>(attack->format) + 1;
    m_state.elementAttackTime = 0;
    m_state.velocity.x = 0.0f;
    m_state.velocity.z = 0.0f;
    m_score.value[tag_TOLQBATTLESCORE::MELEE_ATTACKS] += 1;
    // The motion of the attack, after the state's own.
    PlayMotion(attack->motion);
    return true;
}

// 26 held with 25 or 22 pressed, and 25 alone.
bool CCharacter::TryElementButtons(tag_TOLQBATTLEFRAME* frame)
{
    const bool trigger = Held(BUTTON_ELEMENT_TRIGGER);
    const bool free = IsFreeToAct();
    const CWeapon* hand = GetMainWeapon();
    const CWeaponDefinition* handDefinition = hand != nullptr ? hand->GetDefinition() : nullptr;
    if (trigger && Pressed(BUTTON_ELEMENT_ATTACK))
    {
        if (m_state.burstActive == 0)
        {
            if (m_state.gauge < 100.0f)
                return false;
            m_state.burstActive = 1;
            m_state.burstClock = 0;
            PlayEvent(IActorEffects::EVENT_BURST_SET);
            return true;
        }
        if (!free)
            return false;
        if (IsBlessed())
            return StartElementAttack(FindAttack(m_definition->maximumAttack), STATE_MAXIMUM_ATTACK);
        return handDefinition != nullptr && StartElementAttack(FindAttack(handDefinition->burstAttack), STATE_BURST_ATTACK);
    }
    if (trigger && Pressed(BUTTON_JUMP) && IsBlessed() && free)
        return StartElementalJump(frame);
    return false;
}

bool CCharacter::StartElementalJump(tag_TOLQBATTLEFRAME* frame)
{
    CCharacter* target = GetLockOnTarget(frame);
    PlayEvent(IActorEffects::EVENT_ELEMENTAL_JUMP);
    if (target == nullptr)
    {
        StartState(STATE_ELEMENTAL_JUMP);
        m_state.velocity.y = 2.0f * m_definition->jumpSpeed;
        m_state.grounded = 0;
        return true;
    }
    const float distance = Distance(m_position, target->m_position);
    if (distance <= 2.5f)
    {
        // Behind the target, facing it.
        const float yaw = DegreeToRadian(target->m_rotation.y);
        m_moveTarget = CkvrVector3(target->m_position.x - KvrSin(yaw) * 1.5f, m_position.y,
                                   target->m_position.z - KvrCos(yaw) * 1.5f);
        StartState(STATE_ELEMENTAL_REVERSE);
        const float seconds = FrameSeconds(kReverseMilliseconds);
        m_state.velocity = CkvrVector3((m_moveTarget.x - m_position.x) / seconds, 0.0f,
                                       (m_moveTarget.z - m_position.z) / seconds);
        return true;
    }
    StartState(STATE_ELEMENTAL_CHARGE);
    const float speed = 3.0f * m_definition->dashSpeed;
    const CkvrVector3 to(target->m_position.x - m_position.x, target->m_position.y - m_position.y,
                         target->m_position.z - m_position.z);
    m_state.velocity = CkvrVector3(to.x / distance * speed, to.y / distance * speed, to.z / distance * speed);
    m_rotation.y = YawTowards(m_position, target->m_position);
    return true;
}

void CCharacter::UpdateRunningAttack()
{
    IActorEffects* effects = m_data != nullptr ? m_data->effects : nullptr;
    m_elementAttack.Advance(&m_state, m_state.stateClock, effects, static_cast<uint32_t>(GetIndex()), m_position,
                            m_rotation.y);
}

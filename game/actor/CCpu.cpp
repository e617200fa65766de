#include "game/actor/CCpu.h"

#include "engine/core/CRandom.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "engine/platform/FrameTimer.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/CombatRules.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr uint32_t kStuckMilliseconds = 500;

void SetButton(tag_TOLQINPUTRECORD* record, uint32_t button)
{
    record->bytes[button / 8] = static_cast<uint8_t>(record->bytes[button / 8] | (1u << (button % 8)));
}

void SetDelta(tag_TOLQINPUTRECORD* record, uint32_t offset, float value)
{
    float clamped = value;
    if (clamped > 32767.0f)
        clamped = 32767.0f;
    if (clamped < -32768.0f)
        clamped = -32768.0f;
    const uint16_t bits = static_cast<uint16_t>(static_cast<int16_t>(clamped));
    record->bytes[offset] = static_cast<uint8_t>(bits);
    record->bytes[offset + 1] = static_cast<uint8_t>(bits >> 8);
}

bool CanShoot(const CWeapon* weapon)
{
    return weapon != nullptr && weapon->Fires() && weapon->GetAmmo() > 0;
}

bool IsShort(const CWeapon* weapon)
{
    return weapon != nullptr && weapon->IsShort();
}

float HorizontalDistance(const CkvrVector3& a, const CkvrVector3& b)
{
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

// The shortest turn from one yaw to another, in (-180, 180].
float TurnBetween(float from, float to)
{
    float turn = WrapYaw(to - from);
    if (turn > 180.0f)
        turn -= 360.0f;
    return turn;
}
}

CCpu::CCpu(const CCharacterDefinition* definition, uint32_t level)
    : CCharacter(definition), m_level(level > 4 ? 4 : level)
{
}

int CCpu::Update(uintptr_t argument)
{
    const tag_TOLQBATTLECHARADATA* data = GetBattleData();
    if (data != nullptr && data->localInput != 0)
    {
        tag_TOLQINPUTRECORD record;
        if (GetStateBlock()->resultPose == 0)
            Think(reinterpret_cast<tag_TOLQBATTLEFRAME*>(argument), &record);
        ApplyInputRecord(&record, data->input);
    }
    return CCharacter::Update(argument);
}

void CCpu::Draw()
{
    // Always these four draws, in this order.
    const int32_t error = 20 - 5 * static_cast<int32_t>(m_level);
    m_aimError = static_cast<int32_t>(RandomInt(static_cast<uint32_t>(2 * error + 1))) - error;
    m_attackRoll = static_cast<float>(RandomInt(100)) < 20.0f + 15.0f * static_cast<float>(m_level);
    m_dodgeRoll = static_cast<float>(RandomInt(100)) < 7.5f * static_cast<float>(m_level);
    m_strafeSide = RandomInt(2);
}

int32_t CCpu::FindTarget(tag_TOLQBATTLEFRAME* frame) const
{
    if (frame == nullptr || GetBattleData() == nullptr)
        return -1;
    const bool teamBattle = GetBattleData()->teamBattle != 0;
    int32_t best = -1;
    float bestDistance = 0.0f;
    for (uint8_t i = 0; i < frame->count; ++i)
    {
        const CCharacter* other = frame->fighters[i];
        if (other == nullptr || other == this || other->IsDown())
            continue;
        if (teamBattle && GetTeam() < 4 && other->GetTeam() == GetTeam())
            continue;
        const float dx = other->GetPosition()->x - m_position.x, dz = other->GetPosition()->z - m_position.z;
        const float distance = dx * dx + dz * dz;
        if (best < 0 || distance < bestDistance)
        {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

CCpu::Plan CCpu::ChoosePlan(float distance) const
{
    const CWeapon* hand = GetMainWeapon();
    const CWeapon* other = GetSubWeapon();
    if (CanShoot(hand))
        return Plan::Shoot;
    if (IsShort(hand))
        return CanShoot(other) && distance > kCloseInRange ? Plan::Shoot : Plan::Swing;
    if (CanShoot(other))
        return Plan::Shoot;
    return IsShort(other) ? Plan::Swing : Plan::None;
}

// The short weapon a swing would take: the hand's, else the sub weapon's.
const CWeapon* CCpu::SwingWeapon() const
{
    if (IsShort(GetMainWeapon()))
        return GetMainWeapon();
    return IsShort(GetSubWeapon()) ? GetSubWeapon() : nullptr;
}

float CCpu::SwingLead() const
{
    const CWeapon* weapon = SwingWeapon();
    if (weapon == nullptr)
        return 0.0f;
    const CWeaponDefinition* definition = weapon->GetDefinition();
    return FrameSeconds((definition->hitStart + definition->hitEnd) / 2);
}

CkvrVector3 CCpu::AimPoint(const CCharacter* other, Plan plan) const
{
    const CkvrVector3& at = *other->GetPosition();
    if (plan != Plan::Swing)
        return at;
    const float lead = SwingLead();
    const CkvrVector3& velocity = other->GetStateBlock()->velocity;
    return CkvrVector3(at.x + velocity.x * lead, at.y, at.z + velocity.z * lead);
}

// The blade at the middle of its window, carried forward by the lunge,
// against the target moved on by its velocity as far.
bool CCpu::SwingReaches(const CCharacter* other, float yaw) const
{
    const CWeapon* weapon = SwingWeapon();
    if (weapon == nullptr || other == nullptr || GetDefinition() == nullptr)
        return false;
    const CWeaponDefinition* definition = weapon->GetDefinition();
    const float lead = SwingLead();
    float sphere[4];
    GetAttackSphere(yaw, definition->reach + definition->lungeSpeed * lead, definition->hitRadius, sphere);
    const CkvrVector3& velocity = other->GetStateBlock()->velocity;
    sphere[0] = sphere[0] - velocity.x * lead;
    sphere[2] = sphere[2] - velocity.z * lead;
    return other->BodyTouches(sphere);
}

bool CCpu::InRange(Plan plan, const CCharacter* other, float yaw, float distance) const
{
    switch (plan)
    {
    case Plan::Shoot: return distance <= kShootingRange;
    case Plan::Swing: return SwingReaches(other, yaw);
    default: return distance <= kUnarmedRange;
    }
}

void CCpu::Approach(tag_TOLQINPUTRECORD* record, float distance, uint32_t milliseconds)
{
    record->bytes[8] = static_cast<uint8_t>(-100); // forward
    if (distance < m_bestDistance - 0.1f)
    {
        m_bestDistance = distance;
        m_stuckClock = 0;
    }
    else
        m_stuckClock += milliseconds;
    if (m_stuckClock >= kStuckMilliseconds)
    {
        SetButton(record, BUTTON_JUMP);
        m_stuckClock = 0;
        m_bestDistance = distance;
    }
}

// One frame: the draws when the interval has passed, then the nearest
// standing enemy. The camera turns to it (plus the drawn error), and the
// swing or the shot goes where the camera looks. Shooting, the CPU closes to
// kShootingRange, then strafes to the drawn side and fires when its attack
// roll is up. Swinging, it walks in until a swing along its aim would touch
// the target, then strafes and swings when the roll is up. A dodge roll is
// spent first, at either range.
void CCpu::Think(tag_TOLQBATTLEFRAME* frame, tag_TOLQINPUTRECORD* record)
{
    std::memset(record->bytes, 0, sizeof(record->bytes));
    const uint32_t milliseconds = GetElapsedMilliseconds();
    m_thinkClock += milliseconds;
    if (!m_drawn || m_thinkClock >= GetThinkInterval())
    {
        m_drawn = true;
        m_thinkClock = 0;
        Draw();
    }
    const int32_t target = FindTarget(frame);
    if (target != m_target)
    {
        m_target = target;
        m_stuckClock = 0;
        m_bestDistance = INFINITY;
    }
    if (target < 0)
        return;
    const CCharacter* other = frame->fighters[target];
    const tag_TOLQCHARASTATE* state = GetStateBlock();
    const float distance = HorizontalDistance(*other->GetPosition(), m_position);
    const Plan plan = ChoosePlan(distance);
    // Turn the camera toward the target (where a swing would find it), plus
    // the drawn error.
    const CkvrVector3 aim = AimPoint(other, plan);
    const float dx = aim.x - m_position.x, dz = aim.z - m_position.z;
    const float scale = GetBattleData()->mouseSensitivity * 0.05f;
    const float yaw = RadianToDegreeFloat(KvrAtan2(dx, dz)) + static_cast<float>(m_aimError);
    SetDelta(record, 11, TurnBetween(state->cameraYaw, yaw) / scale);
    const float dy = other->GetPosition()->y - m_position.y;
    const float pitch = RadianToDegreeFloat(KvrAtan2(dy, distance));
    SetDelta(record, 13, (state->cameraPitch - pitch) / scale);

    if (!InRange(plan, other, yaw, distance))
    {
        Approach(record, distance, milliseconds);
        return;
    }
    record->bytes[7] = static_cast<uint8_t>(m_strafeSide != 0 ? 100 : -100);
    m_stuckClock = 0;
    m_bestDistance = distance;
    if (m_dodgeRoll)
    {
        SetButton(record, BUTTON_ELEMENT_TRIGGER);
        m_dodgeRoll = false;
        return;
    }
    if (!m_attackRoll || plan == Plan::None)
        return;
    SetButton(record, BUTTON_ATTACK);
    if (plan == Plan::Shoot)
        SetButton(record, BUTTON_AIM);
    m_attackRoll = false;
}

void CCpu::HashState(CStateHash* hash) const
{
    CCharacter::HashState(hash);
    hash->U32(m_level);
    hash->U8(m_drawn ? 1 : 0);
    hash->U32(m_thinkClock);
    hash->I32(m_aimError);
    hash->U8(m_attackRoll ? 1 : 0);
    hash->U8(m_dodgeRoll ? 1 : 0);
    hash->U32(m_strafeSide);
    hash->I32(m_target);
    hash->U32(m_stuckClock);
    hash->F32(m_bestDistance);
}

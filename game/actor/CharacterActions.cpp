// The action machine: what a fighter does with its pad each frame.
#include "game/actor/CCharacter.h"

#include "engine/core/CRandom.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/CombatRules.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/IBattleConsole.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <cmath>

namespace
{
uint32_t CountDown(uint32_t clock, uint32_t milliseconds)
{
    return clock > milliseconds ? clock - milliseconds : 0;
}

// Unit vector of a yaw and pitch in degrees (yaw 0 faces +z).
CkvrVector3 Direction(float yawDegrees, float pitchDegrees)
{
    const float yaw = DegreeToRadian(yawDegrees), pitch = DegreeToRadian(pitchDegrees);
    const float cp = KvrCos(pitch);
    return CkvrVector3(KvrSin(yaw) * cp, KvrSin(pitch), KvrCos(yaw) * cp);
}

// An offset in the body's frame (x right, y up, z forward) turned by yaw.
CkvrVector3 TurnByYaw(const CkvrVector3& offset, float yawDegrees)
{
    const float yaw = DegreeToRadian(yawDegrees);
    const float s = KvrSin(yaw), c = KvrCos(yaw);
    return CkvrVector3(offset.x * c + offset.z * s, offset.y, offset.z * c - offset.x * s);
}
}

void CCharacter::UpdateClocks(uint32_t milliseconds)
{
    m_state.stateClock += milliseconds;
    if (m_state.actionState == STATE_DOWN)
        m_state.downClock += milliseconds;
    m_state.powerClock = CountDown(m_state.powerClock, milliseconds);
    m_state.speedClock = CountDown(m_state.speedClock, milliseconds);
    if (m_state.powerClock == 0)
        m_state.statusBits &= ~1u;
    if (m_state.speedClock == 0)
        m_state.statusBits &= ~2u;
    const uint32_t longest = m_state.powerClock > m_state.speedClock ? m_state.powerClock : m_state.speedClock;
    m_action.effectTime = FrameSeconds(longest);
    m_state.voiceCooldown = CountDown(m_state.voiceCooldown, milliseconds);
    m_state.handlingClock = CountDown(m_state.handlingClock, milliseconds);
    m_action.switchClock += milliseconds;
    m_action.stepClock += milliseconds;
    if (m_action.palette == 3 && m_action.switchClock >= kPaletteSwapMilliseconds)
        m_action.palette = 0;
    // A closed palette's list slides out, then is gone.
    if (m_action.switchDirection == 2 && m_action.switchClock >= kPaletteSlideMilliseconds)
        m_action.selectMode = tag_TOLQCHARAACTION::SELECT_NONE;
    if (m_state.handlingClock == 0)
        m_state.weaponHandling = 0;
    UpdateBurst(milliseconds);
    // The HUD only clears the notice; its clock runs while it is raised.
    if (m_action.notice != 0)
        m_action.noticeClock += milliseconds;
}

float CCharacter::MoveSpeedFactor() const
{
    return (m_state.statusBits & 2u) != 0 ? 1.3f : 1.0f;
}

void CCharacter::StartState(uint32_t state)
{
    if (state < STATE_ELEMENT_ATTACK || state > STATE_MAXIMUM_ATTACK)
    {
        m_elementAttack.Stop();
        m_state.runningElementAttack = 0;
        m_state.elementAttackTime = 0;
    }
    m_state.actionState = state;
    m_state.stateClock = 0;
    m_state.swingHitMask = 0;
    m_boxesHit.clear();
    PlayMotion(static_cast<int32_t>(8 + state));
}

void CCharacter::UpdateActions(tag_TOLQBATTLEFRAME* frame, uint32_t milliseconds)
{
    if (m_definition == nullptr)
        return;
    // A fighter stopped at the goal stands where it stopped: whatever speed
    // it had then is gone (it still falls to the ground).
    if (m_state.actionState == STATE_STOPPED)
    {
        m_state.velocity.x = 0.0f;
        m_state.velocity.z = 0.0f;
        return;
    }
    if (m_state.actionState == STATE_DOWN)
    {
        UpdateDown(frame);
        return;
    }
    if (m_state.resultPose != 0)
    {
        m_state.velocity.x = 0.0f;
        m_state.velocity.z = 0.0f;
        return;
    }
    UpdateLockOn(frame);
    UpdateRadio();
    UpdateAim();
    UpdateCameraTurn(milliseconds);
    EndTimedState(milliseconds);
    if (m_state.actionState == STATE_ELEMENTAL_CHARGE)
    {
        const CCharacter* target = GetLockOnTarget(frame);
        if (target != nullptr)
        {
            const float dx = target->m_position.x - m_position.x, dz = target->m_position.z - m_position.z;
            if (dx * dx + dz * dz <= 1.5f * 1.5f)
                StartState(STATE_STAND);
        }
    }
    const uint32_t s = m_state.actionState;
    if (s >= STATE_ELEMENT_ATTACK && s <= STATE_MAXIMUM_ATTACK)
        UpdateRunningAttack();
    if (!TryStartAction(frame))
        UpdateMovementInput(milliseconds);
}

void CCharacter::UpdateCameraTurn(uint32_t milliseconds)
{
    if (Pressed(BUTTON_VIEW))
        m_state.cameraMode = m_state.cameraMode == 3 ? 0 : 3;
    if (Pressed(BUTTON_CAMERA_FRONT))
    {
        m_state.cameraYaw = m_rotation.y;
        m_state.cameraPitch = 0.0f;
    }
    if (!CanControlCamera() || m_data == nullptr)
        return;
    const float dt = FrameSeconds(milliseconds);
    const float mouse = m_data->mouseSensitivity * 0.05f;
    const float stick = m_data->cameraSensitivity * 36.0f * dt;
    m_state.cameraYaw = WrapYaw(m_state.cameraYaw + m_pad.mouseDeltaX * mouse + m_pad.rightX * stick);
    float pitch = m_state.cameraPitch - m_pad.mouseDeltaY * mouse - m_pad.rightY * stick;
    if (pitch > 60.0f)
        pitch = 60.0f;
    if (pitch < -60.0f)
        pitch = -60.0f;
    m_state.cameraPitch = pitch;
}

void CCharacter::EndTimedState(uint32_t)
{
    const uint32_t clock = m_state.stateClock;
    switch (m_state.actionState)
    {
    case STATE_DODGE:
        if (clock >= kDodgeMilliseconds)
            StartState(STATE_STAND);
        break;
    case STATE_HIT:
        if (clock >= kHitMilliseconds)
            StartState(STATE_STAND);
        break;
    case STATE_ELEMENTAL_REVERSE:
    case STATE_ELEMENTAL_CHARGE:
        if (clock >= (m_state.actionState == STATE_ELEMENTAL_REVERSE ? kReverseMilliseconds : kChargeMilliseconds))
        {
            StartState(STATE_STAND);
            m_state.velocity = CkvrVector3(0.0f, m_state.velocity.y > 0.0f ? 0.0f : m_state.velocity.y, 0.0f);
        }
        break;
    case STATE_ELEMENT_ATTACK:
    case STATE_BURST_ATTACK:
    case STATE_MAXIMUM_ATTACK:
        if (!m_elementAttack.IsRunning() || clock >= m_elementAttack.GetDefinition()->duration)
        {
            StartState(STATE_STAND);
            m_state.runningElementAttack = 0;
            m_state.elementAttackTime = 0;
        }
        break;
    case STATE_AIR_DASH:
        if (clock >= kAirDashMilliseconds)
        {
            m_state.actionState = STATE_JUMP;
            m_state.velocity.x = 0.0f;
            m_state.velocity.z = 0.0f;
        }
        break;
    case STATE_ATTACK:
    {
        const CWeapon* weapon = GetMainWeapon();
        const uint32_t swing = (weapon != nullptr && weapon->IsShort()) ? weapon->GetDefinition()->swingTime : 0;
        if (clock >= swing)
        {
            StartState(STATE_STAND);
            m_state.velocity.x = 0.0f;
            m_state.velocity.z = 0.0f;
        }
        break;
    }
    case STATE_LONG_ATTACK:
    case STATE_SPECIAL_ATTACK:
    {
        const CWeapon* weapon = GetMainWeapon();
        const uint32_t interval = weapon != nullptr ? weapon->GetDefinition()->fireInterval : 0;
        if (clock >= interval)
            StartState(STATE_STAND);
        break;
    }
    default: break;
    }
}

bool CCharacter::TryStartAction(tag_TOLQBATTLEFRAME* frame)
{
    if (UpdatePalette(frame))
        return false; // the palette has the buttons; the feet still move
    if (TryElementButtons(frame))
        return true;
    const bool free = IsFreeToAct();
    const bool grounded = m_state.grounded != 0;
    if (Pressed(BUTTON_ELEMENT_TRIGGER) && m_pad.leftMagnitude >= 0.5f && grounded && free && m_state.ep >= 1.0f)
    {
        m_state.ep = m_state.ep - 1.0f;
        StartState(STATE_DODGE);
        const float yaw = WrapYaw(m_state.cameraYaw + RadianToDegreeFloat(KvrAtan2(m_pad.leftX, -m_pad.leftY)));
        const CkvrVector3 direction = Direction(yaw, 0.0f);
        m_state.velocity.x = direction.x * m_definition->dodgeSpeed;
        m_state.velocity.z = direction.z * m_definition->dodgeSpeed;
        return true;
    }
    if (Pressed(BUTTON_JUMP))
    {
        if (grounded && free)
        {
            StartState(STATE_JUMP);
            m_state.velocity.y = m_definition->jumpSpeed;
            m_state.grounded = 0;
            return true;
        }
        if (m_state.actionState == STATE_JUMP && m_state.ep >= 2.0f)
        {
            m_state.ep = m_state.ep - 2.0f;
            m_state.actionState = STATE_AIR_DASH;
            m_state.stateClock = 0;
            PlayMotion(8 + STATE_AIR_DASH);
            PlayEvent(IActorEffects::EVENT_FLY);
            const CkvrVector3 forward = Direction(m_rotation.y, 0.0f);
            m_state.velocity = CkvrVector3(forward.x * m_definition->airDashSpeed, 0.0f,
                                           forward.z * m_definition->airDashSpeed);
            return true;
        }
    }
    if (AttackPressed() && free)
    {
        if (Aiming())
            return StartFire(frame);
        return StartSwing();
    }
    if (Pressed(BUTTON_PICK_UP) && free && TryPickUp(frame))
        return false; // picking up does not stop the feet
    if (free && TryDigitSelect())
        return false;
    if (Pressed(BUTTON_COVER) && TryCover(frame))
        return true;
    if (Pressed(BUTTON_ELEMENT_ATTACK) && !Held(BUTTON_ELEMENT_TRIGGER) && free)
    {
        const CWeapon* hand = GetMainWeapon();
        if (hand != nullptr && StartElementAttack(FindAttack(hand->GetDefinition()->elementAttack), STATE_ELEMENT_ATTACK))
            return true;
    }
    return false;
}

void CCharacter::UpdateMovementInput(uint32_t milliseconds)
{
    const uint32_t s = m_state.actionState;
    const bool onFoot = s == STATE_STAND || s == STATE_MOVE;
    const bool airborne = s == STATE_JUMP || s == STATE_ELEMENTAL_JUMP;
    if (!onFoot && !airborne)
    {
        if (s == STATE_ATTACK)
        {
            const CWeapon* weapon = GetMainWeapon();
            const float lunge = (weapon != nullptr && weapon->IsShort()) ? weapon->GetDefinition()->lungeSpeed : 0.0f;
            const CkvrVector3 forward = Direction(m_rotation.y, 0.0f);
            m_state.velocity.x = forward.x * lunge;
            m_state.velocity.z = forward.z * lunge;
        }
        else if (s == STATE_LONG_ATTACK || s == STATE_SPECIAL_ATTACK || s == STATE_HIT)
        {
            m_state.velocity.x = 0.0f;
            m_state.velocity.z = 0.0f;
        }
        return;
    }
    const float magnitude = m_pad.leftMagnitude;
    if (m_state.cover != 0)
    {
        // Moving off the wall ends the cover.
        if (magnitude < 0.2f)
        {
            m_state.velocity.x = 0.0f;
            m_state.velocity.z = 0.0f;
            return;
        }
        m_state.cover = 0;
    }
    if (magnitude >= 0.9f)
        m_state.dashHoldClock += milliseconds;
    else
        m_state.dashHoldClock = 0;
    m_state.dashFlag = m_state.dashHoldClock >= kDashHoldMilliseconds ? 1 : 0;
    if (magnitude < 0.2f)
    {
        if (s == STATE_MOVE)
            StartState(STATE_STAND);
        if (!airborne)
        {
            m_state.velocity.x = 0.0f;
            m_state.velocity.z = 0.0f;
        }
        return;
    }
    if (s == STATE_STAND)
        StartState(STATE_MOVE);
    // Stick up (negative y) is the camera's forward.
    const float yaw = WrapYaw(m_state.cameraYaw + RadianToDegreeFloat(KvrAtan2(m_pad.leftX, -m_pad.leftY)));
    m_rotation.y = yaw;
    const float speed =
        (m_state.dashFlag != 0 && !airborne ? m_definition->dashSpeed : m_definition->walkSpeed) *
        MoveSpeedFactor();
    const CkvrVector3 direction = Direction(yaw, 0.0f);
    m_state.velocity.x = direction.x * speed;
    m_state.velocity.z = direction.z * speed;
}

bool CCharacter::StartSwing()
{
    // The short weapon in main or sub goes into the hand.
    CWeapon* main = GetMainWeapon();
    if (main == nullptr || !main->IsShort())
    {
        CWeapon* sub = GetSubWeapon();
        if (sub == nullptr || !sub->IsShort())
            return false;
        const uint8_t swap = m_action.mainSlot;
        m_action.mainSlot = m_action.subSlot;
        m_action.subSlot = swap;
    }
    StartState(STATE_ATTACK);
    // The swing goes where the fighter aims (the camera's yaw, which a
    // lock-on keeps on its target), not where its feet were carrying it.
    m_rotation.y = m_state.cameraYaw;
    m_score.value[tag_TOLQBATTLESCORE::MELEE_ATTACKS] += 1;
    return true;
}

bool CCharacter::StartFire(tag_TOLQBATTLEFRAME* frame)
{
    CWeapon* main = GetMainWeapon();
    if (main == nullptr || !main->Fires())
    {
        CWeapon* sub = GetSubWeapon();
        if (sub == nullptr || !sub->Fires())
            return false;
        const uint8_t swap = m_action.mainSlot;
        m_action.mainSlot = m_action.subSlot;
        m_action.subSlot = swap;
        main = sub;
    }
    m_state.aimFlag = 1;
    if (main->GetAmmo() == 0)
        return false;
    StartState(main->IsLong() ? STATE_LONG_ATTACK : STATE_SPECIAL_ATTACK);
    m_rotation.y = m_state.cameraYaw;
    FireWeapon(main, frame);
    return true;
}

void CCharacter::FireWeapon(CWeapon* weapon, tag_TOLQBATTLEFRAME* frame)
{
    weapon->Spend();
    m_score.value[tag_TOLQBATTLESCORE::SHOTS] += 1;
    CBulletMemoryList* pool = frame != nullptr ? frame->bullets : nullptr;
    const float* extent = (frame != nullptr && frame->stage != nullptr) ? frame->stage->GetExtent() : nullptr;
    const CkvrVector3 hand = TurnByYaw(m_definition->handOffset, m_rotation.y);
    for (const CWeaponDefinition::BulletRecord& record : weapon->GetDefinition()->bullets)
    {
        const CBulletDefinition* bullet = m_gameData != nullptr ? m_gameData->FindBullet(record.bullet.c_str()) : nullptr;
        const CkvrVector3 muzzle = TurnByYaw(record.muzzle, m_rotation.y);
        const CkvrVector3 start(m_position.x + hand.x + muzzle.x, m_position.y + hand.y + muzzle.y,
                                m_position.z + hand.z + muzzle.z);
        for (uint32_t shot = 0; shot < record.shots; ++shot)
        {
            // Two draws per shot whether or not the bullet can be made, so
            // that the stream does not depend on the data that resolved.
            const float spreadYaw = (static_cast<float>(RandomInt(2001)) - 1000.0f) * 0.001f * record.spread;
            const float spreadPitch = (static_cast<float>(RandomInt(2001)) - 1000.0f) * 0.001f * record.spread;
            if (bullet == nullptr || pool == nullptr)
                continue;
            CBullet* fired = pool->Spawn();
            if (fired == nullptr)
                continue;
            const CkvrVector3 d = Direction(m_state.cameraYaw + spreadYaw, m_state.cameraPitch + spreadPitch);
            const CkvrVector3 velocity(d.x * bullet->speed, d.y * bullet->speed, d.z * bullet->speed);
            fired->Setup(bullet, GetIndex(), m_action.team, weapon->GetDefinition()->power, start, velocity, extent);
        }
    }
}

void CCharacter::UpdateDown(tag_TOLQBATTLEFRAME* frame)
{
    m_state.velocity.x = 0.0f;
    m_state.velocity.z = 0.0f;
    if (m_data == nullptr || m_data->rule > 3 || m_state.downClock < kDownMilliseconds)
        return;
    if (m_data->rule == 2 && frame != nullptr)
    {
        int32_t sum = 0;
        for (uint8_t i = 0; i < frame->count; ++i)
        {
            CCharacter* other = frame->fighters[i];
            if (other == nullptr)
                continue;
            const bool mate = other == this || (m_data->teamBattle != 0 && other->GetTeam() < 4 &&
                                                other->GetTeam() == GetTeam());
            if (mate)
                sum += other->m_state.ruleCounter;
        }
        if (IsTeamOut(sum, static_cast<int32_t>(m_data->goalCount) - 1))
            return;
    }
    IBattleStage* stage = frame != nullptr ? frame->stage : nullptr;
    const uint32_t count = stage != nullptr ? stage->GetStartPointCount() : 0;
    const uint32_t pick = RandomInt(count);
    CkvrVector3 rotation;
    const CkvrVector3* start = stage != nullptr ? stage->GetStartPoint(pick, &rotation) : nullptr;
    if (start != nullptr)
    {
        m_position = *start;
        m_rotation = rotation;
    }
    m_state.life = m_state.maxLife;
    m_state.velocity = CkvrVector3();
    m_state.grounded = 0;
    m_state.downClock = 0;
    StartState(STATE_STAND);
    // Risen after the battle's end: it takes the pose it was given while
    // down, the motion alone (the pose's voice and draw are not made for a
    // fighter that is down).
    const int32_t pose = GetResultPoseMotion(m_state.resultPose);
    if (pose >= 0)
        PlayMotion(pose);
}

// The nearest field weapon within reach whose mask has the own bit, as a
// stored weapon.
bool CCharacter::TryPickUp(tag_TOLQBATTLEFRAME* frame)
{
    if (frame == nullptr || frame->field == nullptr)
        return false;
    std::vector<std::unique_ptr<CWeapon>>& weapons = frame->field->weapons;
    int32_t best = -1;
    float bestDistance = kPickUpRange * kPickUpRange;
    for (size_t i = 0; i < weapons.size(); ++i)
    {
        const CWeaponDefinition* definition = weapons[i]->GetDefinition();
        if (definition == nullptr || (definition->characterMask & m_definition->ownBit) == 0)
            continue;
        const CkvrVector3& at = *weapons[i]->GetPosition();
        const float dx = at.x - m_position.x, dy = at.y - m_position.y, dz = at.z - m_position.z;
        const float distance = dx * dx + dy * dy + dz * dz;
        if (distance <= bestDistance && (best < 0 || distance < bestDistance))
        {
            best = static_cast<int32_t>(i);
            bestDistance = distance;
        }
    }
    m_action.targetedFieldWeapon = best;
    if (best < 0 || TakeWeapon(&weapons[static_cast<size_t>(best)], 4) == 0)
        return false;
    weapons.erase(weapons.begin() + best);
    m_action.targetedFieldWeapon = -1;
    m_state.weaponHandling = 1;
    m_state.handlingClock = kHandlingMilliseconds;
    PlayEvent(IActorEffects::EVENT_WEAPON_SET);
    return true;
}

// F1-F12: radio message i to the console and its stored phrase. Team-only
// lines are heard only in a team battle.
void CCharacter::UpdateRadio()
{
    if (m_data == nullptr)
        return;
    for (uint32_t i = 0; i < CCharacterDefinition::kRadioChats; ++i)
    {
        if (!Pressed(static_cast<uint8_t>(KVR_BUTTON_FUNCTION_FIRST + i)))
            continue;
        const tag_TOLQRADIOCHAT& chat = m_data->radioChat[i];
        if (chat.scope != 0 && m_data->teamBattle == 0)
            continue;
        if (m_data->console != nullptr)
            m_data->console->AddRadioMessage(static_cast<uint32_t>(GetIndex()), i);
        // The phrase byte is already the voice entry (0x38 + line).
        PlayVoice(chat.phrase, 1);
    }
}

void CCharacter::TakeIntoHand(uint8_t slot)
{
    const CWeapon* weapon = GetWeapon(slot);
    if (weapon == nullptr || slot == m_action.mainSlot)
        return;
    const CWeapon* main = GetMainWeapon();
    // The weapon of the other category stays at hand as the sub weapon.
    if (main != nullptr && main->IsShort() != weapon->IsShort())
        m_action.subSlot = m_action.mainSlot;
    else if (slot == m_action.subSlot)
        m_action.subSlot = tag_TOLQCHARAACTION::kNoSlot;
    m_action.mainSlot = slot;
    PlayEvent(IActorEffects::EVENT_CHANGE_SOUND);
}

// The digit keys 1-9 and 0 take slots 0-9 into the hand at once.
bool CCharacter::TryDigitSelect()
{
    for (uint8_t digit = 0; digit < 10; ++digit)
    {
        if (!Pressed(static_cast<uint8_t>(KVR_BUTTON_DIGIT_FIRST + digit)) || GetWeapon(digit) == nullptr)
            continue;
        TakeIntoHand(digit);
        return true;
    }
    return false;
}

// 27 facing a wall of the hit model within 1: the back goes to the wall
// until 27 again or moving off.
bool CCharacter::TryCover(tag_TOLQBATTLEFRAME* frame)
{
    if (m_state.cover != 0)
    {
        m_state.cover = 0;
        return true;
    }
    if (!IsFreeToAct() || frame == nullptr || frame->stage == nullptr)
        return false;
    const CkvrVector3 forward = Direction(m_rotation.y, 0.0f);
    const float chest = m_definition->height - m_definition->radius;
    const CkvrVector3 start(m_position.x, m_position.y + chest, m_position.z);
    const float reach = m_definition->radius + 1.0f;
    const CkvrVector3 end(start.x + forward.x * reach, start.y, start.z + forward.z * reach);
    CkvrVector3 point, normal;
    if (frame->stage->IntersectHitModelNearest(start, end, &point, &normal) == 0)
        return false;
    m_state.cover = 1;
    m_rotation.y = WrapYaw(m_rotation.y + 180.0f);
    StartState(STATE_STAND);
    m_state.velocity.x = 0.0f;
    m_state.velocity.z = 0.0f;
    return true;
}

// The weapon palette: the previous/next buttons and the wheel open it and
// step its cursor through the filled slots; aim swaps near and far, pick-up
// drops the cursor's weapon, attack takes it into the hand and closes.
// 1 while the palette holds the buttons.
bool CCharacter::UpdatePalette(tag_TOLQBATTLEFRAME* frame)
{
    const bool previous = Pressed(kButtonPrevious) || Pressed(KVR_BUTTON_WHEEL_UP);
    const bool next = Pressed(kButtonNext) || Pressed(KVR_BUTTON_WHEEL_DOWN);
    if (previous || next)
    {
        if (m_action.weaponChange == 0)
        {
            m_action.weaponChange = 1;
            m_action.switchDirection = 1;
            m_action.switchClock = 0;
            m_action.cursorSlot = m_action.mainSlot < kWeaponSlots ? m_action.mainSlot : 0;
            m_action.selectMode = SelectModeOf(m_action.cursorSlot);
        }
        const uint8_t mode = m_action.selectMode;
        StepCursor(previous ? -1 : 1);
        // Up, down, or over into the other list.
        m_action.stepDirection = m_action.selectMode != mode ? 3 : (previous ? 1 : 2);
        m_action.stepClock = 0;
        return true;
    }
    if (m_action.weaponChange == 0)
        return false;
    if (Pressed(BUTTON_AIM))
    {
        const uint8_t swap = m_action.mainSlot;
        m_action.mainSlot = m_action.subSlot;
        m_action.subSlot = swap;
        m_action.palette = 3;
        m_action.switchClock = 0;
        return true;
    }
    if (Pressed(BUTTON_PICK_UP))
    {
        DropWeapon(frame, m_action.cursorSlot);
        return true;
    }
    if (AttackPressed())
    {
        TakeIntoHand(m_action.cursorSlot);
        m_action.weaponChange = 0;
        m_action.switchDirection = 2;
        m_action.switchClock = 0;
        return true;
    }
    return false;
}

void CCharacter::StepCursor(int direction)
{
    for (uint32_t step = 1; step <= kWeaponSlots; ++step)
    {
        const uint32_t slot = (m_action.cursorSlot + kWeaponSlots + direction * static_cast<int>(step)) % kWeaponSlots;
        if (m_weapons[slot] != nullptr)
        {
            m_action.cursorSlot = static_cast<uint8_t>(slot);
            break;
        }
    }
    m_action.selectMode = SelectModeOf(m_action.cursorSlot);
}

uint8_t CCharacter::SelectModeOf(uint8_t slot) const
{
    const CWeapon* weapon = GetWeapon(slot);
    if (weapon == nullptr)
        return tag_TOLQCHARAACTION::SELECT_NONE;
    return weapon->IsShort() ? tag_TOLQCHARAACTION::SELECT_SHORT : tag_TOLQCHARAACTION::SELECT_OTHERS;
}

// A dropped weapon lies on the ground below the fighter.
void CCharacter::DropWeapon(tag_TOLQBATTLEFRAME* frame, uint8_t slot)
{
    if (slot >= kWeaponSlots || m_weapons[slot] == nullptr || frame == nullptr || frame->field == nullptr)
        return;
    std::unique_ptr<CWeapon> weapon = std::move(m_weapons[slot]);
    m_action.weight = static_cast<uint8_t>(m_action.weight - weapon->GetDefinition()->weight);
    if (m_action.mainSlot == slot)
        m_action.mainSlot = tag_TOLQCHARAACTION::kNoSlot;
    if (m_action.subSlot == slot)
        m_action.subSlot = tag_TOLQCHARAACTION::kNoSlot;
    frame->field->LayWeapon(std::move(weapon), GroundBelow(frame->stage, m_position), m_rotation.y);
    m_state.weaponHandling = 2;
    m_state.handlingClock = kHandlingMilliseconds;
    StepCursor(1);
}

// Aiming with a long or special weapon in main or sub (swapped into the
// hand) raises the aim flag for as long as the aim is held.
void CCharacter::UpdateAim()
{
    if (!Aiming() || m_action.weaponChange != 0)
    {
        m_state.aimFlag = 0;
        return;
    }
    const CWeapon* main = GetMainWeapon();
    if (main != nullptr && main->Fires())
    {
        m_state.aimFlag = 1;
        return;
    }
    const CWeapon* sub = GetSubWeapon();
    if (sub == nullptr || !sub->Fires() || !IsFreeToAct())
    {
        m_state.aimFlag = 0;
        return;
    }
    const uint8_t swap = m_action.mainSlot;
    m_action.mainSlot = m_action.subSlot;
    m_action.subSlot = swap;
    m_state.aimFlag = 1;
}

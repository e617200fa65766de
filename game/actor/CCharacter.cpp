#include "game/actor/CCharacter.h"

#include "engine/core/CRandom.h"
#include "engine/core/DeterministicMath.h"
#include "engine/core/GameText.h"
#include "engine/core/MathConstants.h"
#include "engine/render/CCamera.h"
#include "engine/platform/FrameTimer.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CameraSight.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CClothes.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/CStateHash.h"
#include "game/actor/CFiringWeapon.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/CombatRules.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/IBattleConsole.h"
#include "game/actor/SimulationMath.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <cmath>
#include <cstdio>
#include <cstring>

CCharacter::CCharacter(const CCharacterDefinition* definition) : m_definition(definition)
{
    SetKind(KIND_GAME_OBJECT);
}

CCharacter::~CCharacter()
{
    ReleaseModel();
}

uint32_t CCharacter::Release()
{
    ReleaseModel();
    for (std::unique_ptr<CWeapon>& weapon : m_weapons)
        weapon.reset();
    for (CClothes*& slot : m_clothes)
        slot = nullptr;
    m_wornClothes.clear();
    m_action = tag_TOLQCHARAACTION();
    return CObjectBase::Release();
}

int CCharacter::Create(uintptr_t)
{
    m_state = tag_TOLQCHARASTATE();
    const uint8_t weight = m_action.weight;
    const uint8_t mainSlot = m_action.mainSlot, subSlot = m_action.subSlot;
    m_action = tag_TOLQCHARAACTION();
    // Weapons put on before Create stay, with their weight and hands.
    m_action.weight = weight;
    m_action.mainSlot = mainSlot;
    m_action.subSlot = subSlot;
    m_score = tag_TOLQBATTLESCORE();
    CreateModel();
    return m_definition != nullptr ? 1 : 0;
}

int CCharacter::Setup(const tag_TOLQBATTLECHARADATA* data, const CGameDataLists* gameData)
{
    if (data == nullptr || m_definition == nullptr)
        return 0;
    m_data = std::make_unique<tag_TOLQBATTLECHARADATA>(*data);
    m_data->characterNumber = m_definition->number;
    m_gameData = gameData;
    m_score = tag_TOLQBATTLESCORE();
    const float life = static_cast<float>(m_definition->life) * data->factors[tag_TOLQBATTLECHARADATA::FACTOR_LIFE];
    m_state.maxLife = life >= 65535.0f ? 65535 : (life >= 1.0f ? static_cast<uint16_t>(life) : 1);
    m_state.life = m_state.maxLife;
    m_state.ep = data->factors[tag_TOLQBATTLECHARADATA::FACTOR_EP_START];
    m_state.gauge = data->factors[tag_TOLQBATTLECHARADATA::FACTOR_GAUGE_START];
    m_action.team = data->team;
    for (std::unique_ptr<CWeapon>& weapon : m_weapons)
    {
        if (weapon != nullptr)
            weapon->owner = GetIndex();
    }
    return 1;
}

uint32_t CCharacter::ApplyInputRecord(const tag_TOLQINPUTRECORD* record, CInput* input)
{
    if (record == nullptr || UnpackInputRecord(record, &m_pad, input) == 0)
        return 0;
    m_state.lastInput = *record;
    return 1;
}

int CCharacter::Update(uintptr_t argument)
{
    tag_TOLQBATTLEFRAME* frame = reinterpret_cast<tag_TOLQBATTLEFRAME*>(argument);
    const uint32_t milliseconds = GetElapsedMilliseconds();
    UpdateClocks(milliseconds);
    if (m_data != nullptr)
    {
        const float seconds = FrameSeconds(milliseconds);
        const float epMax = static_cast<float>(m_definition->epMax);
        m_state.ep = m_state.ep + m_definition->epRegen *
                                      m_data->factors[tag_TOLQBATTLECHARADATA::FACTOR_EP_REFILL] * seconds;
        if (m_state.ep > epMax)
            m_state.ep = epMax;
        m_state.gauge = m_state.gauge + m_definition->gaugeRegen *
                                            m_data->factors[tag_TOLQBATTLECHARADATA::FACTOR_GAUGE_REFILL] * seconds;
        if (m_state.gauge > 100.0f)
            m_state.gauge = 100.0f;
    }
    UpdateActions(frame, milliseconds);
    for (std::unique_ptr<CWeapon>& weapon : m_weapons)
    {
        if (weapon != nullptr)
            weapon->Update(milliseconds);
    }
    Quantize();
    UpdateWeaponHolders();
    AdvanceAnimation(FrameSeconds(milliseconds));
    return 1;
}

void CCharacter::Quantize()
{
    QuantizeVector(&m_position);
    m_rotation.x = QuantizeValue(m_rotation.x);
    m_rotation.y = QuantizeYaw(m_rotation.y);
    m_rotation.z = QuantizeValue(m_rotation.z);
    QuantizeVector(&m_state.velocity);
    QuantizeVector(&m_moveTarget);
    m_state.cameraYaw = QuantizeYaw(m_state.cameraYaw);
    m_state.cameraPitch = QuantizeValue(m_state.cameraPitch);
}

CWeapon* CCharacter::GetWeapon(uint32_t slot) const
{
    return slot < kWeaponSlots ? m_weapons[slot].get() : nullptr;
}

uint32_t CCharacter::AddWeapon(const CWeaponDefinition* weapon, uint32_t kind)
{
    if (weapon == nullptr)
        return 0;
    std::unique_ptr<CWeapon> copy = CWeapon::Make(weapon);
    return TakeWeapon(&copy, kind);
}

uint32_t CCharacter::TakeWeapon(std::unique_ptr<CWeapon>* weapon, uint32_t kind)
{
    if (weapon == nullptr || *weapon == nullptr || m_definition == nullptr)
        return 0;
    const CWeaponDefinition* definition = (*weapon)->GetDefinition();
    if (definition == nullptr || (definition->characterMask & m_definition->ownBit) == 0)
        return 0;
    if (static_cast<uint32_t>(m_action.weight) + definition->weight > kMaxWeight)
        return 0;
    for (uint32_t slot = 0; slot < kWeaponSlots; ++slot)
    {
        if (m_weapons[slot] != nullptr)
            continue;
        m_weapons[slot] = std::move(*weapon);
        m_weapons[slot]->owner = GetIndex();
        m_weapons[slot]->held = true;
        UpdateWeaponHolders();
        m_action.weight = static_cast<uint8_t>(m_action.weight + definition->weight);
        if (kind == 1)
            m_action.mainSlot = static_cast<uint8_t>(slot);
        else if (kind == 2)
            m_action.subSlot = static_cast<uint8_t>(slot);
        m_action.pickedWord = slot + 1;
        return 1;
    }
    return 0;
}

uint32_t CCharacter::SetWeaponAt(const CWeaponDefinition* weapon, uint32_t slot, uint32_t flag)
{
    if (slot >= kWeaponSlots)
        return 0;
    if (m_weapons[slot] != nullptr)
        m_action.weight = static_cast<uint8_t>(m_action.weight - m_weapons[slot]->GetDefinition()->weight);
    m_weapons[slot].reset();
    std::unique_ptr<CWeapon> made = CWeapon::Make(weapon);
    if (made == nullptr)
    {
        if (m_action.mainSlot == slot)
            m_action.mainSlot = tag_TOLQCHARAACTION::kNoSlot;
        if (m_action.subSlot == slot)
            m_action.subSlot = tag_TOLQCHARAACTION::kNoSlot;
        return weapon == nullptr ? 1 : 0;
    }
    m_weapons[slot] = std::move(made);
    m_weapons[slot]->owner = GetIndex();
    m_weapons[slot]->held = true;
    UpdateWeaponHolders();
    m_action.weight = static_cast<uint8_t>(m_action.weight + weapon->weight);
    if (flag == 1)
        m_action.mainSlot = static_cast<uint8_t>(slot);
    return 1;
}

void CCharacter::ApplyItem(const CItemDefinition* item)
{
    if (item == nullptr)
        return;
    switch (item->kind)
    {
    case CItemDefinition::KIND_POWER:
        m_state.statusBits |= 1u;
        m_state.powerClock = item->duration;
        break;
    case CItemDefinition::KIND_SPEED:
        m_state.statusBits |= 2u;
        m_state.speedClock = item->duration;
        break;
    case CItemDefinition::KIND_LIFE:
    {
        const float gain = static_cast<float>(m_state.maxLife) * item->value * 0.01f;
        const float life = static_cast<float>(m_state.life) + (gain > 0.0f ? gain : 0.0f);
        m_state.life = life >= static_cast<float>(m_state.maxLife) ? m_state.maxLife : static_cast<uint16_t>(life);
        break;
    }
    case CItemDefinition::KIND_EP:
    {
        const float epMax = m_definition != nullptr ? static_cast<float>(m_definition->epMax) : 0.0f;
        m_state.ep = m_state.ep + item->value;
        if (m_state.ep > epMax)
            m_state.ep = epMax;
        break;
    }
    case CItemDefinition::KIND_GAUGE:
        m_state.gauge = m_state.gauge + item->value;
        if (m_state.gauge > 100.0f)
            m_state.gauge = 100.0f;
        break;
    case CItemDefinition::KIND_AMMO:
        for (std::unique_ptr<CWeapon>& weapon : m_weapons)
        {
            if (weapon != nullptr && weapon->Fires())
                weapon->Refill();
        }
        break;
    default: // coins and jewels count by the rule
        m_state.ruleCounter = AddToCounter(m_state.ruleCounter, 1);
        break;
    }
    const uint32_t longest = m_state.powerClock > m_state.speedClock ? m_state.powerClock : m_state.speedClock;
    m_action.effectTime = FrameSeconds(longest);
}

int32_t CCharacter::GetResultPoseMotion(uint8_t pose) const
{
    switch (pose)
    {
    case 2: return m_data != nullptr && m_data->teamBattle != 0 ? 2 : 1;
    case 3: return 4;
    case 4:
    case 5: return 5;
    default: return -1;
    }
}

void CCharacter::SetResultPose(uint8_t pose)
{
    m_state.resultPose = pose;
    m_state.stateClock = 0;
    if (m_state.actionState == STATE_DOWN)
        return;
    m_state.actionState = STATE_STAND;
    const int32_t motion = GetResultPoseMotion(pose);
    if (motion >= 0)
        PlayMotion(motion);
    // The draw is made whether or not a voice is heard, so that the random
    // stream advances the same on every machine. The ready voice is the
    // ready motion's number.
    switch (pose)
    {
    case 2: PlayVoice(static_cast<uint32_t>(motion), 1); break;
    case 3: PlayVoice(22 + RandomInt(2), 1); break;
    case 4:
    case 5: PlayVoice(24, 1); break;
    default: break;
    }
}

void CCharacter::SetResultPoseMotion(uint8_t pose, int32_t motion)
{
    m_state.resultPose = pose;
    if (m_state.actionState != STATE_DOWN && motion >= 0)
        PlayMotion(motion);
}

void CCharacter::ApplyRequestedResultPose()
{
    if (m_state.requestedResultPose != 0)
        SetResultPose(m_state.requestedResultPose);
}

bool CCharacter::IsFreeToAct() const
{
    const uint32_t s = m_state.actionState;
    return (s == STATE_STAND || s == STATE_MOVE) && m_state.resultPose == 0;
}

bool CCharacter::CanControlCamera() const
{
    const uint32_t s = m_state.actionState;
    if (m_state.resultPose != 0 || m_state.lockOn != 0)
        return false;
    return !(s == STATE_DOWN || s == STATE_STOPPED || s == STATE_ELEMENTAL_REVERSE || s == STATE_ELEMENTAL_CHARGE ||
             s == STATE_ATTACK || (s >= STATE_ELEMENT_ATTACK && s <= STATE_MAXIMUM_ATTACK));
}

uint32_t CCharacter::ReceiveHit(tag_TOLQBATTLEFRAME* frame, int32_t attacker, uint8_t power, bool shot)
{
    if (m_data == nullptr || frame == nullptr || attacker < 0 || attacker >= frame->count)
        return 0;
    CCharacter* source = frame->fighters[attacker];
    if (source == nullptr)
        return 0;
    const CombatantView from{attacker, source->GetTeam(), source->IsDown(), false, source->IsNpc()};
    const CombatantView to{GetIndex(), GetTeam(), IsDown(), m_state.actionState == STATE_DODGE, IsNpc()};
    if (!CanDamage(from, to, m_data->teamBattle != 0, m_data->friendlyFire != 0))
        return 0;
    const bool powerItem = (source->m_state.statusBits & 1u) != 0;
    const uint32_t damage =
        ComputeDamage(power, powerItem, m_data->factors[tag_TOLQBATTLECHARADATA::FACTOR_DAMAGE_TAKEN]);
    source->m_score.value[shot ? tag_TOLQBATTLESCORE::SHOT_HITS : tag_TOLQBATTLESCORE::MELEE_HITS] += 1;
    source->m_score.value[tag_TOLQBATTLESCORE::DAMAGE_DEALT] += damage;
    m_score.value[tag_TOLQBATTLESCORE::DAMAGE_TAKEN] += damage;
    source->m_state.gauge = source->m_state.gauge + 2.0f;
    if (source->m_state.gauge > 100.0f)
        source->m_state.gauge = 100.0f;
    m_state.life = damage >= m_state.life ? 0 : static_cast<uint16_t>(m_state.life - damage);
    if (m_state.life == 0)
    {
        Defeat(frame, attacker);
        return damage;
    }
    const uint32_t s = m_state.actionState;
    if (!(s >= STATE_ELEMENTAL_REVERSE && s <= STATE_DODGE) && !(s >= STATE_ELEMENT_ATTACK && s <= STATE_MAXIMUM_ATTACK))
        StartState(STATE_HIT);
    return damage;
}

void CCharacter::Defeat(tag_TOLQBATTLEFRAME* frame, int32_t attacker)
{
    m_state.life = 0;
    StartState(STATE_DOWN);
    m_state.downClock = 0;
    m_state.velocity.x = 0.0f;
    m_state.velocity.z = 0.0f;
    PlayEvent(IActorEffects::EVENT_DOWN);
    m_score.value[tag_TOLQBATTLESCORE::DOWNS] += 1;
    CCharacter* source = (frame != nullptr && attacker >= 0 && attacker < frame->count) ? frame->fighters[attacker]
                                                                                        : nullptr;
    int8_t* attackerCounter = nullptr;
    if (source != nullptr)
    {
        source->m_score.value[tag_TOLQBATTLESCORE::DEFEATS] += 1;
        source->m_action.notice = 1;
        source->m_action.noticeClock = 0;
        attackerCounter = &source->m_state.ruleCounter;
    }
    m_defeatDrop = ApplyDefeatRule(m_data->rule, attackerCounter, &m_state.ruleCounter, IsNpc());
    DropOnDefeat(frame, m_defeatDrop);
    if (m_data->console == nullptr)
        return;
    // Names are Shift-JIS already; the fixed words are converted once. No
    // Shift-JIS byte is a '%', so the converted pattern formats as it reads.
    const char* fallen = m_data->name.empty() ? m_definition->name : m_data->name.c_str();
    char text[640];
    if (source != nullptr)
    {
        const tag_TOLQBATTLECHARADATA* other = source->GetBattleData();
        const char* by = (other == nullptr || other->name.empty()) ? source->m_definition->name : other->name.c_str();
        std::snprintf(text, sizeof(text), GameText("%sが%sに倒されました"), fallen, by);
    }
    else
        std::snprintf(text, sizeof(text), GameText("%sが倒されました"), fallen);
    m_data->console->ShowMessage(text, m_data->teamBattle != 0 ? m_action.team : 4u,
                                 static_cast<uint32_t>(GetIndex()));
}

uint32_t CCharacter::TakeDefeatDrop()
{
    const uint32_t drop = m_defeatDrop;
    m_defeatDrop = 0;
    return drop;
}

void CCharacter::PlayEvent(uint32_t event)
{
    if (m_data != nullptr && m_data->effects != nullptr)
        m_data->effects->PlayEvent(event, static_cast<uint32_t>(GetIndex()), m_position);
}

void CCharacter::GetBodySpheres(float spheres[2][4]) const
{
    const float r = m_definition->radius;
    const float ys[2] = {r, m_definition->height - r};
    for (int i = 0; i < 2; ++i)
    {
        spheres[i][0] = m_position.x;
        spheres[i][1] = m_position.y + ys[i];
        spheres[i][2] = m_position.z;
        spheres[i][3] = r;
    }
}

namespace
{
// The buttons of one pad array as bits, 56 to 7 bytes.
void HashButtons(CStateHash* hash, const tag_KVRPADBUTTONS& buttons)
{
    uint8_t bits[(KVR_PAD_BUTTON_COUNT + 7) / 8] = {};
    for (int i = 0; i < KVR_PAD_BUTTON_COUNT; ++i)
    {
        if (buttons.button[i] != 0)
            bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
    }
    for (uint8_t byte : bits)
        hash->U8(byte);
}
}

// Every field a later frame can read: the pose, both blocks whole, the pad
// the next edges are found from, the score, the running element attack,
// what this action has hit, what a defeat left, and every weapon slot.
void CCharacter::HashState(CStateHash* hash) const
{
    const tag_TOLQCHARASTATE& s = m_state;
    hash->Vec3(m_position);
    hash->Vec3(m_rotation);
    hash->U32(s.life);
    hash->F32(s.ep);
    hash->F32(s.gauge);
    hash->U8(static_cast<uint8_t>(s.ruleCounter));
    hash->U8(s.resultPose);
    hash->U8(s.requestedResultPose);
    hash->U32(s.actionState);
    hash->U8(s.cameraMode);
    hash->U32(s.elementAttackTime);
    hash->U32(s.runningElementAttack);
    hash->U32(s.statusBits);
    hash->U32(s.dashFlag);
    hash->U32(s.aimFlag);
    hash->U32(s.lockOn);
    hash->U32(s.cover);
    hash->U32(s.weaponHandling);
    hash->U32(s.burstActive);
    hash->U32(s.maxLife);
    hash->Vec3(s.velocity);
    hash->U32(s.grounded);
    for (uint32_t clock : {s.stateClock, s.downClock, s.burstClock, s.blessingClock, s.powerClock, s.speedClock,
                           s.dashHoldClock, s.handlingClock, s.swingHitMask, s.voiceCooldown})
        hash->U32(clock);
    hash->F32(s.cameraYaw);
    hash->F32(s.cameraPitch);
    for (uint8_t byte : s.lastInput.bytes)
        hash->U8(byte);

    const tag_TOLQCHARAACTION& a = m_action;
    for (uint8_t byte : {a.weight, a.mainSlot, a.subSlot, a.cursorSlot, a.team, a.weaponChange, a.palette,
                         a.switchDirection, a.selectMode, a.stepDirection})
        hash->U8(byte);
    for (uint32_t word : {a.switchClock, a.notice, a.noticeClock, a.pickedWord, a.blessing, a.stepClock})
        hash->U32(word);
    hash->F32(a.effectTime);
    hash->I32(a.targetedFieldWeapon);

    for (float axis : {m_pad.leftMagnitude, m_pad.leftX, m_pad.leftY, m_pad.rightX, m_pad.rightY, m_pad.mouseDeltaX,
                       m_pad.mouseDeltaY})
        hash->F32(axis);
    for (const tag_KVRPADBUTTONS* buttons : {&m_pad.previous, &m_pad.current, &m_pad.pressed, &m_pad.held})
        HashButtons(hash, *buttons);

    for (uint32_t value : m_score.value)
        hash->U32(value);
    m_elementAttack.HashState(hash);
    hash->U32(static_cast<uint32_t>(m_boxesHit.size()));
    for (uint32_t box : m_boxesHit)
        hash->U32(box);
    hash->U32(m_defeatDrop);
    hash->Vec3(m_moveTarget);
    for (const std::unique_ptr<CWeapon>& weapon : m_weapons)
    {
        hash->U8(weapon != nullptr ? 1 : 0);
        if (weapon != nullptr)
            weapon->HashState(hash);
    }
}

void CCharacter::DropOnDefeat(tag_TOLQBATTLEFRAME* frame, uint32_t drop)
{
    if (drop == DEFEAT_DROP_NONE || frame == nullptr || frame->field == nullptr || m_gameData == nullptr)
        return;
    const CItemDefinition* item = m_gameData->FindItem(drop == DEFEAT_DROP_COIN ? "Coin" : "Juel");
    if (item == nullptr)
        return;
    frame->field->LayItem(std::make_unique<CItem>(item), CkvrVector3(m_position.x, m_position.y + 1.0f, m_position.z));
}

uint32_t CCharacter::SetClothes(const CClothesDefinition* clothes)
{
    if (clothes == nullptr || m_definition == nullptr || (clothes->characterMask & m_definition->ownBit) == 0)
        return 0;
    // Whatever shares a slot with the new clothes comes off whole.
    for (uint32_t slot = 0; slot < kClothesSlots; ++slot)
    {
        const CClothes* worn = m_clothes[slot];
        if (worn == nullptr || (worn->GetDefinition()->slotMask & clothes->slotMask) == 0)
            continue;
        for (CClothes*& other : m_clothes)
        {
            if (other == worn)
                other = nullptr;
        }
        for (auto it = m_wornClothes.begin(); it != m_wornClothes.end(); ++it)
        {
            if (it->get() == worn)
            {
                m_wornClothes.erase(it);
                break;
            }
        }
    }
    auto part = std::make_unique<CClothes>(clothes);
    part->Create(0);
    for (uint32_t slot = 0; slot < kClothesSlots; ++slot)
    {
        if ((clothes->slotMask & (1u << slot)) != 0)
            m_clothes[slot] = part.get();
    }
    m_wornClothes.push_back(std::move(part));
    return 1;
}

const CClothesDefinition* CCharacter::GetClothes(uint32_t slot) const
{
    return slot < kClothesSlots && m_clothes[slot] != nullptr ? m_clothes[slot]->GetDefinition() : nullptr;
}

uint32_t CCharacter::PlayVoice(uint32_t voice, uint32_t forced)
{
    if (m_data == nullptr || m_definition == nullptr || voice >= m_definition->voices.size())
        return 0;
    if (m_state.voiceCooldown != 0 && forced == 0)
        return 0;
    m_state.voiceCooldown = kVoiceCooldownMilliseconds;
    if (m_data->effects != nullptr)
        m_data->effects->PlayVoice(static_cast<uint32_t>(GetIndex()), voice, m_data->voiceVolume, m_position);
    return 1;
}

void CCharacter::UpdateCamera(CCamera* camera, IBattleStage* stage, CkvrVector3* eyeOut, CkvrVector3* targetOut) const
{
    if (m_definition == nullptr)
        return;
    const bool shooting = m_state.cameraMode == 3;
    const float yaw = DegreeToRadian(m_state.cameraYaw), pitch = DegreeToRadian(m_state.cameraPitch);
    const float cy = KvrCos(yaw), sy = KvrSin(yaw), cp = KvrCos(pitch), sp = KvrSin(pitch);
    const float shoulder = shooting ? 0.5f : 0.0f;
    const CkvrVector3 target(m_position.x + cy * shoulder, m_position.y + m_definition->eyeHeight,
                             m_position.z - sy * shoulder);
    const float distance = shooting ? 2.0f : 4.0f;
    const CkvrVector3 behind(target.x - sy * cp * distance, target.y - sp * distance, target.z - cy * cp * distance);
    const CkvrVector3 eye = CameraSight::KeepInSight(stage, target, behind);
    if (eyeOut != nullptr)
        *eyeOut = eye;
    if (targetOut != nullptr)
        *targetOut = target;
    if (camera == nullptr)
        return;
    const float up[3] = {0.0f, 1.0f, 0.0f};
    const float e[3] = {eye.x, eye.y, eye.z}, t[3] = {target.x, target.y, target.z};
    camera->SetLookAt(e, t, up);
    camera->SetProjection(60, CCamera::GetGraphics() != nullptr ? -1.0f : 4.0f / 3.0f, 0.1f, 1500.0f);
}

bool CCharacter::GetMuzzlePosition(const CWeapon* weapon, CkvrVector3* out) const
{
    const CFiringWeapon* firing = weapon != nullptr ? weapon->AsFiringWeapon() : nullptr;
    return firing != nullptr && firing->GetMuzzlePosition(out) != 0;
}

float CCharacter::GetFirstBulletParameter(const CWeapon* weapon) const
{
    const CFiringWeapon* firing = weapon != nullptr ? weapon->AsFiringWeapon() : nullptr;
    return firing != nullptr ? firing->GetFirstBulletParameter() : 0.0f;
}

bool CCharacter::GetAimOrigin(CkvrVector3* muzzle, float* range) const
{
    // The state in which a running element attack aims a weapon of its own.
    // No action of the fighter enters it today (StartState never names 3,
    // and an element attack runs in STATE_ELEMENT_ATTACK), so in play the
    // aim always starts at the main weapon's muzzle; the branch keeps an
    // attack's own weapon aimable for the state the numbering reserves.
    constexpr uint32_t kAttackAimState = 3;
    const CElementAttackDefinition* attack = m_elementAttack.GetDefinition();
    const CWeaponDefinition* own = m_state.actionState == kAttackAimState && attack != nullptr &&
                                           !attack->ownWeapon.empty() && m_gameData != nullptr
                                       ? m_gameData->FindWeapon(attack->ownWeapon.c_str())
                                       : nullptr;
    if (own == nullptr || own->bullets.empty() || m_definition == nullptr)
    {
        const CWeapon* main = GetMainWeapon();
        *range = GetFirstBulletParameter(main);
        return GetMuzzlePosition(main, muzzle);
    }
    // The sums a held weapon's muzzle makes.
    const CkvrVector3 hand = CWeapon::TurnByYaw(m_definition->handOffset, m_rotation.y);
    const CkvrVector3 offset = CWeapon::TurnByYaw(own->bullets[0].muzzle, m_rotation.y);
    *muzzle = CkvrVector3(m_position.x + hand.x + offset.x, m_position.y + hand.y + offset.y,
                          m_position.z + hand.z + offset.z);
    const CBulletDefinition* bullet = m_gameData->FindBullet(own->bullets[0].bullet.c_str());
    *range = bullet != nullptr ? bullet->range : 0.0f;
    return true;
}

void CCharacter::UpdateWeaponHolders()
{
    if (m_definition == nullptr)
        return;
    for (std::unique_ptr<CWeapon>& weapon : m_weapons)
    {
        if (weapon != nullptr)
            weapon->SetHolder(m_position, m_rotation.y, m_definition->handOffset, m_gameData);
    }
}

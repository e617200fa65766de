#pragma once

#include "game/actor/CCharacter.h"

// A computer fighter. Its Think writes an input record from what it sees,
// and the record goes through ApplyInputRecord like a human's, so a CPU
// steps the same everywhere. Without local input its pad stays still (the
// tutorial's standing opponent).
class CCpu : public CCharacter
{
public:
    CCpu(const CCharacterDefinition* definition, uint32_t level);
    const char* GetClassName() const override { return "CCpu"; }
    int Update(uintptr_t argument) override;

    // One frame of decisions: see the rule in the source.
    void Think(tag_TOLQBATTLEFRAME* frame, tag_TOLQINPUTRECORD* record);
    uint32_t GetLevel() const { return m_level; }
    // The interval between draws: 1000 - 150 x level ms.
    uint32_t GetThinkInterval() const { return 1000 - 150 * m_level; }
    int32_t GetTarget() const { return m_target; }
    // The fighter's fields, then the decisions drawn and the chase.
    void HashState(CStateHash* hash) const override;

    // What the CPU fights with: a weapon that can fire (from up to
    // kShootingRange), a swing (closing in until it reaches), or nothing.
    enum class Plan
    {
        Shoot,
        Swing,
        None,
    };
    // A short weapon in hand is swung at a target within kCloseInRange, or
    // when nothing can fire; beyond it a loaded firing weapon takes over.
    Plan ChoosePlan(float distance) const;
    // Whether a swing started now along yaw (degrees) would touch other in
    // the middle of its hit window, other keeping its velocity.
    bool SwingReaches(const CCharacter* other, float yaw) const;
    // The draws of the last interval, in the order they were made.
    int32_t GetAimError() const { return m_aimError; }
    bool GetAttackRoll() const { return m_attackRoll; }
    bool GetDodgeRoll() const { return m_dodgeRoll; }
    uint32_t GetStrafeSide() const { return m_strafeSide; }

    static constexpr float kShootingRange = 15.0f;
    static constexpr float kCloseInRange = 8.0f;
    // Unarmed, the CPU only keeps close.
    static constexpr float kUnarmedRange = 1.0f;

private:
    int32_t FindTarget(tag_TOLQBATTLEFRAME* frame) const;
    const CWeapon* SwingWeapon() const;
    // Seconds from a swing's start to the middle of its hit window.
    float SwingLead() const;
    // Where to turn to: a swing leads the target by SwingLead.
    CkvrVector3 AimPoint(const CCharacter* other, Plan plan) const;
    // Near enough to act on the plan: within the shooting range, within a
    // swing's touch along yaw, or unarmed within kUnarmedRange.
    bool InRange(Plan plan, const CCharacter* other, float yaw, float distance) const;
    // Stick forward, and a jump when the distance has not shrunk for a
    // while.
    void Approach(tag_TOLQINPUTRECORD* record, float distance, uint32_t milliseconds);
    void Draw();

    uint32_t m_level;
    uint32_t m_thinkClock = 0;
    bool m_drawn = false;
    int32_t m_aimError = 0;
    bool m_attackRoll = false;
    bool m_dodgeRoll = false;
    uint32_t m_strafeSide = 0;
    int32_t m_target = -1;
    uint32_t m_stuckClock = 0;
    float m_bestDistance = 0.0f;
};

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
    void HashCpuState(CStateHash* hash) const;

private:
    int32_t FindTarget(tag_TOLQBATTLEFRAME* frame) const;
    float AttackDistance() const;
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

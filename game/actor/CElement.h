#pragma once

#include "engine/core/CObjectBase.h"

#include <cstdint>

struct CElementDefinition;
class CStateHash;
struct tag_TOLQBATTLEFRAME;

// An element of the stage: idle (nowhere), waiting at its altar, or
// carried by the fighter it blesses, following it. A blessing's end sends
// it back to idle, and its altar spawns it again at a reset (or after the
// altar's respawn time).
class CElement : public CObjectBase
{
public:
    enum State : uint32_t
    {
        STATE_IDLE = 0,
        STATE_AT_ALTAR = 1,
        STATE_CARRIED = 2,
    };

    CElement(const CElementDefinition* definition, const CkvrVector3& altar);
    const char* GetClassName() const override { return "CElement"; }

    int Create(uintptr_t) override { return m_definition != nullptr ? 1 : 0; }
    // argument: the frame. Follows the carrier, lets go when its blessing
    // ends or it goes down, counts towards the altar's respawn.
    int Update(uintptr_t argument) override;
    int Render(uintptr_t) override { return 1; }

    // An idle element allowed by the mask appears at its altar.
    void ResetAtAltar(uint32_t elementMask);
    // A fighter touching it takes it: 1 when it was at its altar.
    uint32_t TakeBy(int32_t fighter);

    const CElementDefinition* GetDefinition() const { return m_definition; }
    uint32_t GetState() const { return m_state; }
    int32_t GetCarrier() const { return m_carrier; }
    void HashState(CStateHash* hash) const;

private:
    const CElementDefinition* m_definition;
    CkvrVector3 m_altar;
    uint32_t m_state = STATE_IDLE;
    int32_t m_carrier = -1;
    uint32_t m_respawnClock = 0;
    uint32_t m_elementMask = 0x7F;
};

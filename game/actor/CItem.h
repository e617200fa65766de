#pragma once

#include "engine/core/CObjectBase.h"

#include <cstdint>

struct CItemDefinition;
class CStateHash;
class IBattleStage;

// An item lying on the field: dropped by a box or a defeat, it falls onto
// the ground and waits to be touched until its field life is over.
class CItem : public CObjectBase
{
public:
    explicit CItem(const CItemDefinition* definition);
    const char* GetClassName() const override { return "CItem"; }

    int Create(uintptr_t) override { return m_definition != nullptr ? 1 : 0; }
    // 0 once taken or past its field life (0: it stays).
    int Update(uintptr_t argument) override;
    int Render(uintptr_t) override { return 1; }
    // Gravity onto the ground model and box tops.
    void MoveWithCollision(IBattleStage* stage);

    const CItemDefinition* GetDefinition() const { return m_definition; }
    void Take() { m_taken = true; }
    bool IsTaken() const { return m_taken; }
    void HashState(CStateHash* hash) const;

    static constexpr float kGravity = 9.8f;

private:
    const CItemDefinition* m_definition;
    CkvrVector3 m_velocity;
    uint32_t m_clock = 0;
    bool m_taken = false;
    bool m_resting = false;
};

#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/effect/CEffectHandle.h"

#include <cstdint>

class CMesh;
class CTexture;
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
    // Nonzero argument: the render list, into which the item queues itself
    // (with the model its definition names; none draws nothing). 0 (the
    // list drawing it back): draws the model where the item lies.
    int Render(uintptr_t argument) override;
    // Borrowed; without one no shadow is drawn.
    void SetShadowTexture(CTexture* texture) { m_shadowTexture = texture; }
    // The ground shadow within 100 below: alpha 255, 1 % less per unit of
    // height.
    void DrawShadow(IBattleStage* stage);
    // The effect played for the item (its definition's effect), held until
    // ReleaseAttachedEffect releases it and forgets it.
    void SetAttachedEffect(const CEffectHandle& effect) { m_effect = effect; }
    const CEffectHandle& GetAttachedEffect() const { return m_effect; }
    void ReleaseAttachedEffect();
    CMesh* GetModel();
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
    // Presentation.
    CMesh* m_model = nullptr;
    bool m_modelLooked = false;
    CTexture* m_shadowTexture = nullptr;
    CEffectHandle m_effect;
};

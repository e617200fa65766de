#pragma once

#include "engine/core/CObjectBase.h"

#include <cstdint>

class CAnimationController;
class CMesh;
class CTexture;
struct CElementDefinition;
class CStateHash;
class IBattleStage;
struct tag_TOLQBATTLEFRAME;

// An element of the stage: idle (nowhere), waiting at its altar, or
// carried by the fighter it blesses, following it. A blessing's end sends
// it back to idle, and its altar spawns it again at a reset (or after the
// altar's respawn time).
//
// Its model and animation are presentation: the model the definition names
// (resolved at first use; none draws nothing), an animation of its own, a
// colour whose alpha fades it, and a ground shadow.
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
    // A copy of a loaded template: its state, placement, colour and model,
    // with an animation of its own when the template had one (restarted).
    // duplicate: as CObjectBase's copy.
    CElement(const CElement& other, int duplicate);
    CElement& operator=(const CElement&) = delete;
    ~CElement() override;
    const char* GetClassName() const override { return "CElement"; }

    int Create(uintptr_t) override;
    // argument: the frame. Follows the carrier, lets go when its blessing
    // ends or it goes down, counts towards the altar's respawn.
    int Update(uintptr_t argument) override;
    // Nonzero argument: the render list; an element that is somewhere and
    // not faded out updates its matrix and queues itself. 0 (the list
    // drawing it back): draws the model.
    int Render(uintptr_t argument) override;

    // The world matrix from the placement, and the model posed in it.
    void UpdateMatrix();
    // The animation again from the element's motion at frame 0.
    void ResetAnimation();
    void ReleaseAnimation();
    // The animation by the frame time x speed.
    void AdvanceAnimation(float speed);
    // Borrowed; without one no shadow is drawn.
    void SetShadowTexture(CTexture* texture) { m_shadowTexture = texture; }
    // The ground shadow within 100 below, alpha 255 x (1 - h / 10).
    void DrawShadow(IBattleStage* stage);

    // An idle element allowed by the mask appears at its altar.
    void ResetAtAltar(uint32_t elementMask);
    // A fighter touching it takes it: 1 when it was at its altar.
    uint32_t TakeBy(int32_t fighter);

    const CElementDefinition* GetDefinition() const { return m_definition; }
    uint32_t GetState() const { return m_state; }
    int32_t GetCarrier() const { return m_carrier; }
    CMesh* GetModel();
    CAnimationController* GetAnimation() const { return m_animation; }
    void HashState(CStateHash* hash) const;

private:
    const CElementDefinition* m_definition;
    CkvrVector3 m_altar;
    uint32_t m_state = STATE_IDLE;
    int32_t m_carrier = -1;
    uint32_t m_respawnClock = 0;
    uint32_t m_elementMask = 0x7F;
    CMesh* m_model = nullptr;
    bool m_modelLooked = false;
    CAnimationController* m_animation = nullptr;
    CTexture* m_shadowTexture = nullptr;
};

#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/core/CRect.h"
#include "engine/effect/EffectRecords.h"

#include <cstdint>

class CEffectController;
class CEffectObject;
class CParticle;

// One playing instance of an effect object. It evaluates the object's
// tracks into its placement each frame, emits particles and plays sounds at
// the trigger keys, and hangs in a tree (first child, next sibling) whose
// top root is on the controller's live chain. Particles do all drawing.
// Live effects live in the controller's pool and are never made with new.
class CEffect : public CObjectBase
{
public:
    CEffect();
    ~CEffect() override = default;
    CEffect(const CEffect&) = delete;
    // Slot assignment of the pool list copies the placed-object part only.
    CEffect& operator=(const CEffect& other)
    {
        CObjectBase::operator=(other);
        return *this;
    }

    // Releases the particle chain, the children and the next siblings,
    // unlinks this effect from the live chain and frees its pool slot. The
    // effect must not be touched afterwards.
    uint32_t Release() override;
    const char* GetClassName() const override { return "CEffect"; }

    int Create(uintptr_t) override { return 1; }
    // Advances effect time by the frame timer's last frame, then runs the
    // frame step on this effect, its children and its next siblings. 0 when
    // an emission ran out of particles, else 1.
    int Update(uintptr_t argument) override;
    // argument: the CRenderList* particles queue into. 1.
    int Render(uintptr_t argument) override;

    int Setup(CEffectObject* object, CEffectController* controller, const tag_KVREFFECTPLAY* block);
    // Placement of the whole tree without advancing time or triggering.
    int UpdateTree(uintptr_t argument);
    bool IsFinished() const;
    float GetTotalLength() const;
    void AdvanceTime();
    // The tracks at the current effect time into the placement.
    void EvaluateTracks();

    float GetElapsed() const { return m_elapsed; }
    void SetElapsed(float seconds) { m_elapsed = seconds; }
    CkvrVector3* GetPlayVectors() { return &m_startPosition; }
    CkvrVector3* GetStartDirection() { return &m_startDirection; }
    CkvrVector3* GetStartScale() { return &m_startScale; }
    const CkvrVector4* GetEffectColor() const { return &m_effectColor; }
    const CkvrVector3* GetUV() const { return &m_uv; }
    const CRect* GetRect() const { return &m_rect; }
    uint32_t GetAnimation() const { return m_animation; }
    float GetTimeLimit() const { return m_timeLimit; }
    tag_KVREFFECTPLAY* GetPlayBlock() { return &m_play; }
    CEffectController* GetController() const { return m_controller; }

    void SetTimeLimit(float seconds) { m_timeLimit = seconds; }
    void SetParent(CEffect* parent) { m_parent = parent; }
    void SetFirstChild(CEffect* child) { m_firstChild = child; }
    void SetNextSibling(CEffect* sibling) { m_nextSibling = sibling; }
    void SetFirstParticle(CParticle* particle) { m_firstParticle = particle; }
    // Each also sets the other effect's opposite link.
    void SetNextLive(CEffect* effect);
    void SetPreviousLive(CEffect* effect);

    CEffectObject* GetEffectObject() const { return m_object; }
    CEffect* GetParent() const { return m_parent; }
    CEffect* GetFirstChild() const { return m_firstChild; }
    CEffect* GetNextSibling() const { return m_nextSibling; }
    CEffect* GetNextLive() const { return m_nextLive; }
    CEffect* GetPreviousLive() const { return m_previousLive; }
    CParticle* GetFirstParticle() const { return m_firstParticle; }

private:
    bool IsActive() const;
    // The frame step without the time advance.
    int Step(uintptr_t argument);
    void TakePlacement();
    int TriggerParticles();
    void TriggerSounds();
    void PlaySound() const;
    int Emit(uint32_t count, float keyTime);
    // Releases this effect alone: its particles, then its slot.
    void ReleaseSelf();

    CkvrVector3 m_startPosition;
    CkvrVector3 m_startDirection;
    CkvrVector3 m_startScale = CkvrVector3(1.0f, 1.0f, 1.0f);
    CkvrVector4 m_effectColor = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    CkvrVector3 m_uv;
    CRect m_rect;
    uint32_t m_animation = 0;
    float m_particleTrigger = 0.0f;
    float m_soundTrigger = 0.0f;
    float m_timeLimit = 0.0f;
    CEffectObject* m_object = nullptr;
    tag_KVREFFECTPLAY m_play{};
    CEffectController* m_controller = nullptr;
    float m_elapsed = 0.0f;
    CParticle* m_firstParticle = nullptr;
    CEffect* m_parent = nullptr;
    CEffect* m_firstChild = nullptr;
    CEffect* m_nextSibling = nullptr;
    CEffect* m_previousLive = nullptr;
    CEffect* m_nextLive = nullptr;
};

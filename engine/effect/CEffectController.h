#pragma once

#include "engine/core/CMemoryList.h"
#include "engine/core/CResourceBase.h"
#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectHandle.h"
#include "engine/effect/CParticle.h"
#include "engine/effect/EffectRecords.h"

#include <cstdint>

class CGraphics;
class CRenderList;

// Owns every live effect and particle in two pools sized once at start-up
// and keeps the chain of live effect trees that are updated and drawn each
// frame. Nothing here allocates per frame.
class CEffectController : public CResourceBase
{
public:
    CEffectController();
    CEffectController(const CEffectController&) = delete;
    CEffectController& operator=(const CEffectController&) = delete;
    ~CEffectController() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CEffectController"; }

    // 1 when both pools were sized (the particle pool only after the
    // effect pool), else 0.
    int Initialize(CGraphics* graphics, uint32_t effectCapacity, uint32_t particleCapacity);
    // Updates every live tree once and releases the finished ones. 1.
    int Update(uintptr_t argument);
    // Draws every live tree once. 1.
    int Render(CRenderList* renderList);
    // Releases every live tree.
    void ReleaseAll();
    // Destroys every pooled object, whether released or not; the pools keep
    // their capacity and the chain is emptied. Calling it twice is harmless.
    void Clear();

    CEffect* GetFirstEffect() const { return m_first; }
    void SetFirstEffect(CEffect* effect) { m_first = effect; }
    tag_KVREFFECTSOUND* GetSoundSettings() { return &m_sound; }
    CGraphics* GetGraphics() const { return m_graphics; }

    CMemoryList<CEffect>* GetEffectPool() { return &m_effects; }
    CMemoryList<CParticle>* GetParticlePool() { return &m_particles; }

    // Pool traffic of live effects and particles. Freeing bumps the slot's
    // generation, so handles to the old occupant stop resolving.
    CEffect* AllocEffect();
    void FreeEffect(CEffect* effect);
    CParticle* AllocParticle();
    void FreeParticle(CParticle* particle);

    // True when effect is an occupied slot of the effect pool.
    bool IsLiveEffect(const CEffect* effect) const;
    // A handle to a live pooled effect (an empty one for anything else).
    CEffectHandle GetHandle(CEffect* effect) const;
    // The effect a handle names, or null once its slot was freed.
    CEffect* Resolve(const CEffectHandle& handle) const;

private:
    int32_t EffectIndex(const CEffect* effect) const;
    int32_t ParticleIndex(const CParticle* particle) const;
    void FreeGenerations();

    CMemoryList<CEffect> m_effects;
    CMemoryList<CParticle> m_particles;
    CEffect* m_first = nullptr;
    CGraphics* m_graphics = nullptr;
    tag_KVREFFECTSOUND m_sound{};
    uint32_t* m_generations = nullptr;
    uint32_t m_generationBase = 0;
};

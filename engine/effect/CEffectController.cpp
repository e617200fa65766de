#include "engine/effect/CEffectController.h"

#include "engine/core/AlignedMemory.h"
#include "engine/render/CRenderList.h"

#include <cstring>

namespace
{
// Pool names, Shift-JIS: "エフェクト" and "パーティクル".
constexpr char kEffectPoolName[] = "\x83\x47\x83\x74\x83\x46\x83\x4e\x83\x67";
constexpr char kParticlePoolName[] = "\x83\x70\x81\x5b\x83\x65\x83\x42\x83\x4e\x83\x8b";
}

CEffectController::CEffectController()
{
    m_effects.SetName(kEffectPoolName);
    m_particles.SetName(kParticlePoolName);
}

CEffectController::~CEffectController()
{
    CEffectController::Release();
}

uint32_t CEffectController::Release()
{
    Clear();
    m_effects.SetCount(0);
    m_particles.SetCount(0);
    FreeGenerations();
    return CResourceBase::Release();
}

void CEffectController::FreeGenerations()
{
    AlignedFree(m_generations);
    m_generations = nullptr;
}

int CEffectController::Initialize(CGraphics* graphics, uint32_t effectCapacity, uint32_t particleCapacity)
{
    m_graphics = graphics;
    // Slots are copied as raw bytes when a pool is resized: nothing may be
    // live then.
    Clear();
    FreeGenerations();
    if (!m_effects.SetCount(effectCapacity))
        return 0;
    if (effectCapacity > 0)
    {
        m_generations = static_cast<uint32_t*>(AlignedAlloc(size_t(effectCapacity) * sizeof(uint32_t), 16));
        if (m_generations == nullptr)
        {
            m_effects.SetCount(0);
            return 0;
        }
        // Each sizing starts its generations past the last one's, so that a
        // handle kept across a second Initialize never resolves.
        m_generationBase += 0x10000u;
        for (uint32_t i = 0; i < effectCapacity; ++i)
            m_generations[i] = m_generationBase;
    }
    return m_particles.SetCount(particleCapacity) ? 1 : 0;
}

int CEffectController::Update(uintptr_t argument)
{
    for (CEffect* effect = m_first; effect != nullptr;)
    {
        CEffect* next = effect->GetNextLive();
        effect->Update(argument);
        if (effect->IsFinished())
            effect->Release();
        effect = next;
    }
    return 1;
}

int CEffectController::Render(CRenderList* renderList)
{
    for (CEffect* effect = m_first; effect != nullptr;)
    {
        effect->Render(reinterpret_cast<uintptr_t>(renderList));
        effect = effect->GetNextLive();
    }
    return 1;
}

void CEffectController::ReleaseAll()
{
    for (CEffect* effect = m_first; effect != nullptr;)
    {
        CEffect* next = effect->GetNextLive();
        effect->Release();
        effect = next;
    }
    m_first = nullptr;
}

void CEffectController::Clear()
{
    // Every occupied slot changes hands: old handles must stop resolving.
    for (uint32_t i = 0; i < m_effects.GetCount(); ++i)
        if (m_effects.IsUsed(i) && m_generations != nullptr)
            ++m_generations[i];
    // Effects first: a particle's destructor frees what it owns outside the
    // pools and never reaches into an effect.
    m_effects.Clear();
    m_particles.Clear();
    m_first = nullptr;
}

CEffect* CEffectController::AllocEffect()
{
    // Bound to this controller from the start, so that even an effect never
    // set up returns its slot when released.
    CEffect* effect = m_effects.Alloc();
    if (effect != nullptr)
        effect->Setup(nullptr, this, nullptr);
    return effect;
}

void CEffectController::FreeEffect(CEffect* effect)
{
    const int32_t index = EffectIndex(effect);
    if (index < 0 || !m_effects.IsUsed(uint32_t(index)))
        return;
    if (m_generations != nullptr)
        ++m_generations[index];
    m_effects.Free(effect);
}

CParticle* CEffectController::AllocParticle()
{
    CParticle* particle = m_particles.Alloc();
    if (particle != nullptr)
        particle->SetController(this);
    return particle;
}

void CEffectController::FreeParticle(CParticle* particle)
{
    const int32_t index = ParticleIndex(particle);
    if (index < 0 || !m_particles.IsUsed(uint32_t(index)))
        return;
    m_particles.Free(particle);
}

int32_t CEffectController::EffectIndex(const CEffect* effect) const
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(m_effects.GetData());
    const uintptr_t at = reinterpret_cast<uintptr_t>(effect);
    if (base == 0 || at < base)
        return -1;
    const uintptr_t offset = at - base;
    if (offset % sizeof(CEffect) != 0 || offset / sizeof(CEffect) >= m_effects.GetCount())
        return -1;
    return int32_t(offset / sizeof(CEffect));
}

int32_t CEffectController::ParticleIndex(const CParticle* particle) const
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(m_particles.GetData());
    const uintptr_t at = reinterpret_cast<uintptr_t>(particle);
    if (base == 0 || at < base)
        return -1;
    const uintptr_t offset = at - base;
    if (offset % sizeof(CParticle) != 0 || offset / sizeof(CParticle) >= m_particles.GetCount())
        return -1;
    return int32_t(offset / sizeof(CParticle));
}

bool CEffectController::IsLiveEffect(const CEffect* effect) const
{
    const int32_t index = EffectIndex(effect);
    return index >= 0 && m_effects.IsUsed(uint32_t(index));
}

CEffectHandle CEffectController::GetHandle(CEffect* effect) const
{
    const int32_t index = EffectIndex(effect);
    if (index < 0 || !m_effects.IsUsed(uint32_t(index)) || m_generations == nullptr)
        return CEffectHandle();
    return CEffectHandle(this, effect, m_generations[index]);
}

CEffect* CEffectController::Resolve(const CEffectHandle& handle) const
{
    if (handle.GetController() != this)
        return nullptr;
    const int32_t index = EffectIndex(handle.GetSlot());
    if (index < 0 || !m_effects.IsUsed(uint32_t(index)) || m_generations == nullptr ||
        m_generations[index] != handle.GetGeneration())
        return nullptr;
    return handle.GetSlot();
}

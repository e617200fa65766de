#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/core/CResourceList.h"

#include <cstdint>

class CAnimationController;
class CEffect;
class CEffectController;
class CEffectObject;
class CPrimitiveList;

// Motion state of a particle, relative to its emitter.
struct tag_KVRPARTICLESTATE
{
    CkvrVector3 start;
    CkvrVector3 localPosition;
    CkvrVector3 rotationOffset;
    CkvrVector3 scaleFactor;
    CkvrVector3 velocity;
    CkvrVector4 colorFactor;
    uint32_t animationNumber;
    float birthTime;
    float animationTime;
    CAnimationController* animationPlayer;
    CkvrVector3 birthPosition;
    CkvrVector3 birthRotation;
    CkvrVector3 birthScaling;
    CkvrVector4 birthColor;
    CkvrMatrix birthWorld;
};

// One emitted element of a live effect: a textured quad, a model or a
// nested effect, moving from its birth placement by the effect object's
// particle parameters, optionally drawing ribbon trails and carrying a chain
// of attached trail particles. Particles live in the controller's pool.
class CParticle : public CObjectBase
{
public:
    // Rows of a ribbon are capped: the count comes from effect files.
    static constexpr uint32_t kMaxTrailRows = 1024;

    CParticle();
    // Frees what a particle holds outside the pool (trail lists, animation
    // player) even when the pool is cleared without Release.
    ~CParticle() override;
    CParticle(const CParticle&) = delete;
    // Slot assignment of the pool list copies the placed-object part only.
    CParticle& operator=(const CParticle& other)
    {
        CObjectBase::operator=(other);
        return *this;
    }

    // Releases the nested effect, the trail lists, the trail chain and the
    // rest of the chain after this particle, then frees its pool slot.
    uint32_t Release() override;
    const char* GetClassName() const override { return "CParticle"; }

    int Create(uintptr_t) override { return 1; }
    // argument: the parent object (CObjectBase*). Updates this particle, its
    // trail chain and the particles after it; the ones whose life has passed
    // leave their chain and are released. 1.
    int Update(uintptr_t argument) override;
    void UpdateWorldMatrix() override;
    // Draws this particle alone. 0 without a resource.
    int Render(uintptr_t argument) override;

    int Emit(CEffectObject* object, CEffectController* controller, CEffect* effect, float time);
    // Draws this particle, its trail chain and the rest of the chain; 0
    // when it stopped at a particle not born yet.
    int RenderChain(CEffect* owner, uintptr_t renderList);
    void Step();
    void UpdateTrails();
    // Takes this particle out of whichever chain holds it (the effect's
    // chain or an owner particle's trail chain), keeping both whole.
    void Unlink();

    tag_KVRPARTICLESTATE* GetState() { return &m_state; }
    CEffect* GetEffect() const { return m_effect; }
    CEffect* GetNestedEffect() const { return m_nested; }
    CParticle* GetNext() const { return m_next; }
    CParticle* GetPrevious() const { return m_previous; }
    CParticle* GetTrailChain() const { return m_trail; }
    CParticle* GetTrailOwner() const { return m_trailOwner; }
    CObjectBase* GetParent() const { return m_parent; }
    CResourceList<CPrimitiveList*>* GetTrailLists() const { return m_trailLists; }
    void SetNext(CParticle* next) { m_next = next; }
    void SetPrevious(CParticle* previous) { m_previous = previous; }
    void SetTrailChain(CParticle* head) { m_trail = head; }
    void SetTrailOwner(CParticle* owner) { m_trailOwner = owner; }
    void SetEffect(CEffect* effect) { m_effect = effect; }
    void SetNestedEffect(CEffect* effect) { m_nested = effect; }
    void SetController(CEffectController* controller) { m_controller = controller; }

private:
    float Age() const;
    // This particle alone: steps, radius, animation, nested effect, trails.
    void UpdateSelf(CObjectBase* parent);
    bool LifePassed() const;
    void FreeOwned();
    static void ReleaseChain(CParticle* head);
    // Releases this particle without touching its next link.
    void ReleaseSelf();
    void BuildTrails();
    // Queues or draws this particle and its trails.
    void Draw(uintptr_t renderList);

    tag_KVRPARTICLESTATE m_state{};
    CEffectObject* m_object = nullptr;
    CEffectController* m_controller = nullptr;
    CEffect* m_effect = nullptr;
    CEffect* m_nested = nullptr;
    CResourceList<CPrimitiveList*>* m_trailLists = nullptr;
    CParticle* m_trail = nullptr;
    CParticle* m_previous = nullptr;
    CParticle* m_next = nullptr;
    CObjectBase* m_parent = nullptr;
    CParticle* m_trailOwner = nullptr;
};

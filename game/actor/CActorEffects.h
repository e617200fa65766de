#pragma once

#include "engine/effect/CEffectHandle.h"
#include "game/actor/IActorEffects.h"

#include <string>
#include <vector>

class CEffectContainer;
class CEffectController;
class CSoundBuffer;

// The battle's IActorEffects: event effects ("Efc_*"), the change sound,
// voices and element-attack effect players, played on the engine's effect
// controller and sound buffers. Containers and sounds are found by name in
// the installed resource controller's lists (CActorResources) at each call,
// so a reloaded set is never played from stale pointers; a name the set
// lacks plays nothing, and so does everything without a controller.
class CActorEffects : public IActorEffects
{
public:
    explicit CActorEffects(CEffectController* controller);

    // The voice table (file names by voice entry) of fighter index, as its
    // character definition lists it; null forgets it. The table outlives
    // its use here.
    void SetFighterVoices(uint32_t fighter, const std::vector<std::string>* voices);

    void PlayEvent(uint32_t event, uint32_t fighter, const CkvrVector3& position) override;
    void PlayVoice(uint32_t fighter, uint32_t voice, int32_t volume, const CkvrVector3& position) override;
    void PlayAttackEffect(const CEffectPlayerRecord& player, uint32_t fighter, const CkvrVector3& position,
                          float yaw) override;

    // The container of an event (EVENT_STEP ... EVENT_ITEM_NORMAL_GAUGE) in
    // the installed set; null for other events and missing names.
    static CEffectContainer* FindEventEffect(uint32_t event);
    // The last effect tree started here; resolves to null once it ends.
    const CEffectHandle& GetLastEffect() const { return m_last; }

private:
    void Start(CEffectContainer* container, const CkvrVector3& position, const CkvrVector3* direction,
               const CkvrVector3* scale, const CkvrVector4* color, float timeLimit);
    void PlaySound(CSoundBuffer* sound, int32_t volume, const CkvrVector3& position);

    CEffectController* m_controller = nullptr;
    std::vector<const std::vector<std::string>*> m_voices;
    CEffectHandle m_last;
};

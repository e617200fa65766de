#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

struct CEffectPlayerRecord;

// The seam through which fighters start their event effects ("Efc_*") and
// sounds. The battle wires it to the effect controller and its effect
// handles; tests record the calls. Effects started by simulation events may
// draw from the shared random stream, so calls happen on update paths only.
class IActorEffects
{
public:
    enum Event : uint32_t
    {
        EVENT_STEP = 0,
        EVENT_DASH = 1,
        EVENT_FLY = 2,
        EVENT_DOWN = 3,
        EVENT_BURST_SET = 4,
        EVENT_BURST = 5,
        EVENT_ELEMENTAL_JUMP = 6,
        EVENT_CHANGE_SOUND = 100,
    };
    virtual ~IActorEffects() = default;
    virtual void PlayEvent(uint32_t event, uint32_t fighter, const CkvrVector3& position) = 0;
    // Voice entry index of the fighter at the battle data's voice volume.
    // Sounds draw nothing from the shared stream.
    virtual void PlayVoice(uint32_t fighter, uint32_t voice, int32_t volume, const CkvrVector3& position)
    {
        (void)fighter;
        (void)voice;
        (void)volume;
        (void)position;
    }
    // An element attack's effect player whose key the attack's clock just
    // passed, for the fighter at position facing yaw (degrees).
    virtual void PlayAttackEffect(const CEffectPlayerRecord& player, uint32_t fighter, const CkvrVector3& position,
                                  float yaw) = 0;
};

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
        EVENT_ELEMENTS_SET = 7,
        EVENT_ELEMENTS = 8,
        EVENT_WEAPON_SET = 9,
        EVENT_ITEM_SET = 10,
        EVENT_ITEM_POWER = 11,
        EVENT_ITEM_SPEED = 12,
        EVENT_ITEM_LIFE = 13,
        EVENT_ITEM_EP = 14,
        EVENT_ITEM_GAUGE = 15,
        EVENT_ITEM_AMMO = 16,
        EVENT_COUNT = 17,
        EVENT_CHANGE_SOUND = 100,
    };
    // The effect container of each event, found by name in the resource
    // controller's effect list; the stored names keep their spelling.
    static constexpr const char* kEventEffectNames[EVENT_COUNT] = {
        "Efc_step",          "Efc_dash",         "Efc_fly",           "Efc_down",          "Efc_burst_set",
        "Efc_burst",         "Efc_elementaljump", "Efc_elements_set", "Efc_elements",      "Efc_weapon_set",
        "Efc_item_set",      "Efc_item_pouwer",  "Efc_item_speed",    "Efc_item_hpcharge", "Efc_item_epcharge",
        "Efc_item_ebpcharge", "Efc_item_nbcharge"};
    // The event of taking an item of a kind: power, speed, life, EP, gauge
    // and ammunition have their own, coins and jewels the plain one.
    static constexpr uint32_t ItemEvent(uint8_t kind)
    {
        return kind <= EVENT_ITEM_AMMO - EVENT_ITEM_POWER ? EVENT_ITEM_POWER + kind : EVENT_ITEM_SET;
    }
    // The sound of EVENT_CHANGE_SOUND, found by file name in the sound list.
    static constexpr const char* kChangeSoundName = "Se_change_01.ogg";
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

#pragma once

#include "engine/core/CByteWriter.h"
#include "game/actor/CEffectPlayerRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An element attack: ".ela" ("QELA") the weapon's elemental attack, ".eba"
// ("QEBA") its burst attack, ".ema" ("QEMA") the character's maximum attack.
// All three share one layout; times are ms of the attack's own clock.
struct CElementAttackDefinition
{
    static constexpr size_t kNameSize = 64;
    static constexpr uint32_t kMaxEffectPlayers = 16;

    enum Format : uint8_t
    {
        FORMAT_ELEMENTAL = 0,
        FORMAT_BURST = 1,
        FORMAT_MAXIMUM = 2,
    };

    Format format = FORMAT_ELEMENTAL;
    char name[kNameSize] = {};
    uint8_t epCost = 0;
    uint8_t motion = 0;
    uint8_t power = 0;
    uint32_t duration = 1;
    uint32_t firstPhase = 0; // from here the HUD shows the attack's own weapon
    uint32_t hitStart = 0;
    uint32_t hitEnd = 0;
    float reach = 1.0f;
    float radius = 1.0f;
    std::string ownWeapon;
    std::vector<CEffectPlayerRecord> effectPlayers;

    static const char* GetMagic(Format format);

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

#pragma once

#include "engine/core/CByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A field item, ".itm" ("QITM").
struct CItemDefinition
{
    static constexpr size_t kNameSize = 64;

    enum Kind : uint8_t
    {
        KIND_POWER = 0,
        KIND_SPEED = 1,
        KIND_LIFE = 2,
        KIND_EP = 3,
        KIND_GAUGE = 4,
        KIND_AMMO = 5,
        KIND_COIN = 6,
        KIND_JEWEL = 7,
    };

    char name[kNameSize] = {};
    uint8_t kind = KIND_POWER;
    float value = 0.0f;
    uint32_t duration = 0; // ms
    float radius = 0.5f;
    uint32_t fieldLife = 0; // ms
    std::string model;
    std::string effect;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

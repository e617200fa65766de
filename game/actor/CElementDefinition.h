#pragma once

#include "engine/core/CByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// An element (the spirit an altar holds), ".elt" ("QELT").
struct CElementDefinition
{
    static constexpr size_t kNameSize = 64;

    char name[kNameSize] = {};
    uint8_t element = 0; // 0-6
    uint8_t motion = 0;
    float pickUpRadius = 1.0f;
    uint32_t blessingTime = 0; // ms
    uint32_t altarRespawn = 0; // ms
    std::string model;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

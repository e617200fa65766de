#pragma once

#include "engine/core/CByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A clothes template, ".cls" ("QCLS"): worn in the slots of its slot mask on
// the named bone.
struct CClothesDefinition
{
    static constexpr size_t kNameSize = 260;

    char name[kNameSize] = {};
    uint32_t price = 0;
    uint16_t slotMask = 1; // bits 0-5
    uint32_t characterMask = 0;
    uint8_t unlockKind = 0;
    uint32_t unlockThreshold = 0;
    std::string description;
    std::string model;
    std::string bone;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

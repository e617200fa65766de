#pragma once

#include "engine/core/CByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A bullet template, ".blt" ("QBLT").
struct CBulletDefinition
{
    static constexpr size_t kNameSize = 64;
    static constexpr uint32_t FLAG_CANCEL = 1; // annuls other owners' bullets it touches

    char name[kNameSize] = {};
    float range = 10.0f;
    float speed = 10.0f;
    float gravity = 0.0f;
    float radius = 0.1f;
    uint32_t flags = 0;
    std::string model;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

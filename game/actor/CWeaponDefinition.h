#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A weapon template as its file describes it: ".swp" ("QSWP") close-range,
// types 0-5; ".lwp" ("QLWP") long-range, 6-11; ".spw" ("QSPW") special,
// 12-16. The last two share the firing block.
struct CWeaponDefinition
{
    static constexpr size_t kNameSize = 260;
    static constexpr uint32_t kMaxBulletRecords = 4;

    enum Format : uint8_t
    {
        FORMAT_SHORT = 0,
        FORMAT_LONG = 1,
        FORMAT_SPECIAL = 2,
    };

    struct BulletRecord
    {
        std::string bullet;
        CkvrVector3 muzzle;
        uint8_t shots = 1;    // 1-16
        float spread = 0.0f; // degrees, 0-45
    };

    Format format = FORMAT_SHORT;
    char name[kNameSize] = {};
    uint8_t type = 0;
    uint8_t iconClass = 0; // 0-7
    uint8_t weight = 1;    // 1-10
    uint8_t rank = 0;
    uint32_t price = 0;
    uint32_t characterMask = 0;
    uint32_t defaultOnly = 0;
    uint8_t power = 0;
    uint8_t range = 0;
    uint8_t speed = 0;
    uint8_t reload = 0;
    uint8_t unlockKind = 0; // 0 from the start, 1 battles, 2 wins
    uint32_t unlockThreshold = 0;
    std::string description;
    std::string model;
    std::string elementAttack;
    std::string burstAttack;
    float motionSpeed = 1.0f;
    uint32_t flags = 0;

    // Close range.
    uint16_t swingTime = 1; // ms
    uint16_t hitStart = 0;
    uint16_t hitEnd = 1;
    float reach = 1.0f;
    float hitRadius = 0.5f;
    float lungeSpeed = 1.0f;

    // Long range and special.
    uint16_t capacity = 1; // rounds or uses
    uint16_t fireInterval = 0;
    uint32_t reloadTime = 0; // ms, 0 never
    std::vector<BulletRecord> bullets;

    static const char* GetMagic(Format format);
    // The type range of each format.
    static bool IsTypeOf(Format format, uint8_t type);

    // Any of the three formats, told apart by the magic.
    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

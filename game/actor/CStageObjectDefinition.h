#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A stage object template: ".sto" ("QSTO") a standing object, ".sro"
// ("QSRO") the same with a route of waypoints.
struct CStageObjectDefinition
{
    static constexpr size_t kNameSize = 64;
    static constexpr uint8_t kNoMapMark = 255;

    enum Kind : uint8_t
    {
        KIND_PROP = 0,
        KIND_ALTAR_FIRST = 1, // 1-7: altar of element kind - 1
        KIND_ALTAR_LAST = 7,
        KIND_WEAPON_BOX = 8,
        KIND_ITEM_BOX = 9,
    };

    bool hasRoute = false;
    char name[kNameSize] = {};
    uint8_t kind = KIND_PROP;
    uint8_t mapMark = kNoMapMark; // 0-6 or none
    uint16_t life = 0;            // 0 unbreakable
    CkvrVector3 halfSize = CkvrVector3(1.0f, 1.0f, 1.0f);
    uint32_t respawn = 0; // ms, 0 at a reset
    std::string model;
    float routeSpeed = 1.0f;
    uint32_t routePause = 0; // ms
    std::vector<CkvrVector3> waypoints;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

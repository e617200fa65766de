#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A stage, ".stg" ("QSTG"): its models, its map, the box fighters may live
// in, the start points and the stage objects placed on it.
struct CStageDefinition
{
    // A replay header holds 31 characters of the name.
    static constexpr size_t kNameSize = 32;
    static constexpr size_t kTemplateNameSize = 64;
    static constexpr uint32_t kMaxStartPoints = 32;
    static constexpr uint32_t kMaxPlacements = 256;

    struct StartPoint
    {
        CkvrVector3 position;
        CkvrVector3 rotation;
    };

    struct Placement
    {
        char templateName[kTemplateNameSize] = {};
        CkvrVector3 position;
        CkvrVector3 rotation;
    };

    char name[kNameSize] = {};
    std::string displayName;
    std::string groundModel;
    std::string hitModel;
    std::string mapPicture;
    float mapCentreX = 0.0f;
    float mapCentreZ = 0.0f;
    float mapHalfX = 1.0f;
    float mapHalfZ = 1.0f;
    CkvrVector3 extentMin = CkvrVector3(-1.0f, -1.0f, -1.0f);
    CkvrVector3 extentMax = CkvrVector3(1.0f, 1.0f, 1.0f);
    std::vector<StartPoint> starts = std::vector<StartPoint>(1);
    std::vector<Placement> placements;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};

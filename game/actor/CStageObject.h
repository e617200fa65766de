#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CMesh;
struct CStageObjectDefinition;

// A stage object placed from a template: its box in the stage's collision
// and the clock that brings it back after it broke.
struct CStageObject
{
    const CStageObjectDefinition* definition = nullptr;
    uint32_t box = 0;
    uint32_t respawnClock = 0;
    // Broken and due to stand again (its respawn time ran out, or a reset
    // asked): it waits while a fighter stands in its place, so that it never
    // closes round one.
    bool returning = false;
    // Drawing only: where its placement put it, and the template's model
    // (found when the object was placed; none draws nothing).
    CkvrVector3 position;
    CkvrVector3 rotation;
    CMesh* model = nullptr;
};

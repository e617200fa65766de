#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>

// One vertex of a model, and of the grids that the particles write.
struct tag_KVRMODELVERTEX
{
    CkvrVector3 position;
    CkvrVector3 normal;
    float uv[4][2];
    CkvrVector4 color; // r, g, b, a in 0..1
    CkvrVector3 further;
    uint8_t influences;
    uint8_t bones[4];
    float weights[4];
};

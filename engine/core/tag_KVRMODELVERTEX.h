#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>

// One vertex of a model, and of the grids that the particles write.
// A vertex can be weighted to at most this many bones.
constexpr uint32_t KVR_MAX_INFLUENCES = 4;

struct tag_KVRMODELVERTEX
{
    CkvrVector3 position;
    CkvrVector3 normal;
    float uv[4][2];
    CkvrVector4 color; // r, g, b, a in 0..1
    CkvrVector3 extra;
    uint8_t influences;
    uint8_t boneIndex[KVR_MAX_INFLUENCES];
    float boneWeight[KVR_MAX_INFLUENCES];
};

#pragma once

#include <cstdint>

// The vertices the engine draws from memory most, laid out as their
// flexible vertex formats say (float fields, then the ARGB colour, then
// the texture coordinate).

// FVF_XYZRHW | FVF_DIFFUSE: a screen position in pixels.
struct ScreenVertex
{
    float x, y, z, rhw;
    uint32_t color;
};
static_assert(sizeof(ScreenVertex) == 20, "screen vertices are 20 bytes");

// FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1: a textured screen position.
struct TexturedScreenVertex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(TexturedScreenVertex) == 28, "textured screen vertices are 28 bytes");

// FVF_XYZ | FVF_DIFFUSE: a coloured position in the world.
struct ColorVertex
{
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(ColorVertex) == 16, "colour vertices are 16 bytes");

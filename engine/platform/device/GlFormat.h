#pragma once

#include <cstdint>

// How one surface format is stored in OpenGL: the internal format, the
// layout of its pixels in memory (D3DCOLOR formats are BGRA bytes) and the
// swizzle that gives the channels the engine expects.
struct GlFormat
{
    unsigned internalFormat = 0;
    unsigned pixelFormat = 0;
    unsigned pixelType = 0;
    uint32_t bytesPerPixel = 0; // 0 for block-compressed formats
    uint32_t blockBytes = 0;    // bytes per 4x4 block of compressed formats
    bool compressed = false;
    bool depth = false;
    bool swizzleRedOnly = false; // one-channel float formats read (r, 1, 1, 1)
};

// False for formats OpenGL cannot store.
bool LookupGlFormat(uint32_t format, GlFormat* out);

// Bytes of one row of a level: pitch of uncompressed formats, one row of
// 4x4 blocks for compressed ones.
uint32_t GetFormatPitch(const GlFormat& format, uint32_t width);
// Rows of the level as the pitch counts them (height / 4 rounded up for
// compressed formats).
uint32_t GetFormatRows(const GlFormat& format, uint32_t height);

#pragma once

#include <cstdint>
#include <vector>

// Image files for the stand-in data set, from ARGB pixels (rows top-down):
// PNG through stb_image_write, DDS written field by field, uncompressed
// (A8R8G8B8) or DXT1 with a simple two-colour fit per 4x4 block, whose
// texels under half alpha are cut out (transparent).
class ImageEncoder
{
public:
    static std::vector<uint8_t> EncodePng(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height);
    static std::vector<uint8_t> EncodeDdsArgb(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height);
    // width and height multiples of 4.
    static std::vector<uint8_t> EncodeDdsDxt1(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height);
};

#pragma once

#include <stb/stb_image_write.h>

#include <cstdint>
#include <string>
#include <vector>

// Pixels read back from the device (ARGB words, rows from the top) as an
// opaque PNG, for a person to look at; false when it could not be written.
inline bool SaveArgbPng(const std::vector<uint32_t>& argb, int width, int height, const std::string& path)
{
    std::vector<uint8_t> rgba(argb.size() * 4);
    for (size_t i = 0; i < argb.size(); ++i)
    {
        rgba[i * 4 + 0] = static_cast<uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(argb[i]);
        rgba[i * 4 + 3] = 0xFF;
    }
    return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

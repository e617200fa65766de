#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A DDS file read from memory: 2D textures in DXT1, DXT2/3, DXT4/5 or an
// uncompressed RGB, luminance or alpha layout of 8 to 32 bits, with their
// mip levels. Cube maps, volumes and the DX10 extension are refused.
// Every size, level count and data length is checked against the bytes
// present before anything is read.
class DdsImage
{
public:
    static constexpr uint32_t MAX_SIZE = 16384;

    struct Level
    {
        uint32_t width = 0;
        uint32_t height = 0;
        size_t offset = 0; // into the data given to Read
        size_t size = 0;
    };

    // False (and the object empty) for anything but a whole, supported
    // image. The data must outlive the object's use of the levels.
    bool Read(const void* data, size_t size);

    // FORMAT_DXT1/DXT3/DXT5 (SurfaceFormat) for compressed images, else
    // FORMAT_A8R8G8B8 (what DecodeLevel gives).
    uint32_t GetFormat() const { return m_format; }
    bool IsCompressed() const { return m_blockBytes != 0; }
    uint32_t GetWidth() const { return m_levels.empty() ? 0 : m_levels[0].width; }
    uint32_t GetHeight() const { return m_levels.empty() ? 0 : m_levels[0].height; }
    const std::vector<Level>& GetLevels() const { return m_levels; }
    const uint8_t* GetLevelData(size_t level) const { return m_data + m_levels[level].offset; }

    // One level as ARGB texels (BGRA bytes), rows top-down.
    bool DecodeLevel(size_t level, std::vector<uint32_t>* argb) const;

    // Block decoders, public for the tests: 4x4 texels of one block, rows
    // top-down, as ARGB values.
    static void DecodeDxt1Block(const uint8_t* block, uint32_t out[16]);
    static void DecodeDxt3Block(const uint8_t* block, uint32_t out[16]);
    static void DecodeDxt5Block(const uint8_t* block, uint32_t out[16]);

private:
    void Clear();
    // A8R8G8B8 or X8R8G8B8: each texel read as it stands.
    bool IsPlainArgb() const;
    uint32_t DecodeUncompressed(const uint8_t* texel) const;

    const uint8_t* m_data = nullptr;
    uint32_t m_format = 0;
    uint32_t m_blockBytes = 0; // 8 or 16 for compressed formats
    uint32_t m_fourCC = 0;
    uint32_t m_bitCount = 0;
    uint32_t m_masks[4] = {}; // red, green, blue, alpha
    bool m_luminance = false;
    std::vector<Level> m_levels;
};

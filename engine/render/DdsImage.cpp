#include "engine/render/DdsImage.h"

#include "engine/platform/device/GraphicsTypes.h"

#include <algorithm>
#include <bit>

namespace
{
constexpr size_t HEADER_BYTES = 128; // "DDS " and the 124-byte header
constexpr uint32_t FLAG_MIPMAPCOUNT = 0x20000;
constexpr uint32_t PF_ALPHAPIXELS = 0x1;
constexpr uint32_t PF_ALPHA = 0x2;
constexpr uint32_t PF_FOURCC = 0x4;
constexpr uint32_t PF_RGB = 0x40;
constexpr uint32_t PF_LUMINANCE = 0x20000;
constexpr uint32_t CAPS2_CUBEMAP = 0x200;
constexpr uint32_t CAPS2_VOLUME = 0x200000;

uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint32_t FourCC(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 | static_cast<uint32_t>(c) << 16 |
           static_cast<uint32_t>(d) << 24;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// 5:6:5 to 8 bits per channel, replicating the high bits.
void Expand565(uint16_t c, uint32_t rgb[3])
{
    const uint32_t r = (c >> 11) & 31;
    const uint32_t g = (c >> 5) & 63;
    const uint32_t b = c & 31;
    rgb[0] = (r << 3) | (r >> 2);
    rgb[1] = (g << 2) | (g >> 4);
    rgb[2] = (b << 3) | (b >> 2);
}

// The colour half of a block: four colours and 2-bit indices. opaque
// forces the four-colour mode (DXT3 and DXT5).
void DecodeColors(const uint8_t* block, bool opaque, uint32_t out[16])
{
    const uint16_t c0 = static_cast<uint16_t>(block[0] | block[1] << 8);
    const uint16_t c1 = static_cast<uint16_t>(block[2] | block[3] << 8);
    uint32_t p[4][3];
    Expand565(c0, p[0]);
    Expand565(c1, p[1]);
    uint32_t alpha3 = 255;
    for (int k = 0; k < 3; ++k)
    {
        if (opaque || c0 > c1)
        {
            p[2][k] = (2 * p[0][k] + p[1][k]) / 3;
            p[3][k] = (p[0][k] + 2 * p[1][k]) / 3;
        }
        else
        {
            p[2][k] = (p[0][k] + p[1][k]) / 2;
            p[3][k] = 0;
            alpha3 = 0;
        }
    }
    const uint32_t indices = U32(block + 4);
    for (int i = 0; i < 16; ++i)
    {
        const uint32_t index = (indices >> (2 * i)) & 3;
        const uint32_t alpha = index == 3 ? alpha3 : 255;
        out[i] = Argb(alpha, p[index][0], p[index][1], p[index][2]);
    }
}

uint32_t MaskShift(uint32_t mask)
{
    return mask == 0 ? 0 : static_cast<uint32_t>(std::countr_zero(mask));
}

// A masked channel scaled to 0..255.
uint32_t Channel(uint32_t texel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    const uint32_t value = (texel & mask) >> MaskShift(mask);
    const uint32_t maximum = mask >> MaskShift(mask);
    return static_cast<uint32_t>((static_cast<uint64_t>(value) * 255 + maximum / 2) / maximum);
}
}

void DdsImage::Clear()
{
    m_data = nullptr;
    m_format = 0;
    m_blockBytes = 0;
    m_fourCC = 0;
    m_bitCount = 0;
    std::fill(std::begin(m_masks), std::end(m_masks), 0u);
    m_luminance = false;
    m_levels.clear();
}

bool DdsImage::Read(const void* data, size_t size)
{
    Clear();
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes == nullptr || size < HEADER_BYTES || U32(bytes) != FourCC('D', 'D', 'S', ' ') || U32(bytes + 4) != 124 ||
        U32(bytes + 76) != 32)
        return false;
    const uint32_t flags = U32(bytes + 8);
    const uint32_t height = U32(bytes + 12);
    const uint32_t width = U32(bytes + 16);
    const uint32_t mipCount = U32(bytes + 28);
    const uint32_t pixelFlags = U32(bytes + 80);
    const uint32_t caps2 = U32(bytes + 112);
    if (width == 0 || height == 0 || width > MAX_SIZE || height > MAX_SIZE || (caps2 & (CAPS2_CUBEMAP | CAPS2_VOLUME)))
        return false;

    if (pixelFlags & PF_FOURCC)
    {
        m_fourCC = U32(bytes + 84);
        if (m_fourCC == FourCC('D', 'X', 'T', '1'))
            m_format = FORMAT_DXT1, m_blockBytes = 8;
        else if (m_fourCC == FourCC('D', 'X', 'T', '2') || m_fourCC == FourCC('D', 'X', 'T', '3'))
            m_format = FORMAT_DXT3, m_blockBytes = 16;
        else if (m_fourCC == FourCC('D', 'X', 'T', '4') || m_fourCC == FourCC('D', 'X', 'T', '5'))
            m_format = FORMAT_DXT5, m_blockBytes = 16;
        else
            return false;
    }
    else if (pixelFlags & (PF_RGB | PF_LUMINANCE | PF_ALPHA))
    {
        m_bitCount = U32(bytes + 88);
        if (m_bitCount != 8 && m_bitCount != 16 && m_bitCount != 24 && m_bitCount != 32)
            return false;
        m_luminance = (pixelFlags & PF_LUMINANCE) != 0;
        m_masks[0] = U32(bytes + 92);
        m_masks[1] = U32(bytes + 96);
        m_masks[2] = U32(bytes + 100);
        m_masks[3] = (pixelFlags & (PF_ALPHAPIXELS | PF_ALPHA)) ? U32(bytes + 104) : 0;
        const uint64_t limit = m_bitCount == 32 ? 0xFFFFFFFFull : (1ull << m_bitCount) - 1;
        for (uint32_t mask : m_masks)
        {
            if (mask > limit)
                return false;
        }
        if (m_masks[0] == 0 && m_masks[3] == 0)
            return false;
        m_format = FORMAT_A8R8G8B8;
    }
    else
        return false;

    uint32_t levels = (flags & FLAG_MIPMAPCOUNT) && mipCount > 0 ? mipCount : 1;
    const uint32_t chain = 1 + static_cast<uint32_t>(std::bit_width(std::max(width, height))) - 1;
    levels = std::min(levels, chain);
    size_t offset = HEADER_BYTES;
    for (uint32_t i = 0; i < levels; ++i)
    {
        Level level;
        level.width = std::max(1u, width >> i);
        level.height = std::max(1u, height >> i);
        const uint64_t levelBytes =
            m_blockBytes != 0
                ? static_cast<uint64_t>((level.width + 3) / 4) * ((level.height + 3) / 4) * m_blockBytes
                : static_cast<uint64_t>(level.width) * level.height * (m_bitCount / 8);
        if (levelBytes > size - offset)
        {
            Clear();
            return false;
        }
        level.offset = offset;
        level.size = static_cast<size_t>(levelBytes);
        offset += level.size;
        m_levels.push_back(level);
    }
    m_data = bytes;
    return true;
}

void DdsImage::DecodeDxt1Block(const uint8_t* block, uint32_t out[16])
{
    DecodeColors(block, false, out);
}

void DdsImage::DecodeDxt3Block(const uint8_t* block, uint32_t out[16])
{
    DecodeColors(block + 8, true, out);
    for (int i = 0; i < 16; ++i)
    {
        const uint32_t nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
        out[i] = (out[i] & 0x00FFFFFF) | (nibble * 17) << 24;
    }
}

void DdsImage::DecodeDxt5Block(const uint8_t* block, uint32_t out[16])
{
    DecodeColors(block + 8, true, out);
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint32_t alphas[8] = {a0, a1};
    if (a0 > a1)
    {
        for (uint32_t k = 1; k < 7; ++k)
            alphas[k + 1] = ((7 - k) * a0 + k * a1) / 7;
    }
    else
    {
        for (uint32_t k = 1; k < 5; ++k)
            alphas[k + 1] = ((5 - k) * a0 + k * a1) / 5;
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
    {
        const uint32_t index = static_cast<uint32_t>((bits >> (3 * i)) & 7);
        out[i] = (out[i] & 0x00FFFFFF) | alphas[index] << 24;
    }
}

bool DdsImage::IsPlainArgb() const
{
    return m_blockBytes == 0 && m_bitCount == 32 && !m_luminance && m_masks[0] == 0x00FF0000u &&
           m_masks[1] == 0x0000FF00u && m_masks[2] == 0x000000FFu && (m_masks[3] == 0xFF000000u || m_masks[3] == 0);
}

uint32_t DdsImage::DecodeUncompressed(const uint8_t* texel) const
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < m_bitCount / 8; ++i)
        value |= static_cast<uint32_t>(texel[i]) << (8 * i);
    const uint32_t alpha = m_masks[3] != 0 ? Channel(value, m_masks[3]) : 255;
    if (m_luminance || m_masks[0] == 0)
    {
        const uint32_t l = m_masks[0] != 0 ? Channel(value, m_masks[0]) : 255;
        return Argb(alpha, l, l, l);
    }
    return Argb(alpha, Channel(value, m_masks[0]), Channel(value, m_masks[1]), Channel(value, m_masks[2]));
}

bool DdsImage::DecodeLevel(size_t index, std::vector<uint32_t>* argb) const
{
    if (argb == nullptr || index >= m_levels.size())
        return false;
    const Level& level = m_levels[index];
    const uint8_t* data = GetLevelData(index);
    argb->assign(static_cast<size_t>(level.width) * level.height, 0);
    if (IsPlainArgb())
    {
        // The texel already is the ARGB value: no channel to scale.
        const uint32_t opaque = m_masks[3] == 0 ? 0xFF000000u : 0u;
        for (size_t i = 0; i < argb->size(); ++i)
            (*argb)[i] = U32(data + i * 4) | opaque;
        return true;
    }
    if (m_blockBytes == 0)
    {
        const uint32_t bytes = m_bitCount / 8;
        for (size_t i = 0; i < argb->size(); ++i)
            (*argb)[i] = DecodeUncompressed(data + i * bytes);
        return true;
    }
    const uint32_t blocksWide = (level.width + 3) / 4;
    const uint32_t blocksHigh = (level.height + 3) / 4;
    for (uint32_t by = 0; by < blocksHigh; ++by)
    {
        for (uint32_t bx = 0; bx < blocksWide; ++bx)
        {
            const uint8_t* block = data + (static_cast<size_t>(by) * blocksWide + bx) * m_blockBytes;
            uint32_t texels[16];
            if (m_format == FORMAT_DXT1)
                DecodeDxt1Block(block, texels);
            else if (m_format == FORMAT_DXT3)
                DecodeDxt3Block(block, texels);
            else
                DecodeDxt5Block(block, texels);
            for (uint32_t i = 0; i < 16; ++i)
            {
                const uint32_t x = bx * 4 + i % 4;
                const uint32_t y = by * 4 + i / 4;
                if (x < level.width && y < level.height)
                    (*argb)[static_cast<size_t>(y) * level.width + x] = texels[i];
            }
        }
    }
    return true;
}

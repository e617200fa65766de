#include "tools/datakit/ImageEncoder.h"

#include <stb/stb_image_write.h>

#include <algorithm>

namespace
{
constexpr uint32_t DDSD_CAPS = 0x1;
constexpr uint32_t DDSD_HEIGHT = 0x2;
constexpr uint32_t DDSD_WIDTH = 0x4;
constexpr uint32_t DDSD_PITCH = 0x8;
constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;
constexpr uint32_t DDSD_LINEARSIZE = 0x80000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// "DDS " and the 124-byte header; pixel format fields as given.
std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, uint32_t flags, uint32_t pitchOrSize,
                               uint32_t formatFlags, uint32_t fourCC, uint32_t bitCount, const uint32_t masks[4])
{
    std::vector<uint8_t> out = {'D', 'D', 'S', ' '};
    PutU32(out, 124);
    PutU32(out, flags);
    PutU32(out, height);
    PutU32(out, width);
    PutU32(out, pitchOrSize);
    PutU32(out, 0); // depth
    PutU32(out, 0); // mip levels: the texture makes its own chain
    for (int i = 0; i < 11; ++i)
        PutU32(out, 0);
    PutU32(out, 32);
    PutU32(out, formatFlags);
    PutU32(out, fourCC);
    PutU32(out, bitCount);
    for (int i = 0; i < 4; ++i)
        PutU32(out, masks[i]);
    PutU32(out, DDSCAPS_TEXTURE);
    for (int i = 0; i < 4; ++i)
        PutU32(out, 0); // caps 2-4, reserved
    return out;
}

uint16_t To565(uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 0xFF;
    const uint32_t g = (argb >> 8) & 0xFF;
    const uint32_t b = argb & 0xFF;
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

uint32_t From565(uint16_t c)
{
    const uint32_t r = (c >> 11) & 31;
    const uint32_t g = (c >> 5) & 63;
    const uint32_t b = c & 31;
    return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

int Distance(uint32_t a, uint32_t b)
{
    int sum = 0;
    for (int shift = 0; shift <= 16; shift += 8)
    {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

uint32_t Mix(uint32_t a, uint32_t b, int wa, int wb)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
    {
        const uint32_t v = (((a >> shift) & 0xFF) * wa + ((b >> shift) & 0xFF) * wb) / (wa + wb);
        out |= v << shift;
    }
    return out;
}

// One opaque DXT1 block: the brightest and darkest texels as end points
// (four-colour mode, so colour0 > colour1), each texel the nearest of the
// four palette colours.
void EncodeBlock(const uint32_t texels[16], std::vector<uint8_t>& out)
{
    uint16_t high = To565(texels[0]);
    uint16_t low = high;
    for (int i = 1; i < 16; ++i)
    {
        const uint16_t c = To565(texels[i]);
        high = std::max(high, c);
        low = std::min(low, c);
    }
    PutU16(out, high);
    PutU16(out, low);
    if (high == low)
    {
        PutU32(out, 0);
        return;
    }
    const uint32_t c0 = From565(high);
    const uint32_t c1 = From565(low);
    const uint32_t palette[4] = {c0, c1, Mix(c0, c1, 2, 1), Mix(c0, c1, 1, 2)};
    uint32_t indices = 0;
    for (int i = 0; i < 16; ++i)
    {
        uint32_t best = 0;
        for (uint32_t p = 1; p < 4; ++p)
        {
            if (Distance(texels[i], palette[p]) < Distance(texels[i], palette[best]))
                best = p;
        }
        indices |= best << (2 * i);
    }
    PutU32(out, indices);
}

bool Transparent(uint32_t argb)
{
    return (argb >> 24) < 0x80;
}

// A DXT1 block with transparent texels (alpha under half): three-colour
// mode (colour0 <= colour1), whose fourth index reads as transparent
// black; the opaque texels take the nearest of the other three.
void EncodeCutOutBlock(const uint32_t texels[16], std::vector<uint8_t>& out)
{
    uint16_t high = 0;
    uint16_t low = 0xFFFF;
    for (int i = 0; i < 16; ++i)
    {
        if (Transparent(texels[i]))
            continue;
        high = std::max(high, To565(texels[i]));
        low = std::min(low, To565(texels[i]));
    }
    if (low > high)
        low = high; // no opaque texel
    PutU16(out, low);
    PutU16(out, high);
    const uint32_t palette[3] = {From565(low), From565(high), Mix(From565(low), From565(high), 1, 1)};
    uint32_t indices = 0;
    for (int i = 0; i < 16; ++i)
    {
        uint32_t best = 3;
        if (!Transparent(texels[i]))
        {
            best = 0;
            for (uint32_t p = 1; p < 3; ++p)
            {
                if (Distance(texels[i], palette[p]) < Distance(texels[i], palette[best]))
                    best = p;
            }
        }
        indices |= best << (2 * i);
    }
    PutU32(out, indices);
}
}

std::vector<uint8_t> ImageEncoder::EncodePng(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgba(argb.size() * 4);
    for (size_t i = 0; i < argb.size(); ++i)
    {
        rgba[i * 4 + 0] = static_cast<uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(argb[i]);
        rgba[i * 4 + 3] = static_cast<uint8_t>(argb[i] >> 24);
    }
    std::vector<uint8_t> png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<uint8_t>*>(context);
            out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &png, static_cast<int>(width), static_cast<int>(height), 4, rgba.data(), static_cast<int>(width * 4));
    return png;
}

std::vector<uint8_t> ImageEncoder::EncodeDdsArgb(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height)
{
    const uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    std::vector<uint8_t> out =
        DdsHeader(width, height, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_PITCH, width * 4,
                  DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, masks);
    // Written in place: a byte at a time is slow for the large sheets in
    // the sanitizer build.
    const size_t header = out.size();
    out.resize(header + argb.size() * 4);
    uint8_t* texels = out.data() + header;
    for (uint32_t texel : argb)
    {
        texels[0] = static_cast<uint8_t>(texel);
        texels[1] = static_cast<uint8_t>(texel >> 8);
        texels[2] = static_cast<uint8_t>(texel >> 16);
        texels[3] = static_cast<uint8_t>(texel >> 24);
        texels += 4;
    }
    return out;
}

std::vector<uint8_t> ImageEncoder::EncodeDdsDxt1(const std::vector<uint32_t>& argb, uint32_t width, uint32_t height)
{
    const uint32_t masks[4] = {};
    const uint32_t blocksWide = width / 4;
    const uint32_t blocksHigh = height / 4;
    const uint32_t fourCC = 'D' | ('X' << 8) | ('T' << 16) | ('1' << 24);
    std::vector<uint8_t> out =
        DdsHeader(width, height, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_LINEARSIZE,
                  blocksWide * blocksHigh * 8, DDPF_FOURCC, fourCC, 0, masks);
    for (uint32_t by = 0; by < blocksHigh; ++by)
    {
        for (uint32_t bx = 0; bx < blocksWide; ++bx)
        {
            uint32_t texels[16];
            for (uint32_t y = 0; y < 4; ++y)
                for (uint32_t x = 0; x < 4; ++x)
                    texels[y * 4 + x] = argb[(by * 4 + y) * width + bx * 4 + x];
            if (std::any_of(texels, texels + 16, Transparent))
                EncodeCutOutBlock(texels, out);
            else
                EncodeBlock(texels, out);
        }
    }
    return out;
}

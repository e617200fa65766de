#include "RenderTestDevice.h"

#include "engine/render/CTexture.h"
#include "engine/render/DdsImage.h"

#include <cstring>

namespace
{
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    if (at + 4 > out.size())
        return;
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, const char* fourCC, uint32_t mips = 1)
{
    std::vector<uint8_t> file(128, 0);
    std::memcpy(file.data(), "DDS ", 4);
    Put32(file, 4, 124);
    Put32(file, 8, 0x1007 | (mips > 1 ? 0x20000 : 0));
    Put32(file, 12, height);
    Put32(file, 16, width);
    Put32(file, 28, mips);
    Put32(file, 76, 32);
    Put32(file, 80, 0x4);
    std::memcpy(file.data() + 84, fourCC, 4);
    return file;
}

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// 8 x 8 DXT1: red, blue, two-thirds red and a transparent block.
std::vector<uint8_t> Dxt1File()
{
    std::vector<uint8_t> file = DdsHeader(8, 8, "DXT1");
    Append(file, {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00}); // all colour 0: red
    Append(file, {0x00, 0xF8, 0x1F, 0x00, 0x55, 0x55, 0x55, 0x55}); // all colour 1: blue
    Append(file, {0x00, 0xF8, 0x1F, 0x00, 0xAA, 0xAA, 0xAA, 0xAA}); // (2 red + blue) / 3
    Append(file, {0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF}); // c0 <= c1, index 3
    return file;
}

// 4 x 4 DXT5: white, alpha by rows 255, 0, 218 (1/7 of the way), 255.
std::vector<uint8_t> Dxt5File()
{
    std::vector<uint8_t> file = DdsHeader(4, 4, "DXT5");
    // Alpha indices, 3 bits per texel: row 0 -> 0, row 1 -> 1, row 2 -> 2, row 3 -> 0.
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
    {
        const uint64_t index = i < 4 ? 0 : i < 8 ? 1 : i < 12 ? 2 : 0;
        bits |= index << (3 * i);
    }
    Append(file, {255, 0});
    for (int i = 0; i < 6; ++i)
        file.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    Append(file, {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    return file;
}

TEST(DdsImage, DecodesDxt1Blocks)
{
    const std::vector<uint8_t> file = Dxt1File();
    DdsImage image;
    ASSERT_TRUE(image.Read(file.data(), file.size()));
    EXPECT_EQ(image.GetFormat(), static_cast<uint32_t>(FORMAT_DXT1));
    std::vector<uint32_t> argb;
    ASSERT_TRUE(image.DecodeLevel(0, &argb));
    EXPECT_EQ(argb[0], 0xFFFF0000u);
    EXPECT_EQ(argb[4], 0xFF0000FFu);
    EXPECT_EQ(argb[4 * 8], 0xFFAA0055u);
    EXPECT_EQ(argb[4 * 8 + 4], 0x00000000u);
}

TEST(DdsImage, DecodesDxt5Alpha)
{
    const std::vector<uint8_t> file = Dxt5File();
    DdsImage image;
    ASSERT_TRUE(image.Read(file.data(), file.size()));
    std::vector<uint32_t> argb;
    ASSERT_TRUE(image.DecodeLevel(0, &argb));
    EXPECT_EQ(argb[0], 0xFFFFFFFFu);
    EXPECT_EQ(argb[4], 0x00FFFFFFu);
    EXPECT_EQ(argb[8], 0xDAFFFFFFu);
    EXPECT_EQ(argb[12], 0xFFFFFFFFu);
}

TEST(DdsImage, RefusesDamagedAndUnsupportedFiles)
{
    const std::vector<uint8_t> file = Dxt1File();
    DdsImage image;
    for (size_t cut : {0ul, 4ul, 127ul, 128ul, file.size() - 1})
        EXPECT_FALSE(image.Read(file.data(), cut)) << cut;
    std::vector<uint8_t> huge = file;
    Put32(huge, 16, 0x40000000); // width
    EXPECT_FALSE(image.Read(huge.data(), huge.size()));
    std::vector<uint8_t> mips = file;
    Put32(mips, 8, 0x21007);
    Put32(mips, 28, 0xFFFFFFFF); // more levels than the bytes hold
    EXPECT_FALSE(image.Read(mips.data(), mips.size()));
    std::vector<uint8_t> unknown = file;
    std::memcpy(unknown.data() + 84, "DX10", 4);
    EXPECT_FALSE(image.Read(unknown.data(), unknown.size()));
    std::vector<uint8_t> cube = file;
    Put32(cube, 112, 0x200);
    EXPECT_FALSE(image.Read(cube.data(), cube.size()));
    EXPECT_EQ(image.GetLevels().size(), 0u);
}

TEST(DdsImage, ReadsUncompressedMasks)
{
    std::vector<uint8_t> file = DdsHeader(2, 1, "\0\0\0\0");
    Put32(file, 80, 0x41); // RGB with alpha
    Put32(file, 88, 16);
    Put32(file, 92, 0x0F00);
    Put32(file, 96, 0x00F0);
    Put32(file, 100, 0x000F);
    Put32(file, 104, 0xF000);
    Append(file, {0x0F, 0xF0, 0xF0, 0x0F}); // A4R4G4B4: 0xF00F, 0x0FF0
    DdsImage image;
    ASSERT_TRUE(image.Read(file.data(), file.size()));
    std::vector<uint32_t> argb;
    ASSERT_TRUE(image.DecodeLevel(0, &argb));
    EXPECT_EQ(argb[0], 0xFF0000FFu);
    EXPECT_EQ(argb[1], 0x00FFFF00u);
}

// 32-bit texels in the usual A8R8G8B8 and X8R8G8B8 layouts and in one with
// red and blue swapped: each channel lands where its mask says, and without
// an alpha mask the texel is opaque.
TEST(DdsImage, Reads32BitTexelsByTheirMasks)
{
    struct Layout
    {
        uint32_t red, green, blue, alpha;
        uint32_t expected[2];
    };
    const Layout layouts[] = {
        {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, {0x80112233u, 0x00FFFFFFu}},
        {0x00FF0000, 0x0000FF00, 0x000000FF, 0, {0xFF112233u, 0xFFFFFFFFu}},
        {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, {0x80332211u, 0x00FFFFFFu}},
    };
    for (const Layout& layout : layouts)
    {
        std::vector<uint8_t> file = DdsHeader(2, 1, "\0\0\0\0");
        Put32(file, 80, layout.alpha != 0 ? 0x41 : 0x40);
        Put32(file, 88, 32);
        Put32(file, 92, layout.red);
        Put32(file, 96, layout.green);
        Put32(file, 100, layout.blue);
        Put32(file, 104, layout.alpha);
        Append(file, {0x33, 0x22, 0x11, 0x80, 0xFF, 0xFF, 0xFF, 0x00});
        DdsImage image;
        ASSERT_TRUE(image.Read(file.data(), file.size()));
        std::vector<uint32_t> argb;
        ASSERT_TRUE(image.DecodeLevel(0, &argb));
        ASSERT_EQ(argb.size(), 2u);
        EXPECT_EQ(argb[0], layout.expected[0]) << std::hex << layout.red;
        EXPECT_EQ(argb[1], layout.expected[1]) << std::hex << layout.red;
    }
}

class DdsTextureTest : public RenderTest
{
};

TEST_F(DdsTextureTest, Dxt1AndDxt5DrawTheirColours)
{
    const std::vector<uint8_t> dxt1 = Dxt1File();
    CTexture texture;
    ASSERT_EQ(texture.CreateFromMemory(dxt1.data(), "a.dds", static_cast<uint32_t>(dxt1.size())), 1);
    EXPECT_EQ(texture.GetWidth(), 8u);
    texture.DrawScaled(0.0f, 0.0f, nullptr, 8.0f, 0xFFFFFFFF, 0, 0);
    EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(Pixel(40, 10), 0xFF0000FFu);
    EXPECT_TRUE(NearRgb(Pixel(10, 40), 0xFFAA0055u, 1)) << std::hex << Pixel(10, 40);
    EXPECT_EQ(Pixel(40, 40) >> 24, 0u);

    const std::vector<uint8_t> dxt5 = Dxt5File();
    ASSERT_EQ(texture.CreateFromMemory(dxt5.data(), "b.dds", static_cast<uint32_t>(dxt5.size())), 1);
    ClearTo(0xFF000000);
    texture.DrawScaled(0.0f, 0.0f, nullptr, 8.0f, 0xFFFFFFFF, 0, 0);
    EXPECT_EQ(Pixel(10, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(10, 12) >> 24, 0u);
    EXPECT_NEAR(static_cast<int>(Pixel(10, 20) >> 24), 218, 1);
    EXPECT_EQ(Pixel(10, 28), 0xFFFFFFFFu);

    const std::vector<uint8_t> cut(dxt1.begin(), dxt1.end() - 1);
    EXPECT_EQ(texture.CreateFromMemory(cut.data(), "cut.dds", static_cast<uint32_t>(cut.size())), 0);
    EXPECT_EQ(texture.GetDeviceTexture(), nullptr);
    texture.Release();
}
}

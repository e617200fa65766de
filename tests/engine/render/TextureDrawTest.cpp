#include "RenderTestDevice.h"
#include "tests/support/TestColours.h"

#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"

#include <stb/stb_image.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
constexpr uint32_t YELLOW = 0xFFFFFF00;
constexpr uint32_t CYAN = 0xFF00FFFF;
constexpr uint32_t MAGENTA = 0xFFFF00FF;

// 64 x 32, one colour per quadrant: red top-left, yellow top-right, cyan
// bottom-left, magenta bottom-right.
std::vector<uint32_t> QuadrantPixels()
{
    std::vector<uint32_t> pixels(64 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[y * 64 + x] = y < 16 ? (x < 32 ? RED : YELLOW) : (x < 32 ? CYAN : MAGENTA);
    return pixels;
}

class TextureDrawTest : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        const std::vector<uint8_t> png = MakePng(QuadrantPixels(), 64, 32);
        ASSERT_EQ(texture.CreateFromMemory(png.data(), "quadrants.png", static_cast<uint32_t>(png.size())), 1);
    }

    void TearDown() override
    {
        texture.Release();
        RenderTest::TearDown();
    }

    // Colours at the centres of the four quadrants of a drawn rectangle:
    // top-left, top-right, bottom-left, bottom-right.
    void ExpectQuadrants(int x, int y, int w, int h, uint32_t tl, uint32_t tr, uint32_t bl, uint32_t br)
    {
        EXPECT_EQ(Pixel(x + w / 4, y + h / 4), tl);
        EXPECT_EQ(Pixel(x + 3 * w / 4, y + h / 4), tr);
        EXPECT_EQ(Pixel(x + w / 4, y + 3 * h / 4), bl);
        EXPECT_EQ(Pixel(x + 3 * w / 4, y + 3 * h / 4), br);
    }

    // The drawn rectangle's edges: its corner pixels are inside, the
    // pixels just outside are the black background.
    void ExpectBounds(int x, int y, int w, int h)
    {
        EXPECT_NE(Rgb(x, y), 0u) << x << "," << y;
        EXPECT_NE(Rgb(x + w - 1, y + h - 1), 0u);
        EXPECT_EQ(Rgb(x - 1, y), 0u);
        EXPECT_EQ(Rgb(x, y - 1), 0u);
        EXPECT_EQ(Rgb(x + w, y + h - 1), 0u);
        EXPECT_EQ(Rgb(x + w - 1, y + h), 0u);
    }

    CTexture texture;
};

TEST_F(TextureDrawTest, KeepsTheImageSizeAndName)
{
    EXPECT_EQ(texture.GetWidth(), 64u);
    EXPECT_EQ(texture.GetHeight(), 32u);
    EXPECT_STREQ(texture.GetName(), "quadrants.png");
    EXPECT_EQ(texture.GetFlag(), CResourceBase::KIND_TEXTURE);
    EXPECT_STREQ(texture.GetClassName(), "CTexture");
    EXPECT_EQ(texture.GetPool(), 1u);
}

TEST_F(TextureDrawTest, AnchorsPlaceTheImage)
{
    struct Case
    {
        uint8_t anchor;
        int left;
        int top;
    };
    // At (64, 60): the anchor picks which point of the 64 x 32 image lies there.
    const Case cases[] = {
        {17, 64, 60}, {18, 32, 60}, {20, 0, 60},  {33, 64, 44}, {34, 32, 44},
        {36, 0, 44},  {65, 64, 28}, {66, 32, 28}, {68, 0, 28},  {0, 64, 60},
        // Centre wins over right, vertical centre over bottom.
        {2 | 4 | 32 | 64, 32, 44},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.anchor));
        ClearTo(0xFF000000);
        texture.DrawEx(64.0f, 60.0f, nullptr, 0xFFFFFFFF, 0, c.anchor);
        ExpectQuadrants(c.left, c.top, 64, 32, RED, YELLOW, CYAN, MAGENTA);
        if (c.left > 0 && c.left + 64 < static_cast<int>(SIZE))
            ExpectBounds(c.left, c.top, 64, 32);
    }
}

TEST_F(TextureDrawTest, FlipsPutTheCornersWhereTheyBelong)
{
    struct Case
    {
        uint8_t flip;
        int w;
        int h;
        uint32_t tl, tr, bl, br;
    };
    const Case cases[] = {
        {0, 64, 32, RED, YELLOW, CYAN, MAGENTA},
        {1, 64, 32, YELLOW, RED, MAGENTA, CYAN},
        {2, 64, 32, CYAN, MAGENTA, RED, YELLOW},
        {3, 64, 32, MAGENTA, CYAN, YELLOW, RED},
        // A quarter turn clockwise: the left column becomes the top edge,
        // its bottom end at the left.
        {4, 32, 64, CYAN, RED, MAGENTA, YELLOW},
        {5, 32, 64, YELLOW, MAGENTA, RED, CYAN},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.flip));
        ClearTo(0xFF000000);
        texture.Draw(20.0f, 30.0f, nullptr, 0xFFFFFFFF, c.flip);
        ExpectQuadrants(20, 30, c.w, c.h, c.tl, c.tr, c.bl, c.br);
        ExpectBounds(20, 30, c.w, c.h);
    }
}

TEST_F(TextureDrawTest, SourceRectangleDrawsOnlyThatPart)
{
    const float bottomRight[4] = {32.0f, 16.0f, 64.0f, 32.0f};
    texture.Draw(10.0f, 10.0f, bottomRight, 0xFFFFFFFF, 0);
    ExpectBounds(10, 10, 32, 16);
    for (int y = 10; y < 26; y += 3)
        for (int x = 10; x < 42; x += 3)
            EXPECT_EQ(Pixel(x, y), MAGENTA) << x << "," << y;
}

TEST_F(TextureDrawTest, ColourModulatesTheTexture)
{
    texture.Draw(0.0f, 0.0f, nullptr, 0xFF808080, 0);
    EXPECT_TRUE(NearRgb(Pixel(8, 8), 0xFF800000, 1)) << std::hex << Pixel(8, 8);
}

TEST_F(TextureDrawTest, ScaledCentreFlagKeepsTheCentre)
{
    // A 10 x 10 source at scale 2 with the centre flag covers 95..115.
    const float src[4] = {0.0f, 0.0f, 10.0f, 10.0f};
    texture.DrawScaled(100.0f, 100.0f, src, 2.0f, 0xFFFFFFFF, 0, 1);
    ExpectBounds(95, 95, 20, 20);
    EXPECT_EQ(Pixel(105, 105), RED);
}

TEST_F(TextureDrawTest, RotatedTurnsClockwiseAboutTheAnchor)
{
    // About the top-left corner by 90 degrees: the image hangs down-left
    // of (80, 20).
    texture.DrawRotatedImpl(80.0f, 20.0f, nullptr, 90.0f, 1.0f, 1.0f, 0xFFFFFFFF, 0, 17);
    // Source top-left quadrant goes to x in 64..80, y in 20..52.
    EXPECT_EQ(Pixel(72, 28), RED);
    EXPECT_EQ(Pixel(56, 28), CYAN);
    EXPECT_EQ(Pixel(72, 60), YELLOW);
    EXPECT_EQ(Rgb(84, 28), 0u);
}

TEST_F(TextureDrawTest, PositionsAreRelativeToTheCurrentCamerasViewport)
{
    CCamera camera;
    camera.SetViewport(16, 8, 64, 64);
    ASSERT_EQ(camera.Apply(), 1);
    const float src[4] = {0.0f, 0.0f, 8.0f, 8.0f};
    texture.Draw(0.0f, 0.0f, src, 0xFFFFFFFF, 0);
    ExpectBounds(16, 8, 8, 8);
    EXPECT_EQ(Pixel(20, 12), RED);
    const float rect[4] = {10.0f, 10.0f, 14.0f, 14.0f};
    texture.DrawRect(rect, src, 0xFFFFFFFF, 0);
    ExpectBounds(26, 18, 4, 4);
}

TEST_F(TextureDrawTest, BillboardIsProjectedByTheCameraAndDroppedOutsideItsDepth)
{
    CCamera camera;
    const float eye[3] = {0.0f, 0.0f, -10.0f};
    const float target[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    camera.SetLookAt(eye, target, up);
    camera.SetProjection(60, 1.0f, 1.0f, 100.0f);
    camera.SetViewport(0, 0, 64, 64);
    ASSERT_EQ(camera.Apply(), 1);

    // A 4 x 4 quad at the origin faces the camera: it covers the middle of
    // the view with the texture's top-left quadrant up and to the left.
    CkvrMatrix world;
    world.m[0] = 4.0f;
    world.m[5] = 4.0f;
    texture.DrawBillboard(&world, 0.0f, nullptr, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(28, 28), RED);
    EXPECT_EQ(Pixel(36, 28), YELLOW);
    EXPECT_EQ(Pixel(28, 36), CYAN);
    EXPECT_EQ(Pixel(36, 36), MAGENTA);
    EXPECT_EQ(Rgb(2, 2), 0u);

    // Pushed past the far plane by the bias, or behind the eye: nothing.
    ClearTo(0xFF000000);
    texture.DrawBillboard(&world, 1.0f, nullptr, 0xFFFFFFFF);
    EXPECT_EQ(Rgb(32, 32), 0u);
    world.m[14] = -20.0f;
    texture.DrawBillboard(&world, 0.0f, nullptr, 0xFFFFFFFF);
    EXPECT_EQ(Rgb(32, 32), 0u);
}

TEST_F(TextureDrawTest, CentredOddSizeSpriteCoversTheSamePixelsOnBothAxes)
{
    // 5 x 5 centred on (20, 20): its edges lie on half pixels.
    const std::vector<uint8_t> png = MakePng(std::vector<uint32_t>(25, 0xFFFFFFFF), 5, 5);
    CTexture small;
    ASSERT_EQ(small.CreateFromMemory(png.data(), "small.png", static_cast<uint32_t>(png.size())), 1);
    small.DrawEx(20.0f, 20.0f, nullptr, 0xFFFFFFFF, 0, KVRDRAWANCHOR_HCENTER | KVRDRAWANCHOR_VCENTER);
    ExpectBounds(18, 18, 5, 5);
    small.Release();
}

TEST_F(TextureDrawTest, FilteredSpriteAtItsOwnSizeKeepsEveryTexel)
{
    // Pixel centres sample texel centres: linear filtering at 1:1 mixes
    // in nothing of the neighbours.
    device->SetSamplerState(0, SAMP_MINFILTER, TEXF_LINEAR);
    device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_LINEAR);
    const std::vector<uint32_t> stripes = {RED, 0xFF0000FF, YELLOW, 0xFF00FF00 + 0x40};
    const std::vector<uint8_t> png = MakePng(stripes, 4, 1);
    CTexture striped;
    ASSERT_EQ(striped.CreateFromMemory(png.data(), "stripes.png", static_cast<uint32_t>(png.size())), 1);
    striped.Draw(30.0f, 40.0f, nullptr, 0xFFFFFFFF, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(NearRgb(Pixel(30 + i, 40), stripes[i], 1)) << i;
    striped.Release();
}

TEST_F(TextureDrawTest, GreenKeyBecomesTransparent)
{
    std::vector<uint32_t> pixels = {0xFF00FF00, 0xFF0000FF, 0xFF00FE00, 0xFF00FF00};
    const std::vector<uint8_t> png = MakePng(pixels, 2, 2);
    CTexture keyed;
    ASSERT_EQ(keyed.CreateFromMemory(png.data(), "key.png", static_cast<uint32_t>(png.size())), 1);
    keyed.DrawRect(nullptr, nullptr, 0xFFFFFFFF, 0);
    EXPECT_EQ(Pixel(10, 10), 0x00000000u);
    EXPECT_EQ(Pixel(100, 10), 0xFF0000FFu);
    EXPECT_EQ(Pixel(10, 100), 0xFF00FE00u);
    keyed.Release();
}

TEST_F(TextureDrawTest, RenderTargetFilledDrawnIntoAndSavedReadsBack)
{
    CTexture target;
    ASSERT_EQ(target.CreateRenderTarget(32, 32, USAGE_RENDERTARGET, FORMAT_A8R8G8B8, 0), 1);
    EXPECT_STREQ(target.GetName(), "Create");
    ASSERT_EQ(target.Fill(0xFF336699), 1);
    ASSERT_EQ(target.SetAsRenderTarget(), 1);
    const float src[4] = {0.0f, 0.0f, 8.0f, 8.0f};
    texture.Draw(4.0f, 4.0f, src, 0xFFFFFFFF, 0);
    ASSERT_EQ(graphics.SetRenderTarget(device->GetBackBuffer()), 1);

    std::vector<uint32_t> expected(32 * 32);
    ASSERT_EQ(device->ReadPixels(target.GetSurface(), 0, 0, 32, 32, expected.data()), DEVICE_OK);
    EXPECT_EQ(expected[0], 0xFF336699u);
    EXPECT_EQ(expected[5 * 32 + 5], RED);
    EXPECT_EQ(expected[12 * 32 + 12], 0xFF336699u);

    const std::string path = "rt_" + std::to_string(getpid()) + ".png";
    ASSERT_EQ(target.SaveToFile(path.c_str(), KVRIMAGE_PNG, nullptr), 1);
    int w = 0, h = 0, n = 0;
    stbi_uc* saved = stbi_load(path.c_str(), &w, &h, &n, 4);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(w, 32);
    ASSERT_EQ(h, 32);
    for (int i = 0; i < 32 * 32; ++i)
    {
        const uint32_t argb = static_cast<uint32_t>(saved[i * 4 + 3]) << 24 | saved[i * 4] << 16 |
                              saved[i * 4 + 1] << 8 | saved[i * 4 + 2];
        ASSERT_EQ(argb, expected[i]) << i;
    }
    stbi_image_free(saved);

    // A rectangle is truncated toward zero and kept inside the surface.
    const float rect[4] = {4.9f, 4.2f, 12.7f, 99.0f};
    ASSERT_EQ(target.SaveToFile(path.c_str(), KVRIMAGE_BMP, rect), 1);
    ASSERT_TRUE(stbi_info(path.c_str(), &w, &h, &n));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 28);
    std::remove(path.c_str());
    target.Release();
}

TEST_F(TextureDrawTest, MoviePixelsUseTheSourceStride)
{
    CTexture frame;
    ASSERT_EQ(frame.CreateRenderTarget(8, 4, 0, FORMAT_X8R8G8B8, 1), 1);
    ASSERT_EQ(frame.Clear(), 1);
    // A 3 x 2 source: rows 9 bytes apart, blue, green, red per pixel.
    const uint8_t pixels[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    ASSERT_EQ(frame.SetPixelsRGB24(3, 2, pixels), 1);
    frame.DrawRect(nullptr, nullptr, 0xFFFFFFFF, 0);
    // Each texel is 16 x 32 pixels of the 128 x 128 target.
    EXPECT_EQ(Rgb(8, 8), 0x030201u);
    EXPECT_EQ(Rgb(40, 8), 0x090807u);
    EXPECT_EQ(Rgb(8, 40), 0x0C0B0Au);
    EXPECT_EQ(Rgb(40, 40), 0x121110u);
    EXPECT_EQ(Rgb(56, 8), 0u);
    EXPECT_EQ(Rgb(8, 72), 0u);
    frame.Release();
}

TEST_F(TextureDrawTest, BadImagesFailAndLeaveNoTexture)
{
    const std::vector<uint8_t> png = MakePng(QuadrantPixels(), 64, 32);
    const std::vector<uint8_t> cut(png.begin(), png.begin() + png.size() / 2);
    EXPECT_EQ(texture.CreateFromMemory(cut.data(), "cut.png", static_cast<uint32_t>(cut.size())), 0);
    EXPECT_EQ(texture.GetDeviceTexture(), nullptr);
    const uint8_t junk[16] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_EQ(texture.CreateFromMemory(junk, "junk.bmp", sizeof junk), 0);
    EXPECT_EQ(texture.CreateFromMemory(nullptr, "none", 10), 0);
    EXPECT_EQ(texture.CreateFromFile("no/such/file.png"), 0);
    EXPECT_EQ(texture.GetDeviceTexture(), nullptr);
}

TEST(TextureWithoutGraphics, EverythingFails)
{
    CTexture texture;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(texture.CreateFromMemory(bytes, "x", 4), 0);
    EXPECT_EQ(texture.CreateRenderTarget(4, 4, 0, FORMAT_A8R8G8B8, 0), 0);
    EXPECT_EQ(texture.Draw(0.0f, 0.0f, nullptr, 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(texture.SetAsRenderTarget(), 0);
    float uv[2] = {7.0f, 7.0f};
    texture.PixelToUV(nullptr, uv);
    EXPECT_EQ(uv[0], 7.0f);
}

}

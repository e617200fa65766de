#include "engine/core/CRect.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/render/CBasicFilter.h"
#include "engine/render/CCamera.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// A solid screen rectangle, drawn into whatever target is current.
class RectObject : public CObjectBase
{
public:
    RectObject(CGraphics* graphics, CRect rect, uint32_t color) : m_graphics(graphics), m_rect(rect), m_color(color)
    {
    }

    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override
    {
        struct Vertex
        {
            float x, y, z, rhw;
            uint32_t color;
        };
        const Vertex quad[4] = {{m_rect.left, m_rect.top, 0, 1, m_color},
                                {m_rect.right, m_rect.top, 0, 1, m_color},
                                {m_rect.right, m_rect.bottom, 0, 1, m_color},
                                {m_rect.left, m_rect.bottom, 0, 1, m_color}};
        m_graphics->SetTexture(nullptr);
        m_graphics->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
        m_graphics->SetBlendMode(GetBlendMode());
        return m_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(Vertex)) == DEVICE_OK;
    }

private:
    CGraphics* m_graphics;
    CRect m_rect;
    uint32_t m_color;
};

int Brightness(uint32_t argb)
{
    return Channel(argb, 16) + Channel(argb, 8) + Channel(argb, 0);
}

class FilterTest : public ::testing::Test
{
protected:
    static constexpr int32_t SIZE = 128;

    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        camera.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera.Apply(), 1);
    }

    void TearDown() override { HeadlessGraphics::MessageObserver() = nullptr; }

    // One frame of the game's order: the list drives the filter.
    void Frame(CRenderList& list, CObjectBase* glow)
    {
        ASSERT_EQ(graphics.BeginScene(), 1);
        list.Clear();
        if (glow != nullptr)
            list.Add(glow, 0);
        list.Draw();
        graphics.EndScene();
    }

    uint32_t Pixel(int32_t x, int32_t y)
    {
        uint32_t argb = 0;
        EXPECT_EQ(device->ReadPixels(graphics.GetBackBuffer(), x, y, 1, 1, &argb), DEVICE_OK);
        return argb & 0x00FFFFFF;
    }

    RenderGraphics headless{SIZE, SIZE};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CCamera camera;
};

// A white square in the middle routed into the glow target, and a filter
// whose taps step one texel: each blur pass reaches 8 texels of the
// half-resolution blur, 16 pixels of the screen, so the two passes stay
// 32 pixels (and a filtered texel) around the square.
struct GlowScene
{
    explicit GlowScene(CGraphics* graphics) : glow(graphics, CRect(56, 72, 56, 72), 0xFFFFFFFF)
    {
        glow.SetRenderOption(1);
    }

    int CreateFilter()
    {
        hdr.SetOffsetScale(1, 1);
        return hdr.Create(256, 256, FORMAT_A8R8G8B8, FORMAT_D24S8);
    }

    RectObject glow;
    CHDRFilter hdr;
};

TEST_F(FilterTest, HdrGlowBlursAroundTheBrightObjectOnly)
{
    GlowScene scene(&graphics);
    ASSERT_EQ(scene.CreateFilter(), 1);
    EXPECT_STREQ(scene.hdr.GetClassName(), "CHDRFilter");
    CRenderList list("list", 16, &graphics);
    list.SetFilter(&scene.hdr);
    Frame(list, &scene.glow);

    const int centre = Brightness(Pixel(64, 64));
    const int halo = Brightness(Pixel(50, 64));
    const int haloBelow = Brightness(Pixel(64, 78));
    EXPECT_GT(centre, 3 * 60);
    EXPECT_GT(halo, 0);
    EXPECT_GT(haloBelow, 0);
    EXPECT_LT(halo, centre);
    for (int32_t p : {2, 12, 116, 125})
    {
        EXPECT_EQ(Pixel(p, p), 0u) << p;
        EXPECT_EQ(Pixel(p, 64), 0u) << p;
        EXPECT_EQ(Pixel(64, p), 0u) << p;
    }
    // The list leaves the default surfaces current.
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), graphics.GetBackBuffer());
    EXPECT_EQ(graphics.GetCurrentDepthStencil(), graphics.GetDepthStencil());
}

TEST_F(FilterTest, SceneTargetIsCompositedOpaque)
{
    CHDRFilter hdr;
    ASSERT_EQ(hdr.Create(256, 256, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    CRenderList list("list", 16, &graphics);
    list.SetFilter(&hdr);
    RectObject red(&graphics, CRect(10, 30, 10, 30), 0xFFFF0000);
    red.SetRenderOption(0);
    Frame(list, &red);
    EXPECT_TRUE(NearRgb(Pixel(20, 20), 0xFF0000, 1)) << std::hex << Pixel(20, 20);
    EXPECT_EQ(Pixel(40, 40), 0u);
}

TEST_F(FilterTest, HdrTrailFadesOverFrames)
{
    GlowScene scene(&graphics);
    ASSERT_EQ(scene.CreateFilter(), 1);
    CRenderList list("list", 16, &graphics);
    list.SetFilter(&scene.hdr);
    Frame(list, &scene.glow);
    int previous = Brightness(Pixel(64, 64));
    ASSERT_GT(previous, 0);
    for (int frame = 0; frame < 3; ++frame)
    {
        Frame(list, nullptr);
        const int now = Brightness(Pixel(64, 64));
        EXPECT_GT(now, 0) << "frame " << frame;
        EXPECT_LT(now, previous) << "frame " << frame;
        previous = now;
    }
    for (int frame = 0; frame < 30; ++frame)
        Frame(list, nullptr);
    EXPECT_EQ(Pixel(64, 64), 0u);

    // Without feedback the glow goes with the object.
    scene.hdr.SetFeedback(0, 100);
    Frame(list, &scene.glow);
    EXPECT_GT(Brightness(Pixel(64, 64)), 0);
    Frame(list, nullptr);
    EXPECT_EQ(Pixel(64, 64), 0u);
}

TEST_F(FilterTest, DeviceResetWithReleaseAndRecreateKeepsTheGlow)
{
    static GlowScene* s_scene = nullptr;
    GlowScene scene(&graphics);
    s_scene = &scene;
    ASSERT_EQ(scene.CreateFilter(), 1);
    HeadlessGraphics::MessageObserver() = [](uint32_t id) {
        if (id == CGraphics::MSG_DEVICE_RELEASE)
            s_scene->hdr.Release();
        else if (id == CGraphics::MSG_DEVICE_RECREATE)
            s_scene->CreateFilter();
    };
    CRenderList list("list", 16, &graphics);
    list.SetFilter(&scene.hdr);
    Frame(list, &scene.glow);
    const int before = Brightness(Pixel(64, 64));

    device->SimulateDeviceLoss(0);
    EXPECT_EQ(graphics.BeginScene(), 0);
    HeadlessGraphics::MessageObserver() = nullptr;
    ASSERT_EQ(scene.hdr.GetTargetCount(), 4u);
    Frame(list, &scene.glow);
    EXPECT_EQ(Brightness(Pixel(64, 64)), before);
    EXPECT_GT(Brightness(Pixel(50, 64)), 0);
    EXPECT_EQ(Pixel(10, 10), 0u);
}

// A capture clears the scene and glow targets and the depth only where
// something touched them since the filter last cleared them.
TEST_F(FilterTest, CaptureClearsOnlyTargetsThatWereDrawnInto)
{
    CHDRFilter hdr;
    ASSERT_EQ(hdr.Create(256, 256, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    auto version = [&](uint32_t index) { return hdr.GetTarget(index)->GetSurface()->GetVersion(); };
    ASSERT_EQ(hdr.BeginCapture(0), 1);
    const uint64_t scene = version(0);
    const uint64_t glow = version(1);
    const uint64_t depth = hdr.GetDepthSurface()->GetVersion();
    ASSERT_EQ(hdr.BeginCapture(0), 1);
    EXPECT_EQ(version(0), scene);
    EXPECT_EQ(version(1), glow);
    EXPECT_EQ(hdr.GetDepthSurface()->GetVersion(), depth);

    // Something drawn into the scene target: it, and the depth drawn with
    // it, are cleared again; the glow target is left.
    ASSERT_EQ(hdr.SetRenderTarget(0), 1);
    ASSERT_EQ(hdr.SetDepthStencil(), 1);
    RectObject red(&graphics, CRect(10, 30, 10, 30), 0xFFFF0000);
    red.Render(0);
    graphics.RestoreRenderTarget();
    graphics.RestoreDepthStencil();
    ASSERT_EQ(hdr.BeginCapture(0), 1);
    EXPECT_NE(version(0), scene);
    EXPECT_EQ(version(1), glow);
    EXPECT_NE(hdr.GetDepthSurface()->GetVersion(), depth);
    uint32_t argb = 0xFFFFFFFF;
    ASSERT_EQ(device->ReadPixels(hdr.GetTarget(0)->GetSurface(), 20, 20, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb, 0u);

    // A viewport of another size is cleared over anew.
    const uint64_t before = version(1);
    camera.SetViewport(0, 0, 64, 64);
    ASSERT_EQ(camera.Apply(), 1);
    ASSERT_EQ(hdr.BeginCapture(0), 1);
    EXPECT_NE(version(1), before);
    hdr.Release();
}

TEST_F(FilterTest, CaptureAndApplyRestoreTheSurfacesThatWereCurrent)
{
    CHDRFilter hdr;
    ASSERT_EQ(hdr.Create(256, 256, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    CTexture other;
    ASSERT_EQ(other.CreateRenderTarget(SIZE, SIZE, USAGE_RENDERTARGET, FORMAT_A8R8G8B8, 0), 1);
    for (DeviceSurface* target : {graphics.GetBackBuffer(), other.GetSurface()})
    {
        ASSERT_EQ(graphics.SetRenderTarget(target), 1);
        DeviceSurface* depth = graphics.GetCurrentDepthStencil();
        EXPECT_EQ(hdr.BeginCapture(0), 1);
        EXPECT_EQ(graphics.GetCurrentRenderTarget(), target);
        EXPECT_EQ(graphics.GetCurrentDepthStencil(), depth);
        EXPECT_EQ(hdr.BeginCaptureTarget(2, 0), 1);
        EXPECT_EQ(graphics.GetCurrentRenderTarget(), target);
        EXPECT_EQ(graphics.GetCurrentDepthStencil(), depth);
        EXPECT_EQ(hdr.Apply(0), 1);
        EXPECT_EQ(graphics.GetCurrentRenderTarget(), target);
        EXPECT_EQ(graphics.GetCurrentDepthStencil(), depth);
        EXPECT_EQ(device->GetRenderTarget(), target);
    }
    graphics.RestoreRenderTarget();
    other.Release();
    hdr.Release();
}

TEST_F(FilterTest, TargetIndicesAtOrPastTheCountAreRefused)
{
    CFilter filter;
    EXPECT_STREQ(filter.GetClassName(), "CFilter");
    EXPECT_EQ(filter.BeginCapture(0), 0);
    EXPECT_EQ(filter.SetRenderTarget(0), 0);
    EXPECT_EQ(filter.SetDepthStencil(), 0);
    ASSERT_EQ(filter.CreateTargets(64, 64, FORMAT_A8R8G8B8, FORMAT_D24S8, 2), 1);
    DeviceSurface* before = graphics.GetCurrentRenderTarget();
    const CRect rect(0, 8, 0, 8);
    for (uint32_t bad : {2u, 3u, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(bad);
        EXPECT_EQ(filter.SetRenderTarget(bad), 0);
        EXPECT_EQ(filter.ClearTarget(bad), 0);
        EXPECT_EQ(filter.BeginCaptureTarget(bad, 0), 0);
        EXPECT_EQ(filter.DrawTarget(&rect, &rect, 0xFFFFFFFF, bad), 0);
        EXPECT_EQ(filter.DrawTargetInto(&rect, &rect, 0xFFFFFFFF, bad, 0), 0);
        EXPECT_EQ(filter.DrawTargetInto(&rect, &rect, 0xFFFFFFFF, 0, bad), 0);
        EXPECT_EQ(filter.CopyBackBufferToTarget(&rect, &rect, bad), 0);
        EXPECT_EQ(filter.GetTarget(bad), nullptr);
        EXPECT_EQ(graphics.GetCurrentRenderTarget(), before);
    }
    EXPECT_EQ(filter.SetRenderTarget(1), 1);
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), filter.GetTarget(1)->GetSurface());
    graphics.RestoreRenderTarget();
    filter.Release();
    EXPECT_EQ(filter.GetTargetCount(), 0u);
}

TEST_F(FilterTest, BackBufferCopiesIntoATargetAndDrawsBack)
{
    CFilter filter;
    ASSERT_EQ(filter.CreateTargets(SIZE, SIZE, FORMAT_A8R8G8B8, FORMAT_D24S8, 2), 1);
    // New targets start opaque black.
    uint32_t argb = 0;
    ASSERT_EQ(device->ReadPixels(filter.GetTarget(1)->GetSurface(), 5, 5, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb, 0xFF000000u);

    device->Clear(CLEAR_TARGET, 0xFF336699, 1.0f, 0);
    const CRect source(0, 16, 0, 16);
    const CRect destination(32, 48, 32, 48);
    ASSERT_EQ(filter.CopyBackBufferToTarget(&source, &destination, 1), 1);
    ASSERT_EQ(device->ReadPixels(filter.GetTarget(1)->GetSurface(), 40, 40, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb & 0xFFFFFF, 0x336699u);
    ASSERT_EQ(device->ReadPixels(filter.GetTarget(1)->GetSurface(), 10, 10, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb & 0xFFFFFF, 0u);

    device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    graphics.Begin2D();
    graphics.SetBlendMode(0);
    EXPECT_EQ(filter.DrawTarget(nullptr, nullptr, 0xFFFFFFFF, 1), 1);
    EXPECT_EQ(Pixel(40, 40), 0x336699u);
    EXPECT_EQ(Pixel(10, 10), 0u);

    // Target 1 into target 0, then the back buffer is current again.
    ASSERT_EQ(filter.DrawTargetInto(nullptr, nullptr, 0xFFFFFFFF, 1, 0), 1);
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), graphics.GetBackBuffer());
    ASSERT_EQ(device->ReadPixels(filter.GetTarget(0)->GetSurface(), 40, 40, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb & 0xFFFFFF, 0x336699u);
    EXPECT_EQ(filter.DrawTargetInto(nullptr, nullptr, 0xFFFFFFFF, 1, 1), 0);
    filter.Release();
}

TEST(FilterBlurRectangle, HalfTheWindowClippedToTheTargets)
{
    RenderGraphics headless(1280, 720);
    ASSERT_TRUE(headless.Created());
    CHDRFilter hdr;
    ASSERT_EQ(hdr.Create(2048, 2048, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    const CRect& screen = hdr.GetScreenRect();
    const CRect& blur = hdr.GetBlurRect();
    EXPECT_EQ(screen.right, 1280.0f);
    EXPECT_EQ(screen.bottom, 720.0f);
    EXPECT_EQ(blur.left, 0.0f);
    EXPECT_EQ(blur.top, 0.0f);
    EXPECT_EQ(blur.right, 640.0f);
    EXPECT_EQ(blur.bottom, 360.0f);
    EXPECT_EQ(hdr.GetTarget(3)->GetWidth(), 2048u);
    EXPECT_EQ(hdr.BeginCapture(0), 1);
    EXPECT_EQ(hdr.Apply(0), 1);
    hdr.Release();

    // A window wider than twice the targets: the blur stops at their edge.
    CHDRFilter narrow;
    ASSERT_EQ(narrow.Create(512, 256, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    EXPECT_EQ(narrow.GetBlurRect().right, 512.0f);
    EXPECT_EQ(narrow.GetBlurRect().bottom, 256.0f);
    narrow.Release();
}

TEST(FilterBlurWeights, SumToOneHalfAndFallOff)
{
    float weights[8];
    CHDRFilter::ComputeWeights(30.0f, weights);
    float sum = 0.0f;
    for (int i = 0; i < 8; ++i)
    {
        sum += weights[i];
        if (i > 0)
        {
            EXPECT_LT(weights[i], weights[i - 1]);
        }
    }
    EXPECT_NEAR(sum, 0.5f, 1e-6f);
    EXPECT_NEAR(weights[0] / weights[1], std::exp((9.0f - 1.0f) / 60.0f), 1e-5f);
}

TEST(FilterWithoutGraphics, EverythingFails)
{
    CHDRFilter hdr;
    EXPECT_EQ(hdr.Create(64, 64, FORMAT_A8R8G8B8, FORMAT_D24S8), 0);
    EXPECT_EQ(hdr.Apply(0), 0);
    EXPECT_EQ(hdr.BeginCapture(0), 0);
    CBasicFilter basic;
    EXPECT_EQ(basic.Create(), 0);
    EXPECT_EQ(basic.ApplySepia(), 0);
    hdr.Release();
    basic.Release();
}

// ---------------------------------------------------------------------------
// The colour filter

uint32_t Rgb(float r, float g, float b)
{
    auto byte = [](float v) {
        return static_cast<uint32_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f));
    };
    return byte(r) << 16 | byte(g) << 8 | byte(b);
}

class BasicFilterTest : public FilterTest
{
protected:
    void SetUp() override
    {
        FilterTest::SetUp();
        graphics.Begin2D();
        graphics.SetBlendMode(0);
        ASSERT_EQ(source.CreateRenderTarget(8, 8, 0, FORMAT_A8R8G8B8, 1), 1);
        ASSERT_EQ(source.Fill(0xFFC86432), 1); // 200, 100, 50
    }
    void TearDown() override
    {
        source.Release();
        filter.Release();
        FilterTest::TearDown();
    }

    const float luma = (0.299f * 200 + 0.587f * 100 + 0.114f * 50) / 255.0f;
    CTexture source;
    CBasicFilter filter;
};

TEST_F(BasicFilterTest, SepiaAndMonochromeDrawsOfAKnownImage)
{
    ASSERT_EQ(filter.Create(), 1);
    EXPECT_EQ(filter.GetTargetCount(), 0u);
    EXPECT_STREQ(filter.GetColorTechnique(), "SepiaFilter");
    ASSERT_EQ(filter.DrawScaledEx(&source, 16.0f, 16.0f, nullptr, 4.0f, 0xFFFFFFFF, 0, 0, KVRDRAWANCHOR_DEFAULT), 1);
    const uint32_t sepia = Rgb(luma + 0.0956f, luma - 0.0272f, luma - 0.1106f);
    EXPECT_TRUE(NearRgb(Pixel(30, 30), sepia, 2)) << std::hex << Pixel(30, 30) << " " << sepia;
    EXPECT_EQ(Pixel(60, 60), 0u);

    ASSERT_EQ(filter.SetColorTechnique("MonochromeFilter"), 1);
    EXPECT_EQ(filter.SetColorTechnique("NoSuchFilter"), 0);
    EXPECT_STREQ(filter.GetColorTechnique(), "MonochromeFilter");
    const float rect[4] = {64, 64, 96, 96};
    ASSERT_EQ(filter.DrawRect(&source, rect, nullptr, 0xFFFFFFFF, 0), 1);
    EXPECT_TRUE(NearRgb(Pixel(80, 80), Rgb(luma, luma, luma), 2)) << std::hex << Pixel(80, 80);

    ASSERT_EQ(filter.SetColorTechnique("BrightFilter"), 1);
    const float minimum[3] = {0.5f, 0.25f, 0.0f};
    ASSERT_EQ(filter.SetMinBright(minimum), 1);
    ASSERT_EQ(filter.Draw(&source, 100.0f, 100.0f, nullptr, 0xFFFFFFFF, 0), 1);
    EXPECT_TRUE(NearRgb(Pixel(104, 104), Rgb(200 / 255.0f - 0.5f, 100 / 255.0f - 0.25f, 50 / 255.0f), 2))
        << std::hex << Pixel(104, 104);
    // The filter leaves no texture on stage 0.
    EXPECT_EQ(graphics.GetStateCache()->texture, nullptr);
}

TEST_F(BasicFilterTest, EveryScaledDrawGoesThroughTheEffect)
{
    ASSERT_EQ(filter.Create(), 1);
    ASSERT_EQ(filter.SetColorTechnique("MonochromeFilter"), 1);
    const uint32_t grey = Rgb(luma, luma, luma);
    struct Case
    {
        const char* name;
        int result;
    };
    const Case cases[] = {
        {"DrawScaled", filter.DrawScaled(&source, 0, 0, nullptr, 2.0f, 0xFFFFFFFF, 0, 0)},
        {"DrawScaledZ", filter.DrawScaledZ(&source, 20, 0, 0.0f, nullptr, 2.0f, 0xFFFFFFFF, 0, 0)},
        {"DrawScaledXY", filter.DrawScaledXY(&source, 40, 0, nullptr, 2.0f, 2.0f, 0xFFFFFFFF, 0, 0, 0)},
        {"DrawScaledXYEx",
         filter.DrawScaledXYEx(&source, 60, 0, nullptr, 2.0f, 2.0f, 0xFFFFFFFF, 0, 0, 0, KVRDRAWANCHOR_DEFAULT)},
        {"DrawScaledXYZ", filter.DrawScaledXYZ(&source, 80, 0, 0.0f, nullptr, 2.0f, 2.0f, 0xFFFFFFFF, 0, 0, 0)},
        {"DrawScaledImpl", filter.DrawScaledImpl(&source, 100, 0, 0.0f, nullptr, 2.0f, 2.0f, 0xFFFFFFFF, 0, 0, 0,
                                                 KVRDRAWANCHOR_DEFAULT)},
    };
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(cases[i].result, 1) << cases[i].name;
        EXPECT_TRUE(NearRgb(Pixel(i * 20 + 8, 8), grey, 2))
            << cases[i].name << std::hex << " " << Pixel(i * 20 + 8, 8);
    }
}

TEST_F(BasicFilterTest, NullTextureOrNoEffectDrawsNothing)
{
    EXPECT_EQ(filter.Draw(&source, 0, 0, nullptr, 0xFFFFFFFF, 0), 0);
    ASSERT_EQ(filter.Create(), 1);
    EXPECT_EQ(filter.Draw(nullptr, 0, 0, nullptr, 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(filter.DrawScaledEx(nullptr, 0, 0, nullptr, 4.0f, 0xFFFFFFFF, 0, 0, 17), 0);
    EXPECT_EQ(Pixel(4, 4), 0u);
    EXPECT_EQ(filter.ApplySepia(), 0); // no targets
}

TEST_F(BasicFilterTest, ApplySepiaTreatsTheSceneTarget)
{
    ASSERT_EQ(filter.CreateWithTargets(SIZE, SIZE, FORMAT_A8R8G8B8, FORMAT_D24S8), 1);
    EXPECT_EQ(filter.GetDestinationRect().right, static_cast<float>(SIZE));
    EXPECT_EQ(filter.GetSourceRect().bottom, static_cast<float>(SIZE));
    // The scene: the known colour over target 0.
    ASSERT_EQ(filter.SetRenderTarget(0), 1);
    device->Clear(CLEAR_TARGET, 0xFFC86432, 1.0f, 0);
    graphics.RestoreRenderTarget();

    filter.SetDestinationRect(CRect(16, 48, 16, 48));
    filter.SetSourceRect(CRect(16, 48, 16, 48));
    ASSERT_EQ(filter.ApplySepia(), 1);
    const uint32_t sepia = Rgb(luma + 0.0956f, luma - 0.0272f, luma - 0.1106f);
    EXPECT_TRUE(NearRgb(Pixel(30, 30), sepia, 2)) << std::hex << Pixel(30, 30) << " " << sepia;
    EXPECT_EQ(Pixel(60, 60), 0u);
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), graphics.GetBackBuffer());

    // A camera whose viewport starts at (40, 40) places the result there,
    // once.
    device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    camera.SetViewport(40, 40, 80, 80);
    ASSERT_EQ(camera.Apply(), 1);
    ASSERT_EQ(filter.ApplySepia(), 1);
    EXPECT_TRUE(NearRgb(Pixel(70, 70), sepia, 2)) << std::hex << Pixel(70, 70);
    EXPECT_EQ(Pixel(100, 100), 0u);

    graphics.SetCamera(nullptr);
    EXPECT_EQ(filter.ApplySepia(), 0);
}
}

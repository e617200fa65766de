#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/VertexFormats.h"
#include "engine/platform/PlatformMessageBox.h"
#include "tests/engine/platform/HeadlessGraphics.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{
std::vector<uint32_t> g_sleeps;

void RecordSleep(uint32_t milliseconds)
{
    g_sleeps.push_back(milliseconds);
}

class SleepScope
{
public:
    SleepScope()
    {
        g_sleeps.clear();
        CGraphics::SetSleepFunction(&RecordSleep);
    }
    ~SleepScope() { CGraphics::SetSleepFunction(nullptr); }
};

void DrawQuad(CGraphics& graphics, float left, float top, float right, float bottom, uint32_t color)
{
    const ScreenVertex quad[4] = {{left, top, 0, 1, color}, {right, top, 0, 1, color},
                                  {right, bottom, 0, 1, color}, {left, bottom, 0, 1, color}};
    graphics.SetTexture(nullptr);
    graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
    ASSERT_EQ(graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex)), DEVICE_OK);
}

const uint32_t RELEASE = CGraphics::MSG_DEVICE_RELEASE;
const uint32_t RECREATE = CGraphics::MSG_DEVICE_RECREATE;
}

TEST(CGraphicsTest, CreateFailsWithoutSystem)
{
    CGraphics graphics;
    EXPECT_EQ(graphics.Create(nullptr), 0);
    EXPECT_EQ(graphics.GetDevice(), nullptr);
}

TEST(CGraphicsTest, CreateSetsUpTheDeviceTruthfully)
{
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    // Mesa's software rasterizer is the reference type.
    if (headless.Device().GetRendererName().find("llvmpipe") != std::string::npos)
    {
        EXPECT_EQ(graphics.GetDeviceType(), static_cast<uint32_t>(DEVICE_TYPE_REFERENCE));
        EXPECT_EQ(graphics.GetVertexProcessing(), static_cast<uint32_t>(VERTEX_PROCESSING_SOFTWARE));
    }
    EXPECT_EQ(graphics.GetBackBuffer()->GetWidth(), 64u);
    EXPECT_EQ(graphics.GetBackBuffer()->GetHeight(), 48u);
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), graphics.GetBackBuffer());
    EXPECT_NE(graphics.GetCurrentDepthStencil(), nullptr);
    EXPECT_EQ(graphics.GetDisplayFormatCount(), 5u);
    EXPECT_EQ(graphics.GetTextureFormatCount(), 13u);
    EXPECT_TRUE(graphics.IsTextureFormat(FORMAT_A8R8G8B8));
    EXPECT_TRUE(graphics.IsDisplayFormat(graphics.GetFullScreenFormat()));
    EXPECT_FALSE(graphics.SetFullScreenFormat(12345));
    EXPECT_EQ(graphics.GetTextureFormat(), 0u);
    EXPECT_GE(graphics.GetCaps().vertexShaderVersion, VertexShaderVersion(1, 1));
    EXPECT_EQ(graphics.GetStateCache()->blendMode, 1u);
    EXPECT_EQ(headless.Device().GetRenderState(RS_ALPHAREF), 5u);
    EXPECT_EQ(headless.Device().GetRenderState(RS_ALPHAFUNC), static_cast<uint32_t>(CMP_GREATER));
    // Without shaders yet there is no default effect.
    EXPECT_EQ(CGraphics::GetDefaultShader(), nullptr);
}

TEST(CGraphicsTest, BeginSceneClearsToOpaqueBlack)
{
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    headless.Device().Clear(CLEAR_TARGET, 0xFF123456, 1.0f, 0);
    ASSERT_EQ(headless.Graphics().BeginScene(), 1);
    EXPECT_EQ(headless.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(headless.Pixel(63, 47), 0xFF000000u);
    EXPECT_EQ(headless.Graphics().EndScene(), 1);
}

// Each blend mode over a grey background: the colours the mode's factors
// and operation give, computed here from the quad and background values.
TEST(CGraphicsTest, BlendModesGiveTheirTableColours)
{
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    const uint32_t background = 0xFF808080;
    const uint32_t source = 0x80E04010;
    const double alpha = 128.0 / 255.0;
    for (uint32_t mode = 0; mode <= 6; ++mode)
    {
        SCOPED_TRACE(mode);
        ASSERT_EQ(graphics.BeginScene(), 1);
        headless.Device().Clear(CLEAR_TARGET, background, 1.0f, 0);
        graphics.Begin2D();
        graphics.SetBlendMode(mode);
        DrawQuad(graphics, 8, 8, 24, 24, source);
        uint32_t expected = 0xFF000000;
        for (int shift : {16, 8, 0})
        {
            const double s = Channel(source, shift) / 255.0;
            const double d = Channel(background, shift) / 255.0;
            double result = 0.0;
            switch (mode)
            {
            case 0: result = s; break;
            case 1: result = s * alpha + d * (1.0 - alpha); break;
            case 2: result = s * alpha + d; break;
            case 3: result = d - s * alpha; break;
            case 4: result = s + d; break;
            case 5: result = s * d + d; break;
            case 6: result = s * (1.0 - d); break;
            }
            const double clamped = std::clamp(result, 0.0, 1.0);
            expected |= static_cast<uint32_t>(std::lround(clamped * 255.0)) << shift;
        }
        EXPECT_TRUE(NearRgb(headless.Pixel(16, 16), expected));
        EXPECT_TRUE(NearRgb(headless.Pixel(30, 30), background));
        ASSERT_EQ(graphics.EndScene(), 1);
    }
}

TEST(CGraphicsTest, AlphaTestDropsAlphaOfFiveAndBelow)
{
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    ASSERT_EQ(graphics.BeginScene(), 1);
    graphics.Begin2D();
    graphics.SetBlendMode(0);
    DrawQuad(graphics, 0, 0, 10, 10, 0x05FFFFFF);
    DrawQuad(graphics, 10, 0, 20, 10, 0x06FFFFFF);
    EXPECT_EQ(headless.Pixel(5, 5), 0xFF000000u);
    EXPECT_TRUE(NearRgb(headless.Pixel(15, 5), 0xFFFFFFFF));
}

TEST(CGraphicsTest, RepeatedCachedSettersMakeNoDeviceCall)
{
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice& device = headless.Device();
    graphics.Begin2D();
    graphics.SetBlendMode(2);
    graphics.SetTexture(nullptr);
    graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
    DrawQuad(graphics, 0, 0, 4, 4, 0xFFFFFFFF);
    const uint64_t stateCalls = device.GetStateCallCount();
    const uint64_t glCalls = device.GetGlCallCount();
    graphics.SetBlendMode(2);
    graphics.SetTexture(nullptr);
    graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
    graphics.Begin2D();
    graphics.SetRenderTarget(graphics.GetCurrentRenderTarget());
    EXPECT_EQ(device.GetStateCallCount(), stateCalls);
    EXPECT_EQ(device.GetGlCallCount(), glCalls);
    // A changed mode reaches the device.
    graphics.SetBlendMode(3);
    EXPECT_EQ(device.GetRenderState(RS_BLENDOP), static_cast<uint32_t>(BLENDOP_REVSUBTRACT));
    // A mode outside 0-6 sets nothing but is cached.
    graphics.SetBlendMode(9);
    EXPECT_EQ(graphics.GetStateCache()->blendMode, 9u);
    EXPECT_EQ(device.GetRenderState(RS_BLENDOP), static_cast<uint32_t>(BLENDOP_REVSUBTRACT));
}

TEST(CGraphicsTest, LostDeviceSkipsFramesThenResetsWithBothMessages)
{
    SleepScope sleeps;
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    graphics.Begin3D();
    graphics.SetBlendMode(4);
    graphics.SetCullMode(CULL_CW);
    HeadlessGraphics::Messages().clear();

    headless.Device().SimulateDeviceLoss(2);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(g_sleeps, (std::vector<uint32_t>{500, 500}));
    EXPECT_TRUE(HeadlessGraphics::Messages().empty());
    // The device can be reset now: this frame resets and is still skipped.
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE, RECREATE}));
    EXPECT_EQ(graphics.BeginScene(), 1);
    EXPECT_EQ(graphics.EndScene(), 1);

    // The defaults and the cached states are on the device again.
    GraphicsDevice& device = headless.Device();
    EXPECT_EQ(device.GetRenderState(RS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(device.GetRenderState(RS_ALPHAREF), 5u);
    EXPECT_EQ(device.GetRenderState(RS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(device.GetRenderState(RS_SRCBLEND), static_cast<uint32_t>(BLEND_ONE));
    EXPECT_EQ(device.GetRenderState(RS_DESTBLEND), static_cast<uint32_t>(BLEND_ONE));
    EXPECT_EQ(device.GetRenderState(RS_CULLMODE), static_cast<uint32_t>(CULL_CW));
    EXPECT_EQ(device.GetRenderState(RS_ZWRITEENABLE), 1u);
    EXPECT_EQ(device.GetFVF(), static_cast<uint32_t>(FVF_XYZRHW | FVF_DIFFUSE));
    EXPECT_EQ(device.GetTextureStageState(0, TSS_COLORARG2), static_cast<uint32_t>(TA_DIFFUSE));
    EXPECT_EQ(graphics.GetBackBuffer(), device.GetBackBuffer());
    // And a blend mode set again after the reset still draws.
    ASSERT_EQ(graphics.BeginScene(), 1);
    graphics.Begin2D();
    graphics.SetBlendMode(4);
    DrawQuad(graphics, 0, 0, 8, 8, 0xFF204060);
    DrawQuad(graphics, 0, 0, 8, 8, 0xFF204060);
    EXPECT_TRUE(NearRgb(headless.Pixel(4, 4), 0xFF4080C0));
}

TEST(CGraphicsTest, FailedResetSendsTheReleaseOnce)
{
    SleepScope sleeps;
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    HeadlessGraphics::Messages().clear();
    headless.Device().SimulateDeviceLoss(0);
    headless.Device().SimulateResetFailures(2);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(g_sleeps, (std::vector<uint32_t>{1000}));
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE}));
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE, RECREATE}));
    EXPECT_EQ(graphics.BeginScene(), 1);
}

TEST(CGraphicsTest, LostPresentResetsTheDevice)
{
    SleepScope sleeps;
    HeadlessGraphics headless;
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    ASSERT_EQ(graphics.BeginScene(), 1);
    HeadlessGraphics::Messages().clear();
    headless.Device().SimulateDeviceLoss(0);
    EXPECT_EQ(graphics.EndScene(), 1);
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE, RECREATE}));
}

TEST(CGraphicsTest, DestroyClearsTheDrawingClassPointers)
{
    static CGraphics* seen = reinterpret_cast<CGraphics*>(1);
    CGraphics::RenderClassHooks hooks;
    hooks.setGraphics = [](CGraphics* graphics) { seen = graphics; };
    const CGraphics::RenderClassHooks previous = CGraphics::SetRenderClassHooks(hooks);
    {
        HeadlessGraphics headless;
        ASSERT_TRUE(headless.Created());
        EXPECT_EQ(seen, &headless.Graphics());
    }
    EXPECT_EQ(seen, nullptr);
    CGraphics::SetRenderClassHooks(previous);
}

namespace
{
// A real SDL window for the mode tests, under the X server the test
// command provides.
class SdlTestWindow : public PlatformWindow
{
public:
    SdlTestWindow() : PlatformWindow(&HeadlessGraphics::Procedure)
    {
        m_window = SDL_CreateWindow("test", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320, 240,
                                    SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    }
    ~SdlTestWindow() override
    {
        if (m_window != nullptr)
            SDL_DestroyWindow(m_window);
    }
    void SetBounds(const WindowBounds& bounds) override
    {
        PlatformWindow::SetBounds(bounds);
        if (m_window != nullptr)
            SDL_SetWindowSize(m_window, bounds.width, bounds.height);
    }
    void* GetNativeHandle() const override { return m_window; }

private:
    SDL_Window* m_window = nullptr;
};
}

TEST(CGraphicsTest, ChangeModeToANonDisplaySizeStaysWindowedAndResizes)
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0' || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        GTEST_SKIP() << "no X display";
    // The video ends with the test: a later test may start it on a display
    // of its own.
    struct VideoScope
    {
        ~VideoScope() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
    } video;
    {
        SdlTestWindow window;
        CSystem system;
        system.AttachWindow(&window);
        system.SetClientSize(320, 240, 0);
        CGraphics graphics;
        ASSERT_EQ(graphics.Create(&system), 1);
        EXPECT_EQ(graphics.GetBackBuffer()->GetWidth(), 320u);
        ASSERT_GT(graphics.GetDisplayModeCount(), 0u);
        ASSERT_EQ(graphics.ChangeMode(0, 333, 222), 1);
        EXPECT_EQ(graphics.GetWindowed(), 1u);
        EXPECT_EQ(system.GetWidth(), 333);
        EXPECT_EQ(system.GetHeight(), 222);
        EXPECT_EQ(graphics.GetBackBuffer()->GetWidth(), 333u);
        EXPECT_EQ(graphics.GetBackBuffer()->GetHeight(), 222u);
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(static_cast<SDL_Window*>(window.GetNativeHandle()), &width, &height);
        EXPECT_EQ(width, 333);
        EXPECT_EQ(height, 222);
        // A frame presents to the window.
        ASSERT_EQ(graphics.BeginScene(), 1);
        EXPECT_EQ(graphics.EndScene(), 1);
        graphics.Destroy();
        system.Release();
    }
}

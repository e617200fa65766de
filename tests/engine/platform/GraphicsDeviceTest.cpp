#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/VertexFormats.h"
#include "tests/support/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
class GraphicsDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window = std::make_unique<HeadlessWindow>(nullptr);
        PresentParameters parameters;
        parameters.deviceWindow = m_window.get();
        parameters.backBufferWidth = 64;
        parameters.backBufferHeight = 48;
        parameters.enableAutoDepthStencil = 1;
        parameters.autoDepthStencilFormat = FORMAT_D24S8;
        m_device = GraphicsDevice::Create(DEVICE_TYPE_REFERENCE, parameters);
        ASSERT_NE(m_device, nullptr);
        m_device->SetRenderState(RS_LIGHTING, 0);
    }

    uint32_t Pixel(int x, int y)
    {
        uint32_t value = 0;
        EXPECT_EQ(m_device->ReadPixels(nullptr, x, y, 1, 1, &value), DEVICE_OK);
        return value;
    }

    void DrawScreenTriangle(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t color)
    {
        const ScreenVertex vertices[3] = {{x0, y0, 0, 1, color}, {x1, y1, 0, 1, color}, {x2, y2, 0, 1, color}};
        m_device->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
        ASSERT_EQ(m_device->DrawPrimitiveUP(PT_TRIANGLELIST, 1, vertices, sizeof(ScreenVertex)), DEVICE_OK);
    }

    // A screen rectangle as a fan over black, culling and depth off.
    void DrawScreenRect(float left, float top, float right, float bottom, uint32_t color)
    {
        m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
        m_device->SetRenderState(RS_CULLMODE, CULL_NONE);
        m_device->SetRenderState(RS_ZENABLE, 0);
        const ScreenVertex quad[4] = {{left, top, 0, 1, color}, {right, top, 0, 1, color},
                                      {right, bottom, 0, 1, color}, {left, bottom, 0, 1, color}};
        m_device->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
        ASSERT_EQ(m_device->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex)), DEVICE_OK);
    }

    std::unique_ptr<HeadlessWindow> m_window;
    std::unique_ptr<GraphicsDevice> m_device;
};

TEST_F(GraphicsDeviceTest, HeadlessDeviceIsSoftwareWithRequestedBackBuffer)
{
    EXPECT_EQ(m_device->GetDeviceType(), DEVICE_TYPE_REFERENCE);
    EXPECT_EQ(m_device->GetBackBuffer()->GetWidth(), 64u);
    EXPECT_EQ(m_device->GetBackBuffer()->GetHeight(), 48u);
    EXPECT_EQ(m_device->GetRenderTarget(), m_device->GetBackBuffer());
    EXPECT_GE(m_device->GetCaps().maxTextureWidth, 2048u);
    // A software rasterizer is no accelerated device.
    PresentParameters parameters;
    parameters.deviceWindow = m_window.get();
    if (m_device->GetRendererName().find("llvmpipe") != std::string::npos)
    {
        EXPECT_EQ(GraphicsDevice::Create(DEVICE_TYPE_ACCELERATED, parameters), nullptr);
    }
    // The refused context left this one current.
    EXPECT_EQ(m_device->Clear(CLEAR_TARGET, 0xFF00FF00, 1.0f, 0), DEVICE_OK);
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
}

TEST_F(GraphicsDeviceTest, ClearCoversOnlyTheViewport)
{
    ASSERT_EQ(m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0), DEVICE_OK);
    DeviceViewport viewport;
    viewport.x = 10;
    viewport.y = 5;
    viewport.width = 20;
    viewport.height = 10;
    ASSERT_EQ(m_device->SetViewport(viewport), DEVICE_OK);
    ASSERT_EQ(m_device->Clear(CLEAR_TARGET, 0xFF102030, 1.0f, 0), DEVICE_OK);
    EXPECT_EQ(Pixel(10, 5), 0xFF102030u);
    EXPECT_EQ(Pixel(29, 14), 0xFF102030u);
    EXPECT_EQ(Pixel(9, 5), 0xFF000000u);
    EXPECT_EQ(Pixel(10, 4), 0xFF000000u);
    EXPECT_EQ(Pixel(30, 14), 0xFF000000u);
    EXPECT_EQ(Pixel(29, 15), 0xFF000000u);
}

TEST_F(GraphicsDeviceTest, ScreenVerticesAreTopDownPixels)
{
    // A 4x3 rectangle at (2, 1): pixels 2..5 by 1..3.
    DrawScreenRect(2, 1, 6, 4, 0xFFFF0000);
    EXPECT_EQ(Pixel(2, 1), 0xFFFF0000u);
    EXPECT_EQ(Pixel(5, 3), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(6, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(2, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(2, 4), 0xFF000000u);
}

TEST_F(GraphicsDeviceTest, HalfPixelEdgesStartAtTheNextPixelOnBothAxes)
{
    // 5 x 5 centred on (20, 20), as a centred sprite of odd size lands:
    // edges at 17.5 and 22.5 meet pixel centres; pixels 18..22 both ways.
    DrawScreenRect(17.5f, 17.5f, 22.5f, 22.5f, 0xFFFF0000);
    EXPECT_EQ(Pixel(18, 18), 0xFFFF0000u);
    EXPECT_EQ(Pixel(22, 22), 0xFFFF0000u);
    EXPECT_EQ(Pixel(17, 20), 0xFF000000u);
    EXPECT_EQ(Pixel(23, 20), 0xFF000000u);
    EXPECT_EQ(Pixel(20, 17), 0xFF000000u);
    EXPECT_EQ(Pixel(20, 23), 0xFF000000u);
}

TEST_F(GraphicsDeviceTest, CullModesFollowTheScreensWinding)
{
    m_device->SetRenderState(RS_ZENABLE, 0);
    // Clockwise on the screen (y down): (10,10) -> (30,10) -> (10,30).
    m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(RS_CULLMODE, CULL_CCW);
    DrawScreenTriangle(10, 10, 30, 10, 10, 30, 0xFF00FF00);
    EXPECT_EQ(Pixel(12, 12), 0xFF00FF00u) << "clockwise survives CULL_CCW";
    m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(RS_CULLMODE, CULL_CW);
    DrawScreenTriangle(10, 10, 30, 10, 10, 30, 0xFF00FF00);
    EXPECT_EQ(Pixel(12, 12), 0xFF000000u) << "clockwise culled by CULL_CW";
    m_device->SetRenderState(RS_CULLMODE, CULL_CCW);
    DrawScreenTriangle(10, 10, 10, 30, 30, 10, 0xFF00FF00);
    EXPECT_EQ(Pixel(12, 12), 0xFF000000u) << "anticlockwise culled by CULL_CCW";
}

TEST_F(GraphicsDeviceTest, TransformedVerticesUseRowVectorMatricesAndZeroToOneDepth)
{
    m_device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(RS_CULLMODE, CULL_NONE);
    // World moves the triangle right by 0.5 (x: -0.5..0.5 becomes 0..1):
    // only the right half of the target is covered.
    const float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1};
    m_device->SetTransform(TRANSFORM_WORLD, world);
    const ColorVertex big[6] = {{-0.5f, 1, 0.5f, 0xFF0000FF}, {0.5f, 1, 0.5f, 0xFF0000FF}, {0.5f, -1, 0.5f, 0xFF0000FF},
                                {-0.5f, 1, 0.5f, 0xFF0000FF}, {0.5f, -1, 0.5f, 0xFF0000FF}, {-0.5f, -1, 0.5f, 0xFF0000FF}};
    m_device->SetFVF(FVF_XYZ | FVF_DIFFUSE);
    ASSERT_EQ(m_device->DrawPrimitiveUP(PT_TRIANGLELIST, 2, big, sizeof(ColorVertex)), DEVICE_OK);
    EXPECT_EQ(Pixel(40, 24), 0xFF0000FFu);
    EXPECT_EQ(Pixel(20, 24), 0xFF000000u);
    // y = +1 is the top row.
    const float up[16] = {1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, -0.5f, 0.5f, 0, 1};
    m_device->SetTransform(TRANSFORM_WORLD, up);
    const ColorVertex red[6] = {{-0.5f, 1, 0.25f, 0xFFFF0000}, {0.5f, 1, 0.25f, 0xFFFF0000}, {0.5f, -1, 0.25f, 0xFFFF0000},
                                {-0.5f, 1, 0.25f, 0xFFFF0000}, {0.5f, -1, 0.25f, 0xFFFF0000}, {-0.5f, -1, 0.25f, 0xFFFF0000}};
    ASSERT_EQ(m_device->DrawPrimitiveUP(PT_TRIANGLELIST, 2, red, sizeof(ColorVertex)), DEVICE_OK);
    EXPECT_EQ(Pixel(20, 5), 0xFFFF0000u);
    EXPECT_EQ(Pixel(20, 40), 0xFF000000u);
}

TEST_F(GraphicsDeviceTest, RepeatedStatesIssueNoGlCalls)
{
    m_device->SetRenderState(RS_ZENABLE, 0);
    m_device->SetRenderState(RS_ALPHABLENDENABLE, 1);
    m_device->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    DrawScreenTriangle(0, 0, 10, 0, 0, 10, 0xFFFFFFFF);
    DrawScreenTriangle(0, 0, 10, 0, 0, 10, 0xFFFFFFFF);
    const uint64_t before = m_device->GetGlCallCount();
    m_device->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    m_device->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
    DrawScreenTriangle(0, 0, 10, 0, 0, 10, 0xFFFFFFFF);
    // One upload and one draw.
    EXPECT_EQ(m_device->GetGlCallCount() - before, 2u);
}

TEST_F(GraphicsDeviceTest, SimulatedLossFailsFramesUntilReset)
{
    m_device->SimulateDeviceLoss(2);
    EXPECT_EQ(m_device->BeginScene(), DEVICE_ERROR_LOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), DEVICE_ERROR_LOST);
    PresentParameters parameters = m_device->GetPresentParameters();
    EXPECT_EQ(m_device->Reset(parameters), DEVICE_ERROR_LOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), DEVICE_ERROR_LOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), DEVICE_ERROR_NOT_RESET);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr), DEVICE_ERROR_LOST);
    m_device->SimulateResetFailures(1);
    EXPECT_EQ(m_device->Reset(parameters), DEVICE_ERROR);
    m_device->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    EXPECT_EQ(m_device->Reset(parameters), DEVICE_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), DEVICE_OK);
    EXPECT_EQ(m_device->GetRenderState(RS_SRCBLEND), static_cast<uint32_t>(BLEND_ONE)) << "reset restores defaults";
    EXPECT_EQ(m_device->BeginScene(), DEVICE_OK);
    EXPECT_EQ(m_device->EndScene(), DEVICE_OK);
}

TEST_F(GraphicsDeviceTest, RenderTargetTextureAndBuffersDraw)
{
    std::unique_ptr<DeviceTexture> target(m_device->CreateTexture(16, 16, 1, USAGE_RENDERTARGET, FORMAT_A8R8G8B8));
    ASSERT_NE(target, nullptr);
    DeviceSurface* surface = target->GetSurfaceLevel(0);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(m_device->SetRenderTarget(0, surface), DEVICE_OK);
    EXPECT_EQ(m_device->GetViewport().width, 16u);
    m_device->Clear(CLEAR_TARGET, 0xFF336699, 1.0f, 0);
    uint32_t value = 0;
    ASSERT_EQ(m_device->ReadPixels(surface, 15, 15, 1, 1, &value), DEVICE_OK);
    EXPECT_EQ(value, 0xFF336699u);

    // The render target textures a quad on the back buffer.
    ASSERT_EQ(m_device->SetRenderTarget(0, m_device->GetBackBuffer()), DEVICE_OK);
    m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    std::unique_ptr<DeviceBuffer> buffer(m_device->CreateVertexBuffer(4 * sizeof(TexturedScreenVertex), 0, 0x144));
    ASSERT_NE(buffer, nullptr);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), DEVICE_OK);
    const TexturedScreenVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {8, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                    {8, 8, 0, 1, 0xFFFFFFFF, 1, 1}, {0, 8, 0, 1, 0xFFFFFFFF, 0, 1}};
    std::memcpy(data, quad, sizeof quad);
    ASSERT_EQ(buffer->Unlock(), DEVICE_OK);
    m_device->SetRenderState(RS_ZENABLE, 0);
    m_device->SetRenderState(RS_CULLMODE, CULL_NONE);
    m_device->SetTexture(0, target.get());
    m_device->SetFVF(0x144);
    m_device->SetStreamSource(0, buffer.get(), 0, sizeof(TexturedScreenVertex));
    ASSERT_EQ(m_device->DrawPrimitive(PT_TRIANGLEFAN, 0, 2), DEVICE_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFF336699u);
    EXPECT_EQ(Pixel(9, 4), 0xFF000000u);
    // Deleting bound objects unbinds them.
    target.reset();
    EXPECT_EQ(m_device->GetTexture(0), nullptr);
    buffer.reset();
    EXPECT_EQ(m_device->GetStreamSource(0), nullptr);
}

// Every change of a surface's contents moves its version on; sampling it,
// reading it back or drawing elsewhere does not.
TEST_F(GraphicsDeviceTest, SurfaceVersionsCountChangesOfTheContents)
{
    std::unique_ptr<DeviceTexture> texture(m_device->CreateTexture(16, 16, 1, USAGE_RENDERTARGET, FORMAT_A8R8G8B8));
    ASSERT_NE(texture, nullptr);
    DeviceSurface* surface = texture->GetSurfaceLevel(0);
    DeviceSurface* back = m_device->GetBackBuffer();
    DeviceSurface* depth = m_device->GetAutoDepthStencil();
    ASSERT_NE(depth, nullptr);
    uint64_t version = surface->GetVersion();
    auto changed = [&] {
        const bool moved = surface->GetVersion() != version;
        version = surface->GetVersion();
        return moved;
    };

    ASSERT_EQ(m_device->SetRenderTarget(0, surface), DEVICE_OK);
    EXPECT_FALSE(changed());
    m_device->Clear(CLEAR_TARGET, 0xFF336699, 1.0f, 0);
    EXPECT_TRUE(changed());
    const uint64_t depthBefore = depth->GetVersion();
    m_device->Clear(CLEAR_ZBUFFER, 0, 1.0f, 0);
    EXPECT_FALSE(changed());
    EXPECT_NE(depth->GetVersion(), depthBefore);
    DrawScreenTriangle(0, 0, 8, 0, 0, 8, 0xFFFFFFFF);
    EXPECT_TRUE(changed());
    uint32_t value = 0;
    ASSERT_EQ(m_device->ReadPixels(surface, 0, 0, 1, 1, &value), DEVICE_OK);
    EXPECT_FALSE(changed());

    // Drawn from, not into.
    ASSERT_EQ(m_device->SetRenderTarget(0, back), DEVICE_OK);
    m_device->SetTexture(0, texture.get());
    DrawScreenTriangle(0, 0, 8, 0, 0, 8, 0xFFFFFFFF);
    m_device->SetTexture(0, nullptr);
    EXPECT_FALSE(changed());
    const DeviceRect rect = {0, 0, 4, 4};
    ASSERT_EQ(m_device->StretchRect(back, &rect, surface, &rect, TEXF_POINT), DEVICE_OK);
    EXPECT_TRUE(changed());
    void* bits = nullptr;
    uint32_t pitch = 0;
    ASSERT_EQ(texture->LockRect(0, &bits, &pitch, nullptr, 0), DEVICE_OK);
    ASSERT_EQ(texture->UnlockRect(0), DEVICE_OK);
    EXPECT_TRUE(changed());
}

// A texture target's part clears as the window's does, in either 32-bit
// format, and moves the target's version on.
TEST_F(GraphicsDeviceTest, ClearOfATextureTargetsPartCoversOnlyTheViewport)
{
    for (uint32_t format : {FORMAT_A8R8G8B8, FORMAT_X8R8G8B8})
    {
        SCOPED_TRACE(format);
        std::unique_ptr<DeviceTexture> texture(m_device->CreateTexture(64, 32, 1, USAGE_RENDERTARGET, format));
        ASSERT_NE(texture, nullptr);
        DeviceSurface* surface = texture->GetSurfaceLevel(0);
        ASSERT_EQ(m_device->SetRenderTarget(0, surface), DEVICE_OK);
        ASSERT_EQ(m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0), DEVICE_OK);
        DeviceViewport viewport;
        viewport.x = 10;
        viewport.y = 5;
        viewport.width = 50;
        viewport.height = 20;
        ASSERT_EQ(m_device->SetViewport(viewport), DEVICE_OK);
        const uint64_t version = surface->GetVersion();
        ASSERT_EQ(m_device->Clear(CLEAR_TARGET, 0xFF102030, 1.0f, 0), DEVICE_OK);
        EXPECT_NE(surface->GetVersion(), version);
        auto at = [&](uint32_t x, uint32_t y) {
            uint32_t value = 0;
            EXPECT_EQ(m_device->ReadPixels(surface, x, y, 1, 1, &value), DEVICE_OK);
            return value | (format == FORMAT_X8R8G8B8 ? 0xFF000000u : 0u);
        };
        EXPECT_EQ(at(10, 5), 0xFF102030u);
        EXPECT_EQ(at(59, 24), 0xFF102030u);
        EXPECT_EQ(at(9, 5), 0xFF000000u);
        EXPECT_EQ(at(10, 4), 0xFF000000u);
        EXPECT_EQ(at(60, 24), 0xFF000000u);
        EXPECT_EQ(at(59, 25), 0xFF000000u);
        // A drawing after the clear lands on it.
        viewport = DeviceViewport();
        viewport.width = 64;
        viewport.height = 32;
        ASSERT_EQ(m_device->SetViewport(viewport), DEVICE_OK);
        m_device->SetRenderState(RS_ZENABLE, 0);
        m_device->SetRenderState(RS_CULLMODE, CULL_NONE);
        DrawScreenTriangle(10, 5, 18, 5, 10, 13, 0xFFFFFFFF);
        EXPECT_EQ(at(11, 6), 0xFFFFFFFFu);
        EXPECT_EQ(at(20, 20), 0xFF102030u);
        ASSERT_EQ(m_device->SetRenderTarget(0, m_device->GetBackBuffer()), DEVICE_OK);
    }
}

// Depth and stencil change only under draws that may write them.
TEST_F(GraphicsDeviceTest, DepthVersionMovesOnlyUnderDrawsThatWriteIt)
{
    DeviceSurface* depth = m_device->GetAutoDepthStencil();
    ASSERT_NE(depth, nullptr);
    m_device->SetRenderState(RS_CULLMODE, CULL_NONE);
    auto drawMoves = [&](uint32_t zEnable, uint32_t zWrite, uint32_t stencil) {
        m_device->SetRenderState(RS_ZENABLE, zEnable);
        m_device->SetRenderState(RS_ZWRITEENABLE, zWrite);
        m_device->SetRenderState(RS_STENCILENABLE, stencil);
        const uint64_t before = depth->GetVersion();
        DrawScreenTriangle(0, 0, 8, 0, 0, 8, 0xFFFFFFFF);
        return depth->GetVersion() != before;
    };
    EXPECT_FALSE(drawMoves(0, 1, 0));
    EXPECT_FALSE(drawMoves(1, 0, 0));
    EXPECT_TRUE(drawMoves(1, 1, 0));
    EXPECT_TRUE(drawMoves(0, 0, 1));
    m_device->SetRenderState(RS_STENCILENABLE, 0);
}

TEST_F(GraphicsDeviceTest, TextureLockUploadsBgraTexels)
{
    // Draws texture over the top left width x 2 pixels, a texel a pixel.
    auto draw = [&](DeviceTexture* texture, float width) {
        const TexturedScreenVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {width, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                              {width, 2, 0, 1, 0xFFFFFFFF, 1, 1}, {0, 2, 0, 1, 0xFFFFFFFF, 0, 1}};
        m_device->SetTexture(0, texture);
        ASSERT_EQ(m_device->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(TexturedScreenVertex)), DEVICE_OK);
    };
    std::unique_ptr<DeviceTexture> texture(m_device->CreateTexture(2, 2, 1, 0, FORMAT_A8R8G8B8));
    ASSERT_NE(texture, nullptr);
    void* bits = nullptr;
    uint32_t pitch = 0;
    ASSERT_EQ(texture->LockRect(0, &bits, &pitch, nullptr, 0), DEVICE_OK);
    EXPECT_EQ(pitch, 8u);
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
    std::memcpy(bits, texels, sizeof texels);
    ASSERT_EQ(texture->UnlockRect(0), DEVICE_OK);
    m_device->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(RS_ZENABLE, 0);
    m_device->SetFVF(0x144);
    draw(texture.get(), 2);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(0, 1), 0xFF0000FFu);

    // A locked rectangle (the right column) changes only its texels.
    const DeviceRect column = {1, 0, 2, 2};
    ASSERT_EQ(texture->LockRect(0, &bits, &pitch, &column, 0), DEVICE_OK);
    EXPECT_EQ(pitch, 8u);
    const uint32_t yellow = 0xFFFFFF00;
    const uint32_t cyan = 0xFF00FFFF;
    std::memcpy(bits, &yellow, 4);
    std::memcpy(static_cast<uint8_t*>(bits) + pitch, &cyan, 4);
    ASSERT_EQ(texture->UnlockRect(0), DEVICE_OK);
    draw(texture.get(), 2);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(0, 1), 0xFF0000FFu);
    EXPECT_EQ(Pixel(1, 0), yellow);
    EXPECT_EQ(Pixel(1, 1), cyan);

    // A wider texture's whole upload after it reads rows of its own width.
    std::unique_ptr<DeviceTexture> wide(m_device->CreateTexture(4, 2, 1, 0, FORMAT_A8R8G8B8));
    ASSERT_NE(wide, nullptr);
    ASSERT_EQ(wide->LockRect(0, &bits, &pitch, nullptr, 0), DEVICE_OK);
    const uint32_t rows[8] = {yellow, yellow, cyan, cyan, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    std::memcpy(bits, rows, sizeof rows);
    ASSERT_EQ(wide->UnlockRect(0), DEVICE_OK);
    draw(wide.get(), 4);
    EXPECT_EQ(Pixel(0, 1), 0xFFFF0000u);
    EXPECT_EQ(Pixel(3, 1), 0xFFFFFFFFu);
}
}

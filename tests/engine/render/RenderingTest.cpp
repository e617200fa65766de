#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CLight.h"
#include "engine/render/CPrimitiveRender.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
struct LitVertex
{
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
};

uint32_t FloatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double Unit(uint32_t argb, int shift)
{
    return static_cast<double>((argb >> shift) & 0xFF) / 255.0;
}

// A 64 x 48 frame with a camera 10 units before the origin looking at it.
class SceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_headless.Created());
        ASSERT_EQ(Graphics().BeginScene(), 1);
        const float eye[3] = {0, 0, -10};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        m_camera.SetLookAt(eye, target, up);
        m_camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        m_camera.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(m_camera.Apply(), 1);
    }

    CGraphics& Graphics() { return m_headless.Graphics(); }
    uint32_t Pixel(int x, int y) { return m_headless.Pixel(x, y); }

    void DrawTriangle(const LitVertex (&vertices)[3])
    {
        Graphics().SetTexture(nullptr);
        Graphics().SetFVF(FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE);
        const CkvrMatrix identity;
        Graphics().SetWorldTransform(&identity);
        ASSERT_EQ(Graphics().DrawPrimitiveUP(PT_TRIANGLELIST, 1, vertices, sizeof(LitVertex)), DEVICE_OK);
    }

    RenderGraphics m_headless{64, 48};
    CCamera m_camera;
};
}

TEST_F(SceneTest, LitFoggedTriangleHasTheComputedColour)
{
    CGraphics& graphics = Graphics();
    GraphicsDevice& device = *graphics.GetDevice();
    graphics.Begin3D();
    graphics.SetBlendMode(0);
    const uint32_t globalAmbient = 0xFF404040;
    graphics.SetAmbient(globalAmbient);

    CLight light;
    const float direction[3] = {1, 0, 2};
    const uint32_t lightDiffuse = 0xFF808080;
    const uint32_t lightAmbient = 0xFF202020;
    light.SetDirectional(direction, lightDiffuse, lightAmbient, 0xFF000000);
    ASSERT_EQ(light.Apply(0), 1);

    DeviceMaterial material;
    material.ambient = {0.5f, 0.25f, 1.0f, 1.0f};
    material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    device.SetMaterial(material);

    const uint32_t fogColor = 0xFF00FF00;
    graphics.SetFogEnable(1);
    device.SetRenderState(RS_FOGVERTEXMODE, FOG_LINEAR);
    device.SetRenderState(RS_FOGSTART, FloatBits(5.0f));
    device.SetRenderState(RS_FOGEND, FloatBits(15.0f));
    device.SetRenderState(RS_FOGCOLOR, fogColor);

    // Clockwise as the camera sees it, facing the camera.
    const uint32_t vertexColor = 0xFFC08040;
    const LitVertex triangle[3] = {{-3, -3, 0, 0, 0, -1, vertexColor},
                                   {0, 3, 0, 0, 0, -1, vertexColor},
                                   {3, -3, 0, 0, 0, -1, vertexColor}};
    DrawTriangle(triangle);

    // The vertex colour is the diffuse material; ambient comes from the
    // material. N.L with the light travelling along (1, 0, 2).
    const double lightDot = 2.0 / std::sqrt(5.0);
    const double ambientMaterial[3] = {0.5, 0.25, 1.0};
    // Linear fog at eye distance 10 between 5 and 15.
    const double fog = (15.0 - 10.0) / (15.0 - 5.0);
    uint32_t expected = 0xFF000000;
    const int shifts[3] = {16, 8, 0};
    for (int channel = 0; channel < 3; ++channel)
    {
        const int shift = shifts[channel];
        const double lit = ambientMaterial[channel] * (Unit(globalAmbient, shift) + Unit(lightAmbient, shift)) +
                           Unit(vertexColor, shift) * Unit(lightDiffuse, shift) * lightDot;
        const double fogged = fog * std::clamp(lit, 0.0, 1.0) + (1.0 - fog) * Unit(fogColor, shift);
        expected |= static_cast<uint32_t>(std::lround(fogged * 255.0)) << shift;
    }
    EXPECT_TRUE(NearRgb(Pixel(32, 24), expected, 3));
    EXPECT_TRUE(NearRgb(Pixel(32, 20), expected, 3));
    EXPECT_EQ(Pixel(2, 2), 0xFF000000u);
    light.Release();
}

TEST_F(SceneTest, BackFacesAreCulledInThreeDimensions)
{
    CGraphics& graphics = Graphics();
    graphics.Begin3D();
    graphics.SetLighting(0);
    const LitVertex clockwise[3] = {{-3, -3, 0, 0, 0, -1, 0xFFFFFFFF},
                                    {0, 3, 0, 0, 0, -1, 0xFFFFFFFF},
                                    {3, -3, 0, 0, 0, -1, 0xFFFFFFFF}};
    const LitVertex anticlockwise[3] = {clockwise[0], clockwise[2], clockwise[1]};
    DrawTriangle(anticlockwise);
    EXPECT_EQ(Pixel(32, 24), 0xFF000000u);
    DrawTriangle(clockwise);
    EXPECT_EQ(Pixel(32, 24), 0xFFFFFFFFu);
    // With culling off both sides draw; CULL_CW keeps the other side.
    graphics.Clear(CLEAR_TARGET | CLEAR_ZBUFFER);
    graphics.SetCullMode(CULL_CW);
    DrawTriangle(clockwise);
    EXPECT_EQ(Pixel(32, 24), 0xFF000000u);
    DrawTriangle(anticlockwise);
    EXPECT_EQ(Pixel(32, 24), 0xFFFFFFFFu);
}

TEST_F(SceneTest, DepthTestKeepsTheNearerTriangle)
{
    CGraphics& graphics = Graphics();
    graphics.Begin3D();
    graphics.SetLighting(0);
    const LitVertex nearer[3] = {{-3, -3, -1, 0, 0, -1, 0xFFFF0000},
                                 {0, 3, -1, 0, 0, -1, 0xFFFF0000},
                                 {3, -3, -1, 0, 0, -1, 0xFFFF0000}};
    const LitVertex farther[3] = {{-3, -3, 1, 0, 0, -1, 0xFF0000FF},
                                  {0, 3, 1, 0, 0, -1, 0xFF0000FF},
                                  {3, -3, 1, 0, 0, -1, 0xFF0000FF}};
    DrawTriangle(nearer);
    DrawTriangle(farther);
    EXPECT_EQ(Pixel(32, 24), 0xFFFF0000u);
}

class PrimitiveTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        Graphics().Begin2D();
        Graphics().SetBlendMode(0);
    }
};

TEST_F(PrimitiveTest, RectanglesCoverTheirPixels)
{
    const float rect[4] = {10, 10, 20, 20};
    CPrimitiveRender::DrawRect2D(rect, 0xFFFF0000);
    EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(Pixel(19, 19), 0xFFFF0000u);
    EXPECT_EQ(Pixel(20, 19), 0xFF000000u);
    EXPECT_EQ(Pixel(19, 20), 0xFF000000u);
    EXPECT_EQ(Pixel(9, 10), 0xFF000000u);

    const float outline[4] = {30, 5, 40, 15};
    CPrimitiveRender::DrawRectOutline2D(outline, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(35, 5), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(30, 10), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(40, 10), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(35, 15), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(35, 10), 0xFF000000u);
    CPrimitiveRender::DrawRectOutline2D(nullptr, 0xFFFFFFFF);

    // Null: the whole client area.
    CPrimitiveRender::DrawRect2D(nullptr, 0xFF00FF00);
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(63, 47), 0xFF00FF00u);
}

TEST_F(PrimitiveTest, ScreenShapesAreRelativeToTheViewport)
{
    CCamera inset;
    inset.SetViewport(8, 4, 32, 24);
    ASSERT_EQ(inset.Apply(), 1);
    const float rect[4] = {0, 0, 4, 4};
    CPrimitiveRender::DrawRect2D(rect, 0xFFFF0000);
    EXPECT_EQ(Pixel(8, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(11, 7), 0xFFFF0000u);
    EXPECT_EQ(Pixel(7, 4), 0xFF000000u);
    EXPECT_EQ(Pixel(12, 4), 0xFF000000u);
}

TEST_F(PrimitiveTest, CirclesAndDiscs)
{
    const float circle[3] = {32, 24, 8};
    CPrimitiveRender::DrawDisc2D(circle, 0xFFFF0000);
    EXPECT_EQ(Pixel(32, 24), 0xFFFF0000u);
    EXPECT_EQ(Pixel(38, 24), 0xFFFF0000u);
    EXPECT_EQ(Pixel(32, 18), 0xFFFF0000u);
    EXPECT_EQ(Pixel(42, 24), 0xFF000000u);
    EXPECT_EQ(Pixel(38, 30), 0xFF000000u) << "outside the rim near the diagonal";

    Graphics().Clear(CLEAR_TARGET);
    CPrimitiveRender::DrawCircle2D(circle, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(40, 24), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(32, 32), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(24, 24), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(32, 24), 0xFF000000u);
}

TEST_F(PrimitiveTest, ProjectedShapesNeedADepthInRange)
{
    const float origin[3] = {0, 0, 0};
    const float size[4] = {0, 0, 10, 10};
    CPrimitiveRender::DrawRectAt(origin, size, 0xFFFF0000);
    EXPECT_EQ(Pixel(32, 24), 0xFFFF0000u);
    EXPECT_EQ(Pixel(27, 19), 0xFFFF0000u);
    EXPECT_EQ(Pixel(37, 29), 0xFF000000u);
    Graphics().Clear(CLEAR_TARGET);
    const float behind[3] = {0, 0, -20};
    CPrimitiveRender::DrawRectAt(behind, size, 0xFFFF0000);
    CPrimitiveRender::DrawDiscAt(behind, 5, 0xFFFF0000);
    const float beyond[3] = {0, 0, 200};
    CPrimitiveRender::DrawCircleAt(beyond, 5, 0xFFFF0000);
    EXPECT_EQ(Pixel(32, 24), 0xFF000000u);
    CPrimitiveRender::DrawDiscAt(origin, 5, 0xFF00FF00);
    EXPECT_EQ(Pixel(32, 24), 0xFF00FF00u);
}

TEST_F(PrimitiveTest, WorldLinesAndWireShapesAreUnlitAndRestoreLighting)
{
    Graphics().Begin3D();
    const float from[3] = {-2, 0, 0};
    const float to[3] = {2, 0, 0};
    CPrimitiveRender::DrawLine(from, to, 0xFFFFFF00);
    const bool onRow = Pixel(32, 24) == 0xFFFFFF00u || Pixel(32, 23) == 0xFFFFFF00u;
    EXPECT_TRUE(onRow);
    EXPECT_EQ(Pixel(32, 30), 0xFF000000u);
    EXPECT_EQ(Graphics().GetStateCache()->lighting, 1u);

    Graphics().Clear(CLEAR_TARGET | CLEAR_ZBUFFER);
    const float position[3] = {0, 0, 0};
    CPrimitiveRender::DrawAxisCircles(position, 2.0f, 0x00FFFFFF);
    // The first circle lies in the XY plane, facing the camera: blue.
    bool blue = false;
    for (int y = 0; y < 48 && !blue; ++y)
        for (int x = 0; x < 64 && !blue; ++x)
            blue = Pixel(x, y) == 0xFF0000FFu;
    EXPECT_TRUE(blue);
    EXPECT_EQ(Graphics().GetStateCache()->lighting, 1u);

    const float start[3] = {-3, -2, 0};
    const float end[3] = {3, -2, 0};
    const float control[3] = {0, 4, 0};
    CPrimitiveRender::DrawCurve(start, end, control, 0xFFFFFFFF);
    const float size[3] = {2, 2, 2};
    CPrimitiveRender::DrawWireBox(position, size, 0xFFFFFFFF);
    CPrimitiveRender::DrawCurve(nullptr, end, control, 0xFFFFFFFF);
}

TEST_F(PrimitiveTest, SolidShapesAreLitWithTheirColourAsMaterial)
{
    Graphics().Begin3D();
    CLight light;
    const float direction[3] = {0, 0, 1};
    light.SetDirectional(direction, 0xFFFFFFFF, 0xFF000000, 0xFF000000);
    ASSERT_EQ(light.Apply(0), 1);
    Graphics().SetAmbient(0xFF000000);
    const float position[3] = {0, 0, 0};
    const float size[3] = {2, 2, 2};
    // The -z face looks at the camera and straight into the light.
    CPrimitiveRender::DrawBox(position, size, 0xFF806040);
    EXPECT_TRUE(NearRgb(Pixel(32, 24), 0xFF806040));
    Graphics().Clear(CLEAR_TARGET | CLEAR_ZBUFFER);
    CPrimitiveRender::DrawSphere(position, 2.0f, 0xFF40C080);
    // The point nearest the camera has its normal along -z.
    EXPECT_TRUE(NearRgb(Pixel(32, 24), 0xFF40C080, 12));
    EXPECT_EQ(Pixel(2, 2), 0xFF000000u);
    light.Release();
}

#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CLight.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

// Point and spot lights on a small white face 3.5 units from the light:
// the range cuts a light off, and the spot fades from the inner to the
// outer angle. Lighting is per vertex, and all four corners of the face
// lie at the same distance and angle from the light, so the whole face
// takes one colour.
namespace
{
struct LitVertex
{
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
};

constexpr float PI = 3.14159265f;

class LightRangeAndConeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        graphics.BeginScene();
        const float eye[3] = {0, 0, -10};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        camera.SetLookAt(eye, target, up);
        camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        camera.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera.Apply(), 1);
        graphics.Begin3D();
        graphics.SetCullMode(CULL_NONE);
        graphics.SetBlendMode(0);
        graphics.SetAmbient(0xFF000000);
        light.position = CkvrVector3(0.0f, 0.0f, -3.5f);
        light.direction = CkvrVector3(0.0f, 0.0f, 1.0f);
        light.diffuse = 0xFFFFFFFF;
        light.ambient = 0xFF000000;
        light.specular = 0xFF000000;
        light.attenuation0 = 1.0f;
        light.range = 100.0f;
    }

    void TearDown() override
    {
        graphics.EndScene();
        light.Release();
    }

    // The face's brightness (0-255) under the light as it stands.
    int Draw()
    {
        EXPECT_EQ(light.Apply(0), 1);
        graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        const LitVertex face[4] = {{-1, 1, 0, 0, 0, -1, 0xFFFFFFFF},
                                   {1, 1, 0, 0, 0, -1, 0xFFFFFFFF},
                                   {1, -1, 0, 0, 0, -1, 0xFFFFFFFF},
                                   {-1, -1, 0, 0, 0, -1, 0xFFFFFFFF}};
        graphics.SetTexture(nullptr);
        graphics.SetFVF(FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE);
        const CkvrMatrix identity;
        graphics.SetWorldTransform(&identity);
        EXPECT_EQ(graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, face, sizeof(LitVertex)), DEVICE_OK);
        const uint32_t centre = headless.Pixel(32, 32);
        EXPECT_EQ(headless.Pixel(2, 2), 0xFF000000u);
        return Channel(centre, 8);
    }

    // Distance from the light to each corner and the cosine of the angle
    // between the light's axis and a corner.
    const float distance = std::sqrt(2.0f + 3.5f * 3.5f);
    const float cosine = 3.5f / distance;

    RenderGraphics headless{64, 64};
    CGraphics& graphics = headless.Graphics();
    CCamera camera;
    CLight light;
};

int Byte(float value)
{
    return static_cast<int>(std::lround(std::fmin(std::fmax(value, 0.0f), 1.0f) * 255.0f));
}

TEST_F(LightRangeAndConeTest, PointLightStopsAtItsRange)
{
    light.type = LIGHT_POINT;
    light.range = 5.0f;
    EXPECT_NEAR(Draw(), Byte(cosine), 3);
    light.range = 1.5f;
    EXPECT_EQ(Draw(), 0);
    // Its ambient goes with it.
    light.ambient = 0xFFFFFFFF;
    light.diffuse = 0xFF000000;
    graphics.GetDevice()->SetRenderState(RS_AMBIENTMATERIALSOURCE, MCS_COLOR1);
    EXPECT_EQ(Draw(), 0);
    light.range = 5.0f;
    EXPECT_NEAR(Draw(), 255, 2);
}

TEST_F(LightRangeAndConeTest, PointLightAttenuatesWithDistance)
{
    light.type = LIGHT_POINT;
    light.attenuation1 = 0.25f;
    EXPECT_NEAR(Draw(), Byte(cosine / (1.0f + 0.25f * distance)), 3);
}

TEST_F(LightRangeAndConeTest, SpotFadesFromThetaToPhi)
{
    light.type = LIGHT_SPOT;
    light.falloff = 1.0f;
    // Inside the inner cone: full light.
    light.theta = 60.0f * PI / 180.0f;
    light.phi = 90.0f * PI / 180.0f;
    EXPECT_NEAR(Draw(), Byte(cosine), 3);
    // Between the cones: the linear fade of the falloff 1.
    light.theta = 30.0f * PI / 180.0f;
    light.phi = 60.0f * PI / 180.0f;
    const float inner = std::cos(15.0f * PI / 180.0f);
    const float outer = std::cos(30.0f * PI / 180.0f);
    EXPECT_NEAR(Draw(), Byte(cosine * (cosine - outer) / (inner - outer)), 3);
    // A falloff of 2 squares the fade.
    light.falloff = 2.0f;
    const float fade = (cosine - outer) / (inner - outer);
    EXPECT_NEAR(Draw(), Byte(cosine * fade * fade), 3);
    // Outside the outer cone: dark.
    light.theta = 20.0f * PI / 180.0f;
    light.phi = 40.0f * PI / 180.0f;
    EXPECT_EQ(Draw(), 0);
}

TEST_F(LightRangeAndConeTest, FogStillAppliesToPointLitFaces)
{
    light.type = LIGHT_POINT;
    GraphicsDevice* device = graphics.GetDevice();
    auto bits = [](float value) {
        uint32_t out = 0;
        std::memcpy(&out, &value, sizeof out);
        return out;
    };
    graphics.SetFogEnable(1);
    device->SetRenderState(RS_FOGVERTEXMODE, FOG_LINEAR);
    device->SetRenderState(RS_FOGSTART, bits(5.0f));
    device->SetRenderState(RS_FOGEND, bits(15.0f));
    device->SetRenderState(RS_FOGCOLOR, 0xFF000000);
    // Eye distance 10, halfway through the fog towards black.
    EXPECT_NEAR(Draw(), Byte(cosine * 0.5f), 3);
    graphics.SetFogEnable(0);
}

TEST_F(LightRangeAndConeTest, DirectionalLightIsUnchanged)
{
    light.type = LIGHT_DIRECTIONAL;
    light.direction = CkvrVector3(0.0f, 0.0f, 1.0f);
    light.range = 0.0f;
    EXPECT_NEAR(Draw(), 255, 2);
}
}

#include "RenderTestDevice.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"

// A texture object that holds no texture draws its billboard untextured,
// in the draw colour.
TEST_F(RenderTest, BillboardWithoutTextureDrawsInTheVertexColour)
{
    CCamera camera;
    const float eye[3] = {0.0f, 0.0f, -10.0f};
    const float target[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    camera.SetLookAt(eye, target, up);
    camera.SetProjection(60, 1.0f, 1.0f, 100.0f);
    camera.SetViewport(0, 0, SIZE, SIZE);
    ASSERT_EQ(camera.Apply(), 1);

    CTexture empty;
    CkvrMatrix world;
    world.m[0] = 4.0f;
    world.m[5] = 4.0f;
    EXPECT_EQ(empty.DrawBillboard(&world, 0.0f, nullptr, 0xFF20C040), DEVICE_OK);
    EXPECT_EQ(Rgb(SIZE / 2, SIZE / 2), 0x20C040u);
    EXPECT_EQ(Rgb(2, 2), 0u);
    EXPECT_EQ(graphics.GetStateCache()->texture, nullptr);
}

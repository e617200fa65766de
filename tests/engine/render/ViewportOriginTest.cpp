#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

// The origin of 2D draws is the current camera's viewport, whatever the
// device's viewport says at the moment.
TEST(ViewportOriginTest, FollowsTheCurrentCamerasViewport)
{
    RenderGraphics headless(128, 128);
    ASSERT_TRUE(headless.Created());
    CGraphics& graphics = headless.Graphics();
    float x = -1.0f;
    float y = -1.0f;
    graphics.GetViewportOrigin(&x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);

    CCamera camera;
    camera.SetViewport(10, 20, 64, 64);
    ASSERT_EQ(camera.Apply(), 1);
    graphics.GetViewportOrigin(&x, &y);
    EXPECT_EQ(x, 10.0f);
    EXPECT_EQ(y, 20.0f);

    // Changed but not applied again.
    camera.SetViewport(30, 40, 64, 64);
    graphics.GetViewportOrigin(&x, &y);
    EXPECT_EQ(x, 30.0f);
    EXPECT_EQ(y, 40.0f);

    // A render target smaller than the camera's viewport.
    camera.SetViewport(100, 90, 20, 20);
    CTexture small;
    ASSERT_EQ(small.CreateRenderTarget(32, 32, USAGE_RENDERTARGET, FORMAT_A8R8G8B8, 0), 1);
    ASSERT_EQ(small.SetAsRenderTarget(), 1);
    graphics.GetViewportOrigin(&x, &y);
    EXPECT_EQ(x, 100.0f);
    EXPECT_EQ(y, 90.0f);
    graphics.RestoreRenderTarget();
    small.Release();

    graphics.SetCamera(nullptr);
    graphics.GetViewportOrigin(&x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
}
